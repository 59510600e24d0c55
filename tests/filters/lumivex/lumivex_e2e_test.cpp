// Lumivex through quillmere: listed from its PiPL; every run shows its
// dialog, and a batch picks a preset by its shown name.
#include <gtest/gtest.h>

#include "host/image.h"
#include "tests/e2e/plugin_run.h"

using namespace qm;

namespace {

class LumivexEndToEnd : public test::PluginRun {
protected:
    LumivexEndToEnd() : PluginRun("Lumivex", QM_PLUGIN_DIR) {}
};

}  // namespace

TEST_F(LumivexEndToEnd, ListedAndEveryRunAsksForItsDialog) {
    auto listed = test::runQuillmere({"list", "--plugins", QM_PLUGIN_DIR}, env);
    EXPECT_EQ(listed.status, 0) << listed.err;
    const size_t at = listed.out.find("Lumivex\n");
    ASSERT_NE(at, std::string::npos) << listed.out;
    EXPECT_NE(listed.out.find("modes: RGB\n", at), std::string::npos) << listed.out;
    EXPECT_NE(listed.out.find("enabled when: in (PSHOP_ImageMode,RGBMode)", at), std::string::npos);

    host::Image img;
    img.width = 30;
    img.height = 20;
    img.pixels.assign(img.rowBytes() * 20, 90);
    std::string error;
    ASSERT_TRUE(host::saveImage(dir + "/in.png", img, error)) << error;
    // Without a script the dialog is closed at once: cancelled, nothing written.
    for (const std::vector<std::string>& extra : {std::vector<std::string>{}, {"--dialog"}}) {
        auto r = apply("in.png", "out.png", extra);
        EXPECT_EQ(r.status, 130) << r.err;
        EXPECT_EQ(test::readFile(dir + "/out.png"), "");
    }
}

TEST_F(LumivexEndToEnd, ABatchAppliesAPresetByItsShownName) {
    host::Image img;
    img.width = 120;
    img.height = 80;
    img.pixels.resize(img.rowBytes() * 80);
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 120; ++x)
            for (int c = 0; c < 3; ++c) img.setSample(x, y, c, static_cast<uint32_t>(((x / 10 + y / 10) % 2) * 200 + c * 20));
    std::string error;
    ASSERT_TRUE(host::saveImage(dir + "/in.png", img, error)) << error;
    auto beetle = apply("in.png", "beetle.png", {"--preset", "Beetle"});
    ASSERT_EQ(beetle.status, 0) << beetle.err;
    auto frown = apply("in.png", "frown.png", {"--preset", "FROWN"});
    ASSERT_EQ(frown.status, 0) << frown.err;
    host::Image a, b;
    ASSERT_TRUE(host::loadImage(dir + "/beetle.png", a, error)) << error;
    ASSERT_TRUE(host::loadImage(dir + "/frown.png", b, error)) << error;
    EXPECT_NE(a.pixels, img.pixels);
    EXPECT_NE(a.pixels, b.pixels);

    // With a selection the preview's copy stays inside the output's rows
    // (the host guards the bytes past them).
    host::Image mask;
    mask.width = 120;
    mask.height = 80;
    mask.colour = host::ColourSpace::Grey;
    mask.pixels.assign(mask.rowBytes() * 80, 0);
    for (int y = 0; y < 80; ++y)
        for (int x = 40; x < 120; ++x) mask.setSample(x, y, 0, 255);
    ASSERT_TRUE(host::saveImage(dir + "/mask.png", mask, error)) << error;
    auto selected = apply("in.png", "selected.png", {"--preset", "Beetle", "--mask", dir + "/mask.png"});
    EXPECT_EQ(selected.status, 0) << selected.err;
}
