// Reading the host's image: sample scales, source pixels per view, the reduced
// preview copy, the navigator thumbnail and the preview bitmap.
#include "framework/host/transfer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

using namespace qm::fw;

namespace {

// A host buffer with exactly the bytes the host guarantees: the last row ends
// at its last sample, so any read or write past it trips the sanitizer.
struct TestImage {
    TestImage(int w, int h, int p, bool sixteen, int32_t padding = 0, bool withMask = false)
        : W(w), H(h), P(p), bps(sixteen ? 2 : 1), stride(w * p * bps + padding) {
        data.assign(static_cast<size_t>((H - 1) * stride + W * P * bps), 0);
        if (withMask) {
            maskStride = W + 3;
            mask.assign(static_cast<size_t>((H - 1) * maskStride + W), 255);
        }
    }
    size_t offset(int x, int y, int p) const {
        return static_cast<size_t>(y * stride + (x * P + p) * bps);
    }
    void set(int x, int y, int p, unsigned v) {
        data[offset(x, y, p)] = static_cast<uint8_t>(v & 0xFF);
        if (bps == 2) data[offset(x, y, p) + 1] = static_cast<uint8_t>(v >> 8);
    }
    void setMask(int x, int y, uint8_t v) { mask[static_cast<size_t>(y * maskStride + x)] = v; }
    HostImage host(int hostPlanes = 0) const {
        HostImage h;
        h.data = data.data();
        h.stride = stride;
        h.width = W;
        h.height = H;
        h.planes = P;
        h.hostPlanes = hostPlanes ? hostPlanes : P;
        h.sixteenBit = bps == 2;
        h.mask = mask.empty() ? nullptr : mask.data();
        h.maskStride = maskStride;
        return h;
    }
    int W, H, P, bps;
    int32_t stride;
    int32_t maskStride = 0;
    std::vector<uint8_t> data, mask;
};

// The host's outData of the same image, but with rows packed tighter than
// inData's: the copy's scratch writes must stay inside it.
std::vector<uint8_t> outDataFor(const TestImage& im, int32_t& outStride) {
    outStride = im.W * im.P * im.bps;
    return std::vector<uint8_t>(static_cast<size_t>((im.H - 1) * outStride + im.W * im.P * im.bps));
}

uint32_t lcg(uint32_t& state) {
    state = state * 1664525u + 1013904223u;
    return state >> 24;
}

// ---- sample scales -----------------------------------------------------------

TEST(SampleScale, ConvertsBetweenHostSamplesAndFifteenBits) {
    struct Case {
        bool sixteen;
        uint8_t lo, hi;
        int16_t fifteen;
    };
    const Case cases[] = {
        {false, 0, 0, 0},           {false, 1, 0, 128},         {false, 255, 0, 32640},
        {true, 0x00, 0x00, 0},      {true, 0x34, 0x12, 0x1234}, {true, 0xFF, 0x7F, 32767},
        {true, 0x00, 0x80, 32767},  {true, 0xFF, 0xFF, 32767},
    };
    for (const Case& c : cases) {
        const uint8_t bytes[2] = {c.lo, c.hi};
        EXPECT_EQ(loadSample15(bytes, c.sixteen), c.fifteen) << int(c.lo) << " " << int(c.hi);
    }

    struct Back {
        int value;
        uint8_t eight;
    };
    for (const Back b : {Back{0, 0}, Back{127, 0}, Back{128, 1}, Back{32640, 255}, Back{32767, 255}}) {
        uint8_t out[2] = {0xAA, 0xAA};
        storeSample15(out, false, b.value);
        EXPECT_EQ(out[0], b.eight) << b.value;
        EXPECT_EQ(out[1], 0xAA) << "an 8-bit store writes one byte";
    }
    uint8_t out[2] = {};
    storeSample15(out, true, 0x1234);
    EXPECT_EQ(out[0], 0x34);
    EXPECT_EQ(out[1], 0x12);
    storeSample15(out, true, 32767);
    EXPECT_EQ(out[0], 0xFF);
    EXPECT_EQ(out[1], 0x7F);
}

// ---- source pixels --------------------------------------------------------------

TEST(SourcePixel, FinalViewReadsTheHostRecordAtItsStrides) {
    TestImage im(5, 4, 4, false, 7, true);
    im.set(3, 2, 0, 10);
    im.set(3, 2, 1, 20);
    im.set(3, 2, 2, 255);
    im.set(3, 2, 3, 0);
    im.setMask(3, 2, 77);

    FilterRecord fr{};
    fr.inData = im.data.data();
    fr.inRowBytes = im.stride;
    fr.imageSize = Point{im.H, im.W};
    fr.planes = 5;
    fr.haveMask = 1;
    fr.maskData = im.mask.data();
    fr.maskRowBytes = im.maskStride;
    const HostImage host = hostImageOf(fr, 4, false);
    EXPECT_EQ(host.hostPlanes, 5);

    const Pixel15 px = sourcePixel(host, nullptr, SourceView{}, 3, 2);
    EXPECT_EQ(px.r, 1280);
    EXPECT_EQ(px.g, 2560);
    EXPECT_EQ(px.b, 32640);
    EXPECT_EQ(px.a, 0);
    EXPECT_EQ(px.mask, 77);

    fr.haveMask = 0;  // maskData left set: only haveMask counts
    const Pixel15 unmasked = sourcePixel(hostImageOf(fr, 4, false), nullptr, SourceView{}, 3, 2);
    EXPECT_EQ(unmasked.mask, kNoMask);
}

TEST(SourcePixel, SixteenBitSamplesAreLimitedAndMissingAlphaIsOpaque) {
    TestImage im(2, 2, 3, true, 2);
    im.set(1, 1, 0, 32768);
    im.set(1, 1, 1, 32767);
    im.set(1, 1, 2, 1000);
    const Pixel15 px = sourcePixel(im.host(), nullptr, SourceView{}, 1, 1);
    EXPECT_EQ(px.r, 32767);
    EXPECT_EQ(px.g, 32767);
    EXPECT_EQ(px.b, 1000);
    EXPECT_EQ(px.a, kOpaque15);
    EXPECT_EQ(px.mask, kNoMask);
}

TEST(SourcePixel, ZoomViewsMapAndClampToTheImage) {
    // Each pixel carries its own position: red = column, green = row.
    TestImage im(10, 8, 3, false, 5, true);
    for (int y = 0; y < im.H; ++y)
        for (int x = 0; x < im.W; ++x) {
            im.set(x, y, 0, static_cast<unsigned>(x));
            im.set(x, y, 1, static_cast<unsigned>(y));
            im.setMask(x, y, static_cast<uint8_t>(x * 10 + y));
        }
    struct Case {
        int zoom, offX, offY, x, y, column, row;
    };
    const Case cases[] = {
        {100, 2, 3, 1, 1, 3, 4},
        {200, 0, 0, 0, 0, 0, 0},  {200, 0, 0, 1, 1, 0, 0},  // one source pixel, 2 x 2 preview pixels
        {200, 0, 0, 2, 3, 1, 1},  {200, 4, 2, 5, 5, 6, 4},
        {50, 0, 0, 1, 1, 2, 2},   {50, 1, 0, 3, 2, 7, 4},   // every second source pixel
        {50, 0, 0, 6, 5, 9, 7},                            // 12, 10 clamped to the last column and row
        {200, 8, 6, 7, 7, 9, 7},  {100, -3, -2, 1, 1, 0, 0},
    };
    for (const Case& c : cases) {
        SourceView view;
        view.kind = SourceView::Kind::Zoom;
        view.zoom = c.zoom;
        view.offX = c.offX;
        view.offY = c.offY;
        const Pixel15 px = sourcePixel(im.host(), nullptr, view, c.x, c.y);
        EXPECT_EQ(px.r, c.column * 128) << c.zoom << " at " << c.x << "," << c.y;
        EXPECT_EQ(px.g, c.row * 128) << c.zoom << " at " << c.x << "," << c.y;
        EXPECT_EQ(px.mask, c.column * 10 + c.row) << c.zoom << " at " << c.x << "," << c.y;
    }
}

TEST(SourcePixel, FitViewReadsThePreviewCopyAndItsMask) {
    TestImage im(3, 3, 4, false);  // the full image must not be read in Fit
    PreviewBuffers preview;
    ASSERT_TRUE(preview.allocate(600, 600, 4, true));
    const size_t index = (5 * 600 + 7) * 4;
    preview.copy[index + 0] = 1;
    preview.copy[index + 1] = 2;
    preview.copy[index + 2] = 3;
    preview.copy[index + 3] = 128;
    preview.maskCopy[5 * 600 + 7] = 99;
    SourceView fit;
    fit.kind = SourceView::Kind::Fit;
    const Pixel15 px = sourcePixel(im.host(), &preview, fit, 7, 5);
    EXPECT_EQ(px.r, 128);
    EXPECT_EQ(px.g, 256);
    EXPECT_EQ(px.b, 384);
    EXPECT_EQ(px.a, 16384);
    EXPECT_EQ(px.mask, 99);

    PreviewBuffers noMask;
    ASSERT_TRUE(noMask.allocate(600, 600, 3, false));
    EXPECT_EQ(sourcePixel(im.host(), &noMask, fit, 7, 5).mask, kNoMask);
    EXPECT_EQ(sourcePixel(im.host(), &noMask, fit, 7, 5).a, kOpaque15);
}

// ---- the preview copy -----------------------------------------------------------

// The covered-fraction mean along one line, in exact integer arithmetic: the
// float scale s is M / D exactly, output j covers [s j, s (j + 1)), and each
// input pixel [i, i + 1) counts with its overlap.
struct ExactScale {
    explicit ExactScale(float scale) {
        int e = 0;
        const float mantissa = std::frexp(scale, &e);
        M = static_cast<int64_t>(std::ldexp(mantissa, 24));
        D = int64_t{1} << (24 - e);
    }
    int mean(int count, int j, const std::function<int(int)>& sample) const {
        const int64_t lo = M * j, hi = M * (j + 1);
        int64_t sum = 0;
        for (int i = 0; i < count; ++i) {
            const int64_t overlap = std::min((i + 1) * D, hi) - std::max(i * D, lo);
            if (overlap > 0) sum += overlap * sample(i);
        }
        return static_cast<int>(sum / M);
    }
    int64_t M = 0, D = 1;
};

// The copy averages rows first and stores bytes, then averages those down the
// columns: the expected value follows the same two truncations.
int expectedCopy(const ExactScale& s, int W, int H, int column, int row,
                 const std::function<int(int, int)>& sample) {
    return s.mean(H, row, [&](int r) { return s.mean(W, column, [&](int i) { return sample(i, r); }); });
}

TEST(PreviewCopy, IsTheExactAreaAverageAtAFractionalScale) {
    const int W = 3000, H = 1000;
    const float scale = static_cast<float>(3000.0 / 900.0);
    TestImage im(W, H, 3, false, 9, true);
    uint32_t seed = 12345;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            im.set(x, y, 0, lcg(seed));
            im.set(x, y, 1, (x * 7 + y * 3) & 0xFF);
            im.set(x, y, 2, 255);  // uniform: must stay 255, never 254
            im.setMask(x, y, static_cast<uint8_t>(lcg(seed)));
        }
    int32_t outStride = 0;
    std::vector<uint8_t> out = outDataFor(im, outStride);
    PreviewBuffers preview;
    ASSERT_TRUE(preview.allocate(900, 600, 3, true));

