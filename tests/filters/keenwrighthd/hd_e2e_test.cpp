// The built KeenwrightHD plug-in run by quillmere as a user runs it.
#include <gtest/gtest.h>

#include "framework/settings/record.h"
#include "host/image.h"
#include "platform/os/registry.h"
#include "tests/e2e/plugin_run.h"
#include "tests/filters/keenwrighthd/hd_test_support.h"

using namespace qm;
namespace reg = qm::os::registry;

namespace {

const char* kKey = "Software\\Quillmere\\KeenwrightHD";

host::Image picture(int w, int h, host::ColourSpace colour, int depth, bool alpha) {
    host::Image img;
    img.width = w;
    img.height = h;
    img.colour = colour;
    img.depth = depth;
    img.hasAlpha = alpha;
    img.pixels.assign(img.rowBytes() * static_cast<size_t>(h), 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < img.channels(); ++c) {
                const uint32_t v = static_cast<uint32_t>(khd::test::pattern8(x, y, c));
                img.setSample(x, y, c, depth == 16 ? v * 257 : v);
            }
    return img;
}

class HdRun : public test::PluginRun {
protected:
    HdRun() : PluginRun("Keenwright HD") {}
    test::ProgramResult apply(const std::string& input, const std::vector<std::string>& extra = {}) {
        return PluginRun::apply(input, "out.png", extra);
    }
    host::Image output() { return load("out.png"); }
    std::vector<uint8_t> lastUsed() { return PluginRun::lastUsed(kKey, 64); }
};

}  // namespace

TEST_F(HdRun, IsListedWithItsCategory) {
    auto r = test::runQuillmere({"list"}, env);
    ASSERT_EQ(r.status, 0) << r.err;
    const size_t at = r.out.find("Keenwright HD\n");
    ASSERT_NE(at, std::string::npos) << r.out;
    EXPECT_NE(r.out.find("category: Quillmere", at), std::string::npos) << r.out;
}

