#include <gtest/gtest.h>

#include "platform/ui/bitmap.h"
#include "platform/ui/font.h"
#include "platform/ui/surface.h"
#include "tests/platform/ui/ui_test_support.h"

namespace qm::ui {
namespace {

// A surface whose every pixel differs from its neighbours.
Surface pattern(int w, int h) {
    Surface s(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) s.setPixel(x, y, rgb(x * 7 + 1, y * 11 + 2, (x * y) & 0xFF));
    return s;
}

TEST(Surface, PixelsOutsideAreIgnoredAndRowsArePaddedLikeADib) {
    Surface s(5, 3, rgb(1, 2, 3));
    EXPECT_EQ(s.stride(), 16);
    EXPECT_EQ(s.pixel(4, 2), rgb(1, 2, 3));
    EXPECT_EQ(s.pixel(5, 0), kInvalidColour);
    EXPECT_EQ(s.pixel(-1, 0), kInvalidColour);
    s.setPixel(5, 0, kBlack);
    s.setPixel(2, 1, rgb(200, 100, 50));
    EXPECT_EQ(s.pixel(2, 1), rgb(200, 100, 50));
    // Stored blue, green, red.
    EXPECT_EQ(s.row(1)[6], 50);
    EXPECT_EQ(s.row(1)[8], 200);
}

TEST(Surface, FillFrameAndRectangleWithPenAndBrush) {
    struct Case {
        std::optional<Colour> pen, brush;
        Colour edge, inside;
    };
    const Colour bg = rgb(9, 9, 9), pen = rgb(255, 0, 0), brush = rgb(0, 0, 255);
    const Case cases[] = {
        {pen, brush, pen, brush},
        {std::nullopt, brush, brush, brush},  // no pen: the brush reaches the edge
        {pen, std::nullopt, pen, bg},         // hollow brush
    };
    for (const Case& c : cases) {
        Surface s(10, 10, bg);
        s.setPen(c.pen);
        s.setBrush(c.brush);
        s.rectangle({2, 2, 8, 8});
        EXPECT_EQ(s.pixel(2, 2), c.edge);
        EXPECT_EQ(s.pixel(7, 5), c.edge);
        EXPECT_EQ(s.pixel(4, 4), c.inside);
        EXPECT_EQ(s.pixel(8, 8), bg);  // right and bottom are exclusive
        EXPECT_EQ(s.pixel(1, 1), bg);
    }
    Surface s(6, 6, bg);
    s.frame({1, 1, 5, 5}, pen);
    EXPECT_EQ(s.pixel(1, 3), pen);
    EXPECT_EQ(s.pixel(4, 4), pen);
    EXPECT_EQ(s.pixel(2, 2), bg);
    s.fill({-3, -3, 2, 100}, brush);  // clipped
    EXPECT_EQ(s.pixel(0, 5), brush);
    EXPECT_EQ(s.pixel(2, 0), bg);
}

TEST(Surface, BlitClipsBothSides) {
    struct Case {
        int x, y, w, h, sx, sy;
    };
    const Case cases[] = {
        {2, 3, 4, 4, 1, 1},     {-2, -1, 5, 5, 0, 0},  {6, 6, 10, 10, 0, 0},
        {1, 1, 4, 4, -2, -3},   {0, 0, 20, 20, 5, 4},  {3, 0, 3, 3, 9, 9},
    };
    const Surface src = pattern(9, 8);
    for (const Case& c : cases) {
        Surface dst(8, 8, kWhite);
        dst.blit(c.x, c.y, c.w, c.h, src, c.sx, c.sy);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x) {
                const int u = x - c.x + c.sx, v = y - c.y + c.sy;
                const bool copied = x >= c.x && x < c.x + c.w && y >= c.y && y < c.y + c.h &&
                                    u >= c.sx && v >= c.sy && u >= 0 && v >= 0 && u < 9 && v < 8;
                ASSERT_EQ(dst.pixel(x, y), copied ? src.pixel(u, v) : kWhite)
                    << "case " << c.x << "," << c.y << " " << c.w << "x" << c.h << " from " << c.sx << ","
                    << c.sy << " at " << x << "," << y;
            }
    }
}

TEST(Surface, ChangesAreCollectedAsABoundingBox) {
    Surface s(20, 20);
    s.fill({2, 3, 5, 6}, kBlack);
    s.setPixel(10, 1, kBlack);
    EXPECT_EQ(s.takeChanged(), (Rect{2, 1, 11, 6}));
    EXPECT_TRUE(s.takeChanged().isEmpty());
}

// ---- text ----------------------------------------------------------------------

TEST(Text, InterfaceFontHasThe13PixelCell) {
    auto f = Font::interfaceFont();
    ASSERT_TRUE(f) << "DejaVu Sans (fonts-dejavu-core) is needed";
    EXPECT_EQ(f->cellHeight(), 13);
    EXPECT_EQ(f->ascent() + f->descent(), 13);
}

TEST(Text, DrawnAtItsOriginInTheTextColourWithinItsExtent) {
    Surface s(200, 60, kWhite);
    s.setBackgroundMode(BackgroundMode::Transparent);
    s.setTextColour(rgb(255, 0, 0));
    const int x0 = 37, y0 = 21;
    const Size e = s.textExtent("Quillmere");
    s.drawText(x0, y0, "Quillmere");
    int inked = 0;
    for (int y = 0; y < s.height(); ++y)
        for (int x = 0; x < s.width(); ++x) {
            const Colour c = s.pixel(x, y);
            if (c == kWhite) continue;
            ++inked;
            EXPECT_TRUE(x >= x0 - 1 && x <= x0 + e.width && y >= y0 && y < y0 + e.height)
                << "ink at " << x << "," << y << " outside the extent";
            EXPECT_EQ(redOf(c), 255) << "a blend towards red keeps red at 255";
            EXPECT_EQ(greenOf(c), blueOf(c));
        }
    EXPECT_GT(inked, 40);
}

TEST(Text, ExtentGrowsWithTheTextAndHasTheCellHeight) {
    Surface s(1, 1);
    EXPECT_EQ(s.textExtent("").width, 0);
    int last = 0;
    for (std::string t : {"W", "Wi", "Wid", "Wide text"}) {
        const Size e = s.textExtent(t);
        EXPECT_GT(e.width, last) << t;
        EXPECT_EQ(e.height, 13);
        last = e.width;
    }
}

TEST(Text, UnderlinedDiffersByALineBelowTheBaseline) {
    auto normal = Font::interfaceFont(false), underlined = Font::interfaceFont(true);
    ASSERT_TRUE(normal && underlined);
    Surface a(100, 20, kWhite), b(100, 20, kWhite);
    for (auto [s, f] : {std::pair{&a, normal}, std::pair{&b, underlined}}) {
        s->selectFont(f);
        s->setBackgroundMode(BackgroundMode::Transparent);
        s->drawText(5, 3, "link");
    }
    const int width = normal->extent("link").width;
    int differingRows = 0;
    for (int y = 0; y < 20; ++y) {
        bool differs = false;
        for (int x = 0; x < 100; ++x) differs = differs || a.pixel(x, y) != b.pixel(x, y);
        if (!differs) continue;
        ++differingRows;
        EXPECT_GT(y, 3 + normal->ascent() - 1) << "only below the baseline";
        for (int x = 5; x < 5 + width; ++x) EXPECT_EQ(b.pixel(x, y), kBlack) << x << "," << y;
    }
    EXPECT_GE(differingRows, 1);
}

TEST(Text, OpaqueModeFillsTheExtentWithTheBackground) {
    Surface s(80, 20, kWhite);
    s.setBackgroundMode(BackgroundMode::Opaque);
    s.setBackgroundColour(rgb(0, 255, 0));
    s.drawText(2, 2, "ab");
    const Size e = s.textExtent("ab");
    EXPECT_EQ(s.pixel(2, 2), rgb(0, 255, 0));
    EXPECT_EQ(s.pixel(2 + e.width - 1, 2 + e.height - 1), rgb(0, 255, 0));
    EXPECT_EQ(s.pixel(2 + e.width, 2), kWhite);
}

TEST(Text, Utf8AndStrayBytes) {
    const std::string s = "a\xC3\xA9\xE2\x82\xAC\xFFz";  // a, e acute, euro, a stray byte, z
    std::vector<char32_t> got;
    for (size_t i = 0; i < s.size();) got.push_back(nextCodePoint(s, i));
    EXPECT_EQ(got, (std::vector<char32_t>{U'a', 0xE9, 0x20AC, 0xFF, U'z'}));
    std::string back;
    for (char32_t c : {char32_t(0xE9), char32_t(0x20AC)}) appendUtf8(back, c);
    EXPECT_EQ(back, "\xC3\xA9\xE2\x82\xAC");
}

// ---- bitmaps -------------------------------------------------------------------

TEST(Bitmap, DecodesTheBmpLayoutsResourcesUse) {
    Surface colourful = pattern(7, 5);
    Surface fourColours(9, 4, kWhite);
    fourColours.fill({0, 0, 3, 4}, kBlack);
    fourColours.fill({3, 1, 6, 3}, rgb(255, 0, 0));
    fourColours.setPixel(8, 3, rgb(0, 0, 255));
    Surface twoColours(11, 3, kWhite);
    twoColours.fill({1, 1, 10, 2}, kBlack);
    struct Case {
        const char* name;
        const Surface* image;
        int bits;
        bool topDown, bare;
    };
    const Case cases[] = {
        {"24-bit", &colourful, 24, false, false}, {"24-bit top-down", &colourful, 24, true, false},
        {"32-bit", &colourful, 32, false, false}, {"bare DIB", &colourful, 24, false, true},
        {"8-bit", &fourColours, 8, false, false}, {"4-bit", &fourColours, 4, false, false},
        {"1-bit", &twoColours, 1, false, false},
    };
    for (const Case& c : cases) {
        Surface out;
        std::string error;
        ASSERT_TRUE(decodeBmp(testing::encodeBmp(*c.image, c.bits, c.topDown, c.bare), out, error))
            << c.name << ": " << error;
        ASSERT_EQ(out.size(), c.image->size()) << c.name;
        for (int y = 0; y < out.height(); ++y)
            for (int x = 0; x < out.width(); ++x)
                ASSERT_EQ(out.pixel(x, y), c.image->pixel(x, y)) << c.name << " at " << x << "," << y;
    }
}

TEST(Bitmap, RefusesWhatIsNotABmpWithAReason) {
    std::vector<uint8_t> good = testing::encodeBmp(pattern(4, 4), 24);
    std::vector<uint8_t> rle = good;
    rle[14 + 16] = 1;  // BI_RLE8
    std::vector<uint8_t> truncated(good.begin(), good.end() - 5);
    const std::vector<uint8_t> png{0x89, 'P', 'N', 'G', 13, 10, 26, 10, 0, 0, 0, 13};
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        const char* reason;
    };
    const Case cases[] = {
        {"a PNG", png, "not a BMP"},
        {"nothing", {}, "not a BMP"},
        {"compressed", rle, "compress"},
        {"cut short", truncated, "truncated"},
    };
    for (const Case& c : cases) {
        Surface out;
        std::string error;
        EXPECT_FALSE(decodeBmp(c.bytes, out, error)) << c.name;
        EXPECT_NE(error.find(c.reason), std::string::npos) << c.name << ": " << error;
    }
}

