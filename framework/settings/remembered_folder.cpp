#include "framework/settings/remembered_folder.h"

#include <algorithm>
#include <array>
#include <span>

#include "platform/os/registry.h"

namespace qm::fw {

namespace reg = os::registry;

namespace {
constexpr const char* kFoldersKey = "Software\\Quillmere";
}

std::optional<std::string> readRememberedFolder(std::string_view valueName) {
    std::array<char, kFolderBuffer> text{};
    uint32_t size = kFolderBuffer - 1;
    uint32_t type = reg::kTypeNone;
    if (reg::queryValue(reg::Root::CurrentUser, kFoldersKey, valueName, &type,
                        reinterpret_cast<uint8_t*>(text.data()), &size) != reg::kSuccess ||
        type != reg::kTypeString)
        return std::nullopt;
    return std::string(text.data(), std::min<uint32_t>(size, kFolderBuffer - 1)).c_str();
}

void writeRememberedFolder(std::string_view valueName, std::string_view folder, bool bothHives) {
    const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(folder.data()), folder.size());
    reg::setValue(reg::Root::CurrentUser, kFoldersKey, valueName, reg::kTypeString, bytes);
    if (bothHives) reg::setValue(reg::Root::LocalMachine, kFoldersKey, valueName, reg::kTypeString, bytes);
}

std::string folderPart(std::string_view path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash + 1));
}

}  // namespace qm::fw
