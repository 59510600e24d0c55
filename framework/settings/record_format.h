// What identifies one plug-in's settings records.
#pragma once

#include <cstdint>

#include "framework/settings/field_table.h"

namespace qm::fw {

constexpr int kRecordBufferSize = 256;  // a record buffer; the first L bytes are the record

struct RecordFormat {
    uint8_t id = 0;       // byte 4
    uint8_t version = 0;  // byte 5
    int length = 64;      // L: 64 or 128
    FieldTable fields;
};

}  // namespace qm::fw
