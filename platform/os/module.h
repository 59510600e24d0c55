// The loaded module's own file and folder.
#pragma once

#include <string>

namespace qm::os {

// Full path of the shared library (or program) this code is part of.
std::string moduleFileName();
// The folder part of a path, up to and including its last '/'; "" when none.
std::string folderOf(const std::string& path);

}  // namespace qm::os
