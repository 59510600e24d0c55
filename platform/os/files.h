// Files and folders.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace qm::os {

// The folder shared by all users' plug-ins for data files, with a trailing '/':
// $QUILLMERE_SHARED_DATA, else $XDG_DATA_HOME/quillmere, else
// ~/.local/share/quillmere.
std::string sharedDataFolder();

bool isFolder(const std::string& path);
bool fileExists(const std::string& path);
// Creates the folder and its missing parents; true when it exists afterwards.
bool createFolder(const std::string& path);
std::optional<uint64_t> fileSize(const std::string& path);
bool deleteFile(const std::string& path);

}  // namespace qm::os
