#include "tools/respack/manifest.h"

#include "tools/respack/pipl_compiler.h"

namespace qm::tools {

bool parseManifest(std::string_view text, std::vector<ManifestEntry>& entries,
                   std::string& error) {
    entries.clear();
    int lineNumber = 0;
    size_t pos = 0;
    std::vector<std::string> w;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        ++lineNumber;
        if (!splitWords(line, w)) {
            error = "line " + std::to_string(lineNumber) + ": unterminated quoted text";
            return false;
        }
        if (w.empty()) continue;
        if (w.size() != 4) {
            error = "line " + std::to_string(lineNumber) + ": expected TYPE NAME KIND SOURCE";
            return false;
        }
        for (std::string* s : {&w[0], &w[1]})
            for (char& c : *s)
                if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        entries.push_back({lineNumber, w[0], w[1], w[2], w[3]});
    }
    return true;
}

}  // namespace qm::tools
