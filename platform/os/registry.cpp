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
#include <unordered_map>
#include <algorithm>
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

std::string folded(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = lower(c);
    return out;
}

// Why a root's file cannot be used, or nothing when it can (a missing file
// can: it is an empty root).
enum class Trouble { None, Folder, NotAFile, Unreadable, NotRegistryText, ReadOnly };

// Text the parser would make nothing of (another encoding, binary, a foreign
// format) must never be rewritten from the nothing it read. Its first line
// that says anything tells: a REGEDIT4 header or a key.
bool registryText(std::string_view text) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
            line.remove_suffix(1);
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
        if (!line.empty() && line.front() != ';') {
            // UTF-16 has a zero byte beside every ASCII character.
            if (line.find('\0') != std::string_view::npos) return false;
            return line == "REGEDIT4" || line == "Windows Registry Editor Version 5.00" ||
                   line.front() == '[';
        }
        pos = end + 1;
    }
    return true;  // empty or only comments
}

// A root's file as read, with every value of this root placed in the text.
// A write changes only the lines of the values it touches and appends new
// ones; everything else (comments, other roots, lines it cannot read) goes
// back byte for byte.
class Document {
public:
    Document(Root root, std::string text) : root_(root), text_(std::move(text)) {
        const size_t firstEnd = text_.find('\n');
        if (firstEnd != std::string::npos && firstEnd > 0 && text_[firstEnd - 1] == '\r') eol_ = "\r\n";
        const regedit::ParseResult parsed = regedit::parse(text_);
        for (size_t k = 0; k < parsed.keys.size(); ++k) {
            const regedit::RootedKey& rooted = parsed.keys[k];
            if (!sameNoCase(rooted.root, rootName(root))) continue;
            const regedit::KeyPlaces& places = parsed.places[k];
            KeyEntry& key = entry(normalizeKey(rooted.key.path));
            key.inFile = true;
            // New values go after the last value of the key's last section.
            key.appendAt = places.values.empty() ? places.header.end : places.values.back().end;
            for (size_t v = 0; v < rooted.key.values.size(); ++v) {
                const Value& value = rooted.key.values[v];
                Slot* slot = key.find(value.name);
                if (slot == nullptr) {
                    key.byName.emplace(folded(value.name), key.slots.size());
                    key.slots.push_back({value, {}, Slot::Kept});
                    slot = &key.slots.back();
                } else {
                    // A repeated value: the last one read wins, at the first one's place.
                    slot->value.type = value.type;
                    slot->value.data = value.data;
                }
                slot->spans.push_back(places.values[v]);
            }
        }
    }

    struct Slot {
        Value value;
        std::vector<regedit::Span> spans;  // where it stands in the file, first one first
        enum State { Kept, Changed, Deleted, Added } state = Kept;
    };
    struct KeyEntry {
        std::string path;
        std::vector<Slot> slots;  // in enumeration order; deleted ones stay marked
        std::unordered_map<std::string, size_t> byName;
        bool inFile = false;
        size_t appendAt = 0;
        Slot* find(std::string_view name) {
            const auto it = byName.find(folded(name));
            return it == byName.end() ? nullptr : &slots[it->second];
        }
    };

    KeyEntry* findKey(std::string_view path) {
        const auto it = byPath_.find(folded(path));
        return it == byPath_.end() ? nullptr : &keys_[it->second];
    }

    // Creating a\\b\\c creates a and a\\b too, as Windows does; only the
    // deepest key is stored, so the others exist by implication.
    bool keyExists(std::string_view path) const {
        if (path.empty()) return true;
        for (const KeyEntry& key : keys_) {
            if (key.path.size() > path.size() && key.path[path.size()] == '\\' &&
                sameNoCase(std::string_view(key.path).substr(0, path.size()), path)) {
                return true;
            }
        }
        return byPath_.count(folded(path)) != 0;
    }

    void addKey(std::string_view path) { entry(path); }

    void put(std::string_view path, const Value& value) {
        KeyEntry& key = entry(path);
        Slot* slot = key.find(value.name);
        if (slot == nullptr) {
            key.byName.emplace(folded(value.name), key.slots.size());
            key.slots.push_back({value, {}, Slot::Added});
            return;
        }
        // The first spelling of the name stays, like Windows keeps it.
        slot->value.type = value.type;
        slot->value.data = value.data;
        if (slot->state != Slot::Added) slot->state = Slot::Changed;
    }

    bool remove(std::string_view path, std::string_view name) {
        KeyEntry* key = findKey(path);
        Slot* slot = key != nullptr ? key->find(name) : nullptr;
        if (slot == nullptr) return false;
        // The key stays, now perhaps empty, as it does on Windows.
        slot->state = Slot::Deleted;
        key->byName.erase(folded(name));
        return true;
    }

    std::vector<Key> keys() const {
        std::vector<Key> out;
        out.reserve(keys_.size());
        for (const KeyEntry& key : keys_) {
            Key k{key.path, {}};
            k.values.reserve(key.slots.size());
            for (const Slot& slot : key.slots)
                if (slot.state != Slot::Deleted) k.values.push_back(slot.value);
            out.push_back(std::move(k));
        }
        return out;
    }

