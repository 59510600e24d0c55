#include <gtest/gtest.h>

#include <filesystem>

#include "platform/ui/dialog.h"
#include "platform/ui/headless/headless.h"
#include "platform/ui/screenshot.h"
#include "tests/platform/ui/ui_test_support.h"

namespace qm::ui {
namespace {

namespace fs = std::filesystem;

void paintPattern(Surface& s) {
    for (int y = 0; y < s.height(); ++y)
        for (int x = 0; x < s.width(); ++x) s.setPixel(x, y, rgb(x & 0xFF, y & 0xFF, (x ^ y) & 0xFF));
    s.setBackgroundMode(BackgroundMode::Transparent);
    s.drawText(10, 10, "Screenshot");
}

DialogTemplate plainDialog() {
    DialogTemplate t;
    t.pixels = true;
    t.size = {160, 90};
    t.caption = "Shot";
    return t;
}

// Runs a dialog painting the pattern; answers its client origin on the screen.
Point runPainted(const std::string& script) {
    std::string error;
    EXPECT_TRUE(headless::loadScript(script, error)) << error;
    Point origin;
    runModalDialog(plainDialog(), nullptr, [&](Window& w, uint32_t m, WParam, LParam) -> intptr_t {
        if (m != kWmPaint) return 0;
        PaintScope paint(w);
        paintPattern(w.surface());
        origin = w.clientToScreen({0, 0});
        return 1;
    });
    return origin;
}

void expectSame(const Surface& a, const Surface& b, Point at = {}) {
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x)
            ASSERT_EQ(a.pixel(at.x + x, at.y + y), b.pixel(x, y)) << x << "," << y;
}

TEST(Screenshot, PngHoldsTheSurfacesPixels) {
    Surface s(37, 23);
    paintPattern(s);
    const std::string path = testing::screenshotDir() + "/round-trip.png";
    fs::create_directories(testing::screenshotDir());
    std::string error;
    ASSERT_TRUE(writePng(s, path, error)) << error;
    Surface back;
    ASSERT_TRUE(readPng(path, back, error)) << error;
    ASSERT_EQ(back.size(), s.size());
    expectSame(back, s);
    EXPECT_FALSE(writePng(Surface(), path, error));
    EXPECT_FALSE(readPng(testing::screenshotDir() + "/missing.png", back, error));
}

TEST(Screenshot, MarksWriteTheWindowAndTheScreen) {
    const Point origin = runPainted("mark shot-window window\nmark shot-screen\nkey escape");
    Surface expected(160, 90, kDialogColour);
    paintPattern(expected);
    Surface window, screen;
    std::string error;
    ASSERT_TRUE(readPng(testing::screenshotDir() + "/shot-window.png", window, error)) << error;
    ASSERT_EQ(window.size(), expected.size());
    expectSame(window, expected);
    ASSERT_TRUE(readPng(testing::screenshotDir() + "/shot-screen.png", screen, error)) << error;
    EXPECT_EQ(screen.size(), screenSize());
    expectSame(screen, expected, origin);
    EXPECT_EQ(screen.pixel(0, 0), kDesktopColour);
}

TEST(Screenshot, WithoutMarksEveryPaintIsWritten) {
    fs::create_directories(testing::screenshotDir());
    for (const auto& e : fs::directory_iterator(testing::screenshotDir()))
        if (e.path().filename().string().rfind("paint-", 0) == 0) fs::remove(e.path());
    runPainted("key escape");
    Surface expected(160, 90, kDialogColour);
    paintPattern(expected);
    int found = 0;
    for (const auto& e : fs::directory_iterator(testing::screenshotDir())) {
        if (e.path().filename().string().rfind("paint-", 0) != 0) continue;
        Surface shot;
        std::string error;
        ASSERT_TRUE(readPng(e.path().string(), shot, error)) << error;
        expectSame(shot, expected);
        ++found;
    }
    EXPECT_GE(found, 1);
}

}  // namespace
}  // namespace qm::ui
