// Whole images fault into memory a 4 KiB page at a time, which on a virtual
// machine costs as much as a filter's own pass. glibc backs its large blocks
// with transparent huge pages when the GLIBC_TUNABLES variable asks for it at
// start-up, so the program asks and starts itself once more.
#pragma once

#include <optional>
#include <string>

namespace qm::host {

// The GLIBC_TUNABLES value that adds the huge-page choice to current (null:
// unset), or nothing when current already makes a choice (the user's, kept).
std::optional<std::string> tunablesWithHugePages(const char* current);

// Runs the program again with that value when it differs; returns only when
// nothing changes or the new start fails (the program then goes on as it is).
void preferHugePages(char** argv);

}  // namespace qm::host
