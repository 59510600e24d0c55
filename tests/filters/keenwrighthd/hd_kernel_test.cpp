// KeenwrightHD's preparation figures, the smoothing walk and the tone stage.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <thread>

#include "tests/filters/keenwrighthd/hd_test_support.h"

using namespace qm;
using namespace qm::khd;
using namespace qm::khd::test;

namespace {

fw::SourceView zoomView(int zoom, int offX = 0, int offY = 0) {
    fw::SourceView v;
    v.kind = fw::SourceView::Kind::Zoom;
    v.zoom = zoom;
    v.offX = offX;
    v.offY = offY;
    return v;
}

fw::SourceView fitView() {
    fw::SourceView v;
    v.kind = fw::SourceView::Kind::Fit;
    return v;
}

}  // namespace

TEST(HdPreparation, ReachFollowsTheView) {
    struct Case {
        fw::SourceView view;
        double previewScale;
        int q0;
    } cases[] = {
        {fw::SourceView{}, 1.0, 500},         {fw::SourceView{}, 5.0, 2500},
        {fw::SourceView{}, 1600.0 / 900, 888}, {fitView(), 5.0, 500},
        {zoomView(100), 1600.0 / 900, 888},   {zoomView(200), 1600.0 / 900, 1777},
        {zoomView(50), 1600.0 / 900, 444},
    };
    for (const Case& c : cases)
        EXPECT_EQ(reachFor(fw::viewFactor(c.view, c.previewScale)), c.q0)
            << static_cast<int>(c.view.kind) << " " << c.view.zoom << " " << c.previewScale;
}

TEST(HdPreparation, RingRadiiWidthsAndWeights) {
    const Rings r500 = buildRings(500);
    EXPECT_EQ(r500.radius, (std::vector<int>{1, 2, 3, 5, 6, 9, 11, 14, 18, 21, 26, 31, 39, 48, 60, 74, 92, 116,
                                             147, 187, 238, 303, 388, 499, 566}));
    EXPECT_EQ(r500.walkRings, 24);
    // Same growth and rescale as the plain filter's rings.
    EXPECT_EQ(ringRadii(37), (std::vector<int>{1, 2, 3, 5, 6, 8, 10, 13, 16, 19, 23, 28, 36, 43}));
    EXPECT_EQ(ringRadii(3), (std::vector<int>{1, 2, 3}));

    // Widths are the steps between radii, the ending ring's included.
    EXPECT_EQ(r500.width[0], 1);
    EXPECT_EQ(r500.width[5], 3);
    EXPECT_EQ(r500.width[23], 111);
    EXPECT_EQ(r500.width[24], 67);
    // Weight = integer part of 40 x falloff, times the width: 40 only for the
    // innermost ring; (4t(1 - t))^3 with t = 112 x 0.5 / 500 gives 2.5 x 40
    // for the last ring below q; the ending ring's falloff is below 1/40.
    EXPECT_EQ(r500.weight[0], 40);
    EXPECT_EQ(r500.weight[1], 39);
    EXPECT_EQ(r500.weight[3], 78);
    EXPECT_EQ(r500.weight[23], 2 * 111);
    EXPECT_EQ(r500.weight[24], 0);
    for (size_t j = 1; j < r500.weight.size(); ++j)
        EXPECT_LE(r500.weight[j] / r500.width[j], r500.weight[j - 1] / r500.width[j - 1]) << j;
}

TEST(HdPreparation, EntriesStartStraightDownAndTurnByMinusPiOverSixteen) {
    const Rings rings = buildRings(500);
    const int width = 1000;
    const std::vector<Entry> e = buildEntries(rings, 500, width);
    ASSERT_EQ(e.size(), 16u * 24u);
    struct Case {
        int ring, k, dx, dy;
    } cases[] = {
        {23, 0, 0, 499},    {23, 4, -353, 353}, {23, 8, -499, 0},  {23, 12, -353, -353},
        {23, 15, -97, -489}, {0, 0, 0, 1},      {0, 4, -1, 1},     {0, 2, 0, 1},
    };
    for (const Case& c : cases) {
        const Entry& x = e[static_cast<size_t>(c.ring * 16 + c.k)];
        EXPECT_EQ(x.dx, c.dx) << c.ring << "/" << c.k;
        EXPECT_EQ(x.dy, c.dy) << c.ring << "/" << c.k;
        EXPECT_EQ(x.offset, c.dx + width * c.dy);
    }
    // Even a reach far beyond any image has 16 entries per ring, under the cap.
    const Rings huge = buildRings(1 << 22);
    EXPECT_EQ(buildEntries(huge, 1 << 22, 10).size(), 16u * static_cast<size_t>(huge.walkRings));
    EXPECT_LE(16 * huge.walkRings, kMaxEntries);
}

