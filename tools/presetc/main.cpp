// The preset compiler, built once per plug-in against its filter library:
// turns a factory preset's text into the record the plug-in embeds as a
// resource of type 2000. Usage: presetc INPUT.txt OUTPUT.bin
// With --describe it writes the filter's settings resource instead, the
// factory presets' resource names given after the output:
// presetc --describe OUTPUT NAME...
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "framework/host/filter_description.h"
#include "tools/presetc/preset_text.h"
#include "tools/presetc/settings_resource.h"

namespace {

bool writeBytes(const std::string& path, const char* data, size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(data, static_cast<std::streamsize>(size));
    if (out.flush()) return true;
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    std::remove(path.c_str());
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && std::string(argv[1]) == "--describe") {
        const std::string text =
            qm::tools::settingsResourceText(qm::fw::filterDescription(), {argv + 3, argv + argc});
        return writeBytes(argv[2], text.data(), text.size()) ? 0 : 1;
    }
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s INPUT OUTPUT | --describe OUTPUT NAME...\n", argc > 0 ? argv[0] : "presetc");
        return 2;
    }
    const std::string input = argv[1], output = argv[2];
    std::ifstream in(input, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "%s: cannot read\n", input.c_str());
        return 1;
    }
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());

    std::vector<uint8_t> record;
    qm::tools::PresetTextError error;
    if (!qm::tools::compilePresetText(text, qm::fw::filterDescription(), record, error)) {
        if (error.line > 0)
            std::fprintf(stderr, "%s:%d: %s\n", input.c_str(), error.line, error.message.c_str());
        else
            std::fprintf(stderr, "%s: %s\n", input.c_str(), error.message.c_str());
        return 1;
    }

    return writeBytes(output, reinterpret_cast<const char*>(record.data()), record.size()) ? 0 : 1;
}