    ASSERT_TRUE(makePreviewCopy(im.host(), out.data(), outStride, scale, preview));
    EXPECT_EQ(preview.copyWidth, 900);
    EXPECT_EQ(preview.copyHeight, 300);
    const CopySize size = previewCopySize(W, H, scale);
    EXPECT_EQ(size.width, 900);
    EXPECT_EQ(size.height, 300);

    const ExactScale s(scale);
    auto sample = [&](int p) {
        return [&, p](int x, int y) { return int(im.data[im.offset(x, y, p)]); };
    };
    auto maskSample = [&](int x, int y) { return int(im.mask[static_cast<size_t>(y * im.maskStride + x)]); };
    const int points[][2] = {{0, 0}, {1, 0}, {2, 1}, {3, 7}, {450, 150}, {898, 298}, {899, 299}, {899, 0}};
    for (const auto& pt : points) {
        const int i = pt[0], j = pt[1];
        const size_t at = static_cast<size_t>(j * 900 + i);
        for (int p = 0; p < 2; ++p)
            EXPECT_EQ(preview.copy[at * 3 + static_cast<size_t>(p)], expectedCopy(s, W, H, i, j, sample(p)))
                << "plane " << p << " at " << i << "," << j;
        EXPECT_EQ(preview.maskCopy[at], expectedCopy(s, W, H, i, j, maskSample)) << "mask at " << i << "," << j;
    }
    for (int j = 0; j < 300; ++j)
        for (int i = 0; i < 900; ++i)
            ASSERT_EQ(preview.copy[static_cast<size_t>(j * 900 + i) * 3 + 2], 255) << i << "," << j;
    // Below the copy the preview area carries no image data.
    EXPECT_EQ(preview.copy[static_cast<size_t>(300 * 900) * 3 + 2], 0);
}

