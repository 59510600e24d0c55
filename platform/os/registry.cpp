#include "platform/os/registry.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <optional>
#include <utility>

#include "platform/os/regedit_text.h"

namespace qm::os::registry {
namespace {

// ERROR_INVALID_PARAMETER: a name or key the text file could not hold (a line
// break or zero in it), or a missing out-parameter.
constexpr long kInvalidParameter = 87;

char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool sameNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

// "\\Software\\X\\" and "Software\\X" name the same key.
std::string_view normalizeKey(std::string_view key) {
    while (!key.empty() && key.front() == '\\') key.remove_prefix(1);
    while (!key.empty() && key.back() == '\\') key.remove_suffix(1);
    return key;
}

bool representable(std::string_view s) {
    return s.find_first_of(std::string_view("\0\n\r", 3)) == std::string_view::npos;
}

class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    Fd(Fd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Fd& operator=(Fd&& other) noexcept {
        if (this != &other) {
            reset();
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }
    ~Fd() { reset(); }
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    // Closes now and reports whether the close itself went well (it can
    // carry a delayed write error).
    bool reset() {
        bool ok = true;
        if (fd_ >= 0) ok = ::close(fd_) == 0;
        fd_ = -1;
        return ok;
    }

private:
    int fd_;
};

// nullopt when the file exists but cannot be read; a missing file is empty.
std::optional<std::string> readFile(const std::string& path) {
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.valid()) {
        if (errno == ENOENT || errno == ENOTDIR) return std::string();
        return std::nullopt;
    }
    std::string text;
    char buffer[16384];
    while (true) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            return std::nullopt;
        }
        text.append(buffer, static_cast<size_t>(n));
    }
    return text;
}

bool writeAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

bool createFolders(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
    for (size_t pos = 1; pos <= path.size(); ++pos) {
        if (pos != path.size() && path[pos] != '/') continue;
        const std::string part = path.substr(0, pos);
        if (::mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) return false;
    }
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string folderOf(const std::string& file) {
    const size_t slash = file.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return file.substr(0, slash);
}

std::string homeFolder() {
    const char* home = std::getenv("HOME");
    if (home != nullptr && *home != '\0') return home;
    if (const passwd* pw = ::getpwuid(::getuid()); pw != nullptr && pw->pw_dir != nullptr) {
        return pw->pw_dir;
    }
    return "";
}

std::string joinPath(std::string folder, std::string_view name) {
    if (folder.empty() || folder.back() != '/') folder += '/';
    folder += name;
    return folder;
}

Key* findKey(std::vector<Key>& keys, std::string_view path) {
    for (Key& key : keys) {
        if (sameNoCase(key.path, path)) return &key;
    }
    return nullptr;
}

// Creating a\\b\\c creates a and a\\b too, as Windows does; only the deepest
// key is stored, so the others exist by implication.
bool keyExists(const std::vector<Key>& keys, std::string_view path) {
    if (path.empty()) return true;
    for (const Key& key : keys) {
        if (sameNoCase(key.path, path)) return true;
        if (key.path.size() > path.size() && key.path[path.size()] == '\\' &&
            sameNoCase(std::string_view(key.path).substr(0, path.size()), path)) {
            return true;
        }
    }
    return false;
}

Value* findValue(Key& key, std::string_view name) {
    for (Value& value : key.values) {
        if (sameNoCase(value.name, name)) return &value;
    }
    return nullptr;
}

void putValue(std::vector<Key>& keys, std::string_view path, const Value& value) {
    Key* key = findKey(keys, path);
    if (key == nullptr) {
        keys.push_back({std::string(path), {}});
        key = &keys.back();
    }
    if (Value* existing = findValue(*key, value.name)) {
        // The first spelling of the name stays, like Windows keeps it.
        existing->type = value.type;
        existing->data = value.data;
    } else {
        key->values.push_back(value);
    }
}

// The root as it stands in its file, repeated keys and values folded together
// the way a write would fold them.
std::vector<Key> modelOf(Root root, std::string_view text) {
    const regedit::ParseResult parsed = regedit::parse(text);
    std::vector<Key> keys;
    for (const regedit::RootedKey& rooted : parsed.keys) {
        if (!sameNoCase(rooted.root, rootName(root))) continue;
        const std::string_view path = normalizeKey(rooted.key.path);
        if (findKey(keys, path) == nullptr) keys.push_back({std::string(path), {}});
        for (const Value& value : rooted.key.values) putValue(keys, path, value);
    }
    return keys;
}

std::vector<Key> loadRoot(Root root) {
    std::optional<std::string> text = readFile(rootFile(root));
    return text ? modelOf(root, *text) : std::vector<Key>();
}

// Removes leftovers of writers that died between creating and renaming their
// temporary file. Only called under the lock, when no live writer has one.
void removeStaleTemporaries(const std::string& folder, const std::string& prefix) {
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) return;
    while (const dirent* entry = ::readdir(dir)) {
        if (std::strncmp(entry->d_name, prefix.c_str(), prefix.size()) == 0) {
            ::unlinkat(::dirfd(dir), entry->d_name, 0);
        }
    }
    ::closedir(dir);
}

