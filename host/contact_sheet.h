// One picture of several results side by side, each with a caption: what
// the demo writes beside its results.
#pragma once

#include <string>
#include <vector>

#include "host/image.h"

namespace qm::host {

struct SheetEntry {
    std::string caption;  // drawn in capitals; letters, digits and common marks
    const Image* image;
};

// An 8-bit RGB image: the entries in rows of `columns`, each reduced (box
// filter) to fit cellWidth x cellWidth pixels, captioned below.
Image contactSheet(const std::vector<SheetEntry>& entries, int columns, int cellWidth);

}  // namespace qm::host
