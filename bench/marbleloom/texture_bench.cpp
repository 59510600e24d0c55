// The texture filter's final pass with the factory preset PRESET1 on a
// 4000 x 3000 RGB image, as the framework runs it after the dialog.
#include <benchmark/benchmark.h>

#include "tests/filters/marbleloom/texture_harness.h"

namespace {

using namespace qm::marbleloom;

void BM_FinalPassPreset1(benchmark::State& state) {
    const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
    test::TextureRun run(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            run.set(x, y, static_cast<uint8_t>((x * 7 + y * 3) >> 4), static_cast<uint8_t>((x ^ y) >> 3),
                    static_cast<uint8_t>(((x * y) >> 9) + 40));
    if (!run.open()) state.SkipWithError("no session");
    const qm::fw::ValueSlots slots = test::presetSlots("preset1");
    for (auto _ : state)
        if (run.renderSlots(slots) != noErr) state.SkipWithError("render failed");
    state.SetItemsProcessed(state.iterations() * int64_t{w} * h);
}
BENCHMARK(BM_FinalPassPreset1)->Args({4000, 3000})->Args({600, 600})->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