TEST(HdPreparation, CostTable) {
    struct Case {
        int v, s, h, l, q;
        int32_t cost;
    } cases[] = {
        {0, 0, 200, 25, 500, 2},      // black: (1 + 1) x (25 / 225 x 50 + 10) x 37 / 500
        {128, 128, 200, 25, 500, 1},  // mid-grey counts once
        {0, 255, 200, 25, 500, 5539}, // full step against the narrowest tolerance
        {255, 0, 200, 25, 500, 5539},
        {128, 0, 200, 25, 500, 8},    // mid-grey tolerates much more
        {0, 0, 200, 25, 2500, 0},     // long reaches make flat steps free
        {0, 0, 0, 49, 3, 60680},      // the steepest pair
    };
    for (const Case& c : cases)
        EXPECT_EQ(costEntry(c.v, c.s, c.h, c.l, c.q), c.cost) << c.v << " " << c.s << " " << c.h << " " << c.l;

    // The kernel's table is rebuilt at every preparation.
    HdKernel k;
    k.prepare(settingsOf({}), 500, 10, 10, {});
    EXPECT_EQ(k.cost(0, 255), 5539);
    Controls steep;
    steep.high = 0;
    steep.low = 49;
    k.prepare(settingsOf(steep), 3, 10, 10, {});
    EXPECT_EQ(k.cost(0, 0), 60680);
    EXPECT_EQ(k.q(), 3);
}

// A Radius Low at or beyond Radius High + 50 would divide by zero or by a
// negative number; such pairs cost exactly what (h, h + 49) costs.
TEST(HdPreparation, RadiusPairsPastThePoleCostLikeTheSteepestValidPair) {
    const struct {
        int h, l;
    } poles[] = {{0, 50}, {0, 51}, {0, 200}, {100, 150}, {100, 200}, {150, 200}};
    for (const auto& p : poles) {
        EXPECT_EQ(effectiveRadiusLow(p.h, p.l), p.h + 49);
        for (int v : {0, 77, 128, 255})
            for (int s : {0, 30, 128, 255}) {
                const int32_t t = costEntry(v, s, p.h, p.l, 500);
                EXPECT_EQ(t, costEntry(v, s, p.h, p.h + 49, 500)) << p.h << " " << p.l;
                EXPECT_GT(t, 0);
            }
    }
    // Below the pole the cost keeps growing with Radius Low.
    EXPECT_LT(costEntry(0, 0, 100, 100, 500), costEntry(0, 0, 100, 149, 500));
    EXPECT_EQ(effectiveRadiusLow(200, 200), 200);
}

TEST(HdPreparation, DirtyRules) {
    HdKernel k;
    const HdSettings base = settingsOf({});
    k.prepare(base, 500, 40, 30, {});
    EXPECT_TRUE(k.dirty());  // never prepared
    k.clearDirty();
    k.prepare(base, 500, 40, 30, {});
    EXPECT_FALSE(k.dirty());

    struct Case {
        const char* what;
        Controls controls;
        int q0, w, h;
        fw::SourceView view;
        bool newSession, dirty;
    } cases[] = {
        {"tone only", {200, 25, 10, 200, 180, 0}, 500, 40, 30, {}, false, false},
        {"radius high", {199, 25}, 500, 40, 30, {}, false, true},
        {"radius low", {200, 26}, 500, 40, 30, {}, false, true},
        {"reach", {}, 501, 40, 30, {}, false, true},
        {"width", {}, 500, 41, 30, {}, false, true},
        {"height", {}, 500, 40, 31, {}, false, true},
        {"fit view", {}, 500, 40, 30, fitView(), false, true},
        {"new session", {}, 500, 40, 30, {}, true, true},
    };
    for (const Case& c : cases) {
        k.prepare(base, 500, 40, 30, {});
        k.clearDirty();
        if (c.newSession) k = HdKernel();  // a new session has a kernel of its own
        k.prepare(settingsOf(c.controls), c.q0, c.w, c.h, c.view);
        EXPECT_EQ(k.dirty(), c.dirty) << c.what;
    }
    // The navigator moving a zoomed view.
    k.prepare(base, 888, 40, 30, zoomView(100, 10, 10));
    k.clearDirty();
    k.prepare(base, 888, 40, 30, zoomView(100, 10, 10));
    EXPECT_FALSE(k.dirty());
    k.prepare(base, 888, 40, 30, zoomView(100, 11, 10));
    EXPECT_TRUE(k.dirty());
}

