// The help file the earlier plug-ins carry (resource type 3000), written to
// disk and opened with the desktop's opener.
#pragma once

#include <string>

#include "platform/os/resources.h"

namespace qm::fw {

// Writes every type-3000 resource under its disk name ("MARBLELOOM3D.CHM"
// -> "Marbleloom3D.chm") into pluginFolder (with its trailing '/') unless a
// file of that size is there, else into the shared data folder; then opens
// the shared copy, or else the plug-in folder's. Silent on failure; the
// current directory is left as it was. True when a file was opened.
bool openHelpFile(const os::ResourceModule& resources, const std::string& pluginFolder);

}  // namespace qm::fw
