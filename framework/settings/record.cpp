#include "framework/settings/record.h"

#include <algorithm>

#include "platform/pluginapi/settings_record.h"

namespace qm::fw {

namespace {

constexpr int kHeaderBytes = 6;  // check value, id, version

// L as a byte count we may touch: records live in 256-byte buffers.
int bytesOf(int length) { return std::clamp(length, 0, kRecordBufferSize); }

// Widths come from a byte table; anything above 32 is taken as 32 so that a
// bad table cannot shift by the type's width.
int widthOf(int width) { return std::clamp(width, 0, 32); }

bool validSlot(int slot) { return slot >= 0 && slot < kValueSlots; }

}  // namespace

uint32_t rollingChecksum(const uint8_t* bytes, size_t length) {
    return record::rollingChecksum(bytes, length);
}

bool validateRecord(const uint8_t* record, const RecordFormat& format) {
    const int bytes = bytesOf(format.length);
    if (bytes < kHeaderBytes) return false;
    if (record[4] != format.id) return false;
    return record::checkValueMatches(record, bytes);
}

void packFields(uint8_t* record, const RecordFormat& format, const ValueSlots& slots) {
    const int bits = bytesOf(format.length) * 8;
    int p = kFirstFieldBit;
    format.fields.forEach([&](int slot, int width) {
        const int w = widthOf(width);
        // A slot outside the array still takes its bits, so later fields keep their place.
        const uint32_t v = validSlot(slot) ? static_cast<uint32_t>(slots[slot]) : 0u;
        record::writeField(record, bits, p, w, v);
        p += w;
    });
}

void unpackFields(const uint8_t* record, const RecordFormat& format, ValueSlots& slots) {
    const int bits = bytesOf(format.length) * 8;
    int p = kFirstFieldBit;
    format.fields.forEach([&](int slot, int width) {
        const int w = widthOf(width);
        const uint32_t v = record::readField(record, bits, p, w);
        if (validSlot(slot)) slots[slot] = static_cast<int32_t>(v);
        p += w;
    });
}

void encodeRecord(uint8_t* record, const RecordFormat& format, ValueSlots& slots,
                  SlotControls* controls) {
    if (controls == nullptr) {
        decodeRecord(record, format, slots);
        return;
    }
    format.fields.forEach([&](int slot, int) {
        if (validSlot(slot) && controls->hasControl(slot)) slots[slot] = controls->getValue(slot);
    });
    packFields(record, format, slots);
    const int bytes = bytesOf(format.length);
    if (bytes < kHeaderBytes) return;
    record[5] = format.version;
    record::writeCheckValue(record, bytes);
}

void decodeRecord(const uint8_t* record, const RecordFormat& format, ValueSlots& slots) {
    unpackFields(record, format, slots);
}

void pushToControls(const RecordFormat& format, const ValueSlots& slots, SlotControls& controls) {
    int remaining = std::max(bytesOf(format.length) - kHeaderBytes, 0);
    format.fields.forEach([&](int slot, int) {
        if (remaining <= 0) return;
        --remaining;
        if (validSlot(slot) && controls.hasControl(slot)) controls.setValue(slot, slots[slot]);
    });
}

void sealRecord(uint8_t* record, const RecordFormat& format, bool pinned) {
    const int bytes = bytesOf(format.length);
    if (bytes < kHeaderBytes) return;
    uint8_t& last = record[bytes - 1];
    last = static_cast<uint8_t>(pinned ? (last | 1u) : (last & ~1u));
    record[4] = format.id;
    record[5] = format.version;
    record::writeCheckValue(record, bytes);
}

bool sameSettings(const uint8_t* a, const uint8_t* b, int length) {
    const int bytes = bytesOf(length);
    return bytes <= kHeaderBytes || std::equal(a + kHeaderBytes, a + bytes, b + kHeaderBytes);
}

bool isPinned(const uint8_t* record, int length) {
    const int bytes = bytesOf(length);
    return bytes > 0 && (record[bytes - 1] & 1u) != 0;
}

int32_t recordInteger(const uint8_t* record, int index) {
    if (index < 0 || index >= kRecordBufferSize / 4) return 0;
    return static_cast<int32_t>(record::littleEndian32(record + 4 * index));
}

void setRecordInteger(uint8_t* record, int index, int32_t value) {
    if (index < 0 || index >= kRecordBufferSize / 4) return;
    const auto v = static_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i) record[4 * index + i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace qm::fw
