// Pattern pixels as the texture filter reads them: RGB bytes (a fourth,
// transparency, byte may follow), rows from the top, tiled sampling in
// 1/64 pixel, and the integer HSV conversion (hue: 1536 steps a circle).
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>

namespace qm::marbleloom {

struct Rgb {
    uint8_t r = 0, g = 0, b = 0;
    bool operator==(const Rgb&) const = default;
};

struct Hsv {
    int h = 0, s = 0, v = 0;
};

// The colour of a pattern without pixels ("default raw").
constexpr Rgb kDefaultRawColour{128, 64, 64};

struct PixelView {
    const uint8_t* data = nullptr;  // red, green, blue first in each pixel
    int width = 0;
    int height = 0;
    int bytesPerPixel = 3;
    ptrdiff_t rowStride = 0;

    bool empty() const { return data == nullptr || width <= 0 || height <= 0; }
    const uint8_t* at(int x, int y) const {
        return data + static_cast<ptrdiff_t>(y) * rowStride + static_cast<ptrdiff_t>(x) * bytesPerPixel;
    }
};

// n x 255 / d, truncated, for 0 <= n <= d <= 255 and d > 0, without a
// division (four a pixel and layer add up): with m = ceil(2^24 / d), the
// error of m is below d, so (x m) >> 24 is x / d for every x below 2^16.
inline int times255Over(int n, int d) {
    static constexpr std::array<uint32_t, 256> reciprocals = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t k = 1; k < 256; ++k) t[k] = ((1u << 24) + k - 1) / k;
        return t;
    }();
    return static_cast<int>((uint64_t(static_cast<uint32_t>(n) * 255u) * reciprocals[static_cast<size_t>(d)]) >> 24);
}

// Each quotient truncates on its own, in the order red, green, blue is max.
inline Hsv rgbToHsv(uint8_t r, uint8_t g, uint8_t b) {
    const int mx = std::max({r, g, b});
    const int mn = std::min({r, g, b});
    Hsv out;
    out.v = mx;
    if (mx == 0 || mx == mn) return out;
    const int d = mx - mn;
    out.s = times255Over(d, mx);
    if (r == mx)
        out.h = times255Over(mx - b, d) - times255Over(mx - g, d);
    else if (g == mx)
        out.h = times255Over(mx - r, d) - times255Over(mx - b, d) + 512;
    else
        out.h = times255Over(mx - g, d) - times255Over(mx - r, d) + 1024;
    return out;
}

inline Rgb hsvToRgb(int h, int s, int v) {
    if (h < 0) h += 1536;
    if (h >= 1536) h -= 1536;
    s = std::clamp(s, 0, 255);
    v = std::clamp(v, 0, 255);
    const int sector = h / 256;
    const int f = h & 255;
    const auto low = static_cast<uint8_t>((255 - s) * v / 255);
    const auto falling = static_cast<uint8_t>((255 - s * f / 255) * v / 255);
    const auto rising = static_cast<uint8_t>((255 - (255 - f) * s / 255) * v / 255);
    const auto val = static_cast<uint8_t>(v);
    switch (sector) {
        case 0: return {val, rising, low};
        case 1: return {falling, val, low};
        case 2: return {low, val, rising};
        case 3: return {low, falling, val};
        case 4: return {rising, low, val};
        default: return {val, low, falling};
    }
}

// Bilinear, tiled, the grid shifted by a quarter pixel; negative positions
// wrap like positive ones.
inline Rgb samplePattern(const PixelView& p, int64_t row, int64_t column) {
    if (p.empty()) return kDefaultRawColour;
    auto split = [](int64_t pos, int size, int& i0, int& i1, int& frac) {
        const int64_t shifted = pos - 16;
        const int64_t whole = shifted >= 0 ? shifted / 64 : -((-shifted + 63) / 64);
        // One remainder: a second one to fold negatives is a second division.
        int64_t wrapped = whole % size;
        if (wrapped < 0) wrapped += size;
        i0 = static_cast<int>(wrapped);
        i1 = i0 + 1 == size ? 0 : i0 + 1;
        frac = static_cast<int>(shifted & 63);
    };
    int c0, c1, fx, r0, r1, fy;
    split(column, p.width, c0, c1, fx);
    split(row, p.height, r0, r1, fy);
    const uint8_t* a = p.at(c0, r0);
    const uint8_t* b = p.at(c1, r0);
    const uint8_t* c = p.at(c0, r1);
    const uint8_t* d = p.at(c1, r1);
    const int wa = (64 - fx) * (64 - fy), wb = fx * (64 - fy), wc = (64 - fx) * fy, wd = fx * fy;
    auto mix = [&](int k) { return static_cast<uint8_t>((a[k] * wa + b[k] * wb + c[k] * wc + d[k] * wd) / 4096); };
    return {mix(0), mix(1), mix(2)};
}

}  // namespace qm::marbleloom
