// The settings record as it travels between host and plug-in (descriptor
// keys 'kk00'.. carry it): the check value and the packed fields. Plug-ins
// and the host both build and check records, so the codec lives here, with
// the interface, and not in either of them.
//
// Bit position p lies in byte p / 8 under the mask 0x80 >> (p % 8); bit k of
// a field's value (k = 0 least significant) sits at position start + k.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qm::record {

constexpr int kFirstFieldBit = 48;  // byte 6: after check value, id and version
constexpr int kHeaderBytes = 6;

// Not a rotation: each of the 11 steps loses bit 31 and copies the new
// bit 31 into bit 0.
constexpr uint32_t rollingChecksum(const uint8_t* bytes, size_t length) {
    uint32_t a = 0;
    for (size_t i = 0; i < length; ++i) {
        for (int n = 0; n < 11; ++n) {
            a <<= 1;
            if (a & 0x80000000u) a |= 1u;
        }
        a ^= 0x55u;
        a += bytes[i];
    }
    return a;
}

constexpr uint32_t littleEndian32(const uint8_t* bytes) {
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

// The check value of a record of `length` bytes, as stored in bytes 0..3.
constexpr uint32_t checkValueOf(const uint8_t* record, int length) {
    return rollingChecksum(record + 4, static_cast<size_t>(length - 4));
}
constexpr void writeCheckValue(uint8_t* record, int length) {
    const uint32_t sum = checkValueOf(record, length);
    for (int i = 0; i < 4; ++i) record[i] = static_cast<uint8_t>(sum >> (8 * i));
}
constexpr bool checkValueMatches(const uint8_t* record, int length) {
    return length >= kHeaderBytes && checkValueOf(record, length) == littleEndian32(record);
}

// Positions at or beyond `bits` read as 0 and are not written.
constexpr uint32_t readField(const uint8_t* record, int bits, int start, int width) {
    uint32_t v = 0;
    for (int k = 0; k < width; ++k) {
        const int p = start + k;
        if (p < bits && (record[p / 8] & (0x80u >> (p % 8))) != 0) v |= 1u << k;
    }
    return v;
}
constexpr void writeField(uint8_t* record, int bits, int start, int width, uint32_t value) {
    for (int k = 0; k < width; ++k) {
        const int p = start + k;
        if (p >= bits) return;
        const auto mask = static_cast<uint8_t>(0x80u >> (p % 8));
        if ((value >> k) & 1u)
            record[p / 8] = static_cast<uint8_t>(record[p / 8] | mask);
        else
            record[p / 8] = static_cast<uint8_t>(record[p / 8] & ~mask);
    }
}

}  // namespace qm::record