// The walk as first written, in long double: the copy must match it byte for byte.
void referenceWalk(int count, long double s, int outCount, const std::function<int(int)>& read,
                   const std::function<void(int, uint8_t)>& store) {
    long double d = 0, edge = s;
    int j = 0;
    for (int i = 0; i < count && j < outCount; ++i) {
        const long double g = read(i);
        const long double f = std::min(edge - static_cast<long double>(i), 1.0L);
        d += f * g;
        if (static_cast<long double>(i + 1) >= edge) {
            store(j, static_cast<uint8_t>(std::clamp(static_cast<int>(d / s), 0, 255)));
            d = g * (1 - f);
            ++j;
            edge = s * static_cast<long double>(j + 1);
        }
    }
}

std::vector<uint8_t> referencePlane(int W, int H, float scale, int outW, int outH,
                                    const std::function<int(int, int)>& sample) {
    const long double s = scale >= 1.0f ? static_cast<long double>(scale) : 1.0L;
    std::vector<uint8_t> rows(static_cast<size_t>(W) * static_cast<size_t>(H)), plane(static_cast<size_t>(outW * outH));
    for (int r = 0; r < H; ++r)
        referenceWalk(W, s, outW, [&](int i) { return sample(i, r); },
                      [&](int j, uint8_t v) { rows[static_cast<size_t>(r) * static_cast<size_t>(W) + static_cast<size_t>(j)] = v; });
    for (int i = 0; i < outW; ++i)
        referenceWalk(H, s, outH, [&](int k) { return int(rows[static_cast<size_t>(k) * static_cast<size_t>(W) + static_cast<size_t>(i)]); },
                      [&](int j, uint8_t v) { plane[static_cast<size_t>(j * outW + i)] = v; });
    return plane;
}

