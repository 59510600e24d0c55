#include "platform/os/module.h"

#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <filesystem>
#include <system_error>

namespace qm::os {
namespace {

// Its address tells dladdr which loaded object this file was linked into.
void anchor() {}

std::string programPath() {
    std::error_code ec;
    auto p = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : p.string();
}

}  // namespace

std::string moduleFileName() {
    Dl_info info{};
    link_map* map = nullptr;
    if (dladdr1(reinterpret_cast<void*>(&anchor), &info, reinterpret_cast<void**>(&map),
                RTLD_DL_LINKMAP) == 0)
        return programPath();
    // The program's own map has an empty name and dli_fname is then just argv[0].
    if (map != nullptr && (map->l_name == nullptr || map->l_name[0] == '\0')) {
        std::string exe = programPath();
        if (!exe.empty()) return exe;
    }
    if (info.dli_fname == nullptr || info.dli_fname[0] == '\0') return programPath();
    std::filesystem::path p(info.dli_fname);
    if (p.is_absolute()) return p.string();
    // dlopen kept the relative path it was given; it was relative to the
    // working folder of that moment, which is the best guess still at hand.
    std::error_code ec;
    auto abs = std::filesystem::absolute(p, ec);
    return ec ? p.string() : abs.lexically_normal().string();
}

std::string folderOf(const std::string& path) {
    auto cut = path.rfind('/');
    return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

}  // namespace qm::os
