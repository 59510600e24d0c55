// A factory preset's source: one named value per setting, compiled into the
// filter's record with the framework's own record code.
//
//   # Keenwright HD, "Default"
//   version 1            optional: the format version byte (default: the filter's)
//   radius  13000        every setting the FieldTable keeps, once, by the name
//   mode    2            the filter's setting table gives it
//
// Values are decimal or 0x hexadecimal, optionally negative (a negative value
// fits only a 32-bit field). '#' starts a comment.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "framework/host/filter_description.h"

namespace qm::tools {

struct PresetTextError {
    int line = 0;  // 1-based; 0 for the whole text
    std::string message;
};

// The L-byte record (pinned flag clear, check value written), or false.
bool compilePresetText(std::string_view text, const fw::FilterDescription& filter,
                       std::vector<uint8_t>& record, PresetTextError& error);

}  // namespace qm::tools
