#include "platform/ui/text_words.h"

#include <charconv>

namespace qm::ui {

bool splitWords(std::string_view line, std::vector<Word>& out) {
    out.clear();
    size_t i = 0;
    while (i < line.size()) {
        const char c = line[i];
        if (c == ' ' || c == '\t' || c == '\r') {
            ++i;
        } else if (c == '#') {
            break;
        } else if (c == '"') {
            Word w{std::string(), true};
            for (++i;;) {
                if (i >= line.size()) return false;
                char d = line[i++];
                if (d == '"') break;
                if (d == '\\' && i < line.size()) d = line[i++];
                w.text.push_back(d);
            }
            out.push_back(std::move(w));
        } else {
            Word w;
            while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r')
                w.text.push_back(line[i++]);
            out.push_back(std::move(w));
        }
    }
    return true;
}

std::optional<int> wordNumber(const Word& w) {
    if (w.quoted) return std::nullopt;
    int v = 0;
    const char* b = w.text.data();
    const char* e = b + w.text.size();
    auto [end, ec] = std::from_chars(b, e, v);
    if (ec != std::errc() || end != e) return std::nullopt;
    return v;
}

std::string lowerAscii(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

}  // namespace qm::ui
