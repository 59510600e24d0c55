// Keenwright run through the built quillmere, as a user runs it.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "filters/keenwright/keenwright_settings.h"
#include "framework/settings/record.h"
#include "host/image.h"
#include "tests/e2e/plugin_run.h"

using namespace qm;

namespace {

const char* kKey = "Software\\Quillmere\\Keenwright";

// A Keenwright record (Preview on, Blur and Balance 0), laid out field by
// field: Radius 8, Preview 2, Amount 8, Mask 4, Blur 4, Halo 4, Balance 8.
std::vector<uint8_t> recordOf(int radius, int amount, int mask, int halo, bool pinned) {
    constexpr uint8_t fields[] = {0, 8, 1, 2, 7, 8, 8, 4, 9, 4, 10, 4, 11, 8, 0xFF};
    const fw::RecordFormat format{24, 2, 64, fw::fieldTableOf(fields)};
    fw::ValueSlots slots{};
    slots[0] = radius;
    slots[1] = 2;
    slots[7] = amount;
    slots[8] = mask;
    slots[10] = halo;
    std::vector<uint8_t> r(64, 0);
    fw::packFields(r.data(), format, slots);
    fw::sealRecord(r.data(), format, pinned);
    return r;
}

class KeenwrightRun : public test::PluginRun {
protected:
    KeenwrightRun() : PluginRun("Keenwright") {}
    std::vector<uint8_t> lastUsed() { return PluginRun::lastUsed(kKey, 64); }
};

// Diagonal stripes with a little texture: something to sharpen.
host::Image striped(int w, int h, int depth, host::ColourSpace colour = host::ColourSpace::RGB) {
    host::Image img;
    img.width = w;
    img.height = h;
    img.depth = depth;
    img.colour = colour;
    img.pixels.assign(img.rowBytes() * static_cast<size_t>(h), 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < img.channels(); ++c) {
                const uint32_t v8 = ((x + y) / 6 % 2 ? 170u : 70u) + static_cast<uint32_t>((x * 7 + y * 3 + c * 5) % 11);
                img.setSample(x, y, c, depth == 16 ? v8 * 257 + static_cast<uint32_t>(x % 5) : v8);
            }
    return img;
}

}  // namespace

TEST_F(KeenwrightRun, IsListedWithItsCategory) {
    auto r = test::runQuillmere({"list"}, env);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Keenwright\n  category: Quillmere\n"), std::string::npos) << r.out;
}

TEST_F(KeenwrightRun, AFirstRunAppliesTheDefaultPresetAndStoresIt) {
    save("in.png", striped(64, 48, 8));
    auto r = apply("in.png", "out.png", {"--save-settings", dir + "/returned.txt"});
    ASSERT_EQ(r.status, 0) << r.err;
    const host::Image in = load("in.png"), out = load("out.png");
    EXPECT_EQ(out.width, 64);
    EXPECT_EQ(out.depth, 8);
    EXPECT_NE(out.pixels, in.pixels);
    EXPECT_EQ(lastUsed(), recordOf(75, 60, 2, 2, true));  // DEFAULT, pinned
    const std::string returned = test::readFile(dir + "/returned.txt");
    EXPECT_EQ(savedValue(returned, "radius"), "75") << returned;
    EXPECT_EQ(savedValue(returned, "amount"), "60") << returned;
}

TEST_F(KeenwrightRun, ScriptedAmountZeroGivesTheImageBack) {
    const std::vector<uint8_t> record = recordOf(75, 0, 2, 2, false);
    test::writeFile(dir + "/zero.txt", settingsText(record));

    save("in.png", striped(40, 30, 8));
    auto r = apply("in.png", "out.png", {"--settings", dir + "/zero.txt"});
    ASSERT_EQ(r.status, 0) << r.err;
    const host::Image in = load("in.png"), out = load("out.png");
    ASSERT_EQ(out.pixels.size(), in.pixels.size());
    for (size_t i = 0; i < in.pixels.size(); ++i)
        ASSERT_TRUE(out.pixels[i] == in.pixels[i] || out.pixels[i] + 1 == in.pixels[i]) << i;
}

