// Lumivex's final pass, driven through the framework's render loop with
// chosen settings.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/filters/lumivex/lens_harness.h"

using namespace qm;
using namespace qm::lumivex;
using namespace qm::lumivex::test;

namespace {

int inner(int v, int size) { return std::clamp(v, 1, size - 2); }

// Pixels that differ from the source with the outermost ring repeated, in
// the part of the image at least `margin` pixels from every edge.
int movedPixels(LensRun& run, int margin = 1) {
    int moved = 0;
    for (int y = margin; y < run.height - margin; ++y)
        for (int x = margin; x < run.width - margin; ++x)
            for (int c = 0; c < 3; ++c)
                if (run.outAt(x, y, c) != run.inAt(x, y, c)) {
                    ++moved;
                    break;
                }
    return moved;
}

// The kernel's reach at smoothing 0 (11 taps) and the slope's pixel: beyond
// it a flat height map stays flat through both blurs.
constexpr int kFlatMargin = 13;

LensSettings fullRectangle(int inclusion) {
    LensSettings s = sideways();
    s.smoothing = 0;
    s.maskLeft = s.maskTop = 0;
    s.maskRight = s.maskBottom = 160;
    s.inclusion = inclusion;
    s.shiftX = s.shiftY = 30;
    return s;
}

}  // namespace

TEST(LumivexRender, DeformationZeroRepeatsOnlyTheOutermostRing) {
    for (int planes : {3, 4}) {
        LensRun run(41, 29, planes, false, 8);
        ASSERT_TRUE(run.ok);
        fillTexture(run);
        LensSettings s = sideways();
        s.deformation = 0;
        ASSERT_EQ(run.render(s), noErr);
        for (int y = 0; y < run.height; ++y)
            for (int x = 0; x < run.width; ++x) {
                for (int c = 0; c < 3; ++c)
                    ASSERT_EQ(run.outAt(x, y, c), run.inAt(inner(x, 41), inner(y, 29), c))
                        << planes << " planes at " << x << "," << y;
                if (planes == 4) {
                    ASSERT_EQ(run.outAt(x, y, 3), run.inAt(x, y, 3));
                }
            }
    }
}

TEST(LumivexRender, InclusionDecidesWhereTheFullRectangleRefracts) {
    LensRun run(96, 64);
    fillTexture(run, 7);
    // 100: the lens acts everywhere inside the rectangle, that is everywhere.
    ASSERT_EQ(run.render(fullRectangle(100)), noErr);
    EXPECT_GT(movedPixels(run), 94 * 62 * 3 / 4);
    // 0: the height map is the flat level 382 and the image stays; only the
    // blur's shorter reach at the edges leaves a slope within its reach.
    std::fill(run.out.begin(), run.out.end(), 0);
    ASSERT_EQ(run.render(fullRectangle(0)), noErr);
    EXPECT_EQ(movedPixels(run, kFlatMargin), 0);
}

TEST(LumivexRender, AHostSelectionFlattensTheLensWhereTheInclusionSaysSo) {
    struct Case {
        int inclusion;
        uint8_t selection;
        bool moves;
    } cases[] = {{100, 255, true}, {100, 0, false}, {0, 255, false}, {70, 0, true}};
    for (const Case& c : cases) {
        LensRun run(64, 48, 3, true);
        fillTexture(run, 3);
        std::fill(run.mask.begin(), run.mask.end(), c.selection);
        LensSettings s = fullRectangle(c.inclusion);
        if (c.inclusion == 0) {
            // Outside the rectangle the lens acts at 0: make the rectangle tiny.
            s.maskRight = 1;
            s.maskBottom = 1;
        }
        ASSERT_EQ(run.render(s), noErr);
        EXPECT_EQ(movedPixels(run, kFlatMargin) > 0, c.moves)
            << "inclusion " << c.inclusion << ", selection " << int{c.selection};
    }
}

