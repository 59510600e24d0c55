// Lumivex's dialog in a real window on a private X server, driven through
// xdotool: the angle ring and a slider dragged change the preview, the
// settings saved as a user preset, applied; the output equals a batch run of
// that preset.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>

#include "tests/e2e/plugin_run.h"
#include "tests/platform/ui/xvfb.h"

using namespace qm;

namespace {

class LumivexWindow : public test::PluginRun {
protected:
    LumivexWindow() : PluginRun("Lumivex", QM_PLUGIN_DIR) {}
};

TEST_F(LumivexWindow, DraggedSettingsSavedAsAPresetAndAppliedMatchABatchRunOfIt) {
    static ui::testing::Xvfb server;
    std::string why;
    if (ui::detail::findProgram("xdotool").empty()) GTEST_SKIP() << "xdotool is not installed";
    if (!server.start(why)) GTEST_SKIP() << why;
    ui::testing::useDisplay(server.display());

    const std::string photo = std::string(QM_SOURCE_DIR) + "/samples/seeding.jpg";
    const int pid = test::startQuillmere(
        {"apply", "Lumivex", "--plugins", QM_PLUGIN_DIR, photo, "-o", dir + "/dialog.png"}, dir + "/stdout",
        dir + "/stderr");
    ui::testing::DialogWindow window(server.display(), 905, 643, {5, 21, 605, 621});
    ASSERT_TRUE(window.find("Lumivex 1.20")) << test::readFile(dir + "/stderr");
    const ui::Surface before = window.settled();
    ASSERT_EQ(before.width(), 905);

    window.drag(730, 400, 770, 380);  // the ring's knob, from Sideways' (0, 25)
    window.drag(680, 471, 740, 471);  // Deformation 50 to 110
    const ui::Surface after = window.settled(&before);
    EXPECT_TRUE(window.previewDiffers(before, after));

    // The list's last entry opens the preset dialog: a name, Enter saves.
    window.saveUserPreset(690, 610, 3, "Dragged");
    // Apply.
    window.click(812, 607);
    ASSERT_EQ(test::waitFor(pid), 0) << test::readFile(dir + "/stderr");

    unsetenv("DISPLAY");
    auto batch = apply(photo, "batch.png", {"--preset", "Dragged"});
    ASSERT_EQ(batch.status, 0) << batch.err;
    EXPECT_EQ(load("dialog.png").pixels, load("batch.png").pixels);
}

}  // namespace
