// A render's access to its pixels: the source pixel behind region column x,
// row y in the current view, on the 15-bit scale, and the output pixel.
#pragma once

#include <cstdint>

namespace qm::fw {

struct RenderState;

struct SourcePixel {
    int32_t r = 0, g = 0, b = 0;
    int32_t a = 32767;  // 32767 without a transparency plane
    int32_t mask = -1;  // selection 0..255, or -1 when there is no selection
};

SourcePixel readSourcePixel(const RenderState& state, int x, int y);

// Writes R, G, B (and the transparency with 4 planes), each 0..32767, to the
// region's destination: a byte (value / 128) at 8 bits and in the preview, a
// 16-bit value low byte first at 16 bits.
void writeOutputPixel(const RenderState& state, int x, int y, int32_t r, int32_t g, int32_t b,
                      int32_t a);

}  // namespace qm::fw
