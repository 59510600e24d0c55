#include "framework/settings/record.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <map>
#include <utility>
#include <vector>

namespace qm::fw {
namespace {

using Buffer = std::array<uint8_t, kRecordBufferSize>;

// KeenwrightHD's table and its factory preset "DEFAULT".
constexpr uint8_t kHdTable[] = {0, 18, 1, 2, 7, 18, 8, 8, 9, 4, 10, 8, 0xFF};
const RecordFormat kHdFormat{25, 1, 64, fieldTableOf(kHdTable)};

Buffer hdDefault() {
    Buffer b{};
    const uint8_t head[] = {0x3F, 0xCE, 0x0D, 0x01, 0x19, 0x01, 0x13,
                            0x4C, 0x11, 0x31, 0xE2, 0xF8, 0x13};
    std::memcpy(b.data(), head, sizeof head);
    return b;
}

bool bitSet(const Buffer& b, int p) { return (b[p / 8] & (0x80 >> (p % 8))) != 0; }

class FakeControls : public SlotControls {
public:
    std::map<int, int32_t> values;
    std::vector<std::pair<int, int32_t>> received;

    bool hasControl(int slot) const override { return values.count(slot) != 0; }
    int32_t getValue(int slot) const override { return values.at(slot); }
    void setValue(int slot, int32_t value) override {
        received.emplace_back(slot, value);
        values[slot] = value;
    }
};

TEST(RollingChecksum, MatchesHandComputedAndFactoryValues) {
    const uint8_t one[] = {0x01};
    EXPECT_EQ(rollingChecksum(one, 1), 0x56u);  // (0 ^ 0x55) + 1
    const uint8_t two[] = {0x01, 0x02};
    EXPECT_EQ(rollingChecksum(two, 2), ((0x56u << 11) ^ 0x55u) + 2u);
    EXPECT_EQ(rollingChecksum(one, 0), 0u);

    // 60 bytes push bits through bit 31 many times: a rotation would not match.
    const Buffer rec = hdDefault();
    EXPECT_EQ(rollingChecksum(rec.data() + 4, 60), 0x010DCE3Fu);
}

TEST(Record, FactoryDefaultValidatesAndDecodes) {
    const Buffer rec = hdDefault();
    ASSERT_TRUE(validateRecord(rec.data(), kHdFormat));

    ValueSlots slots{};
    slots.fill(-7);
    decodeRecord(rec.data(), kHdFormat, slots);
    const std::map<int, int32_t> expected = {{0, 13000}, {1, 2},  {7, 30920},
                                             {8, 125},   {9, 0}, {10, 50}};
    for (int s = 0; s < kValueSlots; ++s) {
        auto it = expected.find(s);
        EXPECT_EQ(slots[s], it == expected.end() ? -7 : it->second) << "slot " << s;
    }
}

TEST(Record, EncodingTheDefaultControlsRebuildsTheFactoryBytes) {
    FakeControls controls;
    controls.values = {{0, 13000}, {1, 2}, {7, 30920}, {8, 125}, {9, 0}, {10, 50}};
    Buffer rec{};
    rec[4] = 25;  // encode leaves the id alone
    ValueSlots slots{};
    encodeRecord(rec.data(), kHdFormat, slots, &controls);
    EXPECT_EQ(rec, hdDefault());
    EXPECT_EQ(slots[7], 30920);
}

TEST(Record, FieldsRunLeastSignificantBitFirstFromBit48) {
    // Slot 0 twice, a 32-bit field between, then a 1-bit field.
    const uint8_t table[] = {0, 3, 5, 32, 0, 3, 2, 1, 0xFF};
    const RecordFormat format{9, 1, 64, fieldTableOf(table)};
    ValueSlots slots{};
    slots[0] = 13;  // only the low 3 bits, 101, are stored
    slots[5] = static_cast<int32_t>(0x80000001u);
    slots[2] = 1;
    Buffer rec{};
    packFields(rec.data(), format, slots);

    // Positions: slot 0 at 48..50, slot 5 at 51..82, slot 0 at 83..85, slot 2 at 86.
    std::vector<int> ones = {48, 50, 51, 82, 83, 85, 86};
    for (int p = 0; p < 64 * 8; ++p)
        EXPECT_EQ(bitSet(rec, p), std::find(ones.begin(), ones.end(), p) != ones.end()) << p;
    EXPECT_EQ(rec[6], 0xB0);
    EXPECT_EQ(rec[10], 0x36);

    ValueSlots back{};
    unpackFields(rec.data(), format, back);
    EXPECT_EQ(back[0], 5);
    EXPECT_EQ(back[5], static_cast<int32_t>(0x80000001u));
    EXPECT_EQ(back[2], 1);

    // Each occurrence is its own field: the later one decides the slot.
    rec[10] = static_cast<uint8_t>(rec[10] & ~0x10);  // clear position 83
    unpackFields(rec.data(), format, back);
    EXPECT_EQ(back[0], 4);

    slots[5] = -1;
    packFields(rec.data(), format, slots);
    unpackFields(rec.data(), format, back);
    EXPECT_EQ(back[5], -1);  // 0xFFFFFFFF
}

TEST(Record, PackingLeavesBitsAfterTheLastFieldAlone) {
    const uint8_t table[] = {0, 4, 0xFF};
    const RecordFormat format{9, 1, 64, fieldTableOf(table)};
    Buffer rec{};
    rec.fill(0xA5);
    ValueSlots slots{};
    packFields(rec.data(), format, slots);
    EXPECT_EQ(rec[6], 0x05);  // high nibble cleared, low nibble untouched
    for (int i = 7; i < kRecordBufferSize; ++i) EXPECT_EQ(rec[i], 0xA5) << i;
    for (int i = 0; i < 6; ++i) EXPECT_EQ(rec[i], 0xA5) << i;
}

TEST(Record, TableWalkStopsAtTheEndMarkOrAfter150Pairs) {
    // 151 one-bit pairs and no end mark: the 151st is not read.
    std::vector<uint8_t> table;
    for (int i = 0; i <= kMaxFieldPairs; ++i) {
        table.push_back(static_cast<uint8_t>(i % kValueSlots));
        table.push_back(1);
    }
    const RecordFormat format{9, 1, 64, FieldTable{table.data(), table.size()}};
    ValueSlots slots{};
    slots.fill(1);
    Buffer rec{};
    packFields(rec.data(), format, slots);
    for (int p = 0; p < 64 * 8; ++p)
        EXPECT_EQ(bitSet(rec, p), p >= 48 && p < 48 + kMaxFieldPairs) << p;

    const uint8_t marked[] = {0, 8, 0xFF, 8, 1, 8};
    const RecordFormat shortFormat{9, 1, 64, fieldTableOf(marked)};
    Buffer rec2{};
    packFields(rec2.data(), shortFormat, slots);
    EXPECT_EQ(rec2[6], 0x80);
    EXPECT_EQ(rec2[7], 0x00);
}

TEST(Record, HostileTablesStayInsideTheRecord) {
    // 40 fields of 40 bits claim 1600 bits of a 64-byte record; slot 200 does not exist.
    std::vector<uint8_t> table;
    for (int i = 0; i < 40; ++i) {
        table.push_back(static_cast<uint8_t>(i == 3 ? 200 : i));
        table.push_back(40);
    }
    table.push_back(0);
    table.push_back(0);  // a zero-width field takes no bits
    table.push_back(0xFF);
    const RecordFormat format{9, 1, 64, FieldTable{table.data(), table.size()}};

    ValueSlots slots{};
    slots.fill(-1);
    Buffer rec{};
    rec.fill(0x5A);
    packFields(rec.data(), format, slots);
    for (int i = 64; i < kRecordBufferSize; ++i) ASSERT_EQ(rec[i], 0x5A) << i;
    // Widths above 32 count as 32: slot 0 at 48..79, slot 1 at 80..111, ...
    for (int i = 6; i < 10; ++i) EXPECT_EQ(rec[i], 0xFF) << i;
    for (int i = 18; i < 22; ++i) EXPECT_EQ(rec[i], 0x00) << i;  // the missing slot packs 0

    // Field 14 (positions 496..527) is cut at byte 63: its 16 bits inside decode, the rest read 0.
    ValueSlots back{};
    unpackFields(rec.data(), format, back);
    EXPECT_EQ(back[13], -1);
    EXPECT_EQ(back[14], 0xFFFF);
    EXPECT_EQ(back[20], 0);
    EXPECT_EQ(back[0], 0);  // the last pair, width 0, decodes to 0
    EXPECT_EQ(back[3], 0);  // never written: slot 3 was not in the table
}

TEST(Record, ValidationChecksIdAndEveryByteFrom4) {
    Buffer rec = hdDefault();

    // Keenwright's id with a correct check value is still refused.
    Buffer foreign = rec;
    foreign[4] = 24;
    setRecordInteger(foreign.data(), 0,
                     static_cast<int32_t>(rollingChecksum(foreign.data() + 4, 60)));
    EXPECT_FALSE(validateRecord(foreign.data(), kHdFormat));

    for (int i = 4; i < 64; ++i) {
        Buffer bad = rec;
        bad[i] ^= 0x01;
        EXPECT_FALSE(validateRecord(bad.data(), kHdFormat)) << "byte " << i;
    }
    // Bytes beyond L are not part of the record.
    rec[64] = 0x77;
    EXPECT_TRUE(validateRecord(rec.data(), kHdFormat));
}

TEST(Record, VersionByteIsSummedButNotCompared) {
    for (uint8_t version : {uint8_t{0}, uint8_t{1}, uint8_t{2}, uint8_t{0xFF}}) {
        Buffer rec = hdDefault();
        rec[5] = version;
        EXPECT_EQ(validateRecord(rec.data(), kHdFormat), version == 1);
        setRecordInteger(rec.data(), 0, static_cast<int32_t>(rollingChecksum(rec.data() + 4, 60)));
        EXPECT_TRUE(validateRecord(rec.data(), kHdFormat)) << int{version};
    }
}

TEST(Record, AllZeroFieldsValidateAndDecodeToZero) {
    Buffer rec{};
    rec[4] = 25;
    setRecordInteger(rec.data(), 0, static_cast<int32_t>(rollingChecksum(rec.data() + 4, 60)));
    ASSERT_TRUE(validateRecord(rec.data(), kHdFormat));
    ValueSlots slots{};
    slots.fill(3);
    decodeRecord(rec.data(), kHdFormat, slots);
    for (int s : {0, 1, 7, 8, 9, 10}) EXPECT_EQ(slots[s], 0);
    EXPECT_EQ(slots[2], 3);
}

TEST(Record, EncodeTakesControlValuesOrKeepsSlots) {
    FakeControls controls;
    controls.values = {{0, 1000}, {8, 200}};  // slots 1, 7, 9, 10 have no control
    ValueSlots slots{};
    slots[1] = 3;
    slots[7] = 12345;
    slots[0] = 99;
    Buffer rec{};
    rec[4] = 0x77;
    rec[63] = 0x01;  // bits after the last field survive
    encodeRecord(rec.data(), kHdFormat, slots, &controls);

    EXPECT_EQ(slots[0], 1000);
    EXPECT_EQ(slots[8], 200);
    EXPECT_EQ(rec[4], 0x77);
    EXPECT_EQ(rec[5], 1);
    EXPECT_EQ(rec[63], 0x01);
    EXPECT_EQ(static_cast<uint32_t>(recordInteger(rec.data(), 0)),
              rollingChecksum(rec.data() + 4, 60));

    ValueSlots back{};
    decodeRecord(rec.data(), kHdFormat, back);
    EXPECT_EQ(back[0], 1000);
    EXPECT_EQ(back[1], 3);
    EXPECT_EQ(back[7], 12345);
    EXPECT_EQ(back[8], 200);
}

TEST(Record, EncodeWithoutControlsDecodesInstead) {
    Buffer rec = hdDefault();
    const Buffer before = rec;
    ValueSlots slots{};
    slots[0] = 1;
    encodeRecord(rec.data(), kHdFormat, slots, nullptr);
    EXPECT_EQ(rec, before);
    EXPECT_EQ(slots[0], 13000);
    EXPECT_EQ(slots[7], 30920);
}

TEST(Record, PushReachesOnlyControlsAndAtMostLMinus6Pairs) {
    // 60 one-bit pairs with slots 0..59; a 64-byte record pushes 58 of them.
    std::vector<uint8_t> table;
    for (int i = 0; i < 60; ++i) {
        table.push_back(static_cast<uint8_t>(i));
        table.push_back(1);
    }
    table.push_back(0xFF);
    const RecordFormat format{9, 1, 64, FieldTable{table.data(), table.size()}};
    ValueSlots slots{};
    for (int i = 0; i < kValueSlots; ++i) slots[i] = 100 + i;

    FakeControls controls;
    for (int i = 0; i < 60; ++i)
        if (i != 5) controls.values[i] = 0;
    pushToControls(format, slots, controls);
    ASSERT_EQ(controls.received.size(), 57u);  // 58 pairs, slot 5 has no control
    EXPECT_EQ(controls.received.front(), std::make_pair(0, 100));
    EXPECT_EQ(controls.received.back(), std::make_pair(57, 157));
    EXPECT_FALSE(controls.hasControl(5));

    // A repeated slot is pushed once per field.
    const uint8_t twice[] = {3, 4, 3, 4, 0xFF};
    FakeControls one;
    one.values[3] = 0;
    pushToControls(RecordFormat{9, 1, 64, fieldTableOf(twice)}, slots, one);
    EXPECT_EQ(one.received, (std::vector<std::pair<int, int32_t>>{{3, 103}, {3, 103}}));
}

TEST(Record, SealSetsPinnedIdVersionAndCheckValue) {
    Buffer rec = hdDefault();
    rec[4] = 0;
    rec[5] = 9;
    rec[63] = 0x40;  // other bits of the last byte are kept
    sealRecord(rec.data(), kHdFormat, true);
    EXPECT_EQ(rec[63], 0x41);
    EXPECT_TRUE(isPinned(rec.data(), 64));
    EXPECT_EQ(rec[4], 25);
    EXPECT_EQ(rec[5], 1);
    EXPECT_TRUE(validateRecord(rec.data(), kHdFormat));

    sealRecord(rec.data(), kHdFormat, false);
    EXPECT_EQ(rec[63], 0x40);
    EXPECT_FALSE(isPinned(rec.data(), 64));
    EXPECT_TRUE(validateRecord(rec.data(), kHdFormat));

    rec[63] = 0;
    sealRecord(rec.data(), kHdFormat, false);
    EXPECT_EQ(rec, hdDefault());
}

TEST(Record, SameSettingsComparesBytes6ToLast) {
    struct Case {
        int byte;
        bool same;
    };
    for (const Case c : {Case{0, true}, Case{3, true}, Case{4, true}, Case{5, true},
                         Case{6, false}, Case{40, false}, Case{63, false}, Case{64, true}}) {
        Buffer a = hdDefault();
        Buffer b = a;
        b[c.byte] ^= 0x01;
        EXPECT_EQ(sameSettings(a.data(), b.data(), 64), c.same) << "byte " << c.byte;
    }
}

TEST(Record, DescriptorIntegersAreLittleEndianWords) {
    Buffer rec = hdDefault();
    EXPECT_EQ(recordInteger(rec.data(), 0), 0x010DCE3F);
    EXPECT_EQ(recordInteger(rec.data(), 1), 0x4C130119);
    EXPECT_EQ(recordInteger(rec.data(), 15), 0);

    setRecordInteger(rec.data(), 2, -2);
    EXPECT_EQ(rec[8], 0xFE);
    EXPECT_EQ(rec[9], 0xFF);
    EXPECT_EQ(rec[11], 0xFF);
    EXPECT_EQ(rec[12], 0x13);  // integer 3 untouched
    EXPECT_EQ(recordInteger(rec.data(), 2), -2);
    EXPECT_EQ(kDescriptorKeyBase + 10, 0x6B6B303Au);  // 'kk0:'
}

}  // namespace
}  // namespace qm::fw
