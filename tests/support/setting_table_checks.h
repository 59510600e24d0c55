// What every filter's setting table must give: each stored setting survives
// the record at its limits and between them, and a damaged record (every
// field's bits set) comes back limited to the table's ranges.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

#include "framework/host/filter_description.h"
#include "framework/settings/record.h"
#include "framework/settings/setting_table.h"

namespace qm::test {

// The values worth storing for one setting: its limits and a middle value
// (for two parts, each part at each of them).
inline std::vector<int32_t> probeValues(const fw::Setting& s) {
    if (s.kind == fw::ControlKind::Colour) return {0, 0x3FFFFFF, 0x2C0FFEE, 0x1000000, 0x3000000};
    if (s.kind == fw::ControlKind::Pattern)
        return {0, -1, 0x12345678, static_cast<int32_t>(0x80000001u)};
    const std::array<int32_t, 3> v{s.minimum, s.maximum, s.minimum + (s.maximum - s.minimum) / 2};
    if (fw::partBits(s.kind) == 0) return {v.begin(), v.end()};
    std::vector<int32_t> out;
    for (int32_t a : v)
        for (int32_t b : v) out.push_back(fw::packParts(s.kind, a, b));
    return out;
}

// Every stored slot at each probe value, the others at their initial values,
// through packFields and unpackFields.
inline void expectTableRoundTrips(const fw::FilterDescription& filter) {
    ASSERT_FALSE(filter.settings.empty());
    EXPECT_TRUE(fw::wellFormed(filter.settings, filter.format.length));
    for (const fw::Setting& s : filter.settings) {
        if (s.name == nullptr || s.bits == 0) continue;
        for (int32_t value : probeValues(s)) {
            fw::ValueSlots slots{};
            fw::initialSlots(filter.settings, slots);
            slots[static_cast<size_t>(s.slot)] = value;
            std::array<uint8_t, fw::kRecordBufferSize> record{};
            fw::packFields(record.data(), filter.format, slots);
            fw::ValueSlots back{};
            fw::unpackFields(record.data(), filter.format, back);
            for (const fw::Setting& other : filter.settings) {
                if (other.name == nullptr || other.bits == 0) continue;
                EXPECT_EQ(back[static_cast<size_t>(other.slot)], slots[static_cast<size_t>(other.slot)])
                    << other.name << " after storing " << s.name << " = " << value;
            }
        }
    }
}

// A record whose every field holds all ones decodes to values that the
// table limits to its maxima (each part on its own); -1 goes to the
// minimum of a one-value range.
inline void expectDamagedRecordLimited(const fw::FilterDescription& filter) {
    std::array<uint8_t, fw::kRecordBufferSize> record{};
    std::fill_n(record.begin() + 6, filter.format.length - 7, uint8_t{0xFF});
    fw::ValueSlots slots{};
    fw::unpackFields(record.data(), filter.format, slots);
    const fw::ValueSlots raw = slots;
    fw::limitSlots(filter.settings, slots);
    for (const fw::Setting& s : filter.settings) {
        if (s.name == nullptr || s.bits == 0) continue;
        const int32_t got = slots[static_cast<size_t>(s.slot)];
        if (!fw::hasRange(s.kind)) {
            EXPECT_EQ(got, raw[static_cast<size_t>(s.slot)]) << s.name;
            continue;
        }
        const int32_t expected = fw::partBits(s.kind) ? fw::packParts(s.kind, s.maximum, s.maximum)
                                                      : s.maximum;
        EXPECT_EQ(got, expected) << s.name;
        // -1: all parts' bits set, or a value below every range.
        EXPECT_EQ(fw::limitToSetting(s, -1), fw::partBits(s.kind) ? expected : s.minimum) << s.name;
    }
}

}  // namespace qm::test
