// Plaitwork 2000's dialog through quillmere: a batch run with a factory
// preset, and a colour chosen with the picker in a scripted dialog (the host
// has no picker of its own; the plug-in's window layer answers).
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "host/image.h"
#include "tests/e2e/plugin_run.h"

using namespace qm;

namespace {

const std::string kPlugins = std::string(QM_BINARY_DIR) + "/plugins";

class StripDialogRun : public test::PluginRun {
protected:
    StripDialogRun() : PluginRun("Plaitwork 2000", kPlugins) {}

    // A small picture with some structure, so that presets differ.
    void writePicture(const std::string& name) {
        host::Image in;
        in.width = 90;
        in.height = 60;
        in.pixels.resize(in.rowBytes() * 60);
        for (size_t i = 0; i < in.pixels.size(); ++i) in.pixels[i] = static_cast<uint8_t>((i * 37) % 251);
        save(name, in);
    }
    std::string text(const std::string& name) {
        std::ifstream f(path(name));
        return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
    }
};

TEST_F(StripDialogRun, ABatchRunTakesAFactoryPresetWithoutADisplay) {
    writePicture("in.png");
    env.push_back("DISPLAY=");
    auto r = apply("in.png", "drapery.png", {"--preset", "DRAPERY", "--save-settings", path("drapery.txt")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(savedValue(text("drapery.txt"), "hSpacing1"), "2");
    EXPECT_EQ(savedValue(text("drapery.txt"), "backgroundDeformation"), "40");
    r = apply("in.png", "default.png");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(load("drapery.png").pixels, load("default.png").pixels);
}

TEST_F(StripDialogRun, ThePickerAnswersThroughThePlugInsOwnWindowLayer) {
    writePicture("in.png");
    // The first shadow colour's swatch, its pop-up's "Picker" row, the answer.
    std::ofstream(path("pick.txt")) << "press left 755 182\nclick left 40 54\ncolour 102030\n"
                                       "release left 755 182\nkey enter\n";
    auto r = apply("in.png", "picked.png", {"--dialog", "--ui-script", path("pick.txt")});
    ASSERT_EQ(r.status, 0) << r.err;
    // The same colour set by name on the preset the dialog opened with.
    r = apply("in.png", "set.png", {"--preset", "Surrea Faceable", "--set", "shadowColour1=#102030,2"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(load("picked.png").pixels, load("set.png").pixels);
    r = apply("in.png", "default.png");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(load("picked.png").pixels, load("default.png").pixels);
}

}  // namespace
