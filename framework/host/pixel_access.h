// A render's access to its pixels: the source pixel behind region column x,
// row y in the current view, on the 15-bit scale, and the output pixel.
#pragma once

#include <cstdint>

#include "framework/host/pixel15.h"

namespace qm::fw {

struct RenderState;

Pixel15 readSourcePixel(const RenderState& state, int x, int y);

// Writes R, G, B (and the transparency with 4 planes), each 0..32767, to the
// region's destination: a byte (value / 128) at 8 bits and in the preview, a
// 16-bit value low byte first at 16 bits.
void writeOutputPixel(const RenderState& state, int x, int y, int32_t r, int32_t g, int32_t b,
                      int32_t a);

}  // namespace qm::fw
