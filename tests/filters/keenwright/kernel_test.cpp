// Keenwright's kernel: its tables, the walk against a plain transcription of
// it, and the sharpening arithmetic.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "filters/keenwright/sharpen_kernel.h"
#include "host/image.h"

using namespace qm::keenwright;

namespace {

KernelInputs inputsFor(int reach, int budget, int halo, int width, int height) {
    KernelInputs in;
    in.reach = reach;
    in.budget = budget;
    in.halo = halo;
    in.width = width;
    in.height = height;
    return in;
}

// Blocks of colour with noise: walks stop at the block edges, on the budget
// or run out, so every way a walk ends occurs.
std::vector<int16_t> texturedImage(int width, int height, uint32_t seed) {
    std::vector<int16_t> work(static_cast<size_t>(width) * static_cast<size_t>(height) * 3);
    uint32_t state = seed;
    auto next = [&] {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    };
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c) {
                const int block = ((x / 7) * 3 + (y / 5) * 5 + c * 11) % 8;
                const int noise = static_cast<int>(next() % 3000) - 1500;
                work[(static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 3 +
                     static_cast<size_t>(c)] =
                    static_cast<int16_t>(std::clamp(block * 4000 + 2000 + noise, 0, 32767));
            }
    return work;
}

// The walk, the mask and the average step by step as the filter describes
// them: stopping radii first, then a second loop for the weighted average.
SmoothedPixel referenceSmooth(const SharpenKernel& kernel, const std::vector<int16_t>& work,
                              int column, int row) {
    const KernelInputs& in = kernel.inputs();
    const int W = in.width, H = in.height, q = kernel.q();
    const std::vector<int>& r = kernel.radii();
    const std::vector<int>& w = kernel.weights();
    auto px = [&](int x, int y, int c) {
        return static_cast<int64_t>(work[(static_cast<size_t>(y) * static_cast<size_t>(W) + static_cast<size_t>(x)) * 3 +
                                         static_cast<size_t>(c)]);
    };
    const int64_t c0[3] = {px(column, row, 0), px(column, row, 1), px(column, row, 2)};
    const double u = static_cast<double>(c0[0] + c0[1] + c0[2]) / 98301.0;
    double g = u * u * u;
    if (in.halo != 0) {
        const double t = 4.0 * u * (1.0 - u);
        g = t * t * t * t;
    }
    const int64_t V = (20LL * q + 4096) * (20LL * q + 4096);
    const int64_t T = static_cast<int64_t>(g * 255) * 3686400 + V;
    const int64_t K0 = (in.budget + 4LL) * (T / 50000);

    const bool border = column < q || row < q || column > W - q - 2 || row > H - q - 2;
    // Sample position of entry (k, j) on side +1 or -1.
    auto position = [&](int k, int j, int side, int& x, int& y) {
        const RingEntry& e = kernel.entries()[static_cast<size_t>(j * 16 + k)];
        x = column + side * e.dx;
        y = row + side * e.dy;
        if (border) {
            x = std::max(std::min(x, W - 2), 0);
            y = std::max(std::min(y, H - 2), 0);
        }
    };

    int64_t flatSum = 0;
    int stop[16];
    for (int k = 0; k < 16; ++k) {
        int64_t K = K0;
        for (int j = 0;; ++j) {
            stop[k] = r[static_cast<size_t>(j)];
            int64_t d[6];
            for (int side = 0; side < 2; ++side) {
                int x, y;
                position(k, j, side == 0 ? 1 : -1, x, y);
                for (int c = 0; c < 3; ++c) d[side * 3 + c] = (px(x, y, c) - c0[c]) * (px(x, y, c) - c0[c]);
            }
            if (std::any_of(d, d + 6, [&](int64_t v) { return v > T; })) break;
            K -= (d[0] + d[1] + d[2] + d[3] + d[4] + d[5]) / 1024 * w[static_cast<size_t>(j)];
            if (K < 0) break;
            if (std::all_of(d, d + 6, [&](int64_t v) { return v < V; })) flatSum += w[static_cast<size_t>(j)];
            if (r[static_cast<size_t>(j + 1)] >= q) break;
        }
    }
    SmoothedPixel out;
    const int B = std::clamp(static_cast<int>(static_cast<double>(flatSum) / (16.0 * q) * 255), 0, 255);
    out.mask = static_cast<uint8_t>(255 - B);

    int64_t sum[3] = {0, 0, 0}, total = 0;
    for (int k = 0; k < 16; ++k)
        for (int j = 0; r[static_cast<size_t>(j)] <= stop[k] && j < kernel.ringCount(); ++j) {
            const int64_t e = w[static_cast<size_t>(j)] * static_cast<int64_t>(stop[k] - r[static_cast<size_t>(j)]);
            int xp, yp, xm, ym;
            position(k, j, 1, xp, yp);
            position(k, j, -1, xm, ym);
            for (int c = 0; c < 3; ++c) sum[c] += e * (px(xp, yp, c) + px(xm, ym, c));
            total += 2 * e;
        }
    int64_t colour[3];
    for (int c = 0; c < 3; ++c) colour[c] = total > 0 ? sum[c] / total : c0[c];
    out.r = static_cast<int32_t>(colour[0]);
    out.g = static_cast<int32_t>(colour[1]);
    out.b = static_cast<int32_t>(colour[2]);
    return out;
}

}  // namespace

