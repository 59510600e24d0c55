#include "tools/respack/manifest.h"

#include "tools/respack/pipl_compiler.h"

namespace qm::tools {

bool parseManifest(std::string_view text, std::vector<ManifestEntry>& entries,
                   std::string& error) {
    entries.clear();
    std::vector<std::string> w;
    return forEachLine(text, [&](int lineNumber, std::string_view line) {
        if (!splitWords(line, w)) {
            error = "line " + std::to_string(lineNumber) + ": unterminated quoted text";
            return false;
        }
        if (w.empty()) return true;
        if (w.size() != 4) {
            error = "line " + std::to_string(lineNumber) + ": expected TYPE NAME KIND SOURCE";
            return false;
        }
        for (std::string* s : {&w[0], &w[1]})
            for (char& c : *s)
                if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        entries.push_back({lineNumber, w[0], w[1], w[2], w[3]});
        return true;
    });
}

}  // namespace qm::tools
