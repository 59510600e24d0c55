#include "framework/host/transfer.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

namespace qm::fw {
namespace {

constexpr int kNeutralRed = 227, kNeutralGreen = 217, kNeutralBlue = 203;

int checker(int x, int y) { return ((x ^ y) & 4) ? 255 : 192; }

ptrdiff_t at(int row, int32_t stride, ptrdiff_t column) {
    return static_cast<ptrdiff_t>(row) * stride + column;
}

// The walk of the area average along a line of `count` samples into
// `outCount` values: each input pixel gives the part f of itself to the open
// output and the rest (1 - f) to the next one. Its shape depends only on the
// scale s, so it is worked out once for every line.
//
// The walk is exact in integers. s is a float of at most 24 significant bits,
// so with the unit 2^-k, k = max(0, 24 - exponent), s is a whole number S of
// units, and so are every edge s (j + 1), every part f and every sum of
// parts times bytes. Long double arithmetic (64 bits) holds all of these
// exactly as well, and its one rounding, of d / s, cannot reach the next
// integer, since S (q + 1) stays far below 2^64. So truncating d / s in long
// double gives the integer quotient D / S.
struct AreaWalk {
    std::vector<int32_t> part;    // f of sample i, in units
    std::vector<int32_t> closes;  // the output that sample i completes, or -1
    int64_t one = 1;              // 1 in units
    int64_t S = 1;                // s in units
    int used = 0;                 // samples read before the last output completes

    AreaWalk(int count, float s, int outCount) {
        // The preview copy never asks for more outputs than samples; beyond
        // 2^31 neither would fit an int.
        if (count <= 0 || outCount <= 0 || !(s >= 1) || s >= 2147483648.0f) return;
        int e = 0;
        std::frexp(s, &e);
        const int k = std::max(0, 24 - e);
        one = int64_t{1} << k;
        S = static_cast<int64_t>(std::ldexp(s, k));
        part.resize(static_cast<size_t>(count));
        closes.resize(static_cast<size_t>(count));
        int64_t edge = S;
        for (int i = 0, j = 0; i < count && j < outCount; ++i, ++used) {
            const int64_t at = int64_t{i} << k;
            part[static_cast<size_t>(i)] = static_cast<int32_t>(std::min(edge - at, one));
            closes[static_cast<size_t>(i)] = -1;
            if (at + one >= edge) {
                closes[static_cast<size_t>(i)] = j++;
                edge = S * (j + 1);
            }
        }
    }

