// KeenwrightHD's fast paths against the plain ones: rows walked in lanes
// against the pixel-by-pixel walk, and the tone stage in doubles against the
// long double one.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>

#include "host/image.h"
#include "tests/filters/keenwrighthd/hd_test_support.h"

using namespace qm;
using namespace qm::khd;
using namespace qm::khd::test;

namespace {

// 8-bit colours as pass 0 leaves them: the bundled photograph, or blocks with
// noise (steps that cost nothing beside steps that end walks).
std::vector<int16_t> colours(int width, int height, bool photo, uint32_t seed) {
    std::vector<int16_t> work(static_cast<size_t>(width) * static_cast<size_t>(height) * 3);
    host::Image image;
    std::string error;
    if (photo) {
        EXPECT_TRUE(host::loadImage(std::string(QM_SOURCE_DIR) + "/samples/seeding.jpg", image, error)) << error;
    }
    std::mt19937 random(seed);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c) {
                const int block = ((x / 6) * 3 + (y / 4) * 5 + c * 7) % 6 * 45;
                const int v = photo ? static_cast<int>(image.sample(x % image.width, y % image.height, c))
                                    : std::clamp(block + static_cast<int>(random() % 41) - 20, 0, 255);
                work[(static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 3 +
                     static_cast<size_t>(c)] = static_cast<int16_t>(v);
            }
    return work;
}

}  // namespace

TEST(HdFastPaths, WholeRowsGiveWhatEachPixelAloneGives) {
    // Widths that are and are not multiples of eight, one row, reaches inside
    // and beyond half the image, radius pairs with cheap and dear steps, and
    // the photograph at its final pass's and the Fit view's reach.
    const struct {
        int width, height, q0, high, low;
        bool photo;
    } cases[] = {
        {8, 1, 3, 200, 25, false},      {9, 5, 10, 200, 25, false},   {17, 3, 37, 200, 25, false},
        {40, 30, 12, 200, 25, false},   {64, 48, 500, 200, 25, false}, {41, 23, 100, 20, 150, false},
        {33, 20, 60, 200, 249, false},  {1600, 900, 888, 200, 25, true}, {700, 500, 500, 120, 60, true},
    };
    uint32_t seed = 3;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) + " q0 " + std::to_string(c.q0));
        Controls controls;
        controls.high = c.high;
        controls.low = c.low;
        HdKernel kernel;
        kernel.prepare(settingsOf(controls), c.q0, c.width, c.height, fw::SourceView{});
        const std::vector<int16_t> work = colours(c.width, c.height, c.photo, seed++);
        kernel.loadPlanes(work.data());
        std::vector<Smoothed> row(static_cast<size_t>(c.width));
        int differing = 0, compared = 0;
        // The photograph's walks are long: some rows of each kind only.
        const int step = c.photo ? 97 : 1;
        for (int y = 0; y < c.height; y = y + step < c.height || y == c.height - 1 ? y + step : c.height - 1) {
            kernel.smoothRow(work.data(), y, row.data());
            for (int x = 0; x < c.width; ++x) {
                const Smoothed want = kernel.smoothPixel(work.data(), x, y);
                const Smoothed& got = row[static_cast<size_t>(x)];
                differing += got.colour != want.colour || got.mask != want.mask;
                ++compared;
            }
        }
        EXPECT_EQ(differing, 0) << "of " << compared;
    }
}

