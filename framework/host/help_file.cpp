#include "framework/host/help_file.h"

#include <cstdio>
#include <vector>

#include "framework/settings/preset_store.h"
#include "platform/os/files.h"
#include "platform/os/shell.h"

namespace qm::fw {
namespace {

constexpr uint32_t kHelpFileType = 3000;

// Written unless a file of this size is there already (no content check).
bool placeCopy(const std::string& path, std::span<const uint8_t> bytes) {
    const auto size = os::fileSize(path);
    if (size && (*size & 0xFFFFFFFFu) == (bytes.size() & 0xFFFFFFFFu)) return true;
    FILE* f = std::fopen(path.c_str(), "wb+");
    if (!f) return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && written;
}

}  // namespace

bool openHelpFile(const os::ResourceModule& resources, const std::string& pluginFolder) {
    std::vector<os::ResourceId> names;
    resources.enumerateNames(os::ResourceId::of(kHelpFileType), [&](const os::ResourceId& n) {
        names.push_back(n);
        return true;
    });
    if (names.empty()) return false;
    const std::string shared = os::sharedDataFolder();
    std::string diskName;
    for (const os::ResourceId& name : names) {
        const auto bytes = resources.find(os::ResourceId::of(kHelpFileType), name);
        if (!bytes || bytes->empty() || name.isNumber()) return false;
        diskName = presetDisplayName(name.text);
        const bool inPluginFolder =
            !pluginFolder.empty() && os::isFolder(pluginFolder) && placeCopy(pluginFolder + diskName, *bytes);
        if (inPluginFolder) continue;
        if (!os::createFolder(shared) || !placeCopy(shared + diskName, *bytes)) return false;
    }
    // The shared copy first; the opener cannot tell that a file is missing,
    // so that is tested here.
    if (os::fileExists(shared + diskName)) return os::shellOpen(shared + diskName);
    return os::shellOpen(pluginFolder + diskName);
}

}  // namespace qm::fw
