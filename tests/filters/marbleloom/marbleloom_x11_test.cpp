// Marbleloom 3D's dialog in a real window on a private X server, driven
// through xdotool: the pattern viewer opened for layer 1, a pattern chosen,
// the preview changed; the settings saved as a user preset and applied give
// the output of a batch run of that preset.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <string>
#include <thread>

#include "tests/e2e/plugin_run.h"
#include "tests/platform/ui/xvfb.h"

using namespace qm;

namespace {

using ui::testing::xdotool;

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
    const int width = 965, height = 643;
    const ui::Rect preview{5, 21, 605, 621};
    const int pid = test::startQuillmere(
        {"apply", "Marbleloom 3D", "--plugins", QM_PLUGIN_DIR, photo, "-o", dir + "/dialog.png"}, dir + "/stdout",
        dir + "/stderr");
    unsigned long id = 0;
    for (int i = 0; i < 200 && !id; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        id = ui::testing::windowNamed("Marbleloom 3D 1.50");
    }
    ASSERT_NE(id, 0u) << test::readFile(dir + "/stderr");
    auto settled = [&](const ui::Surface* unlike) {
        ui::Surface last;
        for (int i = 0; i < 200; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(150));
            ui::Surface now = ui::testing::serverImage(server.display(), id, width, height);
            const bool stable = ui::testing::sameInside(now, last, preview);
            last = std::move(now);
            if (stable && (!unlike || !ui::testing::sameInside(last, *unlike, preview))) return last;
        }
        return last;
    };
    const ui::Surface before = settled(nullptr);
    ASSERT_EQ(before.width(), width);

    const std::string w = "--window " + std::to_string(id) + " ";
    auto clickAt = [&](int x, int y) {
        xdotool("mousemove --sync " + w + std::to_string(x) + " " + std::to_string(y));
        xdotool("click 1");
    };
    // Layer 1's pattern selector opens the viewer over the preview.
    clickAt(618, 283);
    const ui::Surface viewer = settled(&before);
    EXPECT_FALSE(ui::testing::sameInside(before, viewer, preview));
    // The third pattern of the first page ("Pasta") for layer 1.
    clickAt(27 + 2 + 2 * 46 + 23, 65 + 2 + 23);
    const ui::Surface after = settled(&viewer);
    EXPECT_FALSE(ui::testing::sameInside(before, after, preview));

    // The list's last entry opens the preset dialog: a name, Enter saves.
    clickAt(690, 622);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    xdotool("key Down Down Return");
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    xdotool("type Chosen");
    xdotool("key Return");
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    // Apply.
    clickAt(900, 619);
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
