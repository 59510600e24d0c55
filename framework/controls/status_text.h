// The parts of a status label: "first@second".
#pragma once

#include <string_view>

namespace qm::fw {

// The longest first part the status line shows.
constexpr size_t kMaxStatusText = 200;

// The first text (1): up to the first "@", or all of a label without one,
// at most kMaxStatusText characters. The second (2): after the first "@",
// nothing without one. Anything else (0): nothing.
std::string_view statusText(std::string_view label, int part);

}  // namespace qm::fw