TEST(PreviewCopy, EveryByteIsTheLongDoubleWalksAtEveryScale) {
    struct Case {
        int w, h;
        float scale;
        bool sixteen, mask;
    };
    const Case cases[] = {
        {1600, 900, 1600.0f / 900.0f, false, true}, {3000, 1000, static_cast<float>(3000.0 / 900.0), false, false},
        {6000, 400, 10.0f, false, true},           {4000, 300, 4000.0f / 600.0f, true, false},
        {901, 77, 1.0001f, false, true},           {1201, 601, 2.0f, true, true},
        {777, 555, 1.5f, false, false},            {2600, 2600, 257.3f, false, true},
        {15, 8, 7.0f, false, true},                {1, 1, 1.0f, true, true},
    };
    for (const Case& c : cases) {
        TestImage im(c.w, c.h, 3, c.sixteen, 5, c.mask);
        uint32_t seed = static_cast<uint32_t>(c.w * 31 + c.h);
        for (int y = 0; y < c.h; ++y)
            for (int x = 0; x < c.w; ++x) {
                const unsigned noise = lcg(seed);
                im.set(x, y, 0, c.sixteen ? noise << 8 | lcg(seed) : noise);
                im.set(x, y, 1, c.sixteen ? 65535u : 255u);  // a full plane's mean is full, never one less
                im.set(x, y, 2, static_cast<unsigned>((x * 5 + y * 3) % 256) * (c.sixteen ? 257u : 1u));
                if (c.mask) im.setMask(x, y, static_cast<uint8_t>(x * y % 256));
            }
        int32_t outStride = 0;
        std::vector<uint8_t> out = outDataFor(im, outStride);
        PreviewBuffers preview;
        ASSERT_TRUE(preview.allocate(900, 600, 3, c.mask));
        ASSERT_TRUE(makePreviewCopy(im.host(), out.data(), outStride, c.scale, preview));
        const int outW = preview.copyWidth, outH = preview.copyHeight;
        ASSERT_GT(outW * outH, 0) << c.w << "x" << c.h;
        const std::string what = std::to_string(c.w) + "x" + std::to_string(c.h) + " / " + std::to_string(c.scale);
        for (int p = 0; p < 4; ++p) {
            if (p == 3 && !c.mask) break;
            const std::vector<uint8_t> expected = referencePlane(c.w, c.h, c.scale, outW, outH, [&](int x, int y) {
                if (p == 3) return int(im.mask[static_cast<size_t>(y * im.maskStride + x)]);
                const size_t o = im.offset(x, y, p);
                if (!c.sixteen) return int(im.data[o]);
                return (im.data[o + 1] & 0x80) ? 255 : (im.data[o + 1] << 1) | (im.data[o] >> 7);
            });
            int wrong = 0;
            for (int j = 0; j < outH; ++j)
                for (int i = 0; i < outW; ++i) {
                    const size_t at = static_cast<size_t>(j * 900 + i);
                    const uint8_t got = p == 3 ? preview.maskCopy[at] : preview.copy[at * 3 + static_cast<size_t>(p)];
                    if (got != expected[static_cast<size_t>(j * outW + i)] && ++wrong <= 3)
                        ADD_FAILURE() << what << " plane " << p << " at " << i << "," << j << ": " << int(got)
                                      << " instead of " << int(expected[static_cast<size_t>(j * outW + i)]);
                }
        }
    }
}

