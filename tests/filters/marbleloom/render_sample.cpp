// Looks at what Marbleloom renders: the final pass of a factory preset on an
// image, written as PNG. Usage: marbleloom_render_sample PRESET INPUT OUTPUT.png
// (PRESET is a file stem under resources/marbleloom/presets).
#include <chrono>
#include <cstdio>
#include <string>

#include "host/image.h"
#include "tests/filters/marbleloom/texture_harness.h"

using namespace qm;

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s PRESET INPUT OUTPUT.png\n", argv[0]);
        return 2;
    }
    const fw::ValueSlots slots = marbleloom::test::presetSlots(argv[1]);
    host::Image image;
    std::string error;
    if (!host::loadImage(argv[2], image, error) || image.colour != host::ColourSpace::RGB || image.depth != 8) {
        std::fprintf(stderr, "%s: %s\n", argv[2], error.empty() ? "not 8-bit RGB" : error.c_str());
        return 1;
    }
    marbleloom::test::TextureRun run(image.width, image.height, image.channels());
    std::copy(image.pixels.begin(), image.pixels.end(), run.in.begin());
    if (!run.open()) return 1;
    const auto start = std::chrono::steady_clock::now();
    if (run.renderSlots(slots) != noErr) return 1;
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    std::copy(run.out.begin(), run.out.end(), image.pixels.begin());
    if (!host::saveImage(argv[3], image, error)) {
        std::fprintf(stderr, "%s: %s\n", argv[3], error.c_str());
        return 1;
    }
    std::printf("%dx%d, F %d, %.0f ms\n", image.width, image.height, run.session.imageSizeFactor, ms);
    return 0;
}
