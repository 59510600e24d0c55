// Marbleloom 3D's dialog in a real window on a private X server, driven
// through xdotool: the pattern viewer opened for layer 1, a pattern chosen,
// the preview changed; the settings saved as a user preset and applied give
// the output of a batch run of that preset.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>

#include "tests/e2e/plugin_run.h"
#include "tests/platform/ui/xvfb.h"

using namespace qm;

namespace {

class MarbleloomWindow : public test::PluginRun {
protected:
    MarbleloomWindow() : PluginRun("Marbleloom 3D", QM_PLUGIN_DIR) {}
    void SetUp() override {
        PluginRun::SetUp();
        env.push_back("QUILLMERE_SHARED_DATA=" + dir + "/shared");
        setenv("QUILLMERE_SHARED_DATA", (dir + "/shared").c_str(), 1);
    }
};

TEST_F(MarbleloomWindow, APatternChosenInTheViewerSavedAsAPresetAndAppliedMatchesABatchRunOfIt) {
    static ui::testing::Xvfb server;
    std::string why;
    if (ui::detail::findProgram("xdotool").empty()) GTEST_SKIP() << "xdotool is not installed";
    if (!server.start(why)) GTEST_SKIP() << why;
    ui::testing::useDisplay(server.display());

    const std::string photo = std::string(QM_SOURCE_DIR) + "/samples/seeding.jpg";
    const int pid = test::startQuillmere(
        {"apply", "Marbleloom 3D", "--plugins", QM_PLUGIN_DIR, photo, "-o", dir + "/dialog.png"}, dir + "/stdout",
        dir + "/stderr");
    ui::testing::DialogWindow window(server.display(), 965, 643, {5, 21, 605, 621});
    ASSERT_TRUE(window.find("Marbleloom 3D 1.50")) << test::readFile(dir + "/stderr");
    const ui::Surface before = window.settled();
    ASSERT_EQ(before.width(), 965);

    // Layer 1's pattern selector opens the viewer over the preview.
    window.click(618, 283);
    const ui::Surface viewer = window.settled(&before);
    EXPECT_TRUE(window.previewDiffers(before, viewer));
    // The third pattern of the first page ("Pasta") for layer 1.
    window.click(27 + 2 + 2 * 46 + 23, 65 + 2 + 23);
    const ui::Surface after = window.settled(&viewer);
    EXPECT_TRUE(window.previewDiffers(before, after));

    // The list's last entry opens the preset dialog: a name, Enter saves.
    window.saveUserPreset(690, 622, 2, "Chosen");
    // Apply.
    window.click(900, 619);
    ASSERT_EQ(test::waitFor(pid), 0) << test::readFile(dir + "/stderr");

    unsetenv("DISPLAY");
    auto batch = apply(photo, "batch.png", {"--preset", "Chosen"});
    ASSERT_EQ(batch.status, 0) << batch.err;
    auto preset1 = apply(photo, "preset1.png", {"--preset", "PRESET1"});
    ASSERT_EQ(preset1.status, 0) << preset1.err;
    EXPECT_EQ(load("dialog.png").pixels, load("batch.png").pixels);
    EXPECT_NE(load("dialog.png").pixels, load("preset1.png").pixels);
}

}  // namespace