TEST(HdReciprocals, DivideExactlyForEveryAsymmetry) {
    std::mt19937 random(7);
    std::uniform_int_distribution<uint32_t> any(0, (1u << 31) - 1);
    for (uint32_t a = 0; a <= static_cast<uint32_t>(kMaxAsymmetry); ++a) {
        const uint32_t d = 4 * a + 100;
        const Reciprocal r = reciprocalOf(d);
        for (uint32_t n : {0u, 1u, d - 1, d, d + 1, 40u * 1000u, (1u << 31) - 1, (1u << 31) - 1 - d})
            ASSERT_EQ(divideBy(n, r), n / d) << n << " / " << d;
        for (int i = 0; i < 200; ++i) {
            const uint32_t n = any(random);
            ASSERT_EQ(divideBy(n, r), n / d) << n << " / " << d;
        }
    }
}

namespace {

// 8-bit colours as pass 0 leaves them in the work buffer.
struct Work {
    int w, h;
    std::vector<int16_t> v;
    Work(int width, int height) : w(width), h(height), v(static_cast<size_t>(width * height * 3), 0) {}
    int16_t& at(int x, int y, int c) { return v[static_cast<size_t>((y * w + x) * 3 + c)]; }
};

}  // namespace

TEST(HdSmoothing, AFlatImageSmoothsToItselfWithMaskFull) {
    // At q = 3 a flat step already costs more than the budget: no weight, so
    // each pixel keeps its own colour with mask 0.
    for (int q0 : {3, 10, 500}) {
        Work work(23, 17);
        for (int y = 0; y < work.h; ++y)
            for (int x = 0; x < work.w; ++x) {
                work.at(x, y, 0) = 40;
                work.at(x, y, 1) = 128;
                work.at(x, y, 2) = 250;
            }
        HdKernel k;
        k.prepare(settingsOf({}), q0, work.w, work.h, {});
        for (int y = 0; y < work.h; ++y)
            for (int x = 0; x < work.w; ++x) {
                const Smoothed s = k.smoothPixel(work.v.data(), x, y);
                ASSERT_EQ(s.colour, (std::array<int16_t, 3>{40 * 128, 128 * 128, 250 * 128})) << x << "," << y;
                ASSERT_EQ(s.mask, q0 == 3 ? 0 : 255) << x << "," << y;
            }
    }
}

TEST(HdSmoothing, StopsAtAnEdgeAndMarksLopsidedNeighbourhoods) {
    // A hard step: walks that would cross it spend their budget at once, so
    // each side smooths to its own level.
    Work step(40, 40);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x)
            for (int c = 0; c < 3; ++c) step.at(x, y, c) = static_cast<int16_t>(x < 20 ? 30 : 220);
    HdKernel k;
    k.prepare(settingsOf({}), 12, 40, 40, {});
    EXPECT_EQ(k.smoothPixel(step.v.data(), 18, 20).colour[0], 30 * 128);
    EXPECT_EQ(k.smoothPixel(step.v.data(), 21, 20).colour[0], 220 * 128);

    // A ramp: every pair of opposite samples differs, yet averages to the
    // centre; a flat area beside it stays symmetric.
    Work ramp(40, 40);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x)
            for (int c = 0; c < 3; ++c) ramp.at(x, y, c) = static_cast<int16_t>(y < 20 ? 30 + 4 * x : 90);
    const Smoothed onRamp = k.smoothPixel(ramp.v.data(), 20, 8);
    EXPECT_EQ(onRamp.colour[0], (30 + 4 * 20) * 128);
    EXPECT_LT(onRamp.mask, 230);
    EXPECT_EQ(k.smoothPixel(ramp.v.data(), 20, 33).mask, 255);
}

