// helpshots_FILTER PHOTO OUTDIR WIDTH PRESET...
// writes OUTDIR/photo.jpg (PHOTO box-averaged down to at most WIDTH pixels)
// and OUTDIR/<preset>.jpg, the scaled photo through each preset.
#include "tools/helpshots/helpshots.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "framework/host/filter_description.h"
#include "tools/presetc/preset_text.h"

namespace qm::helpshots {

bool presetSlots(const std::string& folder, const std::string& stem, fw::ValueSlots& slots) {
    const std::string path = std::string(QM_SOURCE_DIR "/resources/") + folder + "/presets/" + stem + ".txt";
    std::ifstream in(path);
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::vector<uint8_t> record;
    tools::PresetTextError error;
    if (!in || !tools::compilePresetText(text, fw::filterDescription(), record, error)) {
        std::fprintf(stderr, "%s: %s\n", path.c_str(), in ? error.message.c_str() : "cannot read");
        return false;
    }
    slots = {};
    fw::decodeRecord(record.data(), fw::filterDescription().format, slots);
    return true;
}

}  // namespace qm::helpshots

namespace {

using qm::host::Image;

// Whole-pixel box average by the smallest factor that fits the width.
Image scaledDown(const Image& source, int maxWidth) {
    const int f = (source.width + maxWidth - 1) / maxWidth;
    Image out = source;
    out.width = source.width / f;
    out.height = source.height / f;
    const int c = source.channels();
    out.pixels.assign(static_cast<size_t>(out.width) * out.height * c, 0);
    for (int y = 0; y < out.height; ++y)
        for (int x = 0; x < out.width; ++x)
            for (int k = 0; k < c; ++k) {
                int sum = 0;
                for (int dy = 0; dy < f; ++dy)
                    for (int dx = 0; dx < f; ++dx)
                        sum += source.pixels[(static_cast<size_t>(y * f + dy) * source.width + x * f + dx) * c + k];
                out.pixels[(static_cast<size_t>(y) * out.width + x) * c + k] =
                    static_cast<uint8_t>((sum + f * f / 2) / (f * f));
            }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace qm;
    if (argc < 5) {
        std::fprintf(stderr, "usage: %s PHOTO OUTDIR WIDTH PRESET...\n", argv[0]);
        return 2;
    }
    Image photo;
    std::string error;
    if (!host::loadImage(argv[1], photo, error) || photo.colour != host::ColourSpace::RGB || photo.depth != 8 ||
        photo.hasAlpha) {
        std::fprintf(stderr, "%s: %s\n", argv[1], error.empty() ? "not 8-bit RGB" : error.c_str());
        return 1;
    }
    const std::string outdir = std::string(argv[2]) + "/";
    const Image small = scaledDown(photo, std::atoi(argv[3]));
    // Small pictures in a help file: a lower quality than the host's default.
    constexpr int kQuality = 85;
    if (!host::saveImage(outdir + "photo.jpg", small, error, kQuality)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    for (int i = 4; i < argc; ++i) {
        fw::ValueSlots slots{};
        if (!helpshots::presetSlots(helpshots::kResourceFolder, argv[i], slots)) return 1;
        Image picture = small;
        if (!helpshots::render(picture, slots)) {
            std::fprintf(stderr, "%s: the render failed\n", argv[i]);
            return 1;
        }
        if (!host::saveImage(outdir + argv[i] + ".jpg", picture, error, kQuality)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 1;
        }
    }
    return 0;
}
