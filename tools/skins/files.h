// The files the skins are kept in: 24-bit BMP, and a .cur whose hot spot
// the pointer's tip is.
#pragma once

#include <string>
#include <vector>

#include "platform/ui/geometry.h"
#include "platform/ui/surface.h"

namespace qm::skins {

bool writeBmp(const ui::Surface& s, const std::string& path);
// `opaque(x, y)` says which pixels show; the others let the screen through.
bool writeCursor(const ui::Surface& s, const std::vector<bool>& opaque, ui::Point hotSpot,
                 const std::string& path);

}  // namespace qm::skins
