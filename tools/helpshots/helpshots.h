// The pictures of the help files: a photo, scaled down, rendered in-process
// by a filter's final pass with some of its factory presets. One program a
// filter (each filter library defines the framework's filter description);
// this is the part they share.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "framework/settings/record.h"
#include "host/image.h"

namespace qm::helpshots {

// The factory preset resources/<folder>/presets/<stem>.txt as value slots
// (false with a message on stderr).
bool presetSlots(const std::string& folder, const std::string& stem, fw::ValueSlots& slots);

// Defined once by each filter's program.
extern const char* const kResourceFolder;  // "lumivex"
// The final pass over `picture` (8-bit RGB) with these settings, in place.
bool render(host::Image& picture, const fw::ValueSlots& slots);

}  // namespace qm::helpshots
