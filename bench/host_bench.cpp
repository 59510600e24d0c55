// The host's own costs around a filter run: reading the sample photograph and
// writing the result, and one registry write (a preset save).
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "host/image.h"
#include "platform/os/registry.h"

namespace {

const std::string kSample = std::string(QM_SOURCE_DIR) + "/samples/seeding.jpg";

void LoadSampleJpeg(benchmark::State& state) {
    qm::host::Image image;
    std::string error;
    for (auto _ : state) {
        if (!qm::host::loadImage(kSample, image, error)) state.SkipWithError(error.c_str());
        benchmark::DoNotOptimize(image.pixels.data());
    }
}
BENCHMARK(LoadSampleJpeg)->Unit(benchmark::kMillisecond);

void SaveSamplePng(benchmark::State& state) {
    qm::host::Image image;
    std::string error;
    if (!qm::host::loadImage(kSample, image, error)) return state.SkipWithError(error.c_str());
    char folder[] = "/tmp/quillmere-bench-XXXXXX";
    if (!mkdtemp(folder)) return state.SkipWithError("mkdtemp");
    const std::string out = std::string(folder) + "/out.png";
    for (auto _ : state)
        if (!qm::host::saveImage(out, image, error)) state.SkipWithError(error.c_str());
}
BENCHMARK(SaveSamplePng)->Unit(benchmark::kMillisecond);

void RegistryPresetWrite(benchmark::State& state) {
    char folder[] = "/tmp/quillmere-bench-XXXXXX";
    if (!mkdtemp(folder)) return state.SkipWithError("mkdtemp");
    setenv("QUILLMERE_REGISTRY", folder, 1);
    std::vector<uint8_t> record(64, 0x5A);
    // A key already holding a few dozen presets, as a user's would.
    for (int i = 0; i < 40; ++i)
        qm::os::registry::setValue(qm::os::registry::Root::CurrentUser, "Software\\Quillmere\\Bench",
                                   "preset " + std::to_string(i), qm::os::registry::kTypeBinary, record);
    for (auto _ : state)
        qm::os::registry::setValue(qm::os::registry::Root::CurrentUser, "Software\\Quillmere\\Bench",
                                   "Last Used", qm::os::registry::kTypeBinary, record);
}
BENCHMARK(RegistryPresetWrite)->Unit(benchmark::kMicrosecond);

}  // namespace
