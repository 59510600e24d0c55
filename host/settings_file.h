// Settings files: the scripting parameters of a run as text, one per line,
//
//   # Keenwright HD, Default
//   kk00 17681983
//   kk0: -4
//
// a four-character key (or 0x6B6B3030, or 'quoted' when it holds a blank), a
// blank, and a signed 32-bit decimal. A value with a decimal point is a float,
// one in double quotes a text. '#' at the start of a line is a comment.
#pragma once

#include <string>
#include <string_view>

#include "host/descriptor.h"

namespace qm::host {

// False with "line N: ..." in error for the first line that does not parse.
bool parseSettings(std::string_view text, DescriptorItems& items, std::string& error);
std::string formatSettings(const DescriptorItems& items);

}  // namespace qm::host