TEST(KeenwrightRings, RadiiAndWeightsForQ37) {
    const std::vector<int> expected = {1, 2, 3, 5, 6, 8, 10, 13, 16, 19, 23, 28, 36, 43};
    EXPECT_EQ(ringRadii(37), expected);

    SharpenKernel kernel;
    kernel.prepare(inputsFor(450, 62, 2, 100, 100));
    ASSERT_EQ(kernel.q(), 37);
    EXPECT_EQ(kernel.radii(), expected);
    EXPECT_EQ(kernel.ringCount(), 13);
    const std::vector<int> weights = {1, 1, 1, 2, 1, 2, 2, 3, 3, 3, 4, 5, 8};
    EXPECT_EQ(kernel.weights(), weights);
}

TEST(KeenwrightRings, StepCountAndTheSmallestAndLargeTables) {
    const struct {
        int reach, q;
    } steps[] = {{0, 3}, {35, 3}, {48, 4}, {450, 37}, {451, 37}, {800, 66}, {2250, 187}};
    for (const auto& s : steps) EXPECT_EQ(stepCount(s.reach), s.q) << s.reach;

    // q = 3: 1, 2, then 3 ends the walks; the rescale keeps q - 1 on top.
    EXPECT_EQ(ringRadii(3), (std::vector<int>{1, 2, 3}));
    // Every table rescales its largest ring below q to q - 1 and ends on a
    // value >= q; the rings grow strictly, so no weight is 0.
    for (int q : {4, 10, 66, 187, 500, 5000}) {
        const std::vector<int> r = ringRadii(q);
        ASSERT_GE(r.size(), 2u) << q;
        EXPECT_EQ(r[r.size() - 2], q - 1) << q;
        EXPECT_GE(r.back(), q) << q;
        EXPECT_TRUE(std::is_sorted(r.begin(), r.end(), std::less_equal<int>()) &&
                    std::adjacent_find(r.begin(), r.end()) == r.end())
            << q;
    }
}

TEST(KeenwrightEntries, DirectionsOffsetsClampAndCap) {
    SharpenKernel kernel;
    kernel.prepare(inputsFor(450, 0, 0, 100, 80));
    ASSERT_EQ(kernel.entryCount(), 13 * 16);
    ASSERT_EQ(kernel.entries().size(), 13u * 16u);
    // Ring 12 (radius 36): direction 0 points down a little to the right,
    // direction 15 up; together the 16 span a half turn (dx never negative).
    const RingEntry& down = kernel.entries()[12 * 16 + 0];
    EXPECT_EQ(down.dx, 4);
    EXPECT_EQ(down.dy, 36);
    EXPECT_EQ(down.offset, 4 + 100 * 36);
    const RingEntry& up = kernel.entries()[12 * 16 + 15];
    EXPECT_EQ(up.dx, 4);
    EXPECT_EQ(up.dy, -36);
    EXPECT_EQ(up.offset, 4 - 100 * 36);
    const RingEntry& across = kernel.entries()[12 * 16 + 8];  // just past a quarter turn
    EXPECT_EQ(across.dx, 36);
    EXPECT_EQ(across.dy, -4);
    for (const RingEntry& e : kernel.entries()) EXPECT_GE(e.dx, 0);

    // Offsets beyond q - 1 are clamped to 1 - q ... q - 1.
    std::vector<RingEntry> entries;
    const int radii[] = {50, 60};
    ASSERT_EQ(buildEntries(radii, 1, 10, 30, kEntryCap, entries), 16);
    EXPECT_EQ(entries[0].dx, 5);  // 4.9 rounded, inside the limits
    EXPECT_EQ(entries[0].dy, 9);  // 49.8
    EXPECT_EQ(entries[4].dx, 9);
    EXPECT_EQ(entries[4].dy, 9);
    EXPECT_EQ(entries[15].dy, -9);
    EXPECT_EQ(entries[15].offset, 5 - 30 * 9);

    // The cap stops the table part-way through a ring; the storage still
    // holds 16 entries of every ring, the missing ones zero.
    const int small[] = {1, 2, 3, 5};
    ASSERT_EQ(buildEntries(small, 3, 5, 30, 20, entries), 20);
    ASSERT_EQ(entries.size(), 48u);
    EXPECT_NE(entries[19].dy, 0);
    EXPECT_EQ(entries[20].dx, 0);
    EXPECT_EQ(entries[20].dy, 0);
    EXPECT_EQ(entries[20].offset, 0);
}