TEST_F(KeenwrightRun, UniformImagesComeBackUnchangedAtBothDepths) {
    for (int depth : {8, 16}) {
        host::Image img;
        img.width = 33;
        img.height = 21;
        img.depth = depth;
        img.hasAlpha = depth == 16;
        img.pixels.assign(img.rowBytes() * 21, 0);
        for (int y = 0; y < 21; ++y)
            for (int x = 0; x < 33; ++x)
                for (int c = 0; c < img.channels(); ++c)
                    // 16 bits: white and values the host's 0..32767 scale holds exactly.
                    img.setSample(x, y, c, depth == 16 ? (c == 0 ? 65535u : 32768u >> c) : 90u + static_cast<uint32_t>(c));
        save("flat.png", img);
        auto r = apply("flat.png", "flat-out.png");
        ASSERT_EQ(r.status, 0) << r.err;
        const host::Image out = load("flat-out.png");
        EXPECT_EQ(out.depth, depth);
        EXPECT_EQ(out.pixels, load("flat.png").pixels) << depth;
    }
}

TEST_F(KeenwrightRun, SixteenBitImagesGiveSixteenBitOutput) {
    save("in16.png", striped(50, 40, 16));
    auto r = apply("in16.png", "out16.png");
    ASSERT_EQ(r.status, 0) << r.err;
    const host::Image in = load("in16.png"), out = load("out16.png");
    ASSERT_EQ(out.depth, 16);
    ASSERT_EQ(out.pixels.size(), in.pixels.size());
    EXPECT_NE(out.pixels, in.pixels);
    // Finer steps than 8 bits survive: some samples are not k x 257.
    int fine = 0;
    for (int y = 0; y < out.height; ++y)
        for (int x = 0; x < out.width; ++x)
            if (out.sample(x, y, 0) % 257 != 0) ++fine;
    EXPECT_GT(fine, out.width * out.height / 2);

    // A real 16-bit photograph, when the shared samples are beside the tree.
    const std::string photo = std::string(QM_SOURCE_DIR) + "/../shared/samples/landscape16.png";
    if (std::FILE* f = std::fopen(photo.c_str(), "rb")) {
        std::fclose(f);
        auto p = test::runQuillmere({"apply", "Keenwright", photo, "-o", dir + "/photo.png"}, env);
        ASSERT_EQ(p.status, 0) << p.err;
        EXPECT_EQ(load("photo.png").depth, 16);
    }
}

TEST_F(KeenwrightRun, TheDialogAppliesWhatItShowsAndCancelStoresNothing) {
    save("in.png", striped(40, 30, 8));
    // Closed without a script: cancelled, nothing written or stored.
    auto cancelled = apply("in.png", "out.png", {"--dialog"});
    EXPECT_EQ(cancelled.status, 130) << cancelled.err;
    EXPECT_EQ(test::readFile(dir + "/out.png"), "");
    EXPECT_TRUE(lastUsed().empty());

    test::writeFile(dir + "/pick.txt", "select 1033 \"Hdry\"\nkey enter\n");
    auto picked = apply("in.png", "dialog.png",
                        {"--dialog", "--ui-script", dir + "/pick.txt", "--save-settings", dir + "/returned.txt"});
    ASSERT_EQ(picked.status, 0) << picked.err;
    const std::vector<uint8_t> stored = lastUsed();
    ASSERT_EQ(stored.size(), 64u);
    EXPECT_TRUE(fw::isPinned(stored.data(), 64));
    fw::ValueSlots slots{};
    fw::decodeRecord(stored.data(), keenwright::kFormat, slots);
    EXPECT_EQ(slots[keenwright::kRadius], 80);  // Hdry's
    EXPECT_EQ(slots[keenwright::kAmount], 100);

    // The same record through --settings gives the same pixels.
    auto replay = apply("in.png", "replay.png", {"--settings", dir + "/returned.txt"});
    ASSERT_EQ(replay.status, 0) << replay.err;
    EXPECT_EQ(load("dialog.png").pixels, load("replay.png").pixels);
    EXPECT_NE(load("dialog.png").pixels, load("in.png").pixels);
}

TEST_F(KeenwrightRun, OtherModesAreRefused) {
    save("grey.png", striped(30, 20, 8, host::ColourSpace::Grey));
    save("cmyk.jpg", striped(30, 20, 8, host::ColourSpace::CMYK));
    const struct {
        const char* input;
        const char* error;
        const char* warning;
    } cases[] = {
        {"grey.png", "error -1", nullptr},  // fewer than 3 planes: no message
        {"cmyk.jpg", "filterBadMode (-30101)", "Warning!: Please use images in RGB 8 Bits/Channel mode\n"},
    };
    for (const auto& c : cases) {
        auto r = apply(c.input, "out.png");
        EXPECT_EQ(r.status, 1) << c.input;
        EXPECT_NE(r.err.find(c.error), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find("Warning!") != std::string::npos, c.warning != nullptr) << r.err;
        if (c.warning) {
            EXPECT_NE(r.err.find(c.warning), std::string::npos) << r.err;
        }
        EXPECT_TRUE(lastUsed().empty());
    }
}