    // The file's new text: one pass over the old one.
    std::string render() const {
        struct Edit {
            size_t begin, end;
            std::string text;
        };
        std::vector<Edit> edits;
        std::string tail;  // keys new to the file
        for (const KeyEntry& key : keys_) {
            std::string added;
            for (const Slot& slot : key.slots) {
                switch (slot.state) {
                    case Slot::Kept: break;
                    case Slot::Added: added += line(slot.value); break;
                    case Slot::Changed:
                    case Slot::Deleted:
                        for (size_t i = 0; i < slot.spans.size(); ++i) {
                            const bool keep = i == 0 && slot.state == Slot::Changed;
                            edits.push_back({slot.spans[i].begin, slot.spans[i].end,
                                             keep ? line(slot.value) : std::string()});
                        }
                        break;
                }
            }
            if (key.inFile) {
                if (!added.empty()) edits.push_back({key.appendAt, key.appendAt, std::move(added)});
            } else {
                tail += '[';
                tail += rootName(root_);
                if (!key.path.empty()) tail += '\\' + key.path;
                tail += ']' + eol_ + added + eol_;
            }
        }
        // Spans never overlap, and values appended after a key's last value
        // sort behind that value's own replacement.
        std::stable_sort(edits.begin(), edits.end(), [](const Edit& a, const Edit& b) {
            return a.begin < b.begin || (a.begin == b.begin && a.end < b.end);
        });
        const bool fresh = text_.find_first_not_of(" \t\r\n") == std::string::npos;
        std::string out;
        out.reserve(text_.size() + tail.size() + 64);
        size_t pos = 0;
        if (fresh) {
            out = "REGEDIT4" + eol_ + eol_;
            pos = text_.size();
        }
        for (const Edit& edit : edits) {
            out.append(text_, pos, edit.begin - pos);
            if (edit.begin == edit.end) endLine(out);
            out += edit.text;
            pos = edit.end;
        }
        out.append(text_, pos, std::string::npos);
        if (!tail.empty()) {
            endLine(out);
            // One blank line before a new key, as the rest of the file has.
            if (out.size() >= 2 * eol_.size() &&
                out.compare(out.size() - 2 * eol_.size(), 2 * eol_.size(), eol_ + eol_) != 0)
                out += eol_;
            out += tail;
        }
        return out;
    }

private:
    KeyEntry& entry(std::string_view path) {
        const auto [it, fresh] = byPath_.emplace(folded(path), keys_.size());
        if (fresh) keys_.push_back({std::string(path), {}, {}, false, 0});
        return keys_[it->second];
    }

    // A last line without its line end gets one before anything follows it;
    // a lone carriage return there only needs its line feed.
    void endLine(std::string& out) const {
        if (out.empty() || out.back() == '\n') return;
        out += out.back() == '\r' ? std::string("\n") : eol_;
    }

    std::string line(const Value& value) const {
        std::string text = regedit::formatValue(value);
        if (eol_ != "\n") text.replace(text.size() - 1, 1, eol_);
        return text;
    }

    Root root_;
    std::string text_;
    std::string eol_ = "\n";
    std::vector<KeyEntry> keys_;  // in file order, new ones last
    std::unordered_map<std::string, size_t> byPath_;
};

// The root as its file stands; a file that cannot be read or is no registry
// text reads as an empty root.
Document loadDocument(Root root) {
    std::optional<std::string> text = readFile(rootFile(root));
    if (!text || !registryText(*text)) return Document(root, std::string());
    return Document(root, std::move(*text));
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

// The file a root's path finally names: a symbolic link is followed, so that
// the write replaces its target and the link stays a link.
std::string resolvedFile(const std::string& path) {
    std::string current = path;
    for (int hop = 0; hop < 40; ++hop) {
        struct stat st {};
        if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return current;
        std::string target(static_cast<size_t>(st.st_size > 0 ? st.st_size : 4096) + 1, '\0');
        const ssize_t n = ::readlink(current.c_str(), target.data(), target.size());
        if (n <= 0 || static_cast<size_t>(n) >= target.size()) return current;
        target.resize(static_cast<size_t>(n));
        current = target[0] == '/' ? target : joinPath(folderOf(current), target);
    }
    return current;
}

Trouble troubleOf(const std::string& path, std::optional<std::string>* text = nullptr) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return errno == ENOENT || errno == ENOTDIR ? Trouble::None
                                                                                   : Trouble::Unreadable;
    if (S_ISDIR(st.st_mode)) return Trouble::Folder;
    if (!S_ISREG(st.st_mode)) return Trouble::NotAFile;
    std::optional<std::string> read = readFile(path);
    if (!read) return Trouble::Unreadable;
    const bool usable = registryText(*read);
    if (text != nullptr) *text = std::move(read);
    if (!usable) return Trouble::NotRegistryText;
    // The owner's write bit counts even for root, who could write regardless:
    // a file made read-only is meant to stay as it is.
    if ((st.st_mode & 0222) == 0 || ::access(path.c_str(), W_OK) != 0) return Trouble::ReadOnly;
    return Trouble::None;
}

