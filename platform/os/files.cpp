#include "platform/os/files.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

namespace qm::os {
namespace {

namespace fs = std::filesystem;

std::string env(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

std::string homeFolder() {
    std::string home = env("HOME");
    if (!home.empty()) return home;
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buf(size > 0 ? static_cast<size_t>(size) : 16384);
    passwd pw{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &pw, buf.data(), buf.size(), &found) == 0 && found && found->pw_dir)
        return found->pw_dir;
    return "/tmp";
}

std::string withSlash(std::string s) {
    if (s.empty() || s.back() != '/') s += '/';
    return s;
}

}  // namespace

std::string sharedDataFolder() {
    std::string own = env("QUILLMERE_SHARED_DATA");
    if (!own.empty()) return withSlash(own);
    // The XDG rules say to ignore a relative XDG_DATA_HOME.
    std::string xdg = env("XDG_DATA_HOME");
    if (!xdg.empty() && xdg.front() == '/') return withSlash(xdg) + "quillmere/";
    return withSlash(homeFolder()) + ".local/share/quillmere/";
}

bool isFolder(const std::string& path) {
    std::error_code ec;
    return !path.empty() && fs::is_directory(path, ec);
}

bool fileExists(const std::string& path) {
    std::error_code ec;
    if (path.empty()) return false;
    auto st = fs::status(path, ec);
    return !ec && fs::exists(st) && !fs::is_directory(st);
}

bool createFolder(const std::string& path) {
    if (path.empty()) return false;
    std::error_code ec;
    fs::create_directories(path, ec);
    return fs::is_directory(path, ec);
}

std::optional<uint64_t> fileSize(const std::string& path) {
    if (path.empty()) return std::nullopt;
    std::error_code ec;
    auto size = fs::file_size(path, ec);
    if (ec) return std::nullopt;
    return static_cast<uint64_t>(size);
}

bool deleteFile(const std::string& path) {
    // unlink, not remove: like DeleteFile it leaves folders alone.
    return !path.empty() && ::unlink(path.c_str()) == 0;
}

}  // namespace qm::os