TEST(PreviewCopy, ScaleOneCopiesUnchanged) {
    struct Case {
        int w, h;
    };
    for (const Case c : {Case{1, 1}, Case{7, 5}}) {
        TestImage im(c.w, c.h, 4, false, 3, true);
        uint32_t seed = 7;
        for (int y = 0; y < c.h; ++y)
            for (int x = 0; x < c.w; ++x) {
                for (int p = 0; p < 4; ++p) im.set(x, y, p, lcg(seed));
                im.setMask(x, y, static_cast<uint8_t>(lcg(seed)));
            }
        int32_t outStride = 0;
        std::vector<uint8_t> out = outDataFor(im, outStride);
        PreviewBuffers preview;
        ASSERT_TRUE(preview.allocate(600, 600, 4, true));
        ASSERT_TRUE(makePreviewCopy(im.host(), out.data(), outStride, 1.0f, preview));
        EXPECT_EQ(preview.copyWidth, c.w);
        EXPECT_EQ(preview.copyHeight, c.h);
        for (int y = 0; y < c.h; ++y)
            for (int x = 0; x < c.w; ++x) {
                const size_t at = static_cast<size_t>(y * 600 + x);
                for (int p = 0; p < 4; ++p)
                    EXPECT_EQ(preview.copy[at * 4 + static_cast<size_t>(p)], im.data[im.offset(x, y, p)])
                        << c.w << "x" << c.h << " at " << x << "," << y << " plane " << p;
                EXPECT_EQ(preview.maskCopy[at], im.mask[static_cast<size_t>(y * im.maskStride + x)]);
            }
        EXPECT_EQ(preview.copy[static_cast<size_t>(c.w) * 4], 0) << "right of the copy stays empty";
    }
}

TEST(PreviewCopy, RefusesAScratchTooNarrowForARow) {
    TestImage im(8, 2, 3, false);
    PreviewBuffers preview;
    ASSERT_TRUE(preview.allocate(600, 600, 3, false));
    std::vector<uint8_t> out(16);
    EXPECT_FALSE(makePreviewCopy(im.host(), out.data(), 7, 1.0f, preview));
    EXPECT_FALSE(makePreviewCopy(im.host(), nullptr, 24, 1.0f, preview));
}

// ---- sixteen-bit reading everywhere --------------------------------------------

