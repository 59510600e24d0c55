// The strip stage: the cell pattern, the floor the filter uses, and the
// geometry derived from the settings.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "filters/plaitwork/evaluate_stage.h"
#include "filters/plaitwork/stage_geometry.h"
#include "filters/plaitwork/stage_params.h"

using namespace qm::plaitwork;

namespace {

StripSettings stageSettings(int hSpacing, int vSpacing, Pad stretch) {
    StripSettings s;
    s.hSpacing1 = s.hSpacing2 = hSpacing;
    s.vSpacing1 = s.vSpacing2 = vSpacing;
    s.stretch1 = s.stretch2 = stretch;
    return s;
}

int floorOf(float v) { return static_cast<int>(std::floor(v)); }

}  // namespace

TEST(StripFloor, TruncatesAndLowersNegativeValues) {
    const struct {
        float v;
        int expected;
    } cases[] = {{2.5f, 2}, {2.0f, 2}, {0.0f, 0}, {-0.5f, -1}, {-2.0f, -3}, {-2.5f, -3}};
    for (const auto& c : cases) EXPECT_EQ(stripFloor(c.v), c.expected) << c.v;
    EXPECT_EQ(truncToInt(std::nanf("")), INT32_MIN);
    EXPECT_EQ(truncToInt(3e9f), INT32_MIN);
    EXPECT_EQ(truncToInt(-7.9f), -7);
}

TEST(StageParams, ScaledSpacingsStretchLimitsAndShading) {
    StripSettings s = stageSettings(43, 117, {0, 0});
    s.stretch2 = {50, 50};
    s.sideShading1 = 33;
    s.sideShading2 = 0;
    s.shadowDepth1 = {45, 5};
    s.moireH = 70;
    s.moireV = 35;
    const float scale = static_cast<float>(4000 / 600.0);
    const StageParams p1 = makeStageParams(s, 1, scale, 3);
    EXPECT_EQ(p1.Sh, 286);  // 43 x 6.67, truncated
    EXPECT_EQ(p1.Sv, 780);
    EXPECT_EQ(p1.K, 49);   // 50 limited
    EXPECT_EQ(p1.J, -49);  // -50 limited
    EXPECT_EQ(p1.q, -25);  // (99 - 150) / 2 truncates toward zero
    EXPECT_EQ(p1.gx, 20);
    EXPECT_EQ(p1.gy, -20);
    EXPECT_EQ(p1.offY, 49 * 286 / 50);
    EXPECT_EQ(p1.offX, 49 * 780 / 50);
    EXPECT_FLOAT_EQ(p1.moireX, -(286 * 20) * 0.02f);
    EXPECT_FLOAT_EQ(p1.moireY, -(780 * -15) * 0.02f);
    const StageParams p2 = makeStageParams(s, 2, 1.0f, 3);
    EXPECT_EQ(p2.K, -49);
    EXPECT_EQ(p2.J, 49);
    EXPECT_EQ(p2.q, -75);
    EXPECT_EQ(p2.offY, 0);
    EXPECT_EQ(p2.offX, 0);
    EXPECT_EQ(p2.moireX, 0);  // moire belongs to the first stage
    EXPECT_EQ(makeStageParams(stageSettings(1, 1, {25, 25}), 1, 1.0f, 3).Sh, 2);
}

TEST(StageParams, TransparentShadowColourStopsTheLightExitOnFourPlanes) {
    StripSettings s = stageSettings(20, 20, {25, 25});
    s.lightExiting = 60;
    s.shadowColour1.mode = 3;
    EXPECT_EQ(makeStageParams(s, 1, 1, 4).lightExit, 0);
    EXPECT_EQ(makeStageParams(s, 1, 1, 3).lightExit, 60);
    EXPECT_EQ(makeStageParams(s, 2, 1, 4).lightExit, 60);
}

TEST(StageGeometry, CornerShadesFollowTheOrientation) {
    StripSettings s = stageSettings(20, 20, {25, 25});
    s.sideShading1 = 100;  // q = 75, d = 0.25
    const struct {
        int orientation;
        float shade[4];
    } cases[] = {{0, {0.25f, 0.25f, 1, 1}}, {2, {1, 0.25f, 1, 0.25f}}, {4, {1, 0.25f, 0.25f, 1}},
                 {5, {1, 0.25f, 0.25f, 1}}};
    for (const auto& c : cases) {
        s.orientation1 = c.orientation;
        const StageGeometry g = makeStageGeometry(makeStageParams(s, 1, 1, 3), 100, 100);
        for (int i = 0; i < 4; ++i) EXPECT_FLOAT_EQ(g.shade[i], c.shade[i]) << c.orientation << " " << i;
    }
}

// Neutral stretch: the four pieces tile the plane as an axis-aligned
// checkerboard of Sh x Sv rectangles, and remapping leaves the point alone.
TEST(EvaluateStage, NeutralStageIsAnUndistortedCheckerboard) {
    const StageParams p = makeStageParams(stageSettings(14, 10, {25, 25}), 1, 1.0f, 3);
    const StageGeometry g = makeStageGeometry(p, 200, 150);
    EXPECT_FLOAT_EQ(g.zoom, 1);
    EXPECT_FLOAT_EQ(g.ratio, 1);
    for (float Y = -40.5f; Y < 120; Y += 1.0f)
        for (float X = -60.5f; X < 150; X += 1.0f) {
            const bool lowerRow = floorOf(Y / 10) % 2 != 0;
            const bool rightColumn = floorOf(X / 14) % 2 != 0;
            const Piece expected = lowerRow ? (rightColumn ? Piece::C : Piece::A)
                                            : (rightColumn ? Piece::D : Piece::B);
            StagePoint pt{X, Y, 0.75f};
            const StageResult r = evaluateStage(g, p, pt, true);
            ASSERT_EQ(r.piece, expected) << X << ", " << Y;
            ASSERT_EQ(pt.X, X);
            ASSERT_EQ(pt.Y, Y);
            ASSERT_FLOAT_EQ(r.L, 1);  // no shadow depth, no shading
            ASSERT_FLOAT_EQ(r.Sd, 1);
            ASSERT_FLOAT_EQ(pt.light, 0.75f);
        }
}

// Skewed and stretched cells still give strip coordinates in 0..1 (they
// index the curve table) and a light that falls across each strip.
TEST(EvaluateStage, StripCoordinatesStayInTheUnitRangeForAnyStretch) {
    std::mt19937 random(7);
    std::uniform_real_distribution<float> coordinate(-500, 500);
    const Pad stretches[] = {{25, 25}, {10, 40}, {40, 3}, {0, 50}, {50, 0}, {37, 28}};
    for (const Pad& stretch : stretches) {
        StripSettings s = stageSettings(23, 31, stretch);
        s.shadowDepth1 = {40, 10};
        const StageParams p = makeStageParams(s, 1, 1.0f, 3);
        const StageGeometry g = makeStageGeometry(p, 300, 200);
        for (int i = 0; i < 20000; ++i) {
            StagePoint pt{coordinate(random), coordinate(random), 0.75f};
            const StageResult r = evaluateStage(g, p, pt, false);
            ASSERT_GE(r.su, -1e-3f) << stretch.x << "," << stretch.y;
            ASSERT_LE(r.su, 1 + 1e-3f) << stretch.x << "," << stretch.y;
            ASSERT_GE(r.sv, -1e-3f) << stretch.x << "," << stretch.y;
            ASSERT_LE(r.sv, 1 + 1e-3f) << stretch.x << "," << stretch.y;
        }
    }
}