bool replaceFile(const std::string& path, const std::string& text) {
    static std::atomic<unsigned> counter{0};
    const std::string folder = folderOf(path);
    const std::string base = path.substr(path.rfind('/') + 1);
    const std::string prefix = base + ".tmp.";
    removeStaleTemporaries(folder, prefix);

    std::string temp;
    Fd fd;
    for (int attempt = 0; attempt < 8 && !fd.valid(); ++attempt) {
        temp = joinPath(folder, prefix + std::to_string(::getpid()) + "." +
                                    std::to_string(counter.fetch_add(1)));
        fd = Fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (!fd.valid() && errno != EEXIST) return false;
    }
    if (!fd.valid()) return false;

    // The new file takes the old one's permissions, so a private root stays private.
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) ::fchmod(fd.get(), st.st_mode & 07777);

    const bool written = writeAll(fd.get(), text) && ::fsync(fd.get()) == 0;
    if (!fd.reset() || !written || ::rename(temp.c_str(), path.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    // The rename itself must reach the disk; some file systems cannot sync a
    // folder, which is no reason to report the write as failed.
    Fd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.valid()) ::fsync(dir.get());
    return true;
}

// Applies change to the root under its lock. When the root cannot be written,
// change still runs on what can be read, so that a missing key or value
// answers kFileNotFound rather than kAccessDenied.
long modifyRoot(Root root, const std::function<long(std::vector<Key>&)>& change) {
    const std::string path = rootFile(root);
    auto unwritable = [&] {
        std::vector<Key> keys = loadRoot(root);
        const long result = change(keys);
        return result != kSuccess ? result : kAccessDenied;
    };
    if (!createFolders(folderOf(path))) return unwritable();

    // A separate lock file, because the root file itself is replaced.
    const std::string lockPath = path + ".lock";
    Fd lock(::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666));
    if (!lock.valid()) lock = Fd(::open(lockPath.c_str(), O_RDONLY | O_CLOEXEC));
    if (!lock.valid()) return unwritable();
    while (::flock(lock.get(), LOCK_EX) != 0) {
        if (errno != EINTR) return unwritable();
    }

    // Re-read under the lock: another process may have written since.
    std::optional<std::string> text = readFile(path);
    if (!text) return unwritable();  // rewriting would lose what cannot be read
    std::vector<Key> keys = modelOf(root, *text);
    const long result = change(keys);
    if (result != kSuccess) return result;

    std::vector<regedit::RootedKey> rooted;
    rooted.reserve(keys.size());
    for (Key& key : keys) rooted.push_back({rootName(root), std::move(key)});
    return replaceFile(path, regedit::format(rooted)) ? kSuccess : kAccessDenied;
}

}  // namespace

const char* rootName(Root root) {
    return root == Root::CurrentUser ? "HKEY_CURRENT_USER" : "HKEY_LOCAL_MACHINE";
}

std::string rootFile(Root root) {
    const std::string name = std::string(rootName(root)) + ".reg";
    if (const char* folder = std::getenv("QUILLMERE_REGISTRY"); folder != nullptr && *folder) {
        return joinPath(folder, name);
    }
    if (root == Root::LocalMachine) return joinPath("/etc/quillmere", name);
    // A relative XDG_CONFIG_HOME is invalid and ignored.
    const char* config = std::getenv("XDG_CONFIG_HOME");
    const std::string base =
        (config != nullptr && config[0] == '/') ? std::string(config) : joinPath(homeFolder(), ".config");
    return joinPath(joinPath(base, "quillmere"), name);
}

