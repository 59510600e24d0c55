// A filter built on the framework for end-to-end tests: each colour sample
// becomes sample x gain / 100 + (offset - 128) x 128 on the 15-bit scale,
// blended with the source by the selection; transparency is kept. Its four
// passes load, (two idle passes), and write, as the sharpening filters do.
// A delay (milliseconds a row of the first pass) makes runs slow enough to
// cancel.
#include <algorithm>
#include <chrono>
#include <thread>

#include "framework/host/filter_description.h"
#include "framework/host/filter_session.h"
#include "framework/host/pixel_access.h"
#include "framework/host/render_state.h"

namespace qm::fw {
namespace {

constexpr Setting kSettings[] = {
    slider(0, 8, 0, 255, 100, "gain"),
    slider(1, 8, 0, 255, 128, "offset"),
    slider(2, 8, 0, 255, 0, "delay"),
};
constexpr auto kFields = fieldBytesOf(kSettings);

int prepare(RenderState& state) {
    const size_t pixels = static_cast<size_t>(state.region.width) * static_cast<size_t>(state.region.height);
    return state.workBuffer.size() >= pixels * 3 ? 0 : -1;
}

void renderPass(RenderState& state) {
    const RenderRegion& r = state.region;
    const size_t h = static_cast<size_t>(state.row) * static_cast<size_t>(r.width) +
                     static_cast<size_t>(state.column);
    if (state.pass == 0) {
        if (state.column == 0 && state.values[2] > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(state.values[2]));
        const Pixel15 p = readSourcePixel(state, state.column, state.row);
        state.workBuffer[h * 3] = static_cast<int16_t>(p.r);
        state.workBuffer[h * 3 + 1] = static_cast<int16_t>(p.g);
        state.workBuffer[h * 3 + 2] = static_cast<int16_t>(p.b);
        return;
    }
    if (state.pass != 3) return;
    const Pixel15 source = readSourcePixel(state, state.column, state.row);
    const int32_t gain = state.values[0], offset = state.values[1];
    const int32_t s = source.mask < 0 ? 255 : source.mask;
    int32_t out[3];
    for (int c = 0; c < 3; ++c) {
        const int32_t v = state.workBuffer[h * 3 + static_cast<size_t>(c)];
        const int32_t filtered = std::clamp(v * gain / 100 + (offset - 128) * 128, 0, 32767);
        out[c] = ((255 - s) * v + s * filtered) / 255;
    }
    writeOutputPixel(state, state.column, state.row, out[0], out[1], out[2], source.a);
}

const FilterDescription kFilter{
    .name = "Framework Test", .format = RecordFormat{77, 1, 64, fieldTableOf(kFields)},
    .registryKey = "Software\\Quillmere\\FrameworkTest", .defaultPosition = 2, .passCount = 4,
    .variant = laterVariant("Please use images in RGB 8/16 mode"), .prepare = prepare,
    .renderPass = renderPass, .settings = kSettings
};

}  // namespace

const FilterDescription& filterDescription() { return kFilter; }

}  // namespace qm::fw
