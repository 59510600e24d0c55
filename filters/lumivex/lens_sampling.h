// Sub-pixel sampling (offsets in 1/64 pixel, clamped into the inner
// rectangle), the rectangle mask and the inclusion strength.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace qm::lumivex {

// Where a sample at offsets (ox, oy) from (x, y) reads: the clamped top-left
// neighbour, the right and lower neighbours, and the 6-bit fractions.
struct SamplePos {
    int ix, iy, ix1, iy1;
    int fx, fy;
    bool direct;  // both offsets 0: read (ix, iy) as it is
};

// The clamp of one axis: positions at or past the last index go to the one
// before it, then positions at or before 0 go to 1. Images narrower than 3
// pixels have no inner ring; there the indices are kept inside the image.
inline void clampAxis(int position, int size, int& at, int& next) {
    if (position >= size - 1) position = size - 2;
    if (position <= 0) position = 1;
    at = std::min(position, size - 1);
    next = std::min(position + 1, size - 1);
}

inline SamplePos locate(int x, int y, int32_t ox, int32_t oy, int width, int height) {
    SamplePos s;
    clampAxis(x + (ox >> 6), width, s.ix, s.ix1);
    clampAxis(y + (oy >> 6), height, s.iy, s.iy1);
    s.fx = ox & 63;
    s.fy = oy & 63;
    s.direct = ox == 0 && oy == 0;
    return s;
}

// The height map (index y x width + x) at a sub-pixel position.
inline int32_t sampleHeight(const int16_t* map, int width, const SamplePos& s) {
    const size_t row = static_cast<size_t>(s.iy) * static_cast<size_t>(width);
    const size_t row1 = static_cast<size_t>(s.iy1) * static_cast<size_t>(width);
    if (s.direct) return map[row + static_cast<size_t>(s.ix)];
    const int32_t sum = (64 - s.fx) * (64 - s.fy) * map[row + static_cast<size_t>(s.ix)] +
                        s.fx * (64 - s.fy) * map[row + static_cast<size_t>(s.ix1)] +
                        (64 - s.fx) * s.fy * map[row1 + static_cast<size_t>(s.ix)] +
                        s.fx * s.fy * map[row1 + static_cast<size_t>(s.ix1)];
    return sum / 4096;
}

// Channels 0..channels-1 of interleaved 8-bit pixels at a sub-pixel position.
inline void samplePixel(const uint8_t* data, int32_t stride, int planes, const SamplePos& s,
                        int channels, int32_t* out) {
    const uint8_t* p00 = data + static_cast<size_t>(s.iy) * static_cast<size_t>(stride) +
                         static_cast<size_t>(s.ix) * static_cast<size_t>(planes);
    if (s.direct) {
        for (int c = 0; c < channels; ++c) out[c] = p00[c];
        return;
    }
    const uint8_t* p10 = data + static_cast<size_t>(s.iy) * static_cast<size_t>(stride) +
                         static_cast<size_t>(s.ix1) * static_cast<size_t>(planes);
    const uint8_t* p01 = data + static_cast<size_t>(s.iy1) * static_cast<size_t>(stride) +
                         static_cast<size_t>(s.ix) * static_cast<size_t>(planes);
    const uint8_t* p11 = data + static_cast<size_t>(s.iy1) * static_cast<size_t>(stride) +
                         static_cast<size_t>(s.ix1) * static_cast<size_t>(planes);
    const int32_t w00 = (64 - s.fx) * (64 - s.fy), w10 = s.fx * (64 - s.fy);
    const int32_t w01 = (64 - s.fx) * s.fy, w11 = s.fx * s.fy;
    for (int c = 0; c < channels; ++c)
        out[c] = (w00 * p00[c] + w10 * p10[c] + w01 * p01[c] + w11 * p11[c]) >> 12;
}

struct MaskRect {
    int left = 0, right = 0, top = 0, bottom = 0;  // pixels of the render target
};

// 255 inside the rectangle, falling by 20 a pixel of distance outside.
inline int rectangleMask(const MaskRect& r, int x, int y) {
    const int distance = std::max(0, r.top - y) + std::max(0, y - r.bottom) +
                         std::max(0, x - r.right) + std::max(0, r.left - x);
    return std::max(0, 255 - 20 * std::min(distance, 13));
}

// How strongly the lens acts (0..255) at rectangle-mask value m for the
// inclusion A: below 50 outside the rectangle, above 50 inside it.
inline int inclusionStrength(int m, int inclusion) {
    if (inclusion < 50) return (15300 - (60 - inclusion) * m) / 60;
    return (15300 + (inclusion - 40) * (m - 255)) / 60;
}

}  // namespace qm::lumivex