long queryValue(Root root, std::string_view key, std::string_view name, uint32_t* type,
                uint8_t* data, uint32_t* size) {
    if (data != nullptr && size == nullptr) return kInvalidParameter;
    std::vector<Key> keys = loadRoot(root);
    Key* found = findKey(keys, normalizeKey(key));
    const Value* value = found != nullptr ? findValue(*found, name) : nullptr;
    if (value == nullptr) return kFileNotFound;
    if (type != nullptr) *type = value->type;
    if (size == nullptr) return kSuccess;
    const auto length = static_cast<uint32_t>(value->data.size());
    if (data != nullptr) {
        if (*size < length) {
            *size = length;
            return kMoreData;
        }
        std::memcpy(data, value->data.data(), length);
    }
    *size = length;
    return kSuccess;
}

long enumValue(Root root, std::string_view key, uint32_t index, char* name,
               uint32_t* nameLength, uint32_t* type, uint8_t* data, uint32_t* dataSize) {
    if (name == nullptr || nameLength == nullptr) return kInvalidParameter;
    if (data != nullptr && dataSize == nullptr) return kInvalidParameter;
    std::vector<Key> keys = loadRoot(root);
    const std::string_view path = normalizeKey(key);
    Key* found = findKey(keys, path);
    if (found == nullptr) return keyExists(keys, path) ? kNoMoreItems : kFileNotFound;
    if (index >= found->values.size()) return kNoMoreItems;

    const Value& value = found->values[index];
    const auto nameSize = static_cast<uint32_t>(value.name.size());
    const auto length = static_cast<uint32_t>(value.data.size());
    if (type != nullptr) *type = value.type;
    const bool nameFits = nameSize < *nameLength;
    const bool dataFits = data == nullptr || *dataSize >= length;
    if (!nameFits || !dataFits) {
        // Both report what they need (the name without its zero), so one
        // retry with larger buffers succeeds.
        *nameLength = nameSize;
        if (dataSize != nullptr) *dataSize = length;
        return kMoreData;
    }
    std::memcpy(name, value.name.data(), nameSize);
    name[nameSize] = '\0';
    *nameLength = nameSize;
    if (data != nullptr) std::memcpy(data, value.data.data(), length);
    if (dataSize != nullptr) *dataSize = length;
    return kSuccess;
}

long deleteValue(Root root, std::string_view key, std::string_view name) {
    const std::string_view path = normalizeKey(key);
    return modifyRoot(root, [&](std::vector<Key>& keys) {
        Key* found = findKey(keys, path);
        if (found == nullptr) return kFileNotFound;
        for (auto it = found->values.begin(); it != found->values.end(); ++it) {
            if (sameNoCase(it->name, name)) {
                // The key stays, now perhaps empty, as it does on Windows.
                found->values.erase(it);
                return kSuccess;
            }
        }
        return kFileNotFound;
    });
}

long setValue(Root root, std::string_view key, std::string_view name, uint32_t type,
              std::span<const uint8_t> data) {
    const std::string_view path = normalizeKey(key);
    if (!representable(path) || !representable(name)) return kInvalidParameter;
    const Value value{std::string(name), type, std::vector<uint8_t>(data.begin(), data.end())};
    return modifyRoot(root, [&](std::vector<Key>& keys) {
        putValue(keys, path, value);
        return kSuccess;
    });
}

std::vector<Key> readRoot(Root root) { return loadRoot(root); }

long mergeIntoRoot(Root root, const std::vector<Key>& keys) {
    for (const Key& key : keys) {
        if (!representable(key.path)) return kInvalidParameter;
        for (const Value& value : key.values) {
            if (!representable(value.name)) return kInvalidParameter;
        }
    }
    return modifyRoot(root, [&](std::vector<Key>& stored) {
        for (const Key& key : keys) {
            const std::string_view path = normalizeKey(key.path);
            if (findKey(stored, path) == nullptr) stored.push_back({std::string(path), {}});
            for (const Value& value : key.values) putValue(stored, path, value);
        }
        return kSuccess;
    });
}

}  // namespace qm::os::registry