TEST(HdSmoothing, APixelWhoseWalksAllStopAtOnceKeepsItsColourWithMaskZero) {
    // Checkerboard against the steepest pair at the shortest reach: every
    // first step costs more than the whole budget.
    Work work(9, 9);
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 9; ++x)
            for (int c = 0; c < 3; ++c) work.at(x, y, c) = static_cast<int16_t>((x + y) % 2 ? 255 : 0);
    Controls steep;
    steep.high = 0;
    steep.low = 200;
    HdKernel k;
    k.prepare(settingsOf(steep), 3, 9, 9, {});
    const Smoothed s = k.smoothPixel(work.v.data(), 4, 4);
    EXPECT_EQ(s.colour, (std::array<int16_t, 3>{0, 0, 0}));
    EXPECT_EQ(s.mask, 0);
}

TEST(HdSmoothing, LinearOffsetsWalkLikeCoordinates) {
    // Pixel (9, 30) is inside the border band for q = 10 but its walk never
    // reaches a clamp; moved 5 columns right it is walked by linear offsets.
    Work a(64, 64), b(64, 64);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            for (int c = 0; c < 3; ++c) {
                a.at(x, y, c) = static_cast<int16_t>(pattern8(x, y, c));
                b.at(x, y, c) = static_cast<int16_t>(pattern8(std::max(x - 5, 0), y, c));
            }
    HdKernel k;
    k.prepare(settingsOf({}), 10, 64, 64, {});
    for (int y : {10, 30, 52}) {
        const Smoothed sa = k.smoothPixel(a.v.data(), 9, y);
        const Smoothed sb = k.smoothPixel(b.v.data(), 14, y);
        EXPECT_EQ(sa.colour, sb.colour) << y;
        EXPECT_EQ(sa.mask, sb.mask) << y;
    }
}

TEST(HdSmoothing, PixelsDoNotDependOnTheOrderOrThreadTheyAreComputedIn) {
    Work work(48, 36);
    for (int y = 0; y < 36; ++y)
        for (int x = 0; x < 48; ++x)
            for (int c = 0; c < 3; ++c) work.at(x, y, c) = static_cast<int16_t>(pattern8(x, y, c));
    HdKernel k;
    k.prepare(settingsOf({}), 9, 48, 36, {});
    const size_t n = 48 * 36;
    std::vector<Smoothed> forward(n), backward(n), threaded(n);
    for (size_t i = 0; i < n; ++i)
        forward[i] = k.smoothPixel(work.v.data(), static_cast<int>(i % 48), static_cast<int>(i / 48));
    for (size_t i = n; i-- > 0;)
        backward[i] = k.smoothPixel(work.v.data(), static_cast<int>(i % 48), static_cast<int>(i / 48));
    std::vector<std::thread> workers;
    for (size_t t = 0; t < 3; ++t)
        workers.emplace_back([&, t] {
            for (size_t i = t; i < n; i += 3)
                threaded[i] = k.smoothPixel(work.v.data(), static_cast<int>(i % 48), static_cast<int>(i / 48));
        });
    for (std::thread& w : workers) w.join();
    for (size_t i = 0; i < n; ++i) {
        ASSERT_EQ(forward[i].colour, backward[i].colour) << i;
        ASSERT_EQ(forward[i].mask, backward[i].mask) << i;
        ASSERT_EQ(forward[i].colour, threaded[i].colour) << i;
        ASSERT_EQ(forward[i].mask, threaded[i].mask) << i;
    }
}

namespace {

std::array<int32_t, 3> tone(const Controls& c, std::array<int32_t, 3> x, std::array<int32_t, 3> s, int mask) {
    return tonePixel(toneParams(settingsOf(c)), x, s, mask);
}

Controls withTone(int contrast, int highlights, int shadows, int softness = 50) {
    Controls c;
    c.contrast = contrast;
    c.highlights = highlights;
    c.shadows = shadows;
    c.softness = softness;
    return c;
}

}  // namespace

TEST(HdTone, NeutralSettingsGiveTheInputBack) {
    const std::array<int32_t, 3> colours[] = {{0, 0, 0}, {1, 200, 16000}, {16384, 16383, 20000}, {32767, 32767, 32767}};
    for (const auto& x : colours) {
        // Contrast 50: no detail gain and exponent 1, whatever the smoothing.
        for (int mask : {0, 128, 255}) {
            const auto out = tone(withTone(50, 30, 170), x, {9000, 9000, 9000}, mask);
            for (size_t c = 0; c < 3; ++c) EXPECT_NEAR(out[c], x[c], 1) << x[c] << " mask " << mask;
        }
        // Highlights 200 with Shadows 0: exponent 1 at any contrast; with no
        // detail (X = S) the input comes back.
        for (int contrast : {50, 110, 160, 200}) {
            const auto out = tone(withTone(contrast, 200, 0), x, x, 255);
            for (size_t c = 0; c < 3; ++c) EXPECT_NEAR(out[c], x[c], 1) << x[c] << " contrast " << contrast;
        }
    }
}

