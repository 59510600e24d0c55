// Folders that file dialogs start in: string values of "Software\\Quillmere"
// that hold the folder of the last file chosen for a command.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qm::fw {

// What a remembered folder is read into, the terminating zero included.
constexpr uint32_t kFolderBuffer = 400;

// The value from the current user's hive when it is a string that fits the
// buffer, up to its first zero byte; none otherwise.
std::optional<std::string> readRememberedFolder(std::string_view valueName);

// Written as a string without its terminating zero to the current user's
// hive, and to the local machine's as well with bothHives. Failures are
// not reported: the folder is only a convenience.
void writeRememberedFolder(std::string_view valueName, std::string_view folder, bool bothHives);

// The folder part of a path, up to and including its last '/'; empty when
// it has none.
std::string folderPart(std::string_view path);

}  // namespace qm::fw