TEST(LumivexRender, TheShiftMovesTheHeightSource) {
    // Red ramps by 2 a column, so brightness at column x is 2x.
    LensRun run(120, 8);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 120; ++x) run.inAt(x, y, 0) = static_cast<uint8_t>(2 * x);
    struct Case {
        int sx;
        int offset;  // brightness offset of the height map at column x, doubled
    } cases[] = {{30, 0}, {60, -75}, {0, 75}};
    for (const Case& c : cases) {
        LensSettings s = fullRectangle(100);
        s.smoothing = 60;
        s.shiftX = c.sx;
        ASSERT_EQ(run.prepare(s), 0);
        run.runPass(1);
        // 37.5 pixels: halfway between columns x - 38 and x - 37 (or + 37, + 38).
        for (int x = 40; x < 80; ++x)
            ASSERT_EQ(run.lens().heightMap[static_cast<size_t>(3 * 120 + x)], 2 * x + c.offset)
                << "shift " << c.sx << " column " << x;
    }
}

TEST(LumivexRender, ChangingOnlyTheDeformationReusesTheHeightMap) {
    LensRun run(80, 60);
    fillTexture(run, 5);
    LensSettings s = sideways();
    ASSERT_EQ(run.render(s), noErr);
    EXPECT_FALSE(run.lens().heightDirty);
    const std::vector<int16_t> heights = run.lens().heightMap;
    // A mark in the scratch buffer shows whether the blur passes ran again.
    std::fill(run.lens().heightScratch.begin(), run.lens().heightScratch.end(), int16_t{-7});

    s.deformation = 120;
    s.angle = {50, 25};
    s.skewX = 12;
    ASSERT_EQ(run.render(s), noErr);
    EXPECT_EQ(run.lens().heightScratch.front(), -7);
    EXPECT_EQ(run.lens().heightMap, heights);
    // The reused map renders what a fresh session renders.
    LensRun fresh(80, 60);
    fillTexture(fresh, 5);
    ASSERT_EQ(fresh.render(s), noErr);
    EXPECT_EQ(run.out, fresh.out);

    s.smoothing = 30;  // the blur width enters the fingerprint
    ASSERT_EQ(run.render(s), noErr);
    EXPECT_NE(run.lens().heightScratch.front(), -7);

    std::fill(run.lens().heightScratch.begin(), run.lens().heightScratch.end(), int16_t{-7});
    run.session.previewScale = 2.0f;  // so does the scale
    ASSERT_EQ(run.render(s), noErr);
    EXPECT_NE(run.lens().heightScratch.front(), -7);
}

TEST(LumivexRender, EverySessionBuildsItsHeightMapFirst) {
    LensRun run(30, 20);
    fillTexture(run);
    ASSERT_EQ(run.render(sideways()), noErr);
    const std::vector<uint8_t> first = run.out;
    ASSERT_TRUE(run.renew());
    EXPECT_EQ(run.lens().lastFingerprint, -1.0);
    ASSERT_EQ(run.render(sideways()), noErr);
    EXPECT_EQ(run.out, first);
}

TEST(LumivexRender, TinyImagesRenderInsideTheirBuffers) {
    struct Case {
        int w, h, planes;
        bool mask;
    } cases[] = {{3, 3, 3, false}, {3, 3, 4, true}, {3, 3, 3, true}, {2, 2, 3, false},
                 {1, 1, 4, false}, {1, 7, 3, true}, {9, 2, 4, false}};
    for (const Case& c : cases) {
        LensRun run(c.w, c.h, c.planes, c.mask);
        fillTexture(run, 11);
        if (c.mask) run.mask[0] = 0;
        for (int deformation : {0, 150}) {
            LensSettings s = fullRectangle(100);
            s.deformation = deformation;
            s.shiftX = 60;
            s.skewY = 0;
            ASSERT_EQ(run.render(s), noErr) << c.w << "x" << c.h;
            if (c.w >= 3 && c.h >= 3 && deformation == 0) {
                for (int y = 0; y < c.h; ++y)
                    for (int x = 0; x < c.w; ++x) ASSERT_EQ(run.outAt(x, y, 0), run.inAt(1, 1, 0));
            }
        }
    }
}