TEST_F(HdRun, WithoutTheDialogAppliesTheDefaultPresetThenLastUsed) {
    const std::string in = save("in.png", picture(64, 40, host::ColourSpace::RGB, 8, false));
    auto r = apply(in, {"--save-settings", dir + "/returned.txt"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<uint8_t> expected = khd::test::presetRecord("default.txt");
    fw::sealRecord(expected.data(), khd::test::hd().format, true);
    EXPECT_EQ(lastUsed(), expected);
    const std::string returned = test::readFile(dir + "/returned.txt");
    EXPECT_EQ(savedValue(returned, "radius"), "200,25") << returned;
    EXPECT_EQ(savedValue(returned, "contrast"), "125") << returned;
    const host::Image sharpened = output();
    EXPECT_NE(sharpened.pixels, picture(64, 40, host::ColourSpace::RGB, 8, false).pixels);

    // Contrast 50 as "Last Used": the image comes back within one level.
    khd::test::Controls neutral;
    neutral.contrast = 50;
    std::vector<uint8_t> record = khd::test::recordOf(neutral);
    fw::sealRecord(record.data(), khd::test::hd().format, true);
    ASSERT_EQ(reg::setValue(reg::Root::CurrentUser, kKey, "Last Used", reg::kTypeBinary, record), 0);
    ASSERT_EQ(apply(in).status, 0);
    const host::Image back = output();
    const host::Image original = picture(64, 40, host::ColourSpace::RGB, 8, false);
    ASSERT_EQ(back.pixels.size(), original.pixels.size());
    for (size_t i = 0; i < back.pixels.size(); ++i) ASSERT_NEAR(back.pixels[i], original.pixels[i], 1) << i;
}

TEST_F(HdRun, ScriptedPresetSettingsAreApplied) {
    const std::string in = save("in.png", picture(50, 30, host::ColourSpace::RGB, 8, false));
    const std::vector<uint8_t> nr = khd::test::presetRecord("x-noise_reduction.txt");
    test::writeFile(dir + "/nr.txt", settingsText(nr));
    ASSERT_EQ(apply(in, {"--settings", dir + "/nr.txt"}).status, 0);
    std::vector<uint8_t> expected = nr;
    fw::sealRecord(expected.data(), khd::test::hd().format, true);
    EXPECT_EQ(lastUsed(), expected);
}

TEST_F(HdRun, SixteenBitAndTransparentImagesKeepTheirFormat) {
    const host::Image deep = picture(48, 36, host::ColourSpace::RGB, 16, false);
    ASSERT_EQ(apply(save("deep.png", deep)).status, 0);
    const host::Image deepOut = output();
    EXPECT_EQ(deepOut.depth, 16);
    EXPECT_EQ(deepOut.channels(), 3);
    bool fine = false;
    for (int y = 0; y < 36; ++y)
        for (int x = 0; x < 48; ++x) fine |= deepOut.sample(x, y, 0) % 257 != 0;
    EXPECT_TRUE(fine) << "16-bit output carries more than 8 bits";

    const host::Image rgba = picture(40, 30, host::ColourSpace::RGB, 8, true);
    ASSERT_EQ(apply(save("rgba.png", rgba)).status, 0);
    const host::Image rgbaOut = output();
    ASSERT_TRUE(rgbaOut.hasAlpha);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) ASSERT_EQ(rgbaOut.sample(x, y, 3), rgba.sample(x, y, 3));
}

TEST_F(HdRun, RefusedImagesAndTheDialog) {
    // Grey: fewer than 3 planes, the host's own error, no message.
    auto grey = apply(save("grey.png", picture(30, 20, host::ColourSpace::Grey, 8, false)));
    EXPECT_EQ(grey.status, 1);
    EXPECT_EQ(grey.err.find("Warning!"), std::string::npos) << grey.err;

    auto cmyk = apply(save("cmyk.jpg", picture(30, 20, host::ColourSpace::CMYK, 8, false)));
    EXPECT_EQ(cmyk.status, 1);
    EXPECT_NE(cmyk.err.find("Warning!: Please use images in RGB 8/16 mode\n"), std::string::npos) << cmyk.err;
    EXPECT_NE(cmyk.err.find("filterBadMode"), std::string::npos) << cmyk.err;

    // A dialog closed without a choice: cancelled, nothing stored.
    auto dialog = apply(save("in.png", picture(30, 20, host::ColourSpace::RGB, 8, false)), {"--dialog"});
    EXPECT_EQ(dialog.status, 130);
    EXPECT_TRUE(lastUsed().empty());
}

TEST_F(HdRun, ApplyingFromTheDialogEqualsRunningItsSettings) {
    const std::string in = save("in.png", picture(300, 200, host::ColourSpace::RGB, 16, false));
    // Contrast (125 at x1 + 10 + 125 for a 300-wide image: x1 = 625) dragged
    // to 165, then applied.
    test::writeFile(dir + "/drag.txt",
                    "press left 760 433\nmove 800 433\nrelease left 800 433\nkey enter\n");
    auto dragged = PluginRun::apply(in, "dialog.png",
                                    {"--dialog", "--ui-script", dir + "/drag.txt", "--save-settings", dir + "/returned.txt"});
    ASSERT_EQ(dragged.status, 0) << dragged.err;
    const std::vector<uint8_t> stored = lastUsed();
    ASSERT_EQ(stored.size(), 64u);
    fw::ValueSlots slots{};
    fw::decodeRecord(stored.data(), khd::test::hd().format, slots);
    EXPECT_EQ(slots[khd::kSlotContrast], 165);

    auto replay = PluginRun::apply(in, "replay.png", {"--settings", dir + "/returned.txt"});
    ASSERT_EQ(replay.status, 0) << replay.err;
    EXPECT_EQ(load("dialog.png").pixels, load("replay.png").pixels);
}
