// Renders a picture with one of Plaitwork 2000's factory presets, for looking
// at presets that the host's repeat path never renders.
#include <cstdio>

#include "host/image.h"
#include "tests/filters/plaitwork/plaitwork_harness.h"

using namespace qm;

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: plaitwork_render PRESET INPUT OUTPUT\n");
        return 2;
    }
    host::Image image;
    std::string error;
    if (!host::loadImage(argv[2], image, error) || image.depth != 8 ||
        image.colour != host::ColourSpace::RGB) {
        std::fprintf(stderr, "%s: %s\n", argv[2], error.empty() ? "not an 8-bit RGB picture" : error.c_str());
        return 2;
    }
    if (plaitwork::test::presetRecord(argv[1]).empty()) {
        std::fprintf(stderr, "no preset %s\n", argv[1]);
        return 2;
    }
    plaitwork::test::Picture in{image.width, image.height, image.channels(), image.pixels}, out;
    if (plaitwork::test::renderFinal(in, plaitwork::test::presetSlots(argv[1]), out) != 0) {
        std::fprintf(stderr, "render failed\n");
        return 1;
    }
    image.pixels = out.pixels;
    if (!host::saveImage(argv[3], image, error)) {
        std::fprintf(stderr, "%s: %s\n", argv[3], error.c_str());
        return 1;
    }
    return 0;
}
