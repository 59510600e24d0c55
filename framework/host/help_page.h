// The plug-ins' help: HTML pages carried as resources of type "HTML",
// written into the shared data folder and opened with the desktop's opener.
#pragma once

#include <string>

#include "platform/os/resources.h"

namespace qm::fw {

// The page about the plug-in family, which the dialog's link opens.
constexpr const char* kHomePageResource = "QUILLMERE";
constexpr const char* kHomePageText = "Quillmere Plugins";

// Where page `name` is written: the shared data folder, "name.html" in lower case.
std::string helpPagePath(const char* name);

// Writes page `name` unless a file of its size is already there, then opens
// it. False when the plug-in has no such page or it cannot be written.
bool openHelpPage(const os::ResourceModule& resources, const char* name);

}  // namespace qm::fw
