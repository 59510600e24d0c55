// The pictures: one warm, paper-and-enamel style for every skin. Controls
// sit on a quiet paper texture; buttons are small raised tiles with dark
// ink glyphs; what is "on" glows amber.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/ui/surface.h"

namespace qm::skins {

struct SkinPicture {
    uint32_t id;
    std::string file;     // under resources/common/
    std::string purpose;
    ui::Surface pixels;   // white is transparent where the skin is drawn so
};

// Every skin bitmap, in id order.
std::vector<SkinPicture> drawSkins();

struct CursorPicture {
    ui::Surface pixels;
    std::vector<bool> opaque;
    ui::Point hotSpot;
};
// The link cursor (resource 120): a pointing hand.
CursorPicture drawLinkCursor();

}  // namespace qm::skins
