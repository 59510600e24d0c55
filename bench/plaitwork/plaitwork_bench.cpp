// Plaitwork 2000 through its entry point with a fake host record, as a host
// runs it without the dialog (so with the default preset, SURREA_FACEABLE):
// the final pass on a 4000 x 3000 photo-sized image, and a 600 x 600 image,
// the work of one full preview render (scale 1).
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "framework/host/entry.h"
#include "framework/host/filter_description.h"
#include "framework/host/filter_session.h"
#include "platform/pluginapi/pluginapi.h"
#include "tests/filters/plaitwork/plaitwork_harness.h"

namespace {

struct FakeHost {
    FakeHost(int w, int h) : width(w), height(h) {
        in.resize(static_cast<size_t>(w) * static_cast<size_t>(h) * 3);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                uint8_t* p = &in[(static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)) * 3];
                p[0] = static_cast<uint8_t>(x * 255 / w);
                p[1] = static_cast<uint8_t>(y * 255 / h);
                p[2] = static_cast<uint8_t>(128 + 100 * std::sin((x + y) * 0.01));
            }
        out.assign(in.size(), 0);
    }
    int16_t call(int16_t selector) {
        int16_t result = 0;
        intptr_t data = 0;
        qm::fw::handleSelector(qm::fw::filterDescription(), selector, &fr, &data, &result);
        return result;
    }
    int16_t run() {
        fr = FilterRecord{};
        fr.imageSize = {static_cast<int16_t>(height), static_cast<int16_t>(width)};
        fr.planes = 3;
        fr.imageMode = RGBMode;
        fr.filterCase = filterCaseFlatImageNoSelection;
        fr.backColor[0] = fr.backColor[1] = fr.backColor[2] = 255;
        int16_t r = call(filterSelectorPrepare);
        if (r == noErr) r = call(filterSelectorStart);
        if (r != noErr) return r;
        fr.inData = in.data();
        fr.outData = out.data();
        fr.inRowBytes = fr.outRowBytes = width * 3;
        return call(filterSelectorContinue);
    }
    int width, height;
    FilterRecord fr{};
    std::vector<uint8_t> in, out;
};

void runFinalPass(benchmark::State& state, int w, int h) {
    setenv("QUILLMERE_REGISTRY", "/tmp/quillmere-plaitwork-bench", 1);
    if (qm::plaitwork::test::presetRecord("SURREA_FACEABLE").empty()) {
        state.SkipWithError("the default preset is missing");
        return;
    }
    FakeHost host(w, h);
    for (auto _ : state) {
        if (host.run() != noErr) {
            state.SkipWithError("the filter did not run");
            break;
        }
        benchmark::DoNotOptimize(host.out.data());
    }
    state.SetItemsProcessed(state.iterations() * w * h);
}

void BM_FinalPass4000x3000(benchmark::State& state) { runFinalPass(state, 4000, 3000); }
void BM_PreviewSized600x600(benchmark::State& state) { runFinalPass(state, 600, 600); }

BENCHMARK(BM_FinalPass4000x3000)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_PreviewSized600x600)->Unit(benchmark::kMillisecond);

}  // namespace