TEST(SixteenBit, TopValueReadsAs32767ForFiltersAnd255ForCopyAndThumbnail) {
    TestImage im(2, 1, 3, true, 4);
    im.set(0, 0, 0, 32768);
    im.set(0, 0, 1, 16384);  // 128 as a byte
    im.set(0, 0, 2, 255);    // 1: the low byte's top bit counts
    im.set(1, 0, 0, 32767);
    im.set(1, 0, 1, 127);
    im.set(1, 0, 2, 0x4321);

    EXPECT_EQ(sourcePixel(im.host(), nullptr, SourceView{}, 0, 0).r, 32767);

    int32_t outStride = 0;
    std::vector<uint8_t> out = outDataFor(im, outStride);
    PreviewBuffers preview;
    ASSERT_TRUE(preview.allocate(600, 600, 3, false));
    ASSERT_TRUE(makePreviewCopy(im.host(), out.data(), outStride, 1.0f, preview));
    const uint8_t expected[] = {255, 128, 1, 255, 0, 0x4321 >> 7};
    for (size_t k = 0; k < 6; ++k) EXPECT_EQ(preview.copy[k], expected[k]) << k;

    const ThumbnailSize size{4, 4};  // two thumbnail columns per image column
    const RgbBytes left = thumbnailPixel(im.host(), size, 0, 0);
    EXPECT_EQ(left.red, 255);
    EXPECT_EQ(left.green, 128);
    EXPECT_EQ(left.blue, 1);
    const RgbBytes right = thumbnailPixel(im.host(), size, 2, 0);
    EXPECT_EQ(right.red, 255);
    EXPECT_EQ(right.blue, 0x4321 >> 7);
}

// ---- the navigator thumbnail ------------------------------------------------------

TEST(Thumbnail, LongerSideIs200AndSidesAreMultiplesOfFour) {
    struct Case {
        int w, h, tw, th;
    };
    const Case cases[] = {
        {2000, 1000, 200, 100}, {1000, 3000, 64, 200}, {700, 700, 200, 200},
        {100, 30, 200, 60},     {1, 1, 200, 200},      {1000, 19, 200, 0},
    };
    for (const Case& c : cases) {
        const ThumbnailSize t = navigatorThumbnailSize(c.w, c.h);
        EXPECT_EQ(t.width, c.tw) << c.w << "x" << c.h;
        EXPECT_EQ(t.height, c.th) << c.w << "x" << c.h;
    }
}

TEST(Thumbnail, FadesUnselectedPixelsAndShowsTransparencyOverTheCheckerboard) {
    // 400 x 200 gives a 200 x 100 thumbnail: thumbnail (x, y) samples (2x, 2y).
    TestImage im(400, 200, 4, false, 6, true);
    auto put = [&](int tx, int ty, unsigned r, unsigned g, unsigned b, unsigned a, uint8_t m) {
        im.set(2 * tx, 2 * ty, 0, r);
        im.set(2 * tx, 2 * ty, 1, g);
        im.set(2 * tx, 2 * ty, 2, b);
        im.set(2 * tx, 2 * ty, 3, a);
        im.setMask(2 * tx, 2 * ty, m);
    };
    put(3, 1, 10, 20, 30, 255, 255);    // selected, opaque: itself
    put(5, 2, 10, 20, 30, 255, 0);      // unselected: neutral
    put(0, 0, 10, 20, 30, 0, 255);      // transparent: checker 192 (x, y bits 2 equal)
    put(4, 0, 10, 20, 30, 0, 255);      // transparent: checker 255
    put(4, 4, 10, 20, 30, 0, 255);      // transparent: checker 192
    put(4, 1, 0, 200, 255, 128, 255);   // half transparent over 255
    put(8, 9, 27, 217, 255, 255, 128);  // half selected
    im.set(7, 2, 0, 99);                // an odd column is never sampled at x = 3
    struct Case {
        int x, y;
        RgbBytes expected;
    };
    const Case cases[] = {
        {3, 1, {10, 20, 30}},
        {5, 2, {227, 217, 203}},
        {0, 0, {192, 192, 192}},
        {4, 0, {255, 255, 255}},
        {4, 4, {192, 192, 192}},
        // ((255 - 128) x 255 + 128 x c) / 255
        {4, 1, {127, 227, 255}},
        // ((c - base) x 128 + base x 255) / 255
        {8, 9, {126, 217, 229}},
    };
    const HostImage host = im.host();
    const ThumbnailSize size = navigatorThumbnailSize(im.W, im.H);
    ASSERT_EQ(size.width, 200);
    ASSERT_EQ(size.height, 100);
    std::vector<uint8_t> bgr(200 * 100 * 3);
    ASSERT_TRUE(makeNavigatorThumbnail(host, size, bgr));
    for (const Case& c : cases) {
        const RgbBytes px = thumbnailPixel(host, size, c.x, c.y);
        EXPECT_EQ(px.red, c.expected.red) << c.x << "," << c.y;
        EXPECT_EQ(px.green, c.expected.green) << c.x << "," << c.y;
        EXPECT_EQ(px.blue, c.expected.blue) << c.x << "," << c.y;
        const size_t at = static_cast<size_t>(c.y * 200 + c.x) * 3;
        EXPECT_EQ(bgr[at + 0], c.expected.blue);
        EXPECT_EQ(bgr[at + 1], c.expected.green);
        EXPECT_EQ(bgr[at + 2], c.expected.red);
    }
    EXPECT_FALSE(makeNavigatorThumbnail(host, size, std::span<uint8_t>(bgr).first(bgr.size() - 1)));
}

