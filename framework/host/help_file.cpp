#include "framework/host/help_file.h"

#include <cstdio>
#include <optional>

#include "framework/settings/preset_store.h"
#include "platform/os/files.h"
#include "platform/os/shell.h"

namespace qm::fw {
namespace {

// Folder tests by path, not by entering the folder: the host resolves its
// relative output paths after the dialog, in the directory it started in.
bool writeCopy(const std::string& folder, const std::string& diskName, std::span<const uint8_t> bytes) {
    if (!os::isFolder(folder)) return false;
    const std::string path = folder + diskName;
    // Only the size is compared, so a copy the user replaced by one of the
    // same size is left as it is.
    if (os::fileSize(path) == bytes.size()) return true;
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (std::fclose(f) != 0 || !written) {
        // A short copy would only be rewritten next time; take the other folder now.
        os::deleteFile(path);
        return false;
    }
    return true;
}

}  // namespace

bool openHelpFile(const os::ResourceModule& resources, const std::string& pluginFolder) {
    const os::ResourceId type = os::ResourceId::of(kHelpFileResourceType);
    const std::string shared = os::sharedDataFolder();
    std::string diskName;
    bool failed = false;
    resources.enumerateNames(type, [&](const os::ResourceId& name) {
        const auto bytes = resources.find(type, name);
        if (!bytes || bytes->empty()) {
            failed = true;
            return false;
        }
        diskName = presetDisplayName(name.isNumber() ? std::to_string(name.number) : name.text);
        if (writeCopy(pluginFolder, diskName, *bytes)) return true;
        if (!os::isFolder(shared) && !os::createFolder(shared)) {
            failed = true;
            return false;
        }
        failed = !writeCopy(shared, diskName, *bytes);
        return !failed;
    });
    if (failed || diskName.empty()) return false;

    // The shared copy is tried first. The opener cannot tell us that a file is
    // missing (xdg-open starts detached, and a headless run only records the
    // request), so the shared copy is opened only when it is there; otherwise
    // the plug-in folder's.
    for (const std::string& folder : {shared, pluginFolder}) {
        const std::string path = folder + diskName;
        if (os::fileExists(path)) return os::shellOpen(path);
    }
    return false;
}

}  // namespace qm::fw
