// KeenwrightHD's renders: the final pass over a 4000 x 3000 photo-sized image
// with the DEFAULT settings at 8 and 16 bits, and a Fit-view preview of
// 900 x 600 with and without the cached smoothing.
//   build/bench/keenwrighthd_bench
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "bench/dialog_preview.h"
#include "filters/keenwrighthd/hd_kernel.h"
#include "filters/keenwrighthd/keenwrighthd_filter.h"
#include "framework/host/filter_description.h"
#include "framework/host/filter_session.h"
#include "framework/host/preview_buffers.h"
#include "framework/host/preview_geometry.h"
#include "framework/host/render_loop.h"
#include "framework/host/render_state.h"
#include "framework/settings/record.h"
#include "tests/support/fake_host.h"

namespace {

using namespace qm;

const fw::FilterDescription& hd() { return fw::filterDescription(); }

// DEFAULT: Radius 200 / 25, Highlights 200, Shadows 60, Contrast 125, Softness 50.
void defaultSettings(fw::FilterSession& session) {
    fw::ValueSlots slots{};
    slots[khd::kSlotRadius] = 25 * 512 + 200;
    slots[khd::kSlotPreview] = 2;
    slots[khd::kSlotBrightness] = 60 * 512 + 200;
    slots[khd::kSlotContrast] = 125;
    slots[khd::kSlotSoftness] = 50;
    fw::packFields(session.settings.data(), hd().format, slots);
    fw::sealRecord(session.settings.data(), hd().format, false);
}

// Something photo-like: gradients, edges and grain.
std::vector<uint8_t> picture(int w, int h, bool sixteenBit) {
    const size_t bytes = sixteenBit ? 2 : 1;
    std::vector<uint8_t> data(static_cast<size_t>(w) * static_cast<size_t>(h) * 3 * bytes);
    uint32_t noise = 12345;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 3; ++c) {
                noise = noise * 1664525u + 1013904223u;
                int v = (x / 7 + y / 5 + c * 60) % 180 + ((x / 300 + y / 200) % 2) * 60 + static_cast<int>(noise >> 29);
                v = v > 255 ? 255 : v;
                const size_t i = ((static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)) * 3 +
                                  static_cast<size_t>(c)) * bytes;
                if (sixteenBit) {
                    const int v16 = v * 128 + (x % 128);
                    data[i] = static_cast<uint8_t>(v16);
                    data[i + 1] = static_cast<uint8_t>(v16 >> 8);
                } else {
                    data[i] = static_cast<uint8_t>(v);
                }
            }
    return data;
}

// The continue selector's session over the picture, with DEFAULT.
struct Session {
    Session(int w, int h, bool sixteenBit) : host(hd(), {w, h, 3, sixteenBit}) {
        const std::vector<uint8_t> p = picture(w, h, sixteenBit);
        std::copy(p.begin(), p.end(), host.in.begin());
        host.open();
        defaultSettings(host.session);
    }
    // A new filter session's state: its smoothing is computed afresh.
    void renew() { host.session.data = hd().beginSession(host.session); }
    khd::HdKernel& kernel() { return khd::hdSessionOf(host.session).kernel; }
    test::FakeHost host;
};

void finalPass(benchmark::State& st, bool sixteenBit) {
    Session s(4000, 3000, sixteenBit);
    for (auto _ : st) {
        s.renew();  // each run its own filter session
        benchmark::DoNotOptimize(s.host.render());
    }
    st.counters["q"] = s.kernel().q();
    st.counters["Mpixel/s"] = benchmark::Counter(12.0 * static_cast<double>(st.iterations()), benchmark::Counter::kIsRate);
}

void BM_FinalPass8(benchmark::State& st) { finalPass(st, false); }
void BM_FinalPass16(benchmark::State& st) { finalPass(st, true); }
BENCHMARK(BM_FinalPass8)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_FinalPass16)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

// The dialog's Fit view of a 3000 x 2000 image: a 900 x 600 region read from
// the preview copy, its passes as the render loop runs them.
void fitPreview(benchmark::State& st, bool cached) {
    Session s(3000, 2000, false);
    fw::PreviewBuffers preview;
    preview.allocate(900, 600, 3, false);
    for (size_t i = 0; i < preview.copy.size(); ++i) preview.copy[i] = s.host.in[i];
    fw::RenderState& r = s.host.state();
    s.host.session.preview = &preview;
    fw::decodeRecord(s.host.session.settings.data(), hd().format, r.values);
    r.region.planes = 3;
    r.region.source = preview.copy.data();
    r.region.sourceStride = 900 * 3;
    r.region.destination = preview.display.data();
    r.region.destinationStride = 900 * 3;
    r.region.width = 900;
    r.region.height = 600;
    r.view.kind = fw::SourceView::Kind::Fit;
    auto renderOnce = [&] {
        hd().prepare(r);
        for (r.pass = 0; r.pass < 4; ++r.pass)
            for (r.row = 0; r.row < 600; ++r.row)
                for (r.column = 0; r.column < 900; ++r.column) hd().renderPass(r);
    };
    s.renew();
    renderOnce();
    for (auto _ : st) {
        if (!cached) s.renew();
        renderOnce();
    }
    s.host.session.preview = nullptr;
}

void BM_FitPreview(benchmark::State& st) { fitPreview(st, false); }
void BM_FitPreviewCached(benchmark::State& st) { fitPreview(st, true); }
BENCHMARK(BM_FitPreview)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FitPreviewCached)->Unit(benchmark::kMillisecond)->UseRealTime();

// A slider moved in the dialog over a 6000 x 4000 image, to the finished
// Fit-view preview: Radius (slot 0) or Contrast (slot 8).
void BM_SliderToFitPreview24MP(benchmark::State& st) {
    const int slot = static_cast<int>(st.range(0));
    Session s(6000, 4000, false);
    bench::TimedDialog dialog(11);
    fw::unpackFields(s.host.session.settings.data(), hd().format, dialog.knobs.slots);
    const int32_t base = dialog.knobs.slots[static_cast<size_t>(slot)];
    bench::previewAfterChanges(st, s.host, dialog, [&](fw::ValueSlots& v, int i) {
        v[static_cast<size_t>(slot)] = base - i % 2;
    });
}
BENCHMARK(BM_SliderToFitPreview24MP)->Arg(0)->Arg(8)->ArgName("slot")->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