TEST(KeenwrightWalk, UniformImageKeepsItsColourWithTheFlatMask) {
    const struct {
        int reach, width, height, mask;
    } cases[] = {
        {450, 90, 80, 7},   // q = 37: 255 - 255 x 36 / 37
        {450, 5, 5, 7},     // all border
        {0, 12, 9, 85},     // q = 3: 255 - 255 x 2 / 3
    };
    for (const auto& c : cases) {
        SharpenKernel kernel;
        kernel.prepare(inputsFor(c.reach, 62, 2, c.width, c.height));
        const std::vector<int16_t> work(static_cast<size_t>(c.width * c.height * 3), 12345);
        for (int y = 0; y < c.height; ++y)
            for (int x = 0; x < c.width; ++x) {
                const SmoothedPixel p = kernel.smoothPixel(work.data(), x, y);
                ASSERT_EQ(p.mask, c.mask) << c.reach << " at " << x << "," << y;
                ASSERT_EQ(p.r, 12345);
                ASSERT_EQ(p.g, 12345);
                ASSERT_EQ(p.b, 12345);
            }
    }
}

TEST(KeenwrightWalk, MatchesTheStepByStepWalkEverywhere) {
    const struct {
        int reach, budget, halo, width, height;
    } cases[] = {
        {450, 62, 2, 90, 84},  // DEFAULT at Fit: border band and interior
        {450, 0, 0, 90, 84},   // Radius 0: walks end on the budget
        {101, 250, 1, 31, 17}, // q = 8, Halo on
        {800, 110, 0, 40, 150},
        {0, 7, 2, 3, 50},      // q = 3 on a narrow image
    };
    uint32_t seed = 1;
    for (const auto& c : cases) {
        SharpenKernel kernel;
        kernel.prepare(inputsFor(c.reach, c.budget, c.halo, c.width, c.height));
        const std::vector<int16_t> work = texturedImage(c.width, c.height, seed++);
        int differing = 0;
        int64_t maskSum = 0;
        for (int y = 0; y < c.height; ++y)
            for (int x = 0; x < c.width; ++x) {
                const SmoothedPixel got = kernel.smoothPixel(work.data(), x, y);
                const SmoothedPixel want = referenceSmooth(kernel, work, x, y);
                if (got.r != want.r || got.g != want.g || got.b != want.b || got.mask != want.mask)
                    ++differing;
                maskSum += got.mask;
            }
        EXPECT_EQ(differing, 0) << "reach " << c.reach << " budget " << c.budget;
        // The image has both flat and detailed neighbourhoods.
        const int64_t pixels = int64_t{c.width} * c.height;
        EXPECT_GT(maskSum, 0);
        EXPECT_LT(maskSum, 255 * pixels);
    }
}

