// Looks at what Lumivex renders: the final pass of a factory preset on an
// image, written as PNG. Usage: lumivex_render_sample PRESET INPUT OUTPUT.png
// [deformation] (PRESET is a file stem under resources/lumivex/presets).
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "host/image.h"
#include "tests/filters/lumivex/lens_harness.h"
#include "tools/presetc/preset_text.h"

using namespace qm;

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s PRESET INPUT OUTPUT.png [deformation]\n", argv[0]);
        return 2;
    }
    std::ifstream text(std::string(QM_SOURCE_DIR) + "/resources/lumivex/presets/" + argv[1] + ".txt");
    std::vector<uint8_t> record;
    tools::PresetTextError perr;
    const std::string source{std::istreambuf_iterator<char>(text), std::istreambuf_iterator<char>()};
    if (!tools::compilePresetText(source, fw::filterDescription(), record, perr)) {
        std::fprintf(stderr, "%s: %s\n", argv[1], perr.message.c_str());
        return 1;
    }
    fw::ValueSlots slots{};
    fw::decodeRecord(record.data(), fw::filterDescription().format, slots);
    if (argc > 4) slots[lumivex::kDeformation] = std::atoi(argv[4]);

    host::Image image;
    std::string error;
    if (!host::loadImage(argv[2], image, error) || image.colour != host::ColourSpace::RGB ||
        image.depth != 8) {
        std::fprintf(stderr, "%s: %s\n", argv[2], error.empty() ? "not 8-bit RGB" : error.c_str());
        return 1;
    }
    const int planes = image.channels();
    lumivex::test::LensRun run(image.width, image.height, planes);
    std::copy(image.pixels.begin(), image.pixels.end(), run.in.begin());
    if (!run.ok || run.renderSlots(slots) != noErr) return 1;
    std::copy(run.out.begin(), run.out.end(), image.pixels.begin());
    if (!host::saveImage(argv[3], image, error)) {
        std::fprintf(stderr, "%s: %s\n", argv[3], error.c_str());
        return 1;
    }
    std::printf("%dx%d at scale %.3f\n", image.width, image.height, run.session.previewScale);
    return 0;
}
