// The settings record: check value, plug-in id, format version, values packed
// from bit 48 in FieldTable order, pinned flag in bit 0 of the last byte.
//
// Bit position p lies in byte p / 8 under the mask 0x80 >> (p % 8); bit k of a
// field's value (k = 0 least significant) sits at position start + k.
#pragma once

#include <array>
#include <cstdint>

#include "framework/settings/record_format.h"
#include "framework/settings/slot_controls.h"

namespace qm::fw {

constexpr int kFirstFieldBit = 48;

// The system's one checksum (records and pattern headers).
uint32_t rollingChecksum(const uint8_t* bytes, size_t length);

// Check value over bytes 4..L-1 equals bytes 0..3, and byte 4 is the id.
bool validateRecord(const uint8_t* record, const RecordFormat& format);

// Values of the slots into the record's fields (low w bits of each); the bits
// after the last field are left as they are.
void packFields(uint8_t* record, const RecordFormat& format, const ValueSlots& slots);
// The record's fields into the slots, zero-extended.
void unpackFields(const uint8_t* record, const RecordFormat& format, ValueSlots& slots);

// encodeRecord: with controls, each field's control value goes into its slot
// and into the record, then byte 5 = version and the check value is written
// (byte 4 is left alone). Without controls the record is decoded instead, so
// the slots always mirror it.
void encodeRecord(uint8_t* record, const RecordFormat& format, ValueSlots& slots,
                  SlotControls* controls);
void decodeRecord(const uint8_t* record, const RecordFormat& format, ValueSlots& slots);
// Each field's slot value to its control, for at most L - 6 pairs.
void pushToControls(const RecordFormat& format, const ValueSlots& slots, SlotControls& controls);

// Before a record leaves the session: pinned flag, id, version, check value.
void sealRecord(uint8_t* record, const RecordFormat& format, bool pinned);
// Bytes 6..L-1 equal.
bool sameSettings(const uint8_t* a, const uint8_t* b, int length);
bool isPinned(const uint8_t* record, int length);

// Descriptor form: integer i is bytes 4i..4i+3, little-endian, under the key
// 0x6B6B3030 + i.
constexpr uint32_t kDescriptorKeyBase = 0x6B6B3030u;
int32_t recordInteger(const uint8_t* record, int index);
void setRecordInteger(uint8_t* record, int index, int32_t value);

}  // namespace qm::fw