TEST(HdTone, SharpensDetailAwayFromTheSmoothing) {
    const std::array<int32_t, 3> x = {20000, 20000, 20000}, s = {18000, 18000, 18000};
    const auto neutral = tone(withTone(125, 200, 0), x, s, 255);
    const auto weak = tone(withTone(60, 200, 0), x, s, 255);
    EXPECT_GT(neutral[0], weak[0]);
    EXPECT_GT(weak[0], 20000);
    // Darkening detail uses the gentler alternative in the lower half.
    const std::array<int32_t, 3> dark = {6000, 6000, 6000}, lighter = {9000, 9000, 9000};
    const auto darkened = tone(withTone(200, 200, 0), dark, lighter, 255);
    EXPECT_LT(darkened[0], 6000);
    EXPECT_GT(darkened[0], 0);
}

TEST(HdTone, ShadowsLiftDarkPixelsAndHighlightsBelow200DarkenBrightOnes) {
    const std::array<int32_t, 3> dark = {5000, 5000, 5000}, bright = {28000, 28000, 28000};
    EXPECT_GT(tone(withTone(125, 200, 150), dark, dark, 255)[0], 5001);
    EXPECT_NEAR(tone(withTone(125, 200, 150), bright, bright, 255)[0], 28000, 1);
    EXPECT_LT(tone(withTone(125, 100, 0), bright, bright, 255)[0], 27999);
    EXPECT_NEAR(tone(withTone(125, 100, 0), dark, dark, 255)[0], 5000, 1);
}

TEST(HdTone, NoiseReductionMovesTowardsTheSmoothing) {
    // Contrast 0: beta = -1/3; the blend weight 2/3 x sigma is largest where
    // the neighbourhood is symmetric (sigma 0.85) and smallest where it is
    // one-sided (sigma 0.3).
    const Controls nr = withTone(0, 200, 0);
    const std::array<int32_t, 3> x = {21000, 12000, 30000}, s = {17000, 14000, 26000};
    const auto symmetric = tone(nr, x, s, 255);
    const auto oneSided = tone(nr, x, s, 0);
    for (size_t c = 0; c < 3; ++c) {
        EXPECT_LT(std::abs(symmetric[c] - s[c]), std::abs(x[c] - s[c])) << c;
        EXPECT_LT(std::abs(oneSided[c] - s[c]), std::abs(x[c] - s[c])) << c;
        EXPECT_LT(std::abs(symmetric[c] - s[c]), std::abs(oneSided[c] - s[c])) << c;
    }
}

// Shadows 200 at Contrast 200 push the exponent of a black pixel to -1/3.
TEST(HdTone, ZeroBaseWithExponentAtOrBelowZeroStaysFinite) {
    EXPECT_EQ(signedPower(0.0L, -0.3L), 1.0L);
    EXPECT_EQ(signedPower(0.0L, 0.0L), 1.0L);
    EXPECT_EQ(signedPower(-0.0L, -2.0L), 1.0L);
    EXPECT_EQ(signedPower(0.0L, 0.5L), 0.0L);
    EXPECT_EQ(signedPower(-0.25L, 0.5L), -0.5L);

    // Black joins its near-black neighbours: at such an exponent every
    // positive base gives at least 1, which the clamp makes white.
    const Controls extreme = withTone(200, 200, 200);
    EXPECT_EQ(tone(extreme, {0, 0, 0}, {0, 0, 0}, 255), (std::array<int32_t, 3>{32767, 32767, 32767}));
    EXPECT_EQ(tone(extreme, {1, 1, 1}, {1, 1, 1}, 255), (std::array<int32_t, 3>{32767, 32767, 32767}));
    // A bright channel keeps the exponent above zero for the others.
    const auto mixed = tone(extreme, {0, 0, 32767}, {0, 0, 32767}, 255);
    EXPECT_EQ(mixed[0], 0);
    EXPECT_EQ(mixed[2], 32767);
}