TEST(Thumbnail, SixteenBitAlphaIsTwiceTheHighByte) {
    TestImage im(2, 1, 4, true);
    const unsigned rgb[] = {32768, 0x1234, 16384};
    for (int x = 0; x < 2; ++x)
        for (int p = 0; p < 3; ++p) im.set(x, 0, p, rgb[p]);
    im.set(0, 0, 3, 0x80FF);  // top bit of the high byte: opaque
    im.set(1, 0, 3, 0x00FF);  // high byte 0: fully transparent
    const ThumbnailSize size{8, 4};
    const RgbBytes opaque = thumbnailPixel(im.host(), size, 0, 0);
    EXPECT_EQ(opaque.red, 255);
    EXPECT_EQ(opaque.green, 0x1234 >> 7);
    EXPECT_EQ(opaque.blue, 128);
    const RgbBytes clear = thumbnailPixel(im.host(), size, 4, 0);  // checker 255 at x = 4
    EXPECT_EQ(clear.red, 255);
    EXPECT_EQ(clear.green, 255);
    EXPECT_EQ(clear.blue, 255);
}

TEST(Thumbnail, StepsByTheHostsPlanesWithoutReadingPastTheImage) {
    // A host reporting 5 planes that delivered 4: stepping by 5 runs off the
    // end on the last row; the buffer is exact, so the sanitizer would see it.
    TestImage im(50, 40, 4, false);
    for (size_t k = 0; k < im.data.size(); ++k) im.data[k] = static_cast<uint8_t>(k * 31);
    im.set(0, 1, 0, 200);
    im.set(0, 1, 1, 100);
    im.set(0, 1, 2, 50);
    im.set(0, 1, 3, 255);
    std::vector<uint8_t> bgr(200 * 160 * 3);
    const ThumbnailSize size = navigatorThumbnailSize(50, 40);
    ASSERT_TRUE(makeNavigatorThumbnail(im.host(5), size, bgr));
    // Row 1 starts at column 0 whatever the step: thumbnail row 4 samples it.
    const RgbBytes px = thumbnailPixel(im.host(5), size, 0, 4);
    EXPECT_EQ(px.red, 200);
    EXPECT_EQ(px.green, 100);
    EXPECT_EQ(px.blue, 50);
    // Column 1 of row 1 is read 5 samples on, at its second channel.
    const RgbBytes next = thumbnailPixel(im.host(5), size, 4, 4);  // samples column 1
    im.set(1, 1, 1, 0);
    EXPECT_NE(thumbnailPixel(im.host(5), size, 4, 4).red, next.red);
}

// ---- the displayed preview ----------------------------------------------------------

