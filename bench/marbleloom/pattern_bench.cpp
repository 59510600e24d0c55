// The pattern library: building it from the four factory databases, and
// decoding one pattern into a slot.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "filters/marbleloom/image_container.h"
#include "filters/marbleloom/pattern_library.h"

namespace {

namespace fs = std::filesystem;
using namespace qm::marbleloom;

const char* const kFiles[] = {"Textures.8tx", "Textures02.8tx", "Textures03.8tx", "Textures04.8tx"};

std::string factory(const char* name) { return std::string(QM_SOURCE_DIR "/resources/marbleloom/patterns/") + name; }

struct Folders {
    fs::path plugin, shared;
    Folders() {
        std::string tmpl = (fs::temp_directory_path() / "qm-pattern-bench-XXXXXX").string();
        plugin = ::mkdtemp(tmpl.data());
        shared = plugin / "shared";
        fs::create_directory(shared);
        for (const char* f : kFiles) fs::copy_file(factory(f), plugin / f);
    }
    ~Folders() {
        std::error_code ec;
        fs::remove_all(plugin, ec);
    }
};

void BM_BuildLibraryFromFactoryFiles(benchmark::State& state) {
    Folders folders;
    for (auto _ : state) {
        PatternLibrary lib;
        lib.buildLibrary(folders.plugin.string() + "/", folders.shared.string() + "/");
        benchmark::DoNotOptimize(lib.count());
        if (lib.count() != 160) state.SkipWithError("not 160 entries");
    }
}
BENCHMARK(BM_BuildLibraryFromFactoryFiles)->Unit(benchmark::kMillisecond);

// The first record of the classic database ("Pasta", 160 x 160).
void BM_DecodePattern(benchmark::State& state) {
    PatternEntry entry;
    loadEntry(entry, factory("Textures.8tx"), 0, {});
    std::ifstream in(factory("Textures.8tx"), std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
    const uint8_t* stream = bytes.data() + entry.jpegOffset;
    for (auto _ : state) {
        CxImage image;
        benchmark::DoNotOptimize(image.Decode(stream, entry.header.dataSize));
    }
    state.SetLabel(std::to_string(entry.header.width) + " x " + std::to_string(entry.header.height));
}
BENCHMARK(BM_DecodePattern)->Unit(benchmark::kMicrosecond);

// The same through the slot: file read, decode and the row copy.
void BM_LoadPatternIntoSlot(benchmark::State& state) {
    PatternEntry entry;
    loadEntry(entry, factory("Textures.8tx"), 0, {});
    for (auto _ : state) {
        PatternSlot slot;
        slot.load(entry, {});
        benchmark::DoNotOptimize(slot.pixels().data);
    }
}
BENCHMARK(BM_LoadPatternIntoSlot)->Unit(benchmark::kMicrosecond);

}  // namespace
