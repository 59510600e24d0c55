// Every skin enlarged on the background texture, for judging them by eye.
#pragma once

#include <vector>

#include "platform/ui/surface.h"
#include "tools/skins/artwork.h"

namespace qm::skins {

ui::Surface contactSheet(const std::vector<SkinPicture>& skins, const CursorPicture& cursor, int zoom);

}  // namespace qm::skins
