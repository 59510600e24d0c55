#include "framework/host/pixel_access.h"

#include <algorithm>

#include "framework/host/filter_session.h"
#include "framework/host/render_state.h"
#include "framework/host/transfer.h"

namespace qm::fw {

Pixel15 readSourcePixel(const RenderState& state, int x, int y) {
    const FilterSession& session = *state.session;
    const HostImage image =
        hostImageOf(*session.record, state.region.planes, libraryState().sixteenBitMode);
    return sourcePixel(image, session.preview, state.view, x, y);
}

void writeOutputPixel(const RenderState& state, int x, int y, int32_t r, int32_t g, int32_t b,
                      int32_t a) {
    const RenderRegion& region = state.region;
    const size_t bytes = region.destinationSixteenBit ? 2 : 1;
    uint8_t* at = region.destination +
                  static_cast<size_t>(y) * static_cast<size_t>(region.destinationStride) +
                  static_cast<size_t>(x) * static_cast<size_t>(region.planes) * bytes;
    const int32_t values[4] = {r, g, b, a};
    for (int c = 0; c < region.planes && c < 4; ++c)
        storeSample15(at + static_cast<size_t>(c) * bytes, region.destinationSixteenBit,
                      std::clamp(values[c], 0, 32767));
}

}  // namespace qm::fw
