// The texture filter's record: its field order, both copies of value 3, the
// version upgrades, the factory presets, the setting table's limits and
// resets, and the colour words.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "tests/filters/marbleloom/texture_harness.h"
#include "tests/support/setting_table_checks.h"

namespace qm::marbleloom {
namespace {

using test::presetSlots;

std::vector<uint8_t> sealedRecord(const fw::ValueSlots& slots, uint8_t version = kTextureRecordVersion) {
    std::vector<uint8_t> record(kTextureRecordLength, 0);
    fw::RecordFormat format = textureRecordFormat();
    format.version = version;
    fw::packFields(record.data(), format, slots);
    fw::sealRecord(record.data(), format, false);
    return record;
}

// Record bit b is the bit 128 >> (b mod 8) of byte b / 8; values least
// significant bit first.
uint32_t bitsAt(const std::vector<uint8_t>& record, int start, int width) {
    uint32_t v = 0;
    for (int k = 0; k < width; ++k)
        if (record[static_cast<size_t>((start + k) / 8)] & (0x80 >> ((start + k) % 8))) v |= 1u << k;
    return v;
}
void setBitsAt(std::vector<uint8_t>& record, int start, int width, uint32_t v) {
    for (int k = 0; k < width; ++k) {
        const auto mask = static_cast<uint8_t>(0x80 >> ((start + k) % 8));
        uint8_t& byte = record[static_cast<size_t>((start + k) / 8)];
        byte = static_cast<uint8_t>(((v >> k) & 1) ? byte | mask : byte & ~mask);
    }
}
void reseal(std::vector<uint8_t>& record) {
    fw::setRecordInteger(record.data(), 0, static_cast<int32_t>(fw::rollingChecksum(record.data() + 4, 124)));
}

TEST(TextureRecord, LayoutPutsValue3AtBits62And562AndEndsAt604) {
    fw::ValueSlots slots{};
    slots[kSmooth] = 37;
    slots[kOutline] = 0x7F;
    slots[layer::first(3) + layer::kMixing] = 0x55;
    const std::vector<uint8_t> record = sealedRecord(slots);
    EXPECT_EQ(record[4], 3);
    EXPECT_EQ(record[5], 3);
    EXPECT_EQ(bitsAt(record, 62, 6), 37u);
    EXPECT_EQ(bitsAt(record, 562, 7), 37u);
    EXPECT_EQ(bitsAt(record, 597, 7), 0x7Fu);  // Outline is the last field
    EXPECT_EQ(bitsAt(record, 555, 7), 0x55u);  // the last value of order 5
    for (int b = 604; b < 127 * 8; ++b) EXPECT_EQ(bitsAt(record, b, 1), 0u) << b;
}

TEST(TextureRecord, FieldsFollowTheRecordOrder) {
    std::string fields;
    textureRecordFormat().fields.forEach(
        [&](int slot, int width) { fields += std::to_string(slot) + ":" + std::to_string(width) + " "; });
    EXPECT_EQ(fields,
              "0:7 1:7 3:6 4:14 5:26 6:32 7:3 "
              "8:7 9:7 10:7 11:7 12:7 13:3 "
              "14:32 15:3 16:7 17:7 18:7 19:7 20:7 21:3 22:26 23:7 24:7 25:7 26:7 "
              "27:32 28:3 29:7 30:7 31:7 32:7 33:7 34:3 35:26 36:7 37:7 38:7 39:7 "
              "40:32 41:3 42:7 43:7 44:7 45:7 46:7 47:3 48:26 49:7 50:7 51:7 52:7 "
              "3:7 2:14 53:7 54:7 62:7 ");
}

TEST(TextureRecord, TheLargerSixBitCopyOfValue3IsRead) {
    fw::ValueSlots slots{};
    slots[kSmooth] = 5;
    std::vector<uint8_t> record = sealedRecord(slots);
    setBitsAt(record, 62, 6, 40);  // the 6-bit copy says 40, the 7-bit one 5
    reseal(record);
    ASSERT_TRUE(fw::validateRecord(record.data(), textureRecordFormat()));
    repairTextureRecord(record.data());
    EXPECT_TRUE(fw::validateRecord(record.data(), textureRecordFormat()));
    fw::ValueSlots read{};
    fw::decodeRecord(record.data(), textureRecordFormat(), read);
    EXPECT_EQ(read[kSmooth], 40);

    // A larger 7-bit copy wins as it stands, and the record is not touched.
    setBitsAt(record, 562, 7, 45);
    reseal(record);
    const std::vector<uint8_t> before = record;
    repairTextureRecord(record.data());
    EXPECT_EQ(record, before);
    fw::decodeRecord(record.data(), textureRecordFormat(), read);
    EXPECT_EQ(read[kSmooth], 45);
}

TEST(TextureRecord, OlderVersionsAreUpgraded) {
    fw::ValueSlots slots{};
    slots[kRefract] = 41;
    slots[kShaping] = 33;
    slots[kSmooth] = 9;
    slots[kRelief] = 0;
    slots[kCorrugation] = 40;
    slots[kReliefSmoothness] = 44;
    slots[kOutline] = 3;
    struct Case {
        uint8_t version;
        int refract, shaping, smooth, relief, corrugation, reliefSmoothness, outline;
    };
    for (const Case& c : {Case{1, 20, 16, 4, 3225, 10, 5, 25}, Case{2, 41, 33, 9, 0, 40, 44, 25},
                          Case{3, 41, 33, 9, 0, 40, 44, 3}}) {
        std::vector<uint8_t> record = sealedRecord(slots, c.version);
        repairTextureRecord(record.data());
        EXPECT_TRUE(fw::validateRecord(record.data(), textureRecordFormat()));
        fw::ValueSlots read{};
        fw::decodeRecord(record.data(), textureRecordFormat(), read);
        EXPECT_EQ(read[kRefract], c.refract) << int{c.version};
        EXPECT_EQ(read[kShaping], c.shaping) << int{c.version};
        EXPECT_EQ(read[kSmooth], c.smooth) << int{c.version};
        EXPECT_EQ(read[kRelief], c.relief) << int{c.version};
        EXPECT_EQ(read[kCorrugation], c.corrugation) << int{c.version};
        EXPECT_EQ(read[kReliefSmoothness], c.reliefSmoothness) << int{c.version};
        EXPECT_EQ(read[kOutline], c.outline) << int{c.version};
    }
}

TEST(TextureRecord, FactoryPresetsNameTheirPatternsAndHideLayer3) {
    test::FactoryFolders factory;
    PatternLibrary library;
    library.buildLibrary(factory.plugin.path(), factory.shared.path());
    auto nameOf = [&](int32_t identity) {
        const int i = library.findIdentity(static_cast<uint32_t>(identity));
        return i < 0 ? std::string("(missing)") : library.entry(i).header.nameText();
    };
    const fw::ValueSlots p1 = presetSlots("preset1");
    EXPECT_EQ(nameOf(p1[base::kPattern]), "Pasta");
    EXPECT_EQ(nameOf(p1[layer::first(1)]), "Stained Glass");
    EXPECT_EQ(nameOf(p1[layer::first(2)]), "Golden Orbs");
    EXPECT_EQ(nameOf(p1[layer::first(3)]), "Red Hair");
    EXPECT_EQ(p1[layer::first(3) + layer::kVisible], 0);
    EXPECT_NE(p1[layer::first(2) + layer::kVisible], 0);
    EXPECT_EQ(p1[kRelief], 3741);
    EXPECT_EQ(p1[layer::first(1) + layer::kColour], static_cast<int32_t>(colourWord(107, 104, 90, kFixed)));
    EXPECT_EQ(p1[kOutline], 40);

    const fw::ValueSlots p2 = presetSlots("preset2");
    EXPECT_EQ(nameOf(p2[base::kPattern]), "Brush");
    EXPECT_EQ(nameOf(p2[layer::first(1)]), "Chess Board");
    EXPECT_EQ(nameOf(p2[layer::first(2)]), "Melony");
    EXPECT_EQ(nameOf(p2[layer::first(3)]), "Cole");
    EXPECT_EQ(p2[base::kScaling], 40);
    EXPECT_EQ(p2[layer::first(3) + layer::kRotation], 2);
}

TEST(TextureSettings, ResetAllSetsDefaultsAndKeepsTheRest) {
    fw::ValueSlots slots{};
    slots.fill(7);
    resetAll(slots);
    const int defaults[][2] = {{kRefract, 25}, {kShaping, 25}, {kRelief, 3225}, {kSmooth, 5}, {kDisplacement, 3225},
                               {kCorrugation, 10}, {kReliefSmoothness, 5}, {kOutline, 35}, {base::kScaling, 50},
                               {base::kHue, 50}, {base::kSaturation, 50}, {base::kBrightness, 50},
                               {base::kMixing, 50}, {kEyedropper1, 0}, {kEyedropper1 + 1, 0}, {kEyedropper1 + 2, 0}};
    std::set<int> reset;
    for (const auto& d : defaults) {
        EXPECT_EQ(slots[static_cast<size_t>(d[0])], d[1]) << d[0];
        reset.insert(d[0]);
    }
    for (int k = 1; k <= 3; ++k) {
        const int f = layer::first(k);
        for (int offset : {layer::kScaling, layer::kHue, layer::kSaturation, layer::kBrightness, layer::kHighlight,
                           layer::kShapeness, layer::kMixing}) {
            EXPECT_EQ(slots[static_cast<size_t>(f + offset)], 50) << f + offset;
            reset.insert(f + offset);
        }
        // Rotations, visibilities, colours, widths of selection and patterns stay.
        for (int offset : {layer::kPattern, layer::kRotation, layer::kExtraMixing, layer::kVisible, layer::kColour,
                           layer::kWidth})
            EXPECT_EQ(slots[static_cast<size_t>(f + offset)], 7) << f + offset;
    }
    for (int slot : {kBackground, base::kPattern, base::kRotation, base::kVisible})
        EXPECT_EQ(slots[static_cast<size_t>(slot)], 7) << slot;
    // So do the pattern selectors and every slot no setting owns.
    for (int slot = 0; slot < fw::kValueSlots; ++slot)
        if (!reset.count(slot)) {
            EXPECT_EQ(slots[static_cast<size_t>(slot)], 7) << slot;
        }
}

TEST(TextureSettings, ALayerResetSetsOnlyThatLayersSliders) {
    struct Case {
        int layer;  // 0: the base
        std::set<int> to50;
    };
    for (const Case& c : {Case{0, {8, 9, 10, 11, 12}}, Case{1, {16, 17, 18, 19, 24, 25, 26}},
                          Case{2, {29, 30, 31, 32, 37, 38, 39}}, Case{3, {42, 43, 44, 45, 50, 51, 52}}}) {
        fw::ValueSlots slots{};
        slots.fill(7);
        resetLayer(slots, c.layer);
        for (int slot = 0; slot < fw::kValueSlots; ++slot)
            EXPECT_EQ(slots[static_cast<size_t>(slot)], c.to50.count(slot) ? 50 : 7)
                << "layer " << c.layer << ", slot " << slot;
    }
}

TEST(TextureSettings, TheTableRoundTripsAndLimitsADamagedRecord) {
    qm::test::expectTableRoundTrips(fw::filterDescription());
    qm::test::expectDamagedRecordLimited(fw::filterDescription());
}

// Every field's bits set: each decoded value is its setting's maximum
// (each part of a pad), rotations 7, the layers visible, colours and
// patterns all ones.
TEST(TextureSettings, AnAllOnesRecordDecodesToTheMaxima) {
    std::vector<uint8_t> record(kTextureRecordLength, 0xFF);
    fw::ValueSlots slots{};
    fw::decodeRecord(record.data(), textureRecordFormat(), slots);
    const TextureSettings s = decodeTextureSettings(slots);
    const fw::SettingTable table = textureSettingTable();
    auto maximum = [&](int slot) {
        const fw::Setting* setting = fw::findSetting(table, slot);
        return setting ? setting->maximum : -1;
    };
    const std::pair<int, int> decoded[] = {
        {kRefract, s.refract}, {kShaping, s.shaping}, {kSmooth, s.smooth}, {kRelief, s.reliefX},
        {kRelief, s.reliefY}, {kDisplacement, s.displacementX}, {kDisplacement, s.displacementY},
        {kCorrugation, s.corrugation}, {kReliefSmoothness, s.reliefSmoothness}, {kOutline, s.outline},
        {base::kScaling, s.base.scaling}, {base::kHue, s.base.hue}, {base::kSaturation, s.base.saturation},
        {base::kBrightness, s.base.brightness}, {base::kMixing, s.base.mixing}, {base::kRotation, s.base.rotation}};
    for (const auto& [slot, value] : decoded) EXPECT_EQ(value, maximum(slot)) << slot;
    EXPECT_EQ(s.background, 0x3FFFFFFu);
    EXPECT_EQ(s.base.pattern, 0xFFFFFFFFu);
    EXPECT_TRUE(s.base.visible);
    for (int k = 1; k <= 3; ++k) {
        const LayerSettings& l = s.layers[k - 1];
        const int f = layer::first(k);
        const std::pair<int, int> inLayer[] = {
            {layer::kScaling, l.scaling}, {layer::kHue, l.hue}, {layer::kSaturation, l.saturation},
            {layer::kBrightness, l.brightness}, {layer::kWidth, l.width}, {layer::kHighlight, l.highlight},
            {layer::kShapeness, l.shapeness}, {layer::kMixing, l.mixing}, {layer::kRotation, l.rotation}};
        for (const auto& [offset, value] : inLayer) EXPECT_EQ(value, maximum(f + offset)) << f + offset;
        EXPECT_EQ(l.colour, 0x3FFFFFFu) << k;
        EXPECT_EQ(l.pattern, 0xFFFFFFFFu) << k;
        EXPECT_TRUE(l.visible) << k;
    }
}

TEST(TextureSettings, ColourWordsAsLoaded) {
    const uint8_t fg[3] = {10, 20, 30}, bg[3] = {200, 210, 220};
    const uint32_t stored = 0x00445566;
    struct Case {
        uint32_t mode;
        int planes;
        uint32_t expected;
    };
    for (const Case& c : {Case{kForeground, 3, colourWord(10, 20, 30, kForeground)},
                          Case{kHostBackground, 4, colourWord(200, 210, 220, kHostBackground)},
                          Case{kFixed, 3, stored | kFixed << 24}, Case{kTransparent, 4, stored | kTransparent << 24},
                          // Transparent needs a fourth channel; else the stored colour is fixed.
                          Case{kTransparent, 3, stored | kFixed << 24}})
        EXPECT_EQ(resolveColourWord(stored | c.mode << 24, fg, bg, c.planes), c.expected) << c.mode << "/" << c.planes;
}

TEST(TextureSettings, DecodedValuesStayInTheirRanges) {
    fw::ValueSlots slots{};
    slots.fill(0x3FFF);
    const TextureSettings s = decodeTextureSettings(slots);
    EXPECT_EQ(s.refract, 50);
    EXPECT_EQ(s.reliefX, 50);
    EXPECT_EQ(s.reliefY, 50);
    EXPECT_EQ(s.base.scaling, 100);
    EXPECT_EQ(s.layers[2].width, 100);
    EXPECT_EQ(s.layers[0].rotation, 7);
}

}  // namespace
}  // namespace qm::marbleloom
