#include "framework/host/help_page.h"

#include <cstdio>

#include "platform/os/files.h"
#include "platform/os/shell.h"

namespace qm::fw {

std::string helpPagePath(const char* name) {
    std::string file(name ? name : "");
    for (char& c : file)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return os::sharedDataFolder() + file + ".html";
}

bool openHelpPage(const os::ResourceModule& resources, const char* name) {
    if (!name) return false;
    const auto page = resources.find(os::ResourceId::of("HTML"), os::ResourceId::of(name));
    if (!page) return false;
    const std::string path = helpPagePath(name);
    const auto size = os::fileSize(path);
    if (!size || *size != page->size()) {
        os::createFolder(os::sharedDataFolder());
        // Written beside and renamed, so that a reader never sees half a page.
        const std::string temporary = path + ".part";
        FILE* f = std::fopen(temporary.c_str(), "wb");
        if (!f) return false;
        const bool written = std::fwrite(page->data(), 1, page->size(), f) == page->size();
        if (std::fclose(f) != 0 || !written || std::rename(temporary.c_str(), path.c_str()) != 0) {
            std::remove(temporary.c_str());
            return false;
        }
    }
    return os::shellOpen(path);
}

}  // namespace qm::fw
