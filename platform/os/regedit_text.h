// The REGEDIT4 text format: what the registry files, the preset export and the
// host's registry command read and write.
//
//   REGEDIT4
//
//   [HKEY_CURRENT_USER\Software\Quillmere\KeenwrightHD]
//   "Soft"=hex:3f,ce,0d,01,...
//   "PluginsDir"="/usr/lib/quillmere/"
//   "Count"=dword:0000002a
//
// Names and strings are escaped as regedit escapes them (\\ and \"). Hex data
// may continue on the next line after a trailing backslash.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/os/registry.h"

namespace qm::os::regedit {

struct RootedKey {
    std::string root;  // "HKEY_CURRENT_USER"
    registry::Key key;
};

// A byte range of the parsed text; line ends included.
struct Span {
    size_t begin = 0;
    size_t end = 0;
};
// Where one parsed key stands: its key line and each of its values (with their
// continuation lines), in the order of key.values.
struct KeyPlaces {
    Span header;
    std::vector<Span> values;
};

struct ParseResult {
    std::vector<RootedKey> keys;
    std::vector<KeyPlaces> places;  // one per key
    // 1-based numbers of the lines that did not parse; they are skipped.
    std::vector<int> badLines;
    bool hasHeader = false;  // first line is "REGEDIT4"
};

// Never fails: what parses is kept, the rest is reported in badLines.
ParseResult parse(std::string_view text);

// Header line, blank line, then each key and its values, "\n" line ends.
std::string format(const std::vector<RootedKey>& keys);

// One value's line as format writes it, "\n" included.
std::string formatValue(const registry::Value& value);

}  // namespace qm::os::regedit