uint8_t* pixelIn(PreviewBuffers& pv, int x, int y) {
    return pv.display.data() + static_cast<size_t>(y * pv.width + x) * static_cast<size_t>(pv.planes);
}
const uint8_t* bitmapAt(const PreviewBuffers& pv, int x, int y) {
    return pv.display.data() + static_cast<size_t>(y * pv.width + x) * 3;
}
void expectBgr(const PreviewBuffers& pv, int x, int y, int b, int g, int r) {
    const uint8_t* p = bitmapAt(pv, x, y);
    EXPECT_EQ(p[0], b) << x << "," << y;
    EXPECT_EQ(p[1], g) << x << "," << y;
    EXPECT_EQ(p[2], r) << x << "," << y;
}

TEST(DisplayBitmap, ThreePlanesSwapToBgrInsideAndShowTheBackgroundOutside) {
    PreviewBuffers pv;
    ASSERT_TRUE(pv.allocate(12, 8, 3, false));
    pv.renderedWidth = 5;
    pv.renderedHeight = 3;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 12; ++x) {
            uint8_t* p = pixelIn(pv, x, y);
            p[0] = static_cast<uint8_t>(x);
            p[1] = static_cast<uint8_t>(y);
            p[2] = static_cast<uint8_t>(100 + x + y);
        }
    pv.displayValid = false;
    convertDisplayToBitmap(pv);
    EXPECT_TRUE(pv.displayValid);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 12; ++x) {
            if (x < 5 && y < 3)
                expectBgr(pv, x, y, 100 + x + y, y, x);
            else
                expectBgr(pv, x, y, 203, 217, 227);
        }
}

TEST(DisplayBitmap, FourPlanesBlendOverTheCheckerboard) {
    PreviewBuffers pv;
    ASSERT_TRUE(pv.allocate(16, 12, 4, false));
    pv.renderedWidth = 9;
    pv.renderedHeight = 10;
    // Opaque everywhere with a colour of its own, so the in-place rewrite
    // shows if any pixel is read after being overwritten.
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 16; ++x) {
            uint8_t* p = pixelIn(pv, x, y);
            p[0] = static_cast<uint8_t>(x * 9);
            p[1] = static_cast<uint8_t>(y * 11);
            p[2] = static_cast<uint8_t>(x + y);
            p[3] = 255;
        }
    auto set = [&](int x, int y, uint8_t r, uint8_t g, uint8_t b, uint8_t a) {
        uint8_t* p = pixelIn(pv, x, y);
        p[0] = r;
        p[1] = g;
        p[2] = b;
        p[3] = a;
    };
    set(0, 0, 50, 60, 70, 0);    // checker 192
    set(4, 0, 50, 60, 70, 0);    // checker 255
    set(1, 5, 50, 60, 70, 0);    // row 5 has bit 2: 255
    set(5, 5, 50, 60, 70, 0);    // both bit 2: 192
    set(6, 1, 0, 100, 255, 128); // half over 255: (127 x 255 + 128 c) / 255
    set(2, 2, 0, 100, 255, 128); // half over 192: (127 x 192 + 128 c) / 255

    PreviewBuffers clear = pv;
    convertDisplayToBitmap(pv);
    expectBgr(pv, 0, 0, 192, 192, 192);
    expectBgr(pv, 4, 0, 255, 255, 255);
    expectBgr(pv, 1, 5, 255, 255, 255);
    expectBgr(pv, 5, 5, 192, 192, 192);
    expectBgr(pv, 6, 1, 255, 177, 127);
    expectBgr(pv, 2, 2, 223, 145, 95);
    expectBgr(pv, 8, 9, 17, 99, 72);  // opaque: its own colour
    expectBgr(pv, 3, 7, 10, 77, 27);
    expectBgr(pv, 9, 0, 203, 217, 227);  // outside: the opaque background
    expectBgr(pv, 15, 11, 203, 217, 227);

    // A background without the opaque top byte shows the checkerboard.
    convertDisplayToBitmap(clear, kPreviewBackground & 0x00FFFFFFu);
    expectBgr(clear, 9, 0, 192, 192, 192);
    expectBgr(clear, 12, 0, 255, 255, 255);
    expectBgr(clear, 0, 10, 192, 192, 192);
    expectBgr(clear, 4, 10, 255, 255, 255);
    expectBgr(clear, 8, 9, 17, 99, 72);
}

}  // namespace
