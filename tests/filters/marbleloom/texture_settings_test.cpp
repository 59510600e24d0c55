// The texture filter's record: both copies of value 3, the version upgrades,
// the factory presets, the defaults and the colour words.
#include <gtest/gtest.h>

#include "tests/filters/marbleloom/texture_harness.h"

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
                               {base::kMixing, 50}, {kEyedropper1, 0}};
    for (const auto& d : defaults) EXPECT_EQ(slots[static_cast<size_t>(d[0])], d[1]) << d[0];
    for (int k = 1; k <= 3; ++k) {
        const int f = layer::first(k);
        for (int offset : {layer::kScaling, layer::kHue, layer::kSaturation, layer::kBrightness, layer::kHighlight,
                           layer::kShapeness, layer::kMixing})
            EXPECT_EQ(slots[static_cast<size_t>(f + offset)], 50) << f + offset;
        // Rotations, visibilities, colours, widths of selection and patterns stay.
        for (int offset : {layer::kPattern, layer::kRotation, layer::kExtraMixing, layer::kVisible, layer::kColour,
                           layer::kWidth})
            EXPECT_EQ(slots[static_cast<size_t>(f + offset)], 7) << f + offset;
    }
    for (int slot : {kBackground, base::kPattern, base::kRotation, base::kVisible})
        EXPECT_EQ(slots[static_cast<size_t>(slot)], 7) << slot;
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