TEST(LumivexRender, ValuesBeyondTheRangesRenderAsTheirLimits) {
    fw::ValueSlots wild{};
    wild[kSmoothing] = 127;
    wild[kMaskRightLeft] = 511;  // right 160 (limited), left 0
    wild[kRefractionAngle] = 25 | 25 << 7;  // the centre snaps to (25, 50)
    wild[kDeformation] = 255;
    wild[kLensShift] = 127 | 30 << 7;
    wild[kMaskInclusion] = 127;
    wild[kMaskBottomTop] = 300;
    wild[kPreviewOn] = 3;
    wild[kLensSkew] = 30 | 127 << 7;
    LensSettings limited;
    limited.smoothing = 60;
    limited.angle = {25, 50};
    limited.deformation = 150;
    limited.shiftX = 60;
    limited.inclusion = 100;
    limited.previewOn = 3;
    limited.skewY = 60;

    LensRun a(50, 40), b(50, 40);
    fillTexture(a, 9);
    fillTexture(b, 9);
    ASSERT_EQ(a.renderSlots(wild), noErr);
    ASSERT_EQ(b.render(limited), noErr);
    EXPECT_EQ(a.out, b.out);
    EXPECT_GT(movedPixels(a), 0);
}

TEST(LumivexRender, FourPlanesKeepTheirFourthChannel) {
    LensRun run(40, 30, 4, false, 4);
    fillTexture(run, 2);
    ASSERT_EQ(run.render(fullRectangle(100)), noErr);
    EXPECT_GT(movedPixels(run), 0);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) ASSERT_EQ(run.outAt(x, y, 3), run.inAt(x, y, 3));
}

TEST(LumivexRender, TransparencyWeakensTheLens) {
    // Fully transparent pixels give the flat level: nothing moves.
    LensRun run(60, 40, 4);
    fillTexture(run, 4);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 60; ++x) run.inAt(x, y, 3) = 0;
    ASSERT_EQ(run.render(fullRectangle(100)), noErr);
    EXPECT_EQ(movedPixels(run, kFlatMargin), 0);
}

TEST(LumivexRender, TheSlopeDisplacesAlongTheRefractionAngle) {
    // Height rising by 10 a pixel along one axis, knob pointing along it, the
    // skew at its centre: phi = theta + pi/4, so with G = 5250 the vector is
    // (3712, -3712) for theta = pi/2 and (3712, 3712) for theta = 0. A slope of
    // -10 gives -37120 / 750 = -49/64 pixel, between the pixel before (49/64)
    // and the pixel itself (15/64): a ramp of 4 a pixel reads 4 v - 3.06.
    struct Case {
        bool alongX;
        KnobPoint knob;
    } cases[] = {{true, {50, 25}}, {false, {25, 50}}};
    for (const Case& c : cases) {
        LensRun run(40, 40);
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 40; ++x) run.inAt(x, y, 1) = static_cast<uint8_t>(4 * (c.alongX ? x : y));
        LensSettings s = fullRectangle(100);
        s.smoothing = 60;
        s.deformation = 75;
        s.angle = c.knob;
        s.skewX = s.skewY = 30;
        ASSERT_EQ(run.prepare(s), 0);
        ASSERT_EQ(run.lens().params.amplitude, 5250);
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 40; ++x)
                run.lens().heightMap[static_cast<size_t>(y * 40 + x)] = static_cast<int16_t>(10 * (c.alongX ? x : y));
        run.runPass(4);
        for (int y = 2; y < 38; ++y)
            for (int x = 2; x < 38; ++x)
                ASSERT_EQ(run.outAt(x, y, 1), 4 * (c.alongX ? x : y) - 4) << c.alongX << " at " << x << "," << y;
    }
}
