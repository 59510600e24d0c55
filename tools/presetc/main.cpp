// The preset compiler, built once per plug-in against its filter library:
// turns a factory preset's text into the record the plug-in embeds as a
// resource of type 2000. Usage: presetc INPUT.txt OUTPUT.bin
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "framework/host/filter_description.h"
#include "tools/presetc/preset_text.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s INPUT OUTPUT\n", argc > 0 ? argv[0] : "presetc");
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

    std::ofstream out(output, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(record.data()),
              static_cast<std::streamsize>(record.size()));
    if (!out.flush()) {
        std::fprintf(stderr, "cannot write %s\n", output.c_str());
        std::remove(output.c_str());
        return 1;
    }
    return 0;
}
