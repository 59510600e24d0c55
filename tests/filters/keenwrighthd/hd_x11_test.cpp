// Keenwright HD's dialog in a real window on a private X server, driven by a
// real mouse through xdotool: dragging Contrast changes the preview, apply
// gives the same pixels as a run with the saved settings.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>

#include "framework/settings/record.h"
#include "tests/e2e/plugin_run.h"
#include "tests/filters/keenwrighthd/hd_test_support.h"
#include "tests/platform/ui/xvfb.h"

using namespace qm;

namespace {

class HdWindow : public test::PluginRun {
protected:
    HdWindow() : PluginRun("Keenwright HD") {}
};

TEST_F(HdWindow, DraggingContrastChangesThePreviewAndApplyMatchesItsSettings) {
    static ui::testing::Xvfb server;
    std::string why;
    if (ui::detail::findProgram("xdotool").empty()) GTEST_SKIP() << "xdotool is not installed";
    if (!server.start(why)) GTEST_SKIP() << why;
    ui::testing::useDisplay(server.display());

    const std::string photo = std::string(QM_SOURCE_DIR) + "/samples/seeding.jpg";
    // 1600 x 900: pw 900, a client area of 1200 x 639; Contrast 125 of the
    // Default preset sits at x1 + 10 + 125 = 1060, y 433.
    const int width = 1200, height = 639;
    const ui::Rect preview{5, 17, 905, 617};
    const int pid = test::startQuillmere({"apply", "Keenwright HD", photo, "-o", dir + "/dialog.png", "--dialog",
                                          "--save-settings", dir + "/returned.txt"},
                                         dir + "/stdout", dir + "/stderr");

    // The window, then its preview once rendering has settled.
    ui::testing::DialogWindow window(server.display(), width, height, preview, 200, 300);
    ASSERT_TRUE(window.find("Keenwright HD 2.00")) << test::readFile(dir + "/stderr");
    const ui::Surface before = window.settled();
    ASSERT_EQ(before.width(), width);

    window.drag(1060, 433, 1100, 433);
    const ui::Surface after = window.settled(&before);
    EXPECT_TRUE(window.previewDiffers(before, after));

    // Apply, at (x0 + 193 .. x0 + 223, 590 .. 620).
    window.click(1110, 605);
    ASSERT_EQ(test::waitFor(pid), 0) << test::readFile(dir + "/stderr");

    const std::vector<uint8_t> stored = lastUsed("Software\\Quillmere\\KeenwrightHD", 64);
    ASSERT_EQ(stored.size(), 64u);
    fw::ValueSlots slots{};
    fw::decodeRecord(stored.data(), khd::test::hd().format, slots);
    EXPECT_EQ(slots[khd::kSlotContrast], 165);

    unsetenv("DISPLAY");
    auto replay = apply(photo, "replay.png", {"--settings", dir + "/returned.txt"});
    ASSERT_EQ(replay.status, 0) << replay.err;
    EXPECT_EQ(load("dialog.png").pixels, load("replay.png").pixels);
}

}  // namespace