// Applies change to the root under its lock. When the root cannot be written,
// change still runs on what can be read, so that a missing key or value
// answers kFileNotFound rather than the reason for not writing.
long modifyRoot(Root root, const std::function<long(Document&)>& change) {
    const std::string path = resolvedFile(rootFile(root));
    auto unwritable = [&](long why) {
        Document document = loadDocument(root);
        const long result = change(document);
        return result != kSuccess ? result : why;
    };
    if (!createFolders(folderOf(path))) return unwritable(kAccessDenied);

    // A separate lock file, because the root file itself is replaced.
    const std::string lockPath = path + ".lock";
    Fd lock(::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666));
    if (!lock.valid()) lock = Fd(::open(lockPath.c_str(), O_RDONLY | O_CLOEXEC));
    if (!lock.valid()) return unwritable(kAccessDenied);
    while (::flock(lock.get(), LOCK_EX) != 0) {
        if (errno != EINTR) return unwritable(kAccessDenied);
    }

    // Re-read under the lock: another process may have written since.
    std::optional<std::string> text;
    switch (troubleOf(path, &text)) {
        case Trouble::None: break;
        case Trouble::NotRegistryText: return unwritable(kRegistryCorrupt);
        default: return unwritable(kAccessDenied);
    }
    Document document(root, text ? std::move(*text) : std::string());
    const long result = change(document);
    if (result != kSuccess) return result;
    return replaceFile(path, document.render()) ? kSuccess : kAccessDenied;
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
    Document document = loadDocument(root);
    Document::KeyEntry* found = document.findKey(normalizeKey(key));
    const Document::Slot* slot = found != nullptr ? found->find(name) : nullptr;
    if (slot == nullptr) return kFileNotFound;
    const Value& value = slot->value;
    if (type != nullptr) *type = value.type;
    if (size == nullptr) return kSuccess;
    const auto length = static_cast<uint32_t>(value.data.size());
    if (data != nullptr) {
        if (*size < length) {
            *size = length;
            return kMoreData;
        }
        std::memcpy(data, value.data.data(), length);
    }
    *size = length;
    return kSuccess;
}

long enumValue(Root root, std::string_view key, uint32_t index, char* name,
               uint32_t* nameLength, uint32_t* type, uint8_t* data, uint32_t* dataSize) {
    if (name == nullptr || nameLength == nullptr) return kInvalidParameter;
    if (data != nullptr && dataSize == nullptr) return kInvalidParameter;
    Document document = loadDocument(root);
    const std::string_view path = normalizeKey(key);
    Document::KeyEntry* found = document.findKey(path);
    if (found == nullptr) return document.keyExists(path) ? kNoMoreItems : kFileNotFound;
    if (index >= found->slots.size()) return kNoMoreItems;

    const Value& value = found->slots[index].value;
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
    return modifyRoot(root, [&](Document& document) {
        return document.remove(path, name) ? kSuccess : kFileNotFound;
    });
}

long setValue(Root root, std::string_view key, std::string_view name, uint32_t type,
              std::span<const uint8_t> data) {
    const std::string_view path = normalizeKey(key);
    if (!representable(path) || !representable(name)) return kInvalidParameter;
    const Value value{std::string(name), type, std::vector<uint8_t>(data.begin(), data.end())};
    return modifyRoot(root, [&](Document& document) {
        document.put(path, value);
        return kSuccess;
    });
}

std::vector<Key> readRoot(Root root) { return loadDocument(root).keys(); }

long mergeIntoRoot(Root root, const std::vector<Key>& keys) {
    for (const Key& key : keys) {
        if (!representable(key.path)) return kInvalidParameter;
        for (const Value& value : key.values) {
            if (!representable(value.name)) return kInvalidParameter;
        }
    }
    return modifyRoot(root, [&](Document& document) {
        for (const Key& key : keys) {
            const std::string_view path = normalizeKey(key.path);
            document.addKey(path);
            for (const Value& value : key.values) document.put(path, value);
        }
        return kSuccess;
    });
}

std::string rootTrouble(Root root, bool writing) {
    const std::string shown = rootFile(root);
    const std::string path = resolvedFile(shown);
    switch (troubleOf(path)) {
        case Trouble::None: return {};
        case Trouble::Folder: return shown + " is a folder, not a registry file";
        case Trouble::NotAFile: return shown + " is not a plain file";
        case Trouble::Unreadable: return shown + " cannot be read: " + std::strerror(errno);
        case Trouble::NotRegistryText:
            return shown + " is not a REGEDIT4 text file (another encoding or damaged); it is left as it is";
        case Trouble::ReadOnly: return writing ? shown + " is read-only" : std::string();
    }
    return {};
}

}  // namespace qm::os::registry
