#include <gtest/gtest.h>

#include "framework/controls/engraving.h"
#include "framework/controls/skin_drawing.h"
#include "tests/framework/controls/controls_test_support.h"

namespace qm::fw {
namespace {

using testing::numbered;

constexpr ui::Colour kBlank = ui::rgb(1, 2, 3);

class SkinDrawingTest : public ::testing::Test {
protected:
    SkinDrawingTest() {
        resources.addBitmap(1, numbered(7, 5));
        ui::Surface holes = numbered(6, 4, 40);
        for (int y = 0; y < 4; ++y) holes.setPixel((y * 2 + 1) % 6, y, ui::kWhite);
        holes.setPixel(0, 0, ui::kWhite);
        resources.addBitmap(2, holes);
        skin = cache.load(resources.module(), 1);
        holed = cache.load(resources.module(), 2);
    }
    testing::TestResources resources;
    SkinCache cache;
    Skin skin, holed;
};

TEST_F(SkinDrawingTest, TilesLineUpWithTheTargetsOriginWhoeverTilesThem) {
    // Two neighbouring and overlapping areas, tiled one after the other.
    ui::Surface target(40, 30, kBlank);
    tile(skin, target, 3, 2, 18, 11);
    tile(skin, target, 18, 2, 33, 26);
    tile(skin, target, 10, 9, 20, 30);
    tile(skin, target, 30, 20, 60, 60);  // clipped to the target
    const ui::Surface& image = *skin.image();
    auto inside = [](int x, int y, int l, int t, int r, int b) { return x >= l && x < r && y >= t && y < b; };
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) {
            const bool tiled = inside(x, y, 3, 2, 18, 11) || inside(x, y, 18, 2, 33, 26) ||
                               inside(x, y, 10, 9, 20, 30) || inside(x, y, 30, 20, 60, 60);
            ASSERT_EQ(target.pixel(x, y), tiled ? image.pixel(x % 7, y % 5) : kBlank) << x << "," << y;
        }
}

TEST_F(SkinDrawingTest, TransparentDrawingLeavesWhiteOutWhateverTheColumnOrder) {
    struct Case {
        int x, y, dx, dy;
    };
    const Case cases[] = {{2, 3, 0, 0}, {5, 1, -3, 4}, {-2, -1, 0, 0}, {14, 9, 1, 1}};
    const ui::Surface& image = *holed.image();
    for (const Case& c : cases) {
        ui::Surface target = numbered(18, 12, 90);
        const ui::Surface before = target;
        drawTransparent(holed, target, c.x, c.y, c.dx, c.dy);
        for (int y = 0; y < 12; ++y)
            for (int x = 0; x < 18; ++x) {
                const ui::Colour own = image.pixel(x - c.x - c.dx, y - c.y - c.dy);
                const bool copied = own != ui::kInvalidColour && own != ui::kWhite;
                ASSERT_EQ(target.pixel(x, y), copied ? own : before.pixel(x, y)) << x << "," << y;
            }
    }
}

TEST_F(SkinDrawingTest, OpaquePiecesOfAStrip) {
    const ui::Surface& image = *skin.image();
    struct Case {
        const char* name;
        void (*draw)(const Skin&, ui::Surface&);
        ui::Rect area;
        int (*sourceX)(int x, int y);
        int (*sourceY)(int x, int y);
    };
    const Case cases[] = {
        {"columns 2..5 at (4, 6)", [](const Skin& s, ui::Surface& t) { copyColumns(s, t, 2, 4, 6, 5); },
         {4, 6, 7, 11}, [](int x, int) { return x - 4 + 2; }, [](int, int y) { return y - 6; }},
        {"region from (3, 1)", [](const Skin& s, ui::Surface& t) { copyRegion(s, t, 1, 2, 5, 6, 3, 1); },
         {1, 2, 5, 6}, [](int x, int) { return x - 1 + 3; }, [](int, int y) { return y - 2 + 1; }},
        {"transposed region from (1, 2)",
         [](const Skin& s, ui::Surface& t) { copyRegionTransposed(s, t, 5, 3, 8, 9, 1, 2); },
         {5, 3, 8, 9}, [](int, int y) { return y - 3 + 1; }, [](int x, int) { return x - 5 + 2; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ui::Surface target(12, 12, kBlank);
        c.draw(skin, target);
        for (int y = 0; y < 12; ++y)
            for (int x = 0; x < 12; ++x) {
                const bool in = c.area.contains({x, y});
                ASSERT_EQ(target.pixel(x, y), in ? image.pixel(c.sourceX(x, y), c.sourceY(x, y)) : kBlank)
                    << x << "," << y;
            }
    }
}

TEST(Engraving, LinesHaveShadowMidToneAndHighlightAcrossThemAndStopBeforeTheEnd) {
    struct Case {
        int x0, y0, x1, y1;
        int stepX, stepY;    // along the line
        int acrossX, acrossY;  // towards the highlight
    };
    const Case cases[] = {
        {2, 5, 12, 5, 1, 0, 0, 1},   // horizontal
        {12, 5, 2, 5, -1, 0, 0, 1},  // drawn backwards
        {6, 1, 6, 10, 0, 1, 1, 0},   // vertical
    };
    for (const Case& c : cases) {
        ui::Surface s(16, 14, kBlank);
        engravedLine(s, c.x0, c.y0, c.x1, c.y1);
        const int n = std::max(std::abs(c.x1 - c.x0), std::abs(c.y1 - c.y0));
        for (int i = 0; i < n; ++i) {
            const int x = c.x0 + c.stepX * i, y = c.y0 + c.stepY * i;
            EXPECT_EQ(s.pixel(x, y), kEngraveMidTone);
            EXPECT_EQ(s.pixel(x + c.acrossX, y + c.acrossY), kEngraveHighlight);
            EXPECT_EQ(s.pixel(x - c.acrossX, y - c.acrossY), kEngraveShadow);
        }
        EXPECT_EQ(s.pixel(c.x1, c.y1), kBlank);  // the end point is not drawn
    }
    // A slanted line steps along its longer axis with the other truncated.
    ui::Surface s(16, 14, kBlank);
    engravedLine(s, 1, 2, 11, 6);
    EXPECT_EQ(s.pixel(1, 2), kEngraveMidTone);
    EXPECT_EQ(s.pixel(3, 2), kEngraveMidTone);  // 4 * 2 / 10 = 0
    EXPECT_EQ(s.pixel(3, 3), kEngraveHighlight);
    EXPECT_EQ(s.pixel(6, 4), kEngraveMidTone);  // 4 * 5 / 10 = 2
    EXPECT_EQ(s.pixel(10, 5), kEngraveMidTone);  // 4 * 9 / 10 = 3
    // Stored as the system stores colours: the shadow is a dark red.
    EXPECT_EQ(ui::redOf(kEngraveShadow), 0x52);
}

TEST(Engraving, BevelFrameSetsTheRectangleIntoTheSurface) {
    ui::Surface s(20, 20, kBlank);
    bevelFrame(s, 5, 6, 12, 15);  // right and bottom exclusive
    struct Probe {
        int x, y;
        ui::Colour expected;
    };
    const Probe probes[] = {
        {8, 4, kEngraveHighlight}, {8, 5, ui::kBlack},  // top: highlight outside, black inside
        {3, 10, kEngraveHighlight}, {4, 10, ui::kBlack},  // left
        {8, 16, ui::kBlack}, {8, 15, kEngraveHighlight},  // bottom: black outside, highlight inside
        {13, 10, ui::kBlack}, {12, 10, kEngraveHighlight},  // right
        {8, 10, kBlank}, {8, 3, kBlank}, {14, 10, kBlank},  // inside and beyond untouched
        {3, 4, kEngraveHighlight}, {13, 16, ui::kBlack},  // outer corners
    };
    for (const Probe& p : probes) EXPECT_EQ(s.pixel(p.x, p.y), p.expected) << p.x << "," << p.y;
}

}  // namespace
}  // namespace qm::fw
