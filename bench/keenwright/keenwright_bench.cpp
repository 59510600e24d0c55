// Keenwright's renders with its DEFAULT preset: the final pass over a
// 4000 x 3000 RGB photograph (the bundled sample scaled up), and a Fit-view
// preview of 900 x 600 with and without the cached smoothing.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "framework/host/filter_description.h"
#include "framework/host/filter_session.h"
#include "framework/host/preview_buffers.h"
#include "framework/host/preview_geometry.h"
#include "framework/host/render_loop.h"
#include "framework/host/render_state.h"
#include "filters/keenwright/sharpen_kernel.h"
#include "bench/dialog_preview.h"
#include "host/image.h"
#include "tests/filters/quiet_dialog.h"
#include "tests/support/fake_host.h"
#include "tools/presetc/preset_text.h"

using namespace qm;

namespace {

const fw::FilterDescription& filter() { return fw::filterDescription(); }

bool defaultPreset(std::vector<uint8_t>& record, std::string& error) {
    std::ifstream in(std::string(QM_SOURCE_DIR) + "/resources/keenwright/presets/default.txt");
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    tools::PresetTextError e;
    if (!tools::compilePresetText(text, filter(), record, e)) {
        error = "DEFAULT preset: " + e.message;
        return false;
    }
    return true;
}

// The sample photograph resampled (bilinear) to width x height, RGB.
bool photograph(int width, int height, std::vector<uint8_t>& pixels, std::string& error) {
    host::Image img;
    if (!host::loadImage(std::string(QM_SOURCE_DIR) + "/samples/seeding.jpg", img, error)) return false;
    pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height) * 3);
    for (int y = 0; y < height; ++y) {
        const double sy = (y + 0.5) * img.height / height - 0.5;
        const int y0 = std::max(0, static_cast<int>(sy)), y1 = std::min(img.height - 1, y0 + 1);
        const double fy = std::max(0.0, sy - y0);
        for (int x = 0; x < width; ++x) {
            const double sx = (x + 0.5) * img.width / width - 0.5;
            const int x0 = std::max(0, static_cast<int>(sx)), x1 = std::min(img.width - 1, x0 + 1);
            const double fx = std::max(0.0, sx - x0);
            for (int c = 0; c < 3; ++c) {
                const double top = img.sample(x0, y0, c) * (1 - fx) + img.sample(x1, y0, c) * fx;
                const double bottom = img.sample(x0, y1, c) * (1 - fx) + img.sample(x1, y1, c) * fx;
                pixels[(static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 3 +
                       static_cast<size_t>(c)] = static_cast<uint8_t>(top * (1 - fy) + bottom * fy + 0.5);
            }
        }
    }
    return true;
}

void FinalPass4000x3000(benchmark::State& state) {
    constexpr int W = 4000, H = 3000;
    std::vector<uint8_t> record, in;
    std::string error;
    if (!defaultPreset(record, error) || !photograph(W, H, in, error)) return state.SkipWithError(error.c_str());

    test::FakeHost host(filter(), {W, H});
    std::copy(in.begin(), in.end(), host.in.begin());
    if (host.open() != noErr) return state.SkipWithError("memory");

    for (auto _ : state) {
        host.session.data = filter().beginSession(host.session);  // a new session: the smoothing runs
        if (host.renderRecord(record.data()) != noErr) state.SkipWithError("render failed");
        benchmark::DoNotOptimize(host.out.data());
    }
    state.counters["q"] = qm::keenwright::stepCount(
        static_cast<int>(450 * fw::laterPreviewGeometry(W, H).previewScale));
    state.SetItemsProcessed(state.iterations() * W * H);
}
BENCHMARK(FinalPass4000x3000)->Unit(benchmark::kSecond)->Iterations(1);

// Each render follows an Amount change; cached: the smoothing of the first
// render serves all later ones.
void FitPreview900x600(benchmark::State& state) {
    const bool cached = state.range(0) != 0;
    constexpr int W = 900, H = 600;
    std::vector<uint8_t> record, photo;
    std::string error;
    if (!defaultPreset(record, error) || !photograph(W, H, photo, error)) return state.SkipWithError(error.c_str());

    // The host's image behind the preview (what a zoom would read).
    test::FakeHost host(filter(), {W, H});
    std::copy(photo.begin(), photo.end(), host.in.begin());
    if (host.open() != noErr) return state.SkipWithError("memory");
    fw::FilterSession& session = host.session;
    fw::PreviewBuffers preview;
    preview.allocate(W, H, 3, false);
    std::copy(photo.begin(), photo.end(), preview.copy.begin());
    preview.renderedWidth = W;
    preview.renderedHeight = H;
    preview.transferred = true;
    qm::test::QuietDialog<> dialog(12);
    fw::unpackFields(record.data(), session.format, dialog.knobs.slots);
    const fw::DialogScope open(session, &preview, &dialog);
    fw::RenderState& render = host.state();
    fw::render(render);

    int amount = dialog.knobs.slots[7];
    for (auto _ : state) {
        amount = amount == 60 ? 61 : 60;
        dialog.knobs.slots[7] = amount;
        if (!cached) session.data = filter().beginSession(session);
        if (fw::render(render) != noErr) state.SkipWithError("render failed");
        benchmark::DoNotOptimize(preview.display.data());
    }
}
BENCHMARK(FitPreview900x600)->Arg(0)->Arg(1)->ArgName("cached")->Unit(benchmark::kMillisecond);

// A slider moved in the dialog over a 6000 x 4000 photograph, to the finished
// Fit-view preview: Radius (slot 0) smooths again, Amount (slot 7) reuses it.
void SliderToFitPreview24MP(benchmark::State& state) {
    constexpr int W = 6000, H = 4000;
    const int slot = static_cast<int>(state.range(0));
    std::vector<uint8_t> record, photo;
    std::string error;
    if (!defaultPreset(record, error) || !photograph(W, H, photo, error)) return state.SkipWithError(error.c_str());
    test::FakeHost host(filter(), {W, H});
    std::copy(photo.begin(), photo.end(), host.in.begin());
    if (host.open() != noErr) return state.SkipWithError("memory");
    bench::TimedDialog dialog(12);
    fw::unpackFields(record.data(), host.session.format, dialog.knobs.slots);
    const int32_t base = dialog.knobs.slots[static_cast<size_t>(slot)];
    bench::previewAfterChanges(state, host, dialog, [&](fw::ValueSlots& s, int i) {
        s[static_cast<size_t>(slot)] = base + i % 2;
    });
}
BENCHMARK(SliderToFitPreview24MP)->Arg(0)->Arg(7)->ArgName("slot")->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
