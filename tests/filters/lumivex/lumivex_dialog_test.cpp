// Lumivex's dialog run headless with the built plug-in's resources: its start
// on SIDEWAYS, presets saved bit for bit in both hives, the resets, the
// random mask with a host selection, the angle ring; and the random
// generators' ranges.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "filters/lumivex/lens_controls.h"
#include "filters/lumivex/lens_settings.h"
#include "filters/lumivex/lumivex_dialog.h"
#include "framework/host/filter_description.h"
#include "framework/settings/random_source.h"
#include "framework/settings/record.h"
#include "platform/os/registry.h"
#include "platform/os/shell.h"
#include "tests/support/dialog_run.h"
#include "tools/presetc/preset_text.h"

using namespace qm;
using namespace qm::lumivex;
namespace reg = os::registry;

namespace {

constexpr const char* kKey = "Software\\Quillmere\\Lumivex";

LensSettings decoded(const std::vector<uint8_t>& record) {
    fw::ValueSlots slots{};
    fw::unpackFields(record.data(), fw::filterDescription().format, slots);
    return decodeLensSettings(slots);
}

std::vector<uint8_t> factory(const std::string& file) {
    std::ifstream in(std::string(QM_SOURCE_DIR) + "/resources/lumivex/presets/" + file, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<uint8_t> record;
    tools::PresetTextError error;
    EXPECT_TRUE(tools::compilePresetText(text, fw::filterDescription(), record, error)) << file << ": " << error.message;
    return record;
}

// Bits 48 .. 149 of a record: the nine settings.
std::vector<bool> settingBits(const std::vector<uint8_t>& record) {
    std::vector<bool> bits;
    for (int b = 48; b < 150; ++b) bits.push_back((record[static_cast<size_t>(b / 8)] >> (b % 8) & 1) != 0);
    return bits;
}

std::string click(int x, int y) { return "click left " + std::to_string(x) + " " + std::to_string(y) + "\n"; }

class LumivexDialog : public test::DialogRun {
protected:
    LumivexDialog() : DialogRun(fw::filterDescription(), "Lumivex.8bf", kKey) {}
};

TEST_F(LumivexDialog, OpensOnSidewaysAndSavesBeetleBackBitForBitInBothHives) {
    EXPECT_EQ(run("key enter\n"), noErr);
    EXPECT_TRUE(created);
    const LensSettings start = decoded(applied());
    EXPECT_EQ(start.angle, (KnobPoint{0, 25}));
    EXPECT_EQ(start.maskTop, 90);
    EXPECT_EQ(start.skewX, 60);
    EXPECT_EQ(settingBits(applied()), settingBits(factory("sideways.txt")));

    EXPECT_EQ(run("select 1033 \"Beetle\"\nselect 1033 \"SAVE USER PRESET\"\ntype 2000 \"Mine\"\nkey enter\nkey enter\n"),
              noErr);
    EXPECT_EQ(scriptError, "");
    for (auto root : {reg::Root::CurrentUser, reg::Root::LocalMachine}) {
        const std::vector<uint8_t> mine = registryValue("Mine", root);
        ASSERT_EQ(mine.size(), 64u);
        EXPECT_TRUE(fw::validateRecord(mine.data(), fw::filterDescription().format));
        EXPECT_EQ(settingBits(mine), settingBits(factory("beetle.txt")));
    }
    // Nothing else is kept after a run.
    EXPECT_TRUE(registryValue("Last Used").empty());

    // A delete takes it from both hives.
    EXPECT_EQ(run("select 1033 \"SAVE USER PRESET\"\ntype 2000 \"Mine\"\n" + click(11, 59) + "key escape\n"),
              userCanceledErr);
    EXPECT_TRUE(registryValue("Mine").empty());
    EXPECT_TRUE(registryValue("Mine", reg::Root::LocalMachine).empty());
}

TEST_F(LumivexDialog, ResetsAndTheRandomMaskWithAHostSelection) {
    // Reset All, then Random Mask: a host selection keeps the whole rectangle.
    test::HostImageShape selected{600, 400};
    selected.withMask = true;
    EXPECT_EQ(run(click(758, 563) + click(625, 236) + "key enter\n", selected), noErr);
    LensSettings s = decoded(applied());
    EXPECT_EQ(s.inclusion, 100);
    EXPECT_EQ(s.maskLeft, 0);
    EXPECT_EQ(s.maskRight, 160);
    EXPECT_EQ(s.maskTop, 0);
    EXPECT_EQ(s.maskBottom, 160);
    EXPECT_EQ(s.smoothing, 60);
    EXPECT_EQ(s.deformation, 20);
    EXPECT_EQ(s.angle, (KnobPoint{25, 0}));

    // Mask Inclusion (95 at 685 + 95): a double-click gives 50, Reset Mask 100.
    EXPECT_EQ(run("dblclick left 780 311\nkey enter\n"), noErr);
    EXPECT_EQ(decoded(applied()).inclusion, 50);
    EXPECT_EQ(run("dblclick left 780 311\n" + click(858, 281) + "key enter\n"), noErr);
    s = decoded(applied());
    EXPECT_EQ(s.inclusion, 100);
    EXPECT_EQ(s.maskTop, 0);
    EXPECT_EQ(s.deformation, 50);  // Reset Mask leaves the rest
}

TEST_F(LumivexDialog, TheAngleRingSnapsOnReleaseAndResetsOnADoubleClick) {
    // SIDEWAYS' knob at (0, 25), dragged to the centre: snapped to (25, 50).
    EXPECT_EQ(run("press left 730 400\nmove 755 400\nrelease left 755 400\nkey enter\n"), noErr);
    EXPECT_EQ(decoded(applied()).angle, (KnobPoint{25, 50}));
    EXPECT_EQ(run("dblclick left 760 380\nkey enter\n"), noErr);
    EXPECT_EQ(decoded(applied()).angle, (KnobPoint{25, 0}));

    const struct {
        KnobPoint knob;
        const char* text;
    } texts[] = {{{25, 0}, "00"}, {{50, 25}, "15"}, {{25, 50}, "30"}, {{0, 25}, "45"}};
    for (const auto& t : texts) EXPECT_EQ(AngleRing::angleText(t.knob), t.text);
    // The ring is lit under the knob and dark brown across from it.
    uint8_t r = 0, g = 0, b = 0;
    EXPECT_FALSE(AngleRing::ringColour(29, 29, {25, 0}, r, g, b));  // the middle is not drawn
    ASSERT_TRUE(AngleRing::ringColour(29, 4, {25, 0}, r, g, b));
    EXPECT_EQ((std::vector<int>{r, g, b}), (std::vector<int>{226, 216, 202}));
    ASSERT_TRUE(AngleRing::ringColour(29, 54, {25, 0}, r, g, b));
    EXPECT_EQ((std::vector<int>{r, g, b}), (std::vector<int>{115, 74, 69}));
}

TEST_F(LumivexDialog, HelpWritesAndOpensTheHelpFileAndTheCaptionIsTheVersion) {
    const size_t before = os::recordedShellOpens().size();
    EXPECT_EQ(run("key f1\nkey enter\n"), noErr);
    const std::vector<std::string>& opened = os::recordedShellOpens();
    ASSERT_EQ(opened.size(), before + 1);
    EXPECT_EQ(opened.back().substr(opened.back().size() - 11), "Lumivex.chm");
    EXPECT_TRUE(std::filesystem::exists(opened.back()));
    // "PluginsDir" in both hives.
    for (auto root : {reg::Root::CurrentUser, reg::Root::LocalMachine}) {
        uint32_t size = 0;
        EXPECT_EQ(reg::queryValue(root, "Software\\Quillmere", "PluginsDir", nullptr, nullptr, &size), 0);
        EXPECT_GT(size, 1u);
    }
}

TEST(LumivexRandom, DrawsStayInTheirRangesOverManySeeds) {
    for (uint32_t seed = 0; seed < 400; ++seed) {
        fw::seedRandom(seed);
        LensSettings s;
        s.deformation = 10;
        randomSettings(s, false);
        ASSERT_TRUE(s.inclusion >= 75 && s.inclusion <= 100) << seed;
        ASSERT_TRUE(s.maskLeft >= 0 && s.maskLeft <= 70 && s.maskRight >= 90 && s.maskRight <= 160) << seed;
        ASSERT_TRUE(s.maskTop >= 0 && s.maskTop <= 70 && s.maskBottom >= 90 && s.maskBottom <= 160) << seed;
        ASSERT_EQ(s.deformation, 30);
        ASSERT_EQ(s.smoothing, 60);
        ASSERT_TRUE(s.shiftX >= 0 && s.shiftX <= 60 && s.shiftY >= 0 && s.shiftY <= 60) << seed;
        ASSERT_TRUE((s.skewX >= 15 && s.skewX <= 45) || s.skewX == 30) << seed;
        ASSERT_TRUE(s.skewY >= 0 && s.skewY <= 60) << seed;
        ASSERT_TRUE(s.angle.x >= 0 && s.angle.x <= 50 && s.angle.y >= 0 && s.angle.y <= 50) << seed;
        // What is stored and rendered lies on the ring.
        EXPECT_TRUE(isOnRing(ringValue(s.angle))) << seed;
    }
}

}  // namespace