// The bundled photograph (or a crop of it) on the 15-bit scale, as the work buffer holds it.
std::vector<int16_t> photoWork(int width, int height) {
    qm::host::Image photo;
    std::string error;
    EXPECT_TRUE(qm::host::loadImage(std::string(QM_SOURCE_DIR) + "/samples/seeding.jpg", photo, error)) << error;
    std::vector<int16_t> work(static_cast<size_t>(width) * static_cast<size_t>(height) * 3);
    for (int y = 0; y < height && y < photo.height; ++y)
        for (int x = 0; x < width && x < photo.width; ++x)
            for (int c = 0; c < 3; ++c)
                work[(static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 3 +
                     static_cast<size_t>(c)] = static_cast<int16_t>(photo.sample(x, y, c) * 32767 / 255);
    return work;
}

TEST(KeenwrightWalk, WholeRowsGiveWhatEachPixelAloneGives) {
    // Widths that are and are not multiples of eight, one row, the border
    // band, a photograph at the Fit preview's and at final passes' reaches.
    const struct {
        int reach, budget, halo, width, height;
        bool photo;
    } cases[] = {
        {450, 62, 2, 90, 84, false},   // interior 37..51: 15 columns
        {450, 0, 0, 93, 84, false},    // Radius 0: walks end on the budget
        {101, 250, 1, 31, 17, false},  // q = 8, Halo on
        {800, 110, 0, 40, 150, false}, // no interior column
        {0, 7, 2, 3, 50, false},       // q = 3 on a narrow image
        {0, 7, 2, 12, 9, false},       // q = 3, interior of 5
        {450, 62, 2, 1600, 900, true},
        {1300, 110, 1, 700, 500, true},  // q = 108
        {3000, 62, 2, 600, 3, true},     // q = 250, a 6000-wide image's
        {450, 62, 2, 8, 1, false},       // one row, one group
        {101, 250, 0, 17, 2, false},
    };
    uint32_t seed = 7;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) + " reach " + std::to_string(c.reach));
        SharpenKernel kernel;
        kernel.prepare(inputsFor(c.reach, c.budget, c.halo, c.width, c.height));
        const std::vector<int16_t> work = c.photo ? photoWork(c.width, c.height) : texturedImage(c.width, c.height, seed++);
        kernel.loadPlanes(work.data());
        std::vector<SmoothedPixel> row(static_cast<size_t>(c.width));
        int differing = 0;
        for (int y = 0; y < c.height; ++y) {
            kernel.smoothRow(work.data(), y, row.data());
            for (int x = 0; x < c.width; ++x) {
                const SmoothedPixel want = kernel.smoothPixel(work.data(), x, y);
                const SmoothedPixel& got = row[static_cast<size_t>(x)];
                differing += got.r != want.r || got.g != want.g || got.b != want.b || got.mask != want.mask;
            }
        }
        EXPECT_EQ(differing, 0);
    }
}

TEST(KeenwrightSharpening, StrengthFromAmountRadiusAndMask) {
    // DEFAULT: (60 / 150)^1.5 x 150 x 40 / 250.
    const Sharpening sharp(60, 75, true);
    EXPECT_NEAR(static_cast<double>(sharp.k()), std::pow(0.4, 1.5) * 24, 1e-12);
    // With Mask on a detailed pixel (255) gets a quarter of a flat one's (0).
    EXPECT_NEAR(static_cast<double>(sharp.strength(255) / sharp.strength(0)), 0.25, 1e-15);
    EXPECT_NEAR(static_cast<double>(sharp.strength(0)), static_cast<double>(sharp.k()), 1e-15);
    const Sharpening unmasked(60, 75, false);
    EXPECT_NEAR(static_cast<double>(unmasked.strength(255) / unmasked.strength(0)), 0.75, 1e-15);
    EXPECT_EQ(Sharpening(0, 75, true).strength(0), 0);
    EXPECT_NEAR(static_cast<double>(Sharpening(150, 0, false).k()), 60, 1e-15);
}

TEST(KeenwrightSharpening, PushesAwayFromTheSmoothingWithinTheScale) {
    const struct {
        int32_t source, smoothed;
        long double v;
        int32_t result;
    } cases[] = {
        {16384, 16384, 6, 16384},  // X = S: unchanged
        {20000, 16000, 1, 24000},  // X + (X - S)
        {10000, 12000, 2, 6000},
        {1000, 30000, 6, 0},       // limited below
        {32000, 1000, 6, 32767},   // and above
        {100, 101, 0.5L, 99},      // 99.5 truncated toward zero
    };
    for (const auto& c : cases)
        EXPECT_EQ(Sharpening::apply(c.source, c.smoothed, c.v), c.result) << c.source << " " << c.smoothed;
    // Amount 0 gives the input back within one unit.
    for (int32_t x = 0; x <= 32767; ++x) {
        const int32_t got = Sharpening::apply(x, 32767 - x, 0);
        ASSERT_TRUE(got == x || got == x - 1) << x << " -> " << got;
    }
}
