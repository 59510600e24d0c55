// Resources written out as files beside the plug-in (help file, pattern
// databases): into the plug-in folder, or into the shared data folder when
// the plug-in folder cannot be entered or the file cannot be created there.
// A file of the resource's size is left as it is.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "platform/os/resources.h"

namespace qm::marbleloom {

constexpr uint32_t kPatternDatabaseType = 4000;

// "TEXTURES02.8TX" -> "Textures02.8tx".
std::string patternDatabaseDiskName(std::string_view resourceName);

// Every resource of the type in enumeration order; stops at the first that
// cannot be found, is empty, or can be written in neither folder. True when
// all were handled.
bool writeResourceFiles(const os::ResourceModule& module, const os::ResourceId& type,
                        const std::function<std::string(std::string_view)>& diskName,
                        const std::string& pluginFolder, const std::string& sharedFolder);

// The four factory databases (type 4000).
bool writePatternDatabases(const os::ResourceModule& module, const std::string& pluginFolder,
                           const std::string& sharedFolder);

}  // namespace qm::marbleloom
