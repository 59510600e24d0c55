// Lines of the window layer's small text formats (dialog templates, input
// scripts): blank-separated words, "quoted text" with \ escapes as one word,
// '#' to the end of the line a comment.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qm::ui {

struct Word {
    std::string text;
    bool quoted = false;
};

// The words of a line; false on an unterminated quote.
bool splitWords(std::string_view line, std::vector<Word>& out);
// An unquoted decimal integer, all of the word.
std::optional<int> wordNumber(const Word& w);
// ASCII letters to lower case.
std::string lowerAscii(std::string s);

}  // namespace qm::ui
