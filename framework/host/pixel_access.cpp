#include "framework/host/pixel_access.h"

#include <algorithm>

#include "framework/host/filter_session.h"
#include "framework/host/render_state.h"

namespace qm::fw {
namespace {

int32_t sample15(const uint8_t* p, bool sixteenBit) {
    if (!sixteenBit) return *p << 7;
    const int32_t v = p[0] | p[1] << 8;
    return v < 32768 ? v : 32767;
}

}  // namespace

SourcePixel readSourcePixel(const RenderState& state, int x, int y) {
    const RenderRegion& r = state.region;
    const uint8_t* data = r.source;
    int32_t stride = r.sourceStride;
    bool sixteenBit = r.sourceSixteenBit;
    const uint8_t* mask = r.mask;
    int32_t maskStride = r.maskStride;
    int32_t width = r.width, height = r.height;
    int32_t sx = x, sy = y;

    if (state.view.kind == SourceView::Kind::Zoom) {
        // Zoomed previews read the full-resolution image around the
        // navigator's position.
        const FilterRecord& fr = *state.session->record;
        data = static_cast<const uint8_t*>(fr.inData);
        stride = fr.inRowBytes;
        sixteenBit = libraryState().sixteenBitMode;
        mask = fr.haveMask ? static_cast<const uint8_t*>(fr.maskData) : nullptr;
        maskStride = fr.maskRowBytes;
        width = fr.imageSize.h;
        height = fr.imageSize.v;
        const int zoom = state.view.zoom > 0 ? state.view.zoom : 100;
        sx = x * 100 / zoom + state.view.offX;
        sy = y * 100 / zoom + state.view.offY;
    }
    sx = std::clamp(sx, 0, std::max(width - 1, 0));
    sy = std::clamp(sy, 0, std::max(height - 1, 0));

    SourcePixel p;
    const size_t bytes = sixteenBit ? 2 : 1;
    const uint8_t* at = data + static_cast<size_t>(sy) * static_cast<size_t>(stride) +
                        static_cast<size_t>(sx) * static_cast<size_t>(r.planes) * bytes;
    p.r = sample15(at, sixteenBit);
    p.g = sample15(at + bytes, sixteenBit);
    p.b = sample15(at + 2 * bytes, sixteenBit);
    if (r.planes == 4) p.a = sample15(at + 3 * bytes, sixteenBit);
    if (mask) p.mask = mask[static_cast<size_t>(sy) * static_cast<size_t>(maskStride) + static_cast<size_t>(sx)];
    return p;
}

void writeOutputPixel(const RenderState& state, int x, int y, int32_t r, int32_t g, int32_t b,
                      int32_t a) {
    const RenderRegion& region = state.region;
    const bool sixteenBit = region.destinationSixteenBit;
    const size_t bytes = sixteenBit ? 2 : 1;
    uint8_t* at = region.destination + static_cast<size_t>(y) * static_cast<size_t>(region.destinationStride) +
                  static_cast<size_t>(x) * static_cast<size_t>(region.planes) * bytes;
    const int32_t values[4] = {r, g, b, a};
    for (int c = 0; c < region.planes && c < 4; ++c) {
        const int32_t v = std::clamp(values[c], 0, 32767);
        if (sixteenBit) {
            at[2 * c] = static_cast<uint8_t>(v);
            at[2 * c + 1] = static_cast<uint8_t>(v >> 8);
        } else {
            at[c] = static_cast<uint8_t>(v / 128);
        }
    }
}

}  // namespace qm::fw
