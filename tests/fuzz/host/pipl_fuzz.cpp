// A plug-in's PiPL as the host reads it, and its enable expression for every
// kind of image the host offers; the same bytes also as an expression.
#include <cstdint>
#include <string>

#include "host/pipl.h"

using namespace qm::host;

namespace {
constexpr ImageTraits kImages[] = {{1, 8}, {1, 16}, {3, 8}, {3, 16}, {4, 8}, {9, 8}, {11, 16}};
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Pipl pipl;
    std::string error;
    if (parsePipl({data, size}, pipl, error)) {
        for (const ImageTraits& image : kImages) (void)pluginEnabledFor(pipl, image);
        if (pipl.modes) (void)describeModes(*pipl.modes);
        (void)fourCCText(pipl.kind);
    }
    const std::string expression(reinterpret_cast<const char*>(data), size);
    for (const ImageTraits& image : kImages) (void)evaluateEnable(expression, image);
    return 0;
}
