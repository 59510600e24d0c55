// Lumivex's dialog in a real window on a private X server, driven through
// xdotool: the angle ring and a slider dragged change the preview, the
// settings saved as a user preset, applied; the output equals a batch run of
// that preset.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "tests/e2e/plugin_run.h"
#include "tests/platform/ui/xvfb.h"

using namespace qm;

namespace {

using ui::testing::xdotool;

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
    const int width = 905, height = 643;
    const ui::Rect preview{5, 21, 605, 621};
    const int pid = test::startQuillmere(
        {"apply", "Lumivex", "--plugins", QM_PLUGIN_DIR, photo, "-o", dir + "/dialog.png"}, dir + "/stdout",
        dir + "/stderr");
    unsigned long id = 0;
    for (int i = 0; i < 200 && !id; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        id = ui::testing::windowNamed("Lumivex 1.20");
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
    auto drag = [&](int x0, int y0, int x1, int y1) {
        xdotool("mousemove --sync " + w + std::to_string(x0) + " " + std::to_string(y0));
        xdotool("mousedown 1");
        xdotool("mousemove --sync " + w + std::to_string((x0 + x1) / 2) + " " + std::to_string((y0 + y1) / 2));
        xdotool("mousemove --sync " + w + std::to_string(x1) + " " + std::to_string(y1));
        xdotool("mouseup 1");
    };
    drag(730, 400, 770, 380);  // the ring's knob, from Sideways' (0, 25)
    drag(680, 471, 740, 471);  // Deformation 50 to 110
    const ui::Surface after = settled(&before);
    EXPECT_FALSE(ui::testing::sameInside(before, after, preview));

    // The list's last entry opens the preset dialog: a name, Enter saves.
    xdotool("mousemove --sync " + w + "690 610");
    xdotool("click 1");
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    xdotool("key Down Down Down Return");
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    xdotool("type Dragged");
    xdotool("key Return");
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    // Apply.
    xdotool("mousemove --sync " + w + "812 607");
    xdotool("click 1");
    ASSERT_EQ(test::waitFor(pid), 0) << test::readFile(dir + "/stderr");

    unsetenv("DISPLAY");
    auto batch = apply(photo, "batch.png", {"--preset", "Dragged"});
    ASSERT_EQ(batch.status, 0) << batch.err;
    EXPECT_EQ(load("dialog.png").pixels, load("batch.png").pixels);
}

}  // namespace
