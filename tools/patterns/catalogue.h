// The factory patterns: four databases of 48, 40, 30 and 40 pictures.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/patterns/procedural.h"

namespace qm::patterns {

struct PatternSpec {
    std::string name;
    int size = 128;
    uint8_t scaleMin = 32;
    uint8_t scaleMax = 50;
    PixelFn picture;
};

struct DatabaseSpec {
    std::string fileName;
    std::vector<PatternSpec> patterns;
};

std::vector<DatabaseSpec> factoryDatabases();

}  // namespace qm::patterns
