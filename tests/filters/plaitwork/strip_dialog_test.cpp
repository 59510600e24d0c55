// Plaitwork 2000's dialog run headless with the built plug-in's resources:
// its start, every factory preset through its controls, the spacing, flip
// and reset buttons, the colour pop-up, the enabling rules; and the random
// generators over many seeds.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "filters/plaitwork/strip_dialog.h"
#include "filters/plaitwork/strip_settings.h"
#include "framework/host/filter_description.h"
#include "framework/settings/random_source.h"
#include "framework/settings/record.h"
#include "platform/pluginapi/pluginapi.h"
#include "tests/support/dialog_run.h"

using namespace qm;
using namespace qm::plaitwork;

namespace {

constexpr const char* kKey = "Software\\Quillmere\\Plaitwork2000";

std::string click(int x, int y) { return "click left " + std::to_string(x) + " " + std::to_string(y) + "\n"; }
// Opens the colour pop-up of the swatch at (x, y) and clicks into it.
std::string popup(int x, int y, const std::string& inside) {
    const std::string at = std::to_string(x + 6) + " " + std::to_string(y + 6);
    return "press left " + at + "\n" + inside + "release left " + at + "\n";
}
std::string row(int r) { return click(40, 10 + 22 * r); }

// Buttons, a point inside each.
const std::string kIncrease = click(672, 542), kDecrease = click(672, 557), kFlip = click(706, 551),
                  kResetSliders = click(801, 583), kVariations = click(737, 571);

class StripDialog : public test::DialogRun {
protected:
    StripDialog() : DialogRun(fw::filterDescription(), "Plaitwork2000.8bf", kKey) {}

