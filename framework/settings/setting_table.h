// A filter's settings, declared once: one constexpr table in record order,
// an entry a field (slot, bits, control kind, range, initial and reset
// values, name, label, status text). The record's field table, the names of
// preset texts, the limits of damaged values and the resets all come from it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "framework/settings/field_table.h"

namespace qm::fw {

enum class ControlKind : uint8_t {
    Slider,    // one value, minimum..maximum
    Pair,      // two thumbs on one track: first value in bits 0-8, second in 9-17
    Pad,       // two dimensions: x in bits 0-6, y in bits 7-13
    Selector,  // a state counter
    Toggle,    // a two-phase button
    Colour,    // colour in bits 0-23 (red lowest), mode in bits 24-25
    Pattern,   // a pattern identity: any 32-bit value
};

// Bits of each part of a two-part kind (0: one value).
constexpr int partBits(ControlKind kind) {
    return kind == ControlKind::Pair ? 9 : kind == ControlKind::Pad ? 7 : 0;
}
// Limited to minimum..maximum: every kind with a range.
constexpr bool hasRange(ControlKind kind) {
    return kind != ControlKind::Colour && kind != ControlKind::Pattern;
}
// Two parts into one slot value, first (or x) low, and back (each part as
// the unsigned bits of its width).
constexpr int32_t packParts(ControlKind kind, int32_t first, int32_t second) {
    return first | second << partBits(kind);
}
struct Parts {
    int32_t first, second;
};
constexpr Parts unpackParts(ControlKind kind, int32_t value) {
    const int bits = partBits(kind);
    const uint32_t mask = (1u << bits) - 1, v = static_cast<uint32_t>(value);
    return {static_cast<int32_t>(v & mask), static_cast<int32_t>((v >> bits) & mask)};
}

// The reset commands of a dialog, a bit each; a setting lists those that
// give it its reset value.
using ResetGroups = uint8_t;
constexpr ResetGroups kKeptByResets = 0;
constexpr ResetGroups kResetAll = 1;

struct Setting {
    int slot = 0;
    int bits = 0;  // its field in the record; 0: a control that is not stored
    ControlKind kind = ControlKind::Slider;
    int32_t minimum = 0, maximum = 0;  // of the value, or of each part
    int32_t initial = 0;  // the control's first value and its double-click reset (packed)
    int32_t reset = 0;    // what the reset commands in `resets` give (packed)
    ResetGroups resets = kKeptByResets;
    const char* name = nullptr;    // in preset texts; null on a slot's further field
    const char* label = nullptr;   // the caption beside the control
    const char* status = nullptr;  // the status line ("first@second" for two parts)

