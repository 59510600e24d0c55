// KeenwrightHD's settings: its description, the factory presets as they are
// compiled into the plug-in, and how record values are limited.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "tests/filters/keenwrighthd/hd_test_support.h"
#include "tests/support/setting_table_checks.h"

using namespace qm;
using namespace qm::khd;
using namespace qm::khd::test;

TEST(HdSettings, DescriptionCarriesThePluginConstants) {
    const fw::FilterDescription& f = hd();
    EXPECT_STREQ(f.name, "Keenwright HD");
    EXPECT_STREQ(f.registryKey, "Software\\Quillmere\\KeenwrightHD");
    EXPECT_EQ(f.format.id, 25);
    EXPECT_EQ(f.format.version, 1);
    EXPECT_EQ(f.format.length, 64);
    EXPECT_EQ(f.defaultPosition, 6);
    EXPECT_EQ(f.passCount, 4);
    EXPECT_TRUE(f.variant.keepsSettings);
    EXPECT_STREQ(f.variant.modeMessage, "Please use images in RGB 8/16 mode");
    std::vector<std::pair<int, int>> fields;
    f.format.fields.forEach([&](int slot, int width) { fields.push_back({slot, width}); });
    const std::vector<std::pair<int, int>> expected = {{0, 18}, {1, 2}, {7, 18}, {8, 8}, {9, 4}, {10, 8}};
    EXPECT_EQ(fields, expected);
}

TEST(HdSettings, DefaultPresetCompilesToItsKnownBytes) {
    std::vector<uint8_t> expected(64, 0);
    const uint8_t head[] = {0x3F, 0xCE, 0x0D, 0x01, 0x19, 0x01, 0x13, 0x4C, 0x11, 0x31, 0xE2, 0xF8, 0x13};
    std::memcpy(expected.data(), head, sizeof head);
    const std::vector<uint8_t> record = presetRecord("default.txt");
    EXPECT_EQ(record, expected);
    EXPECT_EQ(static_cast<uint32_t>(fw::recordInteger(record.data(), 0)), 0x010DCE3Fu);

    fw::ValueSlots slots{};
    fw::decodeRecord(record.data(), hd().format, slots);
    EXPECT_EQ(slots[0], 13000);
    EXPECT_EQ(slots[1], 2);
    EXPECT_EQ(slots[7], 30920);
    EXPECT_EQ(slots[8], 125);
    EXPECT_EQ(slots[9], 0);
    EXPECT_EQ(slots[10], 50);
}

TEST(HdSettings, EveryFactoryPresetIsValidAndHoldsItsDocumentedValues) {
    struct Case {
        const char* file;
        int high, low, highlights, shadows, contrast, softness;
    } cases[] = {
        {"default.txt", 200, 25, 200, 60, 125, 50},
        {"hdry.txt", 200, 140, 200, 75, 160, 100},
        {"landscape.txt", 100, 0, 170, 60, 140, 50},
        {"sharpening.txt", 200, 180, 200, 50, 110, 25},
        {"warmhouse.txt", 200, 0, 142, 130, 110, 0},
        {"x-noise_reduction.txt", 200, 188, 200, 0, 0, 50},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const std::vector<uint8_t> record = presetRecord(c.file);
        ASSERT_EQ(record.size(), 64u);
        EXPECT_TRUE(fw::validateRecord(record.data(), hd().format));
        EXPECT_EQ(record[5], 1);
        EXPECT_FALSE(fw::isPinned(record.data(), 64));
        // Nothing beyond the last field (bit 105).
        EXPECT_EQ(record[13] & 0x3F, 0);
        EXPECT_TRUE(std::all_of(record.begin() + 14, record.end(), [](uint8_t b) { return b == 0; }));

        fw::ValueSlots slots{};
        fw::decodeRecord(record.data(), hd().format, slots);
        const HdSettings s = decodeSettings(slots);
        EXPECT_EQ(s.radiusHigh, c.high);
        EXPECT_EQ(s.radiusLow, c.low);
        EXPECT_EQ(s.highlights, c.highlights);
        EXPECT_EQ(s.shadows, c.shadows);
        EXPECT_EQ(s.contrast, c.contrast);
        EXPECT_EQ(s.softness, c.softness);
        EXPECT_TRUE(s.preview);
        EXPECT_EQ(slots[kSlotPreview], 2);
        EXPECT_EQ(s.mask, 0);
        // The presets keep l <= h, away from the cost formula's pole.
        EXPECT_LE(s.radiusLow, s.radiusHigh);
    }
}

TEST(HdSettings, SettingTableRoundTripsAndLimitsADamagedRecord) {
    qm::test::expectTableRoundTrips(hd());
    qm::test::expectDamagedRecordLimited(hd());
    // Two thumbs start at the track's end and 0, Contrast at its quarter,
    // Edge Softness in the middle.
    fw::ValueSlots initial{};
    fw::initialSlots(kSettings, initial);
    EXPECT_EQ(initial[kSlotRadius], 200);
    EXPECT_EQ(initial[kSlotBrightness], 200);
    EXPECT_EQ(initial[kSlotContrast], 50);
    EXPECT_EQ(initial[kSlotSoftness], 50);
}

TEST(HdSettings, ValuesBeyondTheControlsAreLimitedAsTheControlsLimitThem) {
    struct Case {
        const char* what;
        int32_t radius, brightness, contrast, softness, preview;
        HdSettings expected;
    } cases[] = {
        {"both halves 511", 511 * 512 + 511, 511 * 512 + 511, 255, 255, 3, {200, 200, 200, 200, 200, 100, true, 0}},
        {"in range", 25 * 512 + 200, 60 * 512 + 170, 125, 50, 2, {200, 25, 170, 60, 125, 50, true, 0}},
        {"zeros", 0, 0, 0, 0, 0, {0, 0, 0, 0, 0, 0, false, 0}},
        {"negative slots", -1, -1, -5, -5, 2, {200, 200, 200, 200, 0, 0, true, 0}},
    };
    for (const Case& c : cases) {
        fw::ValueSlots slots{};
        slots[kSlotRadius] = c.radius;
        slots[kSlotBrightness] = c.brightness;
        slots[kSlotContrast] = c.contrast;
        slots[kSlotSoftness] = c.softness;
        slots[kSlotPreview] = c.preview;
        const HdSettings s = decodeSettings(slots);
        EXPECT_EQ(s.radiusHigh, c.expected.radiusHigh) << c.what;
        EXPECT_EQ(s.radiusLow, c.expected.radiusLow) << c.what;
        EXPECT_EQ(s.highlights, c.expected.highlights) << c.what;
        EXPECT_EQ(s.shadows, c.expected.shadows) << c.what;
        EXPECT_EQ(s.contrast, c.expected.contrast) << c.what;
        EXPECT_EQ(s.softness, c.expected.softness) << c.what;
        EXPECT_EQ(s.preview, c.expected.preview) << c.what;
    }
}
