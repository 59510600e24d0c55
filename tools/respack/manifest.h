// resources/<deliverable>/resources.manifest: one resource a line,
//
//   TYPE   NAME    KIND   SOURCE
//   PIPL   16000   pipl   pipl.txt
//   2000   DEFAULT file   presets/default.bin
//
// TYPE and NAME are numbers or texts (texts are upper-cased); KIND says how
// SOURCE (relative to the manifest's folder) becomes the resource's bytes.
// '#' starts a comment.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qm::tools {

struct ManifestEntry {
    int line = 0;
    std::string type;  // "PIPL" or "2000"
    std::string name;
    std::string kind;  // file, pipl, aete, preset, settings, chm
    std::string source;  // as written
};

// False with a message naming the line when a line does not parse.
bool parseManifest(std::string_view text, std::vector<ManifestEntry>& entries,
                   std::string& error);

}  // namespace qm::tools