TEST(HdFastPaths, TheLanesDivideEveryWeightAWalkMeetsExactly) {
    // Every ring weight of a preview's, a 1600- and a 6000-wide final pass's
    // reach and of reaches whose numerators pass 2^24 (where floats round),
    // times every budget a walking lane can hold, over every divisor; in the
    // eight and the sixteen lanes this processor has.
    int32_t probe[16] = {};
    for (const int lanes : {8, 16}) {
        if (!divideInLanes(lanes, probe, probe, probe)) {
            std::printf("no %d-lane division on this processor\n", lanes);
            continue;
        }
        SCOPED_TRACE(std::to_string(lanes) + " lanes");
        int differing = 0;
        int32_t n[16], d[16], got[16];
        for (int q : {500, 888, 3333, 9000, 14000}) {
            const Rings rings = buildRings(q);
            for (int j = 0; j < rings.walkRings; ++j)
                for (int budget = kBudgetFloor; budget <= kBudget; ++budget) {
                    const int32_t numerator = rings.weight[static_cast<size_t>(j)] * budget;
                    if (numerator / 100 >= 1 << 20) continue;  // the lanes are not used there
                    for (int a = 0; a <= kMaxAsymmetry; a += lanes) {
                        for (int l = 0; l < lanes; ++l) {
                            n[l] = numerator;
                            d[l] = 4 * std::min(a + l, kMaxAsymmetry) + 100;
                        }
                        divideInLanes(lanes, n, d, got);
                        for (int l = 0; l < lanes; ++l) differing += got[l] != n[l] / d[l];
                    }
                }
        }
        // Exact multiples and their neighbours where floats cannot hold the
        // numerator, up to the largest quotient the lanes take.
        for (int a = 0; a <= kMaxAsymmetry; ++a) {
            const int64_t divisor = 4 * a + 100;
            for (int64_t k : {int64_t{1} << 14, (int64_t{1} << 24) / divisor + 1, (int64_t{1} << 26) / divisor + 3,
                              (int64_t{1} << 20) - 1})
                for (int64_t shift = -1; shift <= 1; ++shift) {
                    const int64_t numerator = k * divisor + shift;
                    if (numerator >= int64_t{1} << 31 || numerator / divisor >= 1 << 20) continue;
                    for (int l = 0; l < lanes; ++l) {
                        n[l] = static_cast<int32_t>(numerator);
                        d[l] = static_cast<int32_t>(divisor);
                    }
                    divideInLanes(lanes, n, d, got);
                    for (int l = 0; l < lanes; ++l) differing += got[l] != numerator / divisor;
                }
        }
        EXPECT_EQ(differing, 0);
    }
}

TEST(HdFastPaths, ToneInDoublesGivesTheLongDoubleResult) {
    // Both branches (contrast below and above 50), exponents far from 1 and
    // near 0, and inputs at the ends of the scale and on both sides of half.
    const int specials[] = {0, 1, 2, 127, 16383, 16384, 32766, 32767};
    std::mt19937 random(11);
    int differing = 0, compared = 0;
    for (int contrast : {0, 30, 49, 51, 125, 200})
        for (int highlights : {0, 100, 200})
            for (int shadows : {0, 60, 200})
                for (int softness : {0, 100}) {
                    Controls c;
                    c.contrast = contrast;
                    c.highlights = highlights;
                    c.shadows = shadows;
                    c.softness = softness;
                    const ToneParams p = toneParams(settingsOf(c));
                    for (int i = 0; i < 3000; ++i) {
                        std::array<int32_t, 3> x{}, s{};
                        for (size_t ch = 0; ch < 3; ++ch) {
                            x[ch] = i < 64 ? specials[(static_cast<size_t>(i) + ch) % 8] : static_cast<int32_t>(random() % 32768);
                            // Smoothings near the source, far from it, and equal.
                            const int32_t near = x[ch] + static_cast<int32_t>(random() % 2001) - 1000;
                            s[ch] = i % 3 == 0 ? x[ch] : i % 3 == 1 ? std::clamp(near, 0, 32767)
                                                                    : static_cast<int32_t>(random() % 32768);
                        }
                        const int mask = i % 5 == 0 ? 0 : i % 5 == 1 ? 255 : static_cast<int>(random() % 256);
                        differing += tonePixel(p, x, s, mask) != tonePixelExtended(p, x, s, mask);
                        ++compared;
                    }
                }
    // Strong lifts of the shadows, where the exponent passes through 0 as
    // the shadow weight rises: every dark level, grey and with a channel at 0
    // (whose power is 0 or 1 by the exponent's sign alone).
    for (int shadows : {150, 200}) {
        Controls c;
        c.contrast = 200;
        c.highlights = 200;
        c.shadows = shadows;
        c.softness = 0;
        const ToneParams p = toneParams(settingsOf(c));
        for (int v = 0; v <= 16383; ++v)
            for (const std::array<int32_t, 3>& x :
                 {std::array<int32_t, 3>{v, v, v}, std::array<int32_t, 3>{0, v, v}, std::array<int32_t, 3>{v, 0, 16383 - v}})
                for (const std::array<int32_t, 3>& sm : {x, std::array<int32_t, 3>{v / 2, v, 16383}}) {
                    differing += tonePixel(p, x, sm, 255) != tonePixelExtended(p, x, sm, 255);
                    ++compared;
                }
    }
    EXPECT_EQ(differing, 0) << "of " << compared;
}
