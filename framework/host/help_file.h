// The earlier variant's help: a compiled help file carried as a resource of
// type 3000 ("LUMIVEX.CHM"), written out beside the plug-in and opened with
// the desktop's opener.
#pragma once

#include <cstdint>
#include <string>

#include "platform/os/resources.h"

namespace qm::fw {

constexpr uint32_t kHelpFileResourceType = 3000;

// Writes every type-3000 resource as its disk name (the display-name rule of
// factory presets: "MARBLELOOM3D.CHM" -> "Marbleloom3D.chm") into
// pluginFolder, unless a file of that size is there; falls back to the shared
// data folder (created when missing) when the plug-in folder cannot take it;
// then opens the shared copy, else the plug-in folder's copy, with
// os::shellOpen. Silent on failure. Never changes the process's current
// directory. pluginFolder has a trailing '/'. True when a file was opened.
bool openHelpFile(const os::ResourceModule& resources, const std::string& pluginFolder);

}  // namespace qm::fw