TEST(Bitmap, CursorsFromBmpAndCurFiles) {
    Surface arrow(4, 4, kWhite);
    arrow.fill({0, 0, 2, 2}, kBlack);
    CursorImage img;
    std::string error;
    ASSERT_TRUE(decodeCursor(testing::encodeBmp(arrow, 24), img, error)) << error;
    EXPECT_EQ(img.hotSpot, (Point{0, 0}));
    EXPECT_EQ(img.opaque[0], 1);   // black shows
    EXPECT_EQ(img.opaque[15], 0);  // white is see-through

    // A .cur: directory, one entry with hot spot (3, 1), a DIB of doubled
    // height and an AND mask that lets the screen through on the right half.
    std::vector<uint8_t> dib = testing::encodeBmp(arrow, 24, false, true);
    dib[8] = 8;  // height 4 -> 8: colour rows and mask rows
    for (int row = 0; row < 4; ++row) {
        dib.push_back(0x30);  // bits for x = 2, 3
        dib.insert(dib.end(), {0, 0, 0});
    }
    std::vector<uint8_t> cur{0, 0, 2, 0, 1, 0, 4, 4, 0, 0, 3, 0, 1, 0};
    const uint32_t size = static_cast<uint32_t>(dib.size()), offset = 22;
    for (uint32_t v : {size, offset})
        for (int i = 0; i < 4; ++i) cur.push_back(uint8_t(v >> (8 * i)));
    cur.insert(cur.end(), dib.begin(), dib.end());
    ASSERT_TRUE(decodeCursor(cur, img, error)) << error;
    EXPECT_EQ(img.hotSpot, (Point{3, 1}));
    EXPECT_EQ(img.pixels.pixel(1, 1), kBlack);
    EXPECT_EQ(img.opaque[static_cast<size_t>(0 * 4 + 1)], 1);
    EXPECT_EQ(img.opaque[static_cast<size_t>(0 * 4 + 2)], 0);

    EXPECT_FALSE(decodeCursor(std::vector<uint8_t>{1, 2, 3, 4, 5, 6}, img, error));
    EXPECT_NE(error.find("not a cursor"), std::string::npos) << error;
}

}  // namespace
}  // namespace qm::ui
