// The resource packer: turns a deliverable's manifest into a C++ source that
// defines the module's resource table. File resources are embedded with
// .incbin; compiled ones (the PiPL, the scripting terminology) are written
// beside the source first.
// Factory presets (kind preset) come already compiled, one DIR/<NAME>.bin
// per entry, from the plug-in's preset compiler (--compiled DIR); so does
// the settings resource (kind settings), as DIR/settings.bin, and compiled
// help files (kind chm, compiled at build time from their help project), as
// DIR/<NAME>.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "tools/respack/aete_compiler.h"
#include "tools/respack/manifest.h"
#include "tools/respack/pipl_compiler.h"

namespace fs = std::filesystem;
using namespace qm::tools;

namespace {

bool readFile(const fs::path& path, std::string& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

bool writeFile(const fs::path& path, const void* data, size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
    return static_cast<bool>(out.flush());
}

bool isNumber(const std::string& s) {
    if (s.empty() || s.size() > 9) return false;
    for (char c : s)
        if (c < '0' || c > '9') return false;
    return true;
}

std::string idInitializer(const std::string& id) {
    if (isNumber(id)) return "{nullptr, " + id + "u}";
    std::string quoted = "\"";
    for (char c : id) {
        if (c == '"' || c == '\\') quoted.push_back('\\');
        quoted.push_back(c);
    }
    return "{" + quoted + "\", 0u}";
}

// An assembler string literal inside a C++ string literal.
std::string asmQuoted(const std::string& path) {
    std::string s;
    for (char c : path) {
        if (c == '"' || c == '\\') s += "\\\\\\";
        s.push_back(c);
    }
    return s;
}

int usage() {
    std::fprintf(stderr,
                 "usage: qm_respack --manifest FILE --out FILE.cpp --pointer-size 4|8"
                 " [--compiled DIR]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::string manifestPath, outPath, compiledDir;
    int pointerSize = static_cast<int>(sizeof(void*));
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (i + 1 >= argc) return usage();
        if (a == "--manifest") manifestPath = argv[++i];
        else if (a == "--out") outPath = argv[++i];
        else if (a == "--pointer-size") pointerSize = std::atoi(argv[++i]);
        else if (a == "--compiled") compiledDir = argv[++i];
        else return usage();
    }
    if (manifestPath.empty() || outPath.empty()) return usage();

    std::string text;
    if (!readFile(manifestPath, text)) {
        std::fprintf(stderr, "%s: cannot read\n", manifestPath.c_str());
        return 1;
    }
    std::vector<ManifestEntry> entries;
    std::string error;
    if (!parseManifest(text, entries, error)) {
        std::fprintf(stderr, "%s: %s\n", manifestPath.c_str(), error.c_str());
        return 1;
    }

    fs::path base = fs::absolute(fs::path(manifestPath)).parent_path();
    fs::path blobs = fs::path(outPath).concat(".d");
    std::error_code ec;
    fs::create_directories(blobs, ec);

    std::vector<std::string> paths;
    std::vector<uintmax_t> sizes;
    for (size_t i = 0; i < entries.size(); ++i) {
        const ManifestEntry& e = entries[i];
        auto where = [&] { return manifestPath + ":" + std::to_string(e.line) + ": "; };
        fs::path source = base / e.source;
        if (e.kind == "file") {
            std::error_code sizeError;
            uintmax_t size = fs::file_size(source, sizeError);
            if (sizeError || size > 0x7FFFFFFF) {
                std::fprintf(stderr, "%scannot read %s\n", where().c_str(), source.c_str());
                return 1;
            }
            paths.push_back(fs::absolute(source).string());
            sizes.push_back(size);
        } else if (e.kind == "pipl" || e.kind == "aete") {
            std::string description;
            if (!readFile(source, description)) {
                std::fprintf(stderr, "%scannot read %s\n", where().c_str(), source.c_str());
                return 1;
            }
            std::vector<uint8_t> bytes;
            CompileError ce;
            bool compiled = e.kind == "pipl" ? compilePipl(description, pointerSize, bytes, ce)
                                             : compileAete(description, bytes, ce);
            if (!compiled) {
                std::fprintf(stderr, "%s:%d: %s\n", source.c_str(), ce.line, ce.message.c_str());
                return 1;
            }
            fs::path blob = fs::absolute(blobs / ("res" + std::to_string(i) + ".bin"));
            if (!writeFile(blob, bytes.data(), bytes.size())) {
                std::fprintf(stderr, "cannot write %s\n", blob.c_str());
                return 1;
            }
            paths.push_back(blob.string());
            sizes.push_back(bytes.size());
        } else if (e.kind == "preset" || e.kind == "settings" || e.kind == "chm") {
            // Compiled by the plug-in's preset compiler into DIR/<NAME>.bin
            // (the settings resource into DIR/settings.bin), help files by the
            // build into DIR/<NAME>.
            if (compiledDir.empty()) {
                std::fprintf(stderr, "%s%s entries need --compiled DIR\n", where().c_str(), e.kind.c_str());
                return 1;
            }
            const std::string file = e.kind == "settings" ? std::string("settings.bin")
                                     : e.kind == "chm"    ? e.name
                                                          : e.name + ".bin";
            fs::path record = fs::absolute(fs::path(compiledDir) / file);
            std::error_code sizeError;
            uintmax_t size = fs::file_size(record, sizeError);
            if (sizeError || size > 0x7FFFFFFF) {
                std::fprintf(stderr, "%scannot read %s\n", where().c_str(), record.c_str());
                return 1;
            }
            paths.push_back(record.string());
            sizes.push_back(size);
        } else {
            std::fprintf(stderr, "%sunknown kind '%s'\n", where().c_str(), e.kind.c_str());
            return 1;
        }
    }

    std::ostringstream o;
    o << "// Generated by qm_respack from " << manifestPath << "; do not edit.\n"
      << "#include <cstdint>\n#include \"platform/pluginapi/pluginapi.h\"\n\n";
    if (!entries.empty()) {
        o << "asm(\".section .rodata.qm_resources,\\\"a\\\"\\n\"\n";
        for (size_t i = 0; i < entries.size(); ++i)
            o << "    \".balign 16\\nqm_res_" << i << ":\\n.incbin \\\"" << asmQuoted(paths[i])
              << "\\\"\\n.byte 0\\n\"\n";
        o << "    \".previous\\n\");\n\n";
        for (size_t i = 0; i < entries.size(); ++i)
            o << "extern \"C\" __attribute__((visibility(\"hidden\"))) const uint8_t qm_res_" << i
              << "[];\n";
        o << "\nstatic const QmResource kEntries[] = {\n";
        for (size_t i = 0; i < entries.size(); ++i)
            o << "    {" << idInitializer(entries[i].type) << ", " << idInitializer(entries[i].name)
              << ", qm_res_" << i << ", " << sizes[i] << "u},\n";
        o << "};\n\n";
    }
    o << "extern \"C\" __attribute__((visibility(\"default\"))) const QmResourceTable "
         "quillmere_resources = {QM_RESOURCE_TABLE_MAGIC, "
      << entries.size() << "u, " << (entries.empty() ? "nullptr" : "kEntries") << "};\n";
    std::string generated = o.str();
    if (!writeFile(outPath, generated.data(), generated.size())) {
        std::fprintf(stderr, "cannot write %s\n", outPath.c_str());
        return 1;
    }
    return 0;
}