    fw::ValueSlots appliedSlots() const {
        fw::ValueSlots slots{};
        fw::unpackFields(applied().data(), fw::filterDescription().format, slots);
        return slots;
    }
    StripSettings appliedSettings() const { return settingsFromSlots(appliedSlots()); }
    // The preset list: the ten factory presets, then "SAVE USER PRESET".
    std::string pick(int preset) { return "select 1033 " + std::to_string(preset) + "\n"; }
};

struct PresetRow {
    const char* name;
    int h1, v1, h2, v2;
    Pad depth1, depth2, stretch1, stretch2, curve;
    int shape, moireH, moireV;
    uint32_t shadow1, shadow2;  // red, green, blue as written
    int sideShading1, sideShading2;
    uint32_t side1, side2;
    int blur1, blur2, orientation1, orientation2;
    int deformation, whiteCanvas, light, brightness, saturation;
    Pad mesh;
    int smoothness, viewAngle, rotate;
};

const PresetRow kPresets[] = {
    {"CYBER_BIRDS", 30, 90, 80, 60, {5, 35}, {25, 41}, {40, 25}, {37, 37}, {5, 50}, 4, 50, 30, 0x280000, 0x000000,
     40, 50, 0xFFF600, 0xE49300, 50, 50, 0, 4, 0, 2, 15, 70, 20, {25, 25}, 0, 0, 0},
    {"DRAPERY", 2, 17, 44, 8, {25, 50}, {40, 25}, {35, 25}, {25, 25}, {25, 0}, 0, 50, 50, 0x000000, 0x000000,
     40, 50, 0x000000, 0x0075BA, 50, 50, 4, 4, 40, 0, 50, 80, 30, {25, 25}, 0, 0, 0},
    {"E-FLOWERS", 60, 40, 25, 90, {45, 50}, {25, 37}, {10, 3}, {32, 44}, {0, 0}, 2, 65, 35, 0x3C6C00, 0xA600A0,
     67, 40, 0x007FC0, 0xFF0000, 25, 50, 2, 0, 0, 2, 10, 70, 20, {25, 25}, 0, 0, 0},
    {"LA_PLAGE_DE_LAMOUR", 13, 68, 59, 48, {10, 35}, {25, 25}, {11, 1}, {28, 36}, {28, 25}, 4, 40, 1, 0x090000,
     0x220800, 40, 50, 0xC60900, 0x000816, 50, 50, 4, 4, 50, 0, 30, 70, 20, {25, 25}, 0, 64, 56},
    {"LONELY_HEARTS", 36, 20, 36, 18, {25, 0}, {25, 50}, {25, 25}, {25, 50}, {50, 50}, 0, 50, 46, 0xC60066,
     0x1B1A00, 0, 50, 0xD51400, 0xCBCB00, 5, 0, 0, 4, 0, 2, 20, 70, 20, {25, 25}, 0, 0, 0},
    {"ORI_FLAME", 48, 28, 48, 28, {35, 43}, {25, 25}, {46, 46}, {25, 25}, {35, 50}, 2, 50, 25, 0x280A00, 0xF4DBDE,
     30, 50, 0xFFFFFF, 0x00068B, 20, 50, 4, 4, 40, 0, 50, 70, 20, {25, 25}, 0, 50, 0},
    {"PLAITWORK_BERRY", 46, 43, 58, 77, {0, 40}, {25, 25}, {5, 25}, {30, 30}, {50, 50}, 4, 70, 50, 0x2A2B00,
     0x003E0A, 60, 50, 0xFFFFFF, 0xCBCB00, 20, 30, 2, 4, 30, 0, 35, 70, 20, {30, 30}, 2, 64, 76},
    {"RABBIT_FACTORY", 40, 48, 40, 48, {25, 45}, {25, 25}, {25, 1}, {25, 25}, {50, 50}, 2, 50, 49, 0x14002D,
     0x00325D, 20, 50, 0x00007B, 0xA9C200, 10, 0, 0, 4, 0, 2, 0, 70, 20, {25, 25}, 0, 0, 0},
    {"SURREA_FACEABLE", 43, 117, 86, 57, {45, 5}, {25, 31}, {39, 5}, {27, 28}, {5, 5}, 4, 50, 35, 0x221400,
     0xFFFF00, 70, 40, 0x993300, 0xFF0000, 50, 50, 2, 4, 0, 2, 0, 70, 20, {25, 25}, 0, 50, 50},
    {"WAVELET_ME", 20, 100, 60, 50, {49, 25}, {25, 25}, {30, 44}, {25, 19}, {35, 35}, 4, 50, 50, 0x181900,
     0xF5F8F7, 51, 50, 0x10001E, 0xFDF5F8, 35, 8, 4, 4, 40, 0, 30, 70, 20, {40, 40}, 5, 64, 24},
};

// A colour of the tables (red, green, blue) in mode 2.
StripColour own(uint32_t rgb) {
    return {static_cast<uint8_t>(rgb >> 16), static_cast<uint8_t>(rgb >> 8), static_cast<uint8_t>(rgb), 2};
}

void expectPreset(const StripSettings& s, const PresetRow& p) {
    SCOPED_TRACE(p.name);
    EXPECT_EQ((std::vector<int>{s.hSpacing1, s.vSpacing1, s.hSpacing2, s.vSpacing2}),
              (std::vector<int>{p.h1, p.v1, p.h2, p.v2}));
    EXPECT_EQ((std::vector<Pad>{s.shadowDepth1, s.shadowDepth2, s.stretch1, s.stretch2, s.curvedDeformation}),
              (std::vector<Pad>{p.depth1, p.depth2, p.stretch1, p.stretch2, p.curve}));
    EXPECT_EQ((std::vector<int>{s.curveShape, s.moireH, s.moireV}), (std::vector<int>{p.shape, p.moireH, p.moireV}));
    EXPECT_EQ(s.shadowColour1, own(p.shadow1));
    EXPECT_EQ(s.shadowColour2, own(p.shadow2));
    EXPECT_EQ(s.sideShadowColour1, own(p.side1));
    EXPECT_EQ(s.sideShadowColour2, own(p.side2));
    EXPECT_EQ((std::vector<int>{s.sideShading1, s.sideShading2, s.sideBlur1, s.sideBlur2, s.orientation1,
                                s.orientation2}),
              (std::vector<int>{p.sideShading1, p.sideShading2, p.blur1, p.blur2, p.orientation1, p.orientation2}));
    EXPECT_EQ((std::vector<int>{s.backgroundDeformation, s.whiteCanvas, s.lightExiting, s.brightnessRatio,
                                s.saturation, s.antialiasing}),
              (std::vector<int>{p.deformation, p.whiteCanvas, p.light, p.brightness, p.saturation, 2}));
    EXPECT_EQ(s.backgroundColour.pack(), 0x03CBD9E3u);  // E3D9CB, mode 3
    EXPECT_EQ(s.meshDisplacement, p.mesh);
    EXPECT_EQ((std::vector<int>{s.meshSmoothness, s.viewAngle, s.rotate}),
              (std::vector<int>{p.smoothness, p.viewAngle, p.rotate}));
}

const PresetRow& preset(const char* name) {
    for (const PresetRow& p : kPresets)
        if (std::string(p.name) == name) return p;
    return kPresets[0];
}

TEST_F(StripDialog, OpensOnSurreaFaceableAndEveryFactoryPresetPassesItsControlsUnchanged) {
    EXPECT_EQ(run("key enter\n"), noErr);
    EXPECT_TRUE(created);
    expectPreset(appliedSettings(), preset("SURREA_FACEABLE"));
    for (int i = 0; i < 10; ++i) {
        ASSERT_EQ(run(pick(i) + "key enter\n"), noErr);
        expectPreset(appliedSettings(), kPresets[i]);
    }
    // Nothing is kept after a run.
    EXPECT_TRUE(registryValue("Last Used").empty());
}

TEST_F(StripDialog, SpacingFlipAndResetButtons) {
    // WAVELET_ME's 20 doubles to about 40 in three steps, each rounded.
    ASSERT_EQ(run(pick(9) + kIncrease + kIncrease + kIncrease + "key enter\n"), noErr);
    StripSettings s = appliedSettings();
    EXPECT_EQ((std::vector<int>{s.hSpacing1, s.vSpacing1, s.hSpacing2, s.vSpacing2}),
              (std::vector<int>{39, 200, 121, 100}));
    // DRAPERY's 2 stays at the floor when the others shrink; at 250 a step up stops.
    std::string down;
    for (int i = 0; i < 30; ++i) down += kDecrease;
    ASSERT_EQ(run(pick(1) + down + "key enter\n"), noErr);
    s = appliedSettings();
    EXPECT_EQ((std::vector<int>{s.hSpacing1, s.vSpacing1, s.hSpacing2, s.vSpacing2}), (std::vector<int>{2, 2, 2, 2}));
    std::string up;
    for (int i = 0; i < 30; ++i) up += kIncrease;
    ASSERT_EQ(run(pick(1) + up + "key enter\n"), noErr);
    s = appliedSettings();
    EXPECT_EQ((std::vector<int>{s.hSpacing1, s.vSpacing1, s.hSpacing2, s.vSpacing2}),
              (std::vector<int>{250, 250, 250, 250}));

    // One flip on SURREA_FACEABLE (orientations 2 and 4); a second restores.
    ASSERT_EQ(run(kFlip + "key enter\n"), noErr);
    s = appliedSettings();
    EXPECT_EQ((std::vector<int>{s.hSpacing1, s.vSpacing1, s.hSpacing2, s.vSpacing2}),
              (std::vector<int>{117, 43, 57, 86}));
    EXPECT_EQ(s.shadowDepth1, (Pad{5, 45}));
    EXPECT_EQ(s.stretch2, (Pad{28, 27}));
    EXPECT_EQ((std::vector<int>{s.moireH, s.moireV}), (std::vector<int>{35, 50}));
    EXPECT_EQ((std::vector<int>{s.orientation1, s.sideShading1}), (std::vector<int>{0, 30}));
    EXPECT_EQ((std::vector<int>{s.orientation2, s.sideShading2}), (std::vector<int>{4, 40}));
    ASSERT_EQ(run(kFlip + kFlip + "key enter\n"), noErr);
    expectPreset(appliedSettings(), preset("SURREA_FACEABLE"));

    // Reset Sliders on LA_PLAGE_DE_LAMOUR: the pads, moire, side shading and
    // blur, mesh, view and rotate; not the spacings, colours, selectors,
    // toggles or the double-click-only sliders.
    ASSERT_EQ(run(pick(3) + kResetSliders + "key enter\n"), noErr);
    s = appliedSettings();
    PresetRow expected = preset("LA_PLAGE_DE_LAMOUR");
    expected.depth1 = expected.depth2 = expected.stretch1 = expected.stretch2 = expected.curve = expected.mesh = Pad{};
    expected.moireH = expected.moireV = expected.sideShading1 = expected.sideShading2 = expected.rotate = 50;
    expected.blur1 = expected.blur2 = expected.smoothness = expected.viewAngle = 0;
    expectPreset(s, expected);
}

TEST_F(StripDialog, TheColourPopUpChoices) {
    // The host's colours and a picker answering what the test says.
    static OSErr answer = noErr;
    static int16_t offered[3];
    prepareRecord = [](FilterRecord& fr) {
        const uint8_t fg[] = {10, 20, 30}, bg[] = {200, 210, 220};
        std::copy(fg, fg + 3, fr.foregroundColor);
        std::copy(bg, bg + 3, fr.backColor);
        fr.colorServices = [](ColorServicesInfo* info) -> OSErr {
            std::copy(info->colorComponents, info->colorComponents + 3, offered);
            if (answer == noErr) {
                info->colorComponents[0] = 0x12;
                info->colorComponents[1] = 0x34;
                info->colorComponents[2] = 0x56;
            }
            return answer;
        };
    };
    const uint32_t start = own(0x221400).pack();  // SURREA_FACEABLE's first shadow colour
    struct Case {
        const char* name;
        std::string inside;
        int planes;
        OSErr answer;
        uint32_t value;
    } cases[] = {
        {"foreground", row(0), 3, noErr, 0x001E140Au},
        {"background", row(1), 3, noErr, 0x01DCD2C8u},
        {"picker", row(2), 3, noErr, 0x02563412u},
        {"a cancelled picker keeps the colour", row(2), 3, userCanceledErr, start},
        {"a host without a picker: the platform's", row(2) + "colour 00FF80\n", 3, errPlugInHostInsufficient,
         0x0280FF00u},
        {"transparent with four planes", row(3), 4, noErr, 0x03000000u | (start & 0xFFFFFF)},
        {"no transparent row with three", row(3), 3, noErr, start},
        {"a click outside closes it", click(-30, 40), 3, noErr, start},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        answer = c.answer;
        test::HostImageShape shape{600, 400};
        shape.planes = c.planes;
        ASSERT_EQ(run(popup(749, 176, c.inside) + "key enter\n", shape), noErr);
        EXPECT_EQ(scriptError, "");
        EXPECT_EQ(static_cast<uint32_t>(appliedSlots()[kShadowColour1]), c.value);
    }
    // The picker starts from the own colour.
    EXPECT_EQ((std::vector<int>{offered[0], offered[1], offered[2]}), (std::vector<int>{0x22, 0x14, 0x00}));
}

TEST_F(StripDialog, BrightnessFollowsWhiteCanvasAndTheBackgroundColourNeedsDeformationOrSelection) {
    // SURREA_FACEABLE: white canvas on, brightness 70 cannot be reset by a
    // double-click until white canvas is switched off.
    const std::string resetBrightness = "dblclick left 873 404\n";
    ASSERT_EQ(run(resetBrightness + "key enter\n"), noErr);
    EXPECT_EQ(appliedSettings().brightnessRatio, 70);
    ASSERT_EQ(run(click(813, 372) + resetBrightness + "key enter\n"), noErr);
    EXPECT_EQ(appliedSettings().whiteCanvas, 0);
    EXPECT_EQ(appliedSettings().brightnessRatio, 0);

    // The background colour answers only with a deformation (DRAPERY) or a selection.
    const std::string foreground = popup(749, 290, row(0)) + "key enter\n";
    struct Case {
        const char* name;
        std::string before;
        bool selection;
        int mode;
    } cases[] = {
        {"no deformation, no selection", "", false, 3},
        {"a selection", "", true, 0},
        {"a deformation", pick(1), false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::HostImageShape shape{600, 400};
        shape.withMask = c.selection;
        ASSERT_EQ(run(c.before + foreground, shape), noErr);
        EXPECT_EQ(appliedSettings().backgroundColour.mode, c.mode);
    }
}

TEST_F(StripDialog, RandomVariationsLeaveColoursViewAndRotate) {
    ASSERT_EQ(run(pick(9) + kVariations + kVariations + "key enter\n"), noErr);
    const StripSettings s = appliedSettings();
    const PresetRow& p = preset("WAVELET_ME");
    EXPECT_EQ(s.shadowColour1, own(p.shadow1));
    EXPECT_EQ(s.sideShadowColour2, own(p.side2));
    EXPECT_EQ((std::vector<int>{s.viewAngle, s.rotate}), (std::vector<int>{p.viewAngle, p.rotate}));
    // They did draw.
    EXPECT_NE((std::vector<int>{s.hSpacing1, s.vSpacing1, s.hSpacing2, s.vSpacing2}),
              (std::vector<int>{p.h1, p.v1, p.h2, p.v2}));
}

bool inRange(int v, int lo, int hi) { return v >= lo && v <= hi; }

TEST(StripRandom, DrawsStayInRangeOverManySeeds) {
    fw::ValueSlots start{};
    for (const fw::Setting& s : kSettings) start[static_cast<size_t>(s.slot)] = s.initial;
    start[kShadowColour2] = 0x00123456;  // the host's foreground: no random colour
    start[kSideShading1] = start[kSideShading2] = 50;
    for (uint32_t seed = 0; seed < 500; ++seed) {
        SCOPED_TRACE(seed);
        for (bool settings : {false, true}) {
            fw::seedRandom(seed);
            fw::ValueSlots v = start;
            v[kWhiteCanvas] = seed % 2 ? 2 : 0;
            if (settings) randomSettings(v);
            else randomVariations(v);
            const StripSettings s = settingsFromSlots(v);
            for (int spacing : {s.hSpacing1, s.hSpacing2, s.vSpacing1, s.vSpacing2}) ASSERT_TRUE(inRange(spacing, 2, 100));
            for (Pad d : {s.shadowDepth1, s.shadowDepth2}) ASSERT_TRUE(inRange(d.x, 8, 43) && inRange(d.y, 8, 43));
            for (Pad d : {s.stretch1, s.stretch2, s.curvedDeformation})
                ASSERT_TRUE(inRange(d.x, 0, 50) && inRange(d.y, 0, 50));
            for (int m : {s.moireH, s.moireV}) ASSERT_TRUE(inRange(m, 0, 100));
            for (int shading : {s.sideShading1, s.sideShading2}) ASSERT_TRUE(inRange(shading, 20, 80));
            for (int blur : {s.sideBlur1, s.sideBlur2}) ASSERT_TRUE(inRange(blur, 0, 50));
            for (int o : {s.orientation1, s.orientation2}) ASSERT_TRUE(o == 0 || o == 2 || o == 4);
            ASSERT_TRUE(s.curveShape % 2 == 0 && inRange(s.curveShape, 0, 6));
            ASSERT_TRUE(inRange(s.viewAngle, 0, 100) && inRange(s.rotate, 0, 100));
            // Colours only in Random Settings, only to controls with their own colour.
            ASSERT_EQ(v[kShadowColour2], start[kShadowColour2]);
            if (!settings) {
                ASSERT_EQ(v[kShadowColour1], start[kShadowColour1]);
                ASSERT_EQ(v[kSideShadowColour1], start[kSideShadowColour1]);
                ASSERT_EQ((std::vector<int>{s.viewAngle, s.rotate}), (std::vector<int>{0, 50}));
            }
            ASSERT_EQ(s.shadowColour1.mode, 2);
        }
    }
}

TEST(StripRandom, TheColourConversionBySector) {
    // Hue h, saturation sa, value v; the result packed as the controls hold it.
    const struct {
        int h, sa, v;
        uint32_t colour;
    } cases[] = {
        {0, 255, 255, 0x02FF0000u},    {1536, 255, 255, 0x02FF0000u},  // wrapped
        {256, 255, 255, 0x02FFFF00u},  {128, 255, 200, 0x02C86400u},
        {1300, 255, 255, 0x02FF00EBu}, {700, 0, 250, 0x02FAFAFAu},  // no saturation: grey
    };
    for (const auto& c : cases)
        EXPECT_EQ(static_cast<uint32_t>(hsvColour(c.h, c.sa, c.v)), c.colour) << c.h << " " << c.sa << " " << c.v;
}

}  // namespace