    // The reset commands in `groups` give `value` (by default the initial one).
    constexpr Setting resetBy(ResetGroups groups) const { return resetBy(groups, initial); }
    constexpr Setting resetBy(ResetGroups groups, int32_t value) const {
        Setting s = *this;
        s.resets = groups;
        s.reset = value;
        return s;
    }
    constexpr Setting labelled(const char* caption, const char* statusText) const {
        Setting s = *this;
        s.label = caption;
        s.status = statusText;
        return s;
    }
    // A further field of this slot in the record (its name stays on the first).
    constexpr Setting copyOf(int width) const {
        Setting s = *this;
        s.bits = width;
        s.name = nullptr;
        return s;
    }
};

constexpr Setting setting(ControlKind kind, int slot, int bits, int32_t minimum, int32_t maximum,
                          int32_t initial, const char* name) {
    Setting s;
    s.slot = slot;
    s.bits = bits;
    s.kind = kind;
    s.minimum = minimum;
    s.maximum = maximum;
    s.initial = initial;
    s.reset = initial;
    s.name = name;
    return s;
}
constexpr Setting slider(int slot, int bits, int32_t minimum, int32_t maximum, int32_t initial,
                         const char* name) {
    return setting(ControlKind::Slider, slot, bits, minimum, maximum, initial, name);
}
constexpr Setting selector(int slot, int bits, int32_t maximum, int32_t initial, const char* name) {
    return setting(ControlKind::Selector, slot, bits, 0, maximum, initial, name);
}
constexpr Setting toggle(int slot, int bits, int32_t maximum, int32_t initial, const char* name) {
    return setting(ControlKind::Toggle, slot, bits, 0, maximum, initial, name);
}
constexpr Setting pair(int slot, int32_t minimum, int32_t maximum, int32_t first, int32_t second,
                       const char* name) {
    return setting(ControlKind::Pair, slot, 18, minimum, maximum,
                   packParts(ControlKind::Pair, first, second), name);
}
constexpr Setting pad(int slot, int32_t minimum, int32_t maximum, int32_t x, int32_t y,
                      const char* name) {
    return setting(ControlKind::Pad, slot, 14, minimum, maximum, packParts(ControlKind::Pad, x, y),
                   name);
}
constexpr Setting colour(int slot, int32_t initial, const char* name) {
    return setting(ControlKind::Colour, slot, 26, 0, 0, initial, name);
}
constexpr Setting pattern(int slot, const char* name) {
    return setting(ControlKind::Pattern, slot, 32, 0, 0, 0, name);
}

using SettingTable = std::span<const Setting>;

// The table's stored fields as FieldTable bytes (slot, width, ..., 0xFF),
// in table order.
template <size_t N>
constexpr std::array<uint8_t, 2 * N + 1> fieldBytesOf(const Setting (&table)[N]) {
    std::array<uint8_t, 2 * N + 1> bytes{};
    size_t at = 0;
    for (const Setting& s : table)
        if (s.bits > 0) {
            bytes[at++] = static_cast<uint8_t>(s.slot);
            bytes[at++] = static_cast<uint8_t>(s.bits);
        }
    while (at < bytes.size()) bytes[at++] = kFieldTableEnd;
    return bytes;
}
template <size_t N>
constexpr FieldTable fieldTableOf(const std::array<uint8_t, N>& bytes) {
    return FieldTable{bytes.data(), N};
}

// What a table must hold for its record of `length` bytes: slots below 150,
// one named entry a slot with unique names, widths 0..32 that end before the
// pinned flag, ranges and initial and reset values that fit the widths.
constexpr bool wellFormed(SettingTable table, int recordLength) {
    int bits = 48;
    for (size_t i = 0; i < table.size(); ++i) {
        const Setting& s = table[i];
        if (s.slot < 0 || s.slot >= kValueSlots || s.bits < 0 || s.bits > 32) return false;
        bits += s.bits;
        if (s.name == nullptr) continue;
        for (size_t j = 0; j < i; ++j)
            if (table[j].name != nullptr &&
                (table[j].slot == s.slot || std::string_view(table[j].name) == s.name))
                return false;
        if (!hasRange(s.kind)) continue;
        const int part = partBits(s.kind);
        const int valueBits = part ? part : s.bits;
        if (s.minimum < 0 || s.minimum > s.maximum) return false;
        if (s.bits > 0 && valueBits < 31 && s.maximum >= (int32_t{1} << valueBits)) return false;
        for (int32_t v : {s.initial, s.reset}) {
            const int32_t a = part ? v & ((1 << part) - 1) : v;
            const int32_t b = part ? v >> part : s.minimum;
            if (a < s.minimum || a > s.maximum || b < s.minimum || b > s.maximum) return false;
        }
    }
    return bits <= recordLength * 8 - 1;
}

// The named entry of a slot, or of a name; null when there is none.
const Setting* findSetting(SettingTable table, int slot);
const Setting* findSetting(SettingTable table, std::string_view name);

// A value as its control holds it: limited to the range (each part of a pair
// or pad on its own); colours and patterns as they are.
int32_t limitToSetting(const Setting& setting, int32_t value);
// Every named slot of the table limited so.
void limitSlots(SettingTable table, ValueSlots& slots);
// Every slot whose entry answers to one of `groups` takes its reset value.
void resetSlots(SettingTable table, ValueSlots& slots, ResetGroups groups);
// Every named slot takes its initial value.
void initialSlots(SettingTable table, ValueSlots& slots);

}  // namespace qm::fw
