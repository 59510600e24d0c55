// Compiles the text description of a PiPL into its binary property list (the
// layout is documented in pluginapi.h).
//
//   kind  8BFM
//   name  "Keenwright"
//   catg  "Quillmere"
//   vers  0x00040000
//   entry ENTRYPOINT                 key '8664' in 64-bit builds, 'wx86' in 32-bit
//   mode  GrayScaleMode RGBMode ...
//   enbl  "in (PSHOP_ImageMode, RGBMode)"
//   hstm  0 zqmt zqmt 16000 "scope text"
//   fici  1 1 7 0                    seven lines, filter cases 1 to 7 in order
//
// Properties are written in the order of their lines ('fici' where its first
// line stands). '#' starts a comment outside quotes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qm::tools {

struct CompileError {
    int line = 0;  // 1-based; 0 for the whole text
    std::string message;
};

// pointerSize chooses the entry point's key (8: '8664', 4: 'wx86').
bool compilePipl(std::string_view text, int pointerSize, std::vector<uint8_t>& out,
                 CompileError& error);

// Calls f(lineNumber, line) for each line of a description (1-based, without
// the line end) while f answers true; answers false when f stopped it.
template <typename F>
bool forEachLine(std::string_view text, F&& f) {
    int lineNumber = 0;
    for (size_t pos = 0; pos <= text.size();) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        if (!f(++lineNumber, text.substr(pos, end - pos))) return false;
        pos = end + 1;
    }
    return true;
}

// Splits a description line into words; "quoted text" is one word (without
// the quotes, \" and \\ unescaped). Comments are dropped. False on an open quote.
bool splitWords(std::string_view line, std::vector<std::string>& words);

}  // namespace qm::tools
