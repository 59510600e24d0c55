#include "filters/marbleloom/resource_files.h"

#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <optional>
#include <span>

#include "platform/os/files.h"

namespace qm::marbleloom {
namespace {

std::string withSlash(std::string folder) {
    if (!folder.empty() && folder.back() != '/') folder += '/';
    return folder;
}

// The folder test of the original changed the working folder; a library in
// someone else's process asks instead whether the folder could be entered.
bool canEnter(const std::string& folder) { return os::isFolder(folder) && ::access(folder.c_str(), X_OK) == 0; }

enum class Put { Done, CannotCreate };

Put putFile(const std::string& path, std::span<const uint8_t> bytes) {
    // Only the low 32 bits of the size are compared, and nothing else.
    if (auto size = os::fileSize(path); size && static_cast<uint32_t>(*size) == static_cast<uint32_t>(bytes.size()))
        return Put::Done;
    std::FILE* f = std::fopen(path.c_str(), "wb+");
    if (!f) return Put::CannotCreate;
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    return Put::Done;
}

}  // namespace

std::string patternDatabaseDiskName(std::string_view resourceName) {
    std::string out(resourceName);
    for (size_t i = 0; i < out.size(); ++i) {
        const auto c = static_cast<unsigned char>(out[i]);
        out[i] = static_cast<char>(i == 0 ? std::toupper(c) : std::tolower(c));
    }
    return out;
}

bool writeResourceFiles(const os::ResourceModule& module, const os::ResourceId& type,
                        const std::function<std::string(std::string_view)>& diskName,
                        const std::string& pluginFolder, const std::string& sharedFolder) {
    bool ok = true;
    bool any = false;
    const std::string plugin = withSlash(pluginFolder), shared = withSlash(sharedFolder);
    module.enumerateNames(type, [&](const os::ResourceId& name) {
        any = true;
        auto bytes = module.find(type, name);
        if (!bytes || bytes->empty() || name.text.empty()) {
            ok = false;
            return false;
        }
        const std::string file = diskName(name.text);
        if (!plugin.empty() && canEnter(plugin) && putFile(plugin + file, *bytes) == Put::Done) return true;
        if (shared.empty() || (!canEnter(shared) && !os::createFolder(shared)) ||
            putFile(shared + file, *bytes) != Put::Done) {
            ok = false;
            return false;
        }
        return true;
    });
    return ok && any;
}

bool writePatternDatabases(const os::ResourceModule& module, const std::string& pluginFolder,
                           const std::string& sharedFolder) {
    return writeResourceFiles(module, os::ResourceId::of(kPatternDatabaseType), patternDatabaseDiskName,
                              pluginFolder, sharedFolder);
}

}  // namespace qm::marbleloom
