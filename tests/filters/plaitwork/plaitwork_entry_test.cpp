// Plaitwork 2000 driven through its entry point as a host drives it: the
// size check at start, the factory presets and the repeat path's settings.
#include <gtest/gtest.h>
#include <stdlib.h>

#include "framework/host/filter_description.h"
#include "tests/filters/plaitwork/plaitwork_harness.h"

using namespace qm::plaitwork;
using namespace qm::plaitwork::test;

namespace {

class PlaitworkEntry : public ::testing::Test {
protected:
    void SetUp() override {
        char folder[] = "/tmp/quillmere-plaitwork-XXXXXX";
        ASSERT_NE(mkdtemp(folder), nullptr);
        setenv("QUILLMERE_REGISTRY", folder, 1);
    }
};

}  // namespace

TEST_F(PlaitworkEntry, ImagesBelow25PixelsAreRefusedAtStart) {
    const struct {
        int w, h;
        int16_t result;
    } cases[] = {{24, 1000, userCanceledErr}, {1000, 24, userCanceledErr}, {25, 25, noErr}, {25, 26, noErr}};
    for (const auto& c : cases) {
        Picture out;
        testing::internal::CaptureStderr();
        EXPECT_EQ(runAsHost(uniformPicture(c.w, c.h, 3, {9, 9, 9}), out), c.result) << c.w << "x" << c.h;
        EXPECT_EQ(testing::internal::GetCapturedStderr(),
                  c.result == noErr ? "" : "Sorry,: Image size is too small\n");
    }
}

TEST_F(PlaitworkEntry, FactoryPresetsCarryTheirIdentityAndVersions) {
    const std::vector<std::string> expected = {
        "CYBER_BIRDS", "DRAPERY", "E-FLOWERS", "LA_PLAGE_DE_LAMOUR", "LONELY_HEARTS",
        "ORI_FLAME", "PLAITWORK_BERRY", "RABBIT_FACTORY", "SURREA_FACEABLE", "WAVELET_ME"};
    ASSERT_EQ(presetNames(), expected);
    const auto& format = qm::fw::filterDescription().format;
    for (const std::string& name : expected) {
        const std::vector<uint8_t> record = presetRecord(name);
        ASSERT_EQ(record.size(), 64u);
        EXPECT_TRUE(qm::fw::validateRecord(record.data(), format)) << name;
        EXPECT_EQ(record[4], 0) << name;
        const int version = name == "ORI_FLAME" || name == "SURREA_FACEABLE" ? 2 : 1;
        EXPECT_EQ(record[5], version) << name;
        // The 407 bits end in byte 56.
        for (size_t i = 57; i < 64; ++i) EXPECT_EQ(record[i], 0) << name << " byte " << i;
    }
    // The default, second from the end, as the table gives it.
    const StripSettings s = settingsFromSlots(presetSlots("SURREA_FACEABLE"));
    EXPECT_EQ(s.hSpacing1, 43);
    EXPECT_EQ(s.vSpacing1, 117);
    EXPECT_EQ(s.hSpacing2, 86);
    EXPECT_EQ(s.vSpacing2, 57);
    EXPECT_EQ(s.shadowDepth1.x, 45);
    EXPECT_EQ(s.shadowDepth1.y, 5);
    EXPECT_EQ(s.stretch2.x, 27);
    EXPECT_EQ(s.stretch2.y, 28);
    EXPECT_EQ(s.curveShape, 4);
    EXPECT_EQ(s.moireV, 35);
    EXPECT_EQ(s.shadowColour2.pack(), 0x0200FFFFu);  // FFFF00: red and green
    EXPECT_EQ(s.sideShadowColour1.r, 0x99);
    EXPECT_EQ(s.sideShadowColour1.g, 0x33);
    EXPECT_EQ(s.sideShading1, 70);
    EXPECT_EQ(s.orientation2, 4);
    EXPECT_EQ(s.whiteCanvas, 2);
    EXPECT_EQ(s.backgroundColour.pack(), 0x03CBD9E3u);
    EXPECT_EQ(s.viewAngle, 50);
    EXPECT_EQ(s.rotate, 50);
    const StripSettings w = settingsFromSlots(presetSlots("WAVELET_ME"));
    EXPECT_EQ(w.meshDisplacement.x, 40);
    EXPECT_EQ(w.meshSmoothness, 5);
    EXPECT_EQ(w.sideShadowColour2.b, 0xF8);
}

TEST_F(PlaitworkEntry, WithoutTheDialogTheDefaultPresetIsRendered) {
    const Picture in = testPicture(70, 45, 3);
    Picture viaHost, viaPreset;
    ASSERT_EQ(runAsHost(in, viaHost), noErr);
    ASSERT_EQ(renderFinal(in, presetSlots("SURREA_FACEABLE"), viaPreset), noErr);
    EXPECT_EQ(viaHost.pixels, viaPreset.pixels);
    EXPECT_NE(viaHost.pixels, in.pixels);
}

// Under the address sanitizer any read outside these exact buffers fails.
TEST_F(PlaitworkEntry, SmallestImageRendersEveryPresetInside) {
    std::vector<uint8_t> mask(25 * 25);
    for (size_t i = 0; i < mask.size(); ++i) mask[i] = static_cast<uint8_t>(i * 11);
    for (const std::string& name : presetNames())
        for (int planes : {3, 4})
            for (bool withMask : {false, true}) {
                RenderOptions options;
                options.mask = withMask ? &mask : nullptr;
                Picture out;
                EXPECT_EQ(renderFinal(testPicture(25, 25, planes), presetSlots(name), out, options), noErr)
                    << name << " " << planes;
            }
    // Every field at the bottom or the top of its field width: the widest
    // spacings on a 25-pixel image, the strongest stretch, deformation and mesh.
    for (int32_t value : {0, 0x3FFFFFF}) {
        qm::fw::ValueSlots extreme{};
        extreme.fill(value);
        for (int planes : {3, 4}) {
            Picture out;
            EXPECT_EQ(renderFinal(testPicture(25, 25, planes), extreme, out), noErr) << value;
        }
    }
    Picture out;
    EXPECT_EQ(runAsHost(testPicture(25, 25, 4), out, {}, filterCaseEditableTransparencyNoSelection), noErr);
}
