// The registry: two roots of keys holding named REG_SZ or REG_BINARY values.
//
// Each root is kept as one REGEDIT4 text file. A write changes only the lines
// of the values it touches: comments, other roots, value types and lines it
// does not understand stay byte for byte where they were. A file that is not
// registry text at all (UTF-16, binary) is never rewritten, a read-only file
// is not replaced, and a symbolic link is written through to its target. Every operation opens the file,
// acts and lets go again, so separate processes see each other's writes. A
// write takes an advisory lock, re-reads the file, applies its change, writes a
// temporary file, syncs it and renames it over the old one: concurrent writers
// never lose each other's values, and a crash leaves the previous file intact.
//
// Results are the Windows error codes the callers test for.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qm::os::registry {

enum class Root { CurrentUser, LocalMachine };

// Windows result codes.
constexpr long kSuccess = 0;
constexpr long kFileNotFound = 2;   // key or value missing
constexpr long kAccessDenied = 5;   // the root's file cannot be written
constexpr long kMoreData = 234;     // a name or data buffer is too small
constexpr long kNoMoreItems = 259;  // enumeration index past the last value
constexpr long kRegistryCorrupt = 1015;  // the root's file is not registry text; left untouched

// Value types.
constexpr uint32_t kTypeNone = 0;
constexpr uint32_t kTypeString = 1;  // REG_SZ
constexpr uint32_t kTypeBinary = 3;  // REG_BINARY
constexpr uint32_t kTypeDword = 4;   // REG_DWORD

// "HKEY_CURRENT_USER" / "HKEY_LOCAL_MACHINE".
const char* rootName(Root root);
// Where the root's file lives: $QUILLMERE_REGISTRY/<root name>.reg when that is
// set, else HKCU in $XDG_CONFIG_HOME/quillmere (~/.config/quillmere) and HKLM in
// /etc/quillmere, each as <root name>.reg.
std::string rootFile(Root root);

// RegQueryValueEx: with data == nullptr only *size is set (the value's length).
// When *size is smaller than the value, *size becomes the length and the
// answer is kMoreData. type may be null.
long queryValue(Root root, std::string_view key, std::string_view name, uint32_t* type,
                uint8_t* data, uint32_t* size);

// RegEnumValue: value number index of the key, in creation order. nameLength
// is in: the name buffer's capacity including the terminating zero; out: the
// name's length without it. A name that does not fit (length >= capacity) or
// data longer than *dataSize answers kMoreData. data, dataSize, type may be null.
long enumValue(Root root, std::string_view key, uint32_t index, char* name,
               uint32_t* nameLength, uint32_t* type, uint8_t* data, uint32_t* dataSize);

// RegDeleteValue.
long deleteValue(Root root, std::string_view key, std::string_view name);

// RegCreateKeyEx + RegSetValueEx: creates the key when missing; a value of the
// same name is replaced in place (it keeps its position in the enumeration).
long setValue(Root root, std::string_view key, std::string_view name, uint32_t type,
              std::span<const uint8_t> data);

// Whole-root access for the host's registry command.
struct Value {
    std::string name;
    uint32_t type = kTypeBinary;
    std::vector<uint8_t> data;
};
struct Key {
    std::string path;  // without the root, e.g. "Software\\Quillmere\\Keenwright"
    std::vector<Value> values;
};

// Every key of the root, in file order. A missing file is an empty root.
std::vector<Key> readRoot(Root root);
// Merges the keys into the root (values replaced or appended), one atomic write.
long mergeIntoRoot(Root root, const std::vector<Key>& keys);

// Why the root's file cannot be used, for the user: "" when it can (a missing
// file is an empty root). A folder or unreadable file in its place, or one
// that is not registry text, is always reported; a read-only file only when
// writing is meant.
std::string rootTrouble(Root root, bool writing);

}  // namespace qm::os::registry
