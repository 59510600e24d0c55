// Compiles the text description of a scripting terminology resource ("AETE")
// into its binary form, little-endian:
//
//   u16 version major, u16 minor, u16 language, u16 script, u16 suite count
//   per suite:  text vendor, text description, u32 suite code, u16 level,
//               u16 version, u16 event count
//   per event:  text name, text description, u32 class, u32 event id,
//               u32 reply type, text reply description, u32 direct parameter
//               type, text direct parameter description, u16 parameter count
//   per parameter: text name, u32 key, u32 type, text description, u16 flags
//
// A text is a length byte and the characters, padded with a zero byte to an
// even length. The description, one item a line ('#' comments):
//
//   version  1 0
//   language 0
//   suite    "Quillmere" "Quillmere Plugins" zqmt 1 1
//   event    "Keenwright" "Quillmere Plugins" zqmt zqmt null "" null ""
//   param    "00" kk00 long ""
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "tools/respack/pipl_compiler.h"

namespace qm::tools {

bool compileAete(std::string_view text, std::vector<uint8_t>& out, CompileError& error);

}  // namespace qm::tools