    // The clamp only guards the conversion; the mean of bytes is a byte.
    uint8_t mean(int64_t sum) const { return static_cast<uint8_t>(std::clamp<int64_t>(sum / S, 0, 255)); }
};

// An image plane sample as a byte for the copy; 16-bit values of 32768 and up
// read as 255.
uint8_t copySample(const uint8_t* p, bool sixteenBit) {
    if (!sixteenBit) return p[0];
    if (p[1] & 0x80) return 255;
    return static_cast<uint8_t>((p[1] << 1) | (p[0] >> 7));
}

// Horizontal walk of every source row into the scratch, then the vertical walk
// of the copy's columns into `out` (sample index (j x outStride + i) x outStep),
// a scratch row at a time with every column's sum side by side.
template <class ReadSample>
void reduce(int W, int H, float s, int outW, int outH, uint8_t* scratch, int32_t rowStep,
            ReadSample readSample, uint8_t* out, int outStride, int outStep) {
    const AreaWalk across(W, s, outW), down(H, s, outH);
    for (int r = 0; r < H; ++r) {
        uint8_t* line = scratch + at(r, rowStep, 0);
        int64_t d = 0;
        for (int i = 0; i < across.used; ++i) {
            const int64_t g = readSample(r, i), f = across.part[static_cast<size_t>(i)];
            d += f * g;
            if (const int j = across.closes[static_cast<size_t>(i)]; j >= 0) {
                line[j] = across.mean(d);
                d = g * (across.one - f);
            }
        }
    }
    std::vector<int64_t> sums(static_cast<size_t>(std::max(outW, 0)), 0);
    for (int k = 0; k < down.used; ++k) {
        const uint8_t* line = scratch + at(k, rowStep, 0);
        const int64_t f = down.part[static_cast<size_t>(k)], rest = down.one - f;
        const int j = down.closes[static_cast<size_t>(k)];
        if (j < 0) {
            for (int i = 0; i < outW; ++i) sums[static_cast<size_t>(i)] += f * line[i];
            continue;
        }
        uint8_t* row = out + static_cast<ptrdiff_t>(j) * outStride * outStep;
        for (int i = 0; i < outW; ++i) {
            const int64_t g = line[i];
            row[static_cast<ptrdiff_t>(i) * outStep] = down.mean(sums[static_cast<size_t>(i)] + f * g);
            sums[static_cast<size_t>(i)] = g * rest;
        }
    }
}

}  // namespace

int16_t loadSample15(const uint8_t* p, bool sixteenBit) {
    if (!sixteenBit) return scale8To15(p[0]);
    return scale16To15(static_cast<uint16_t>(p[0] | (p[1] << 8)));
}

void storeSample15(uint8_t* p, bool sixteenBit, int value) {
    if (!sixteenBit) {
        p[0] = scale15To8(value);
        return;
    }
    const uint16_t v = scale15To16(value);
    p[0] = static_cast<uint8_t>(v & 0xFF);
    p[1] = static_cast<uint8_t>(v >> 8);
}

HostImage hostImageOf(const FilterRecord& record, int planes, bool sixteenBit) {
    HostImage image;
    image.data = static_cast<const uint8_t*>(record.inData);
    image.stride = record.inRowBytes;
    image.width = record.imageSize.h;
    image.height = record.imageSize.v;
    image.planes = planes;
    image.hostPlanes = record.planes;
    image.sixteenBit = sixteenBit;
    if (record.haveMask) {
        image.mask = static_cast<const uint8_t*>(record.maskData);
        image.maskStride = record.maskRowBytes;
    }
    return image;
}

// ---- source pixels ---------------------------------------------------------------

namespace {

Pixel15 imagePixel(const HostImage& image, int64_t column, int64_t row) {
    Pixel15 px;
    if (!image.data || image.width <= 0 || image.height <= 0) return px;
    const int c = static_cast<int>(std::clamp<int64_t>(column, 0, image.width - 1));
    const int r = static_cast<int>(std::clamp<int64_t>(row, 0, image.height - 1));
    const int bps = image.sixteenBit ? 2 : 1;
    const uint8_t* p = image.data + at(r, image.stride, static_cast<ptrdiff_t>(c) * image.planes * bps);
    px.r = loadSample15(p, image.sixteenBit);
    px.g = loadSample15(p + bps, image.sixteenBit);
    px.b = loadSample15(p + 2 * bps, image.sixteenBit);
    if (image.planes >= 4) px.a = loadSample15(p + 3 * bps, image.sixteenBit);
    if (image.mask) px.mask = image.mask[at(r, image.maskStride, c)];
    return px;
}

Pixel15 copyPixel(const PreviewBuffers& preview, int x, int y) {
    Pixel15 px;
    const size_t pixels = static_cast<size_t>(std::max(preview.width, 0)) *
                          static_cast<size_t>(std::max(preview.height, 0));
    if (pixels == 0 || preview.planes < 3 ||
        preview.copy.size() < pixels * static_cast<size_t>(preview.planes))
        return px;
    const int c = std::clamp(x, 0, preview.width - 1);
    const int r = std::clamp(y, 0, preview.height - 1);
    const size_t index = static_cast<size_t>(r) * static_cast<size_t>(preview.width) + static_cast<size_t>(c);
    const uint8_t* p = preview.copy.data() + index * static_cast<size_t>(preview.planes);
    px.r = scale8To15(p[0]);
    px.g = scale8To15(p[1]);
    px.b = scale8To15(p[2]);
    if (preview.planes >= 4) px.a = scale8To15(p[3]);
    if (preview.maskCopy.size() >= pixels) px.mask = preview.maskCopy[index];
    return px;
}

}  // namespace

Pixel15 sourcePixel(const HostImage& image, const PreviewBuffers* preview, const SourceView& view,
                    int x, int y) {
    switch (view.kind) {
    case SourceView::Kind::Fit:
        if (preview) return copyPixel(*preview, x, y);
        return imagePixel(image, x, y);
    case SourceView::Kind::Zoom: {
        const int64_t z = view.zoom > 0 ? view.zoom : 100;
        return imagePixel(image, int64_t{x} * 100 / z + view.offX, int64_t{y} * 100 / z + view.offY);
    }
    case SourceView::Kind::Final:
        break;
    }
    return imagePixel(image, x, y);
}

// ---- the preview copy ------------------------------------------------------------

CopySize previewCopySize(int32_t width, int32_t height, float scale) {
    const long double s = scale >= 1.0f ? static_cast<long double>(scale) : 1.0L;
    CopySize size;
    if (width > 0) size.width = static_cast<int>(static_cast<long double>(width) / s);
    if (height > 0) size.height = static_cast<int>(static_cast<long double>(height) / s);
    return size;
}

bool makePreviewCopy(const HostImage& image, uint8_t* scratch, int32_t scratchStride,
                     float scale, PreviewBuffers& preview) {
    const int W = image.width, H = image.height;
    const int bps = image.sixteenBit ? 2 : 1;
    if (!image.data || W <= 0 || H <= 0 || !scratch || scratchStride < W ||
        image.stride < static_cast<int64_t>(W) * image.planes * bps)
        return false;
    const size_t areaPixels = static_cast<size_t>(std::max(preview.width, 0)) *
                              static_cast<size_t>(std::max(preview.height, 0));
    if (preview.copy.size() < areaPixels * static_cast<size_t>(std::max(preview.planes, 0)))
        return false;

    const float s = scale >= 1.0f ? scale : 1.0f;
    const CopySize full = previewCopySize(W, H, scale);
    const int outW = std::min(full.width, preview.width);
    const int outH = std::min(full.height, preview.height);
    preview.copyWidth = outW;
    preview.copyHeight = outH;
    if (outW <= 0 || outH <= 0) return true;

    // The scratch rows are outData's own rows: a source stride (a mask's
    // above all) would put them across the ends of its rows, into memory
    // past the image that the host may keep for itself.
    const int planes = std::min(image.planes, preview.planes);
    const int32_t imageStep = scratchStride;
    for (int p = 0; p < planes; ++p) {
        reduce(
            W, H, s, outW, outH, scratch, imageStep,
            [&](int r, int i) {
                const ptrdiff_t sample = static_cast<ptrdiff_t>(i) * image.planes + p;
                return copySample(image.data + at(r, image.stride, sample * bps), image.sixteenBit);
            },
            preview.copy.data() + p, preview.width, preview.planes);
    }
    if (image.mask && image.maskStride >= W && preview.maskCopy.size() >= areaPixels) {
        reduce(
            W, H, s, outW, outH, scratch, scratchStride,
            [&](int r, int i) { return image.mask[at(r, image.maskStride, i)]; },
            preview.maskCopy.data(), preview.width, 1);
    }
    return true;
}

// ---- the navigator thumbnail -----------------------------------------------------

ThumbnailSize navigatorThumbnailSize(int32_t imageWidth, int32_t imageHeight) {
    ThumbnailSize size;
    if (imageWidth <= 0 || imageHeight <= 0) return size;
    const int64_t longer = std::max(imageWidth, imageHeight);
    const int64_t shorter = std::min(imageWidth, imageHeight);
    const int side = static_cast<int>(shorter * 200 / longer / 4 * 4);
    size.width = imageWidth >= imageHeight ? 200 : side;
    size.height = imageWidth >= imageHeight ? side : 200;
    return size;
}

RgbBytes thumbnailPixel(const HostImage& image, ThumbnailSize size, int x, int y) {
    if (!image.data || image.width <= 0 || image.height <= 0 || size.width <= 0 || size.height <= 0)
        return RgbBytes{};
    const int64_t sx = std::clamp<int64_t>(int64_t{x} * image.width / size.width, 0, image.width - 1);
    const int64_t sy = std::clamp<int64_t>(int64_t{y} * image.height / size.height, 0, image.height - 1);
    const bool sixteen = image.sixteenBit;
    const int bps = sixteen ? 2 : 1;
    const int used = image.planes >= 4 ? 4 : 3;

    // The walk steps by the host's planes; a host reporting more planes than it
    // delivered would run past the end on the last row, so the read is kept
    // inside the delivered image.
    const int64_t extent =
        int64_t{image.height - 1} * image.stride + int64_t{image.width} * image.planes * bps;
    int64_t offset = sy * image.stride + sx * image.hostPlanes * bps;
    offset = std::clamp<int64_t>(offset, 0, std::max<int64_t>(extent - used * bps, 0));
    const uint8_t* p = image.data + offset;

    auto channel = [&](int k) -> int {
        if (!sixteen) return p[k];
        const int v = p[2 * k] | (p[2 * k + 1] << 8);
        return (v & 0x8000) ? 255 : v >> 7;
    };
    int a = 255;
    if (used == 4) {
        if (!sixteen) a = p[3];
        else a = (p[7] & 0x80) ? 255 : p[7] * 2;
    }
    const int m = image.mask ? image.mask[at(static_cast<int>(sy), image.maskStride, static_cast<ptrdiff_t>(sx))] : 255;
    const int k = checker(x, y);
    auto shade = [&](int c, int base) {
        const int faded = ((c - base) * m + base * 255) / 255;
        return static_cast<uint8_t>(((255 - a) * k + a * faded) / 255);
    };
    return RgbBytes{shade(channel(0), kNeutralRed), shade(channel(1), kNeutralGreen),
               shade(channel(2), kNeutralBlue)};
}

bool makeNavigatorThumbnail(const HostImage& image, ThumbnailSize size, std::span<uint8_t> bgr) {
    if (size.width <= 0 || size.height <= 0) return true;
    const size_t stride = static_cast<size_t>(size.width) * 3;
    if (bgr.size() < stride * static_cast<size_t>(size.height)) return false;
    for (int y = 0; y < size.height; ++y)
        for (int x = 0; x < size.width; ++x) {
            const RgbBytes c = thumbnailPixel(image, size, x, y);
            uint8_t* out = bgr.data() + static_cast<size_t>(y) * stride + static_cast<size_t>(x) * 3;
            out[0] = c.blue;
            out[1] = c.green;
            out[2] = c.red;
        }
    return true;
}

// ---- the displayed preview ---------------------------------------------------------

void convertDisplayToBitmap(PreviewBuffers& preview, uint32_t background) {
    const int w = preview.width, h = preview.height, P = preview.planes;
    if (w <= 0 || h <= 0 || P < 3 ||
        preview.display.size() < static_cast<size_t>(w) * static_cast<size_t>(h) * static_cast<size_t>(P))
        return;
    const int rw = std::min(preview.renderedWidth, w), rh = std::min(preview.renderedHeight, h);
    const auto bgRed = static_cast<uint8_t>(background & 0xFF);
    const auto bgGreen = static_cast<uint8_t>((background >> 8) & 0xFF);
    const auto bgBlue = static_cast<uint8_t>((background >> 16) & 0xFF);
    const bool opaqueBackground = (background >> 24) == 0xFF;

    // Forward in place: pixel n is written to bytes 3n .. 3n + 2, which never
    // reach the P-byte samples of any later pixel.
    uint8_t* buffer = preview.display.data();
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const size_t n = static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x);
            const uint8_t* in = buffer + n * static_cast<size_t>(P);
            uint8_t* out = buffer + n * 3;
            uint8_t red, green, blue;
            if (x < rw && y < rh) {
                red = in[0];
                green = in[1];
                blue = in[2];
                if (P >= 4) {
                    const int a = in[3], k = checker(x, y);
                    auto blend = [&](int c) { return static_cast<uint8_t>(((255 - a) * k + c * a) / 255); };
                    red = blend(red);
                    green = blend(green);
                    blue = blend(blue);
                }
            } else if (P < 4 || opaqueBackground) {
                red = bgRed;
                green = bgGreen;
                blue = bgBlue;
            } else {
                red = green = blue = static_cast<uint8_t>(checker(x, y));
            }
            out[0] = blue;
            out[1] = green;
            out[2] = red;
        }
    preview.displayValid = true;
}

}  // namespace qm::fw
