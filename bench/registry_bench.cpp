// What one registry operation costs as the root's file grows: a plug-in
// storing "Last Used", an import of a whole key, and a read, at 1,000 and
// 16,000 values. Each write re-reads, rewrites and syncs the whole file, so
// the figures should grow with the file's size and no faster.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/os/registry.h"

namespace {

namespace reg = qm::os::registry;
constexpr const char* kKey = "Software\\Quillmere\\Bench";

// A fresh registry folder for one benchmark, removed afterwards.
class Folder {
public:
    Folder() {
        char pattern[] = "/tmp/quillmere-bench-XXXXXX";
        if (mkdtemp(pattern)) path_ = pattern;
        setenv("QUILLMERE_REGISTRY", path_.c_str(), 1);
    }
    ~Folder() {
        std::error_code ignored;
        if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
    }
    bool ok() const { return !path_.empty(); }

private:
    std::string path_;
};

std::vector<reg::Key> presets(int64_t count) {
    reg::Key key{kKey, {}};
    for (int64_t i = 0; i < count; ++i)
        key.values.push_back({"preset " + std::to_string(i), reg::kTypeBinary,
                              std::vector<uint8_t>(64, static_cast<uint8_t>(i))});
    return {key};
}

void RegistryStoreLastUsed(benchmark::State& state) {
    Folder folder;
    if (!folder.ok() || reg::mergeIntoRoot(reg::Root::CurrentUser, presets(state.range(0))) != 0)
        return state.SkipWithError("cannot set up the registry");
    const std::vector<uint8_t> record(64, 0x5A);
    for (auto _ : state)
        if (reg::setValue(reg::Root::CurrentUser, kKey, "Last Used", reg::kTypeBinary, record) != 0)
            state.SkipWithError("write failed");
}
BENCHMARK(RegistryStoreLastUsed)->Arg(1000)->Arg(16000)->Unit(benchmark::kMillisecond);

void RegistryImport(benchmark::State& state) {
    Folder folder;
    if (!folder.ok()) return state.SkipWithError("mkdtemp");
    const std::vector<reg::Key> keys = presets(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        std::filesystem::remove(reg::rootFile(reg::Root::CurrentUser));
        state.ResumeTiming();
        if (reg::mergeIntoRoot(reg::Root::CurrentUser, keys) != 0) state.SkipWithError("import failed");
    }
}
BENCHMARK(RegistryImport)->Arg(1000)->Arg(16000)->Unit(benchmark::kMillisecond);

void RegistryQuery(benchmark::State& state) {
    Folder folder;
    if (!folder.ok() || reg::mergeIntoRoot(reg::Root::CurrentUser, presets(state.range(0))) != 0)
        return state.SkipWithError("cannot set up the registry");
    uint8_t data[64];
    for (auto _ : state) {
        uint32_t size = sizeof data;
        if (reg::queryValue(reg::Root::CurrentUser, kKey, "preset 7", nullptr, data, &size) != 0)
            state.SkipWithError("query failed");
    }
}
BENCHMARK(RegistryQuery)->Arg(1000)->Arg(16000)->Unit(benchmark::kMillisecond);

}  // namespace
