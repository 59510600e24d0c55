// What every dialog of the library shares and keeps while the library is
// loaded: the control fonts and the link cursor.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/os/resources.h"
#include "platform/ui/cursor.h"
#include "platform/ui/font.h"

namespace qm::fw {

constexpr uint32_t kLinkCursorId = 120;

struct InterfaceResources {
    // The 13-pixel interface font, plain and underlined.
    std::shared_ptr<const ui::Font> normalFont;
    std::shared_ptr<const ui::Font> underlinedFont;
    // Cursor resource 120; the arrow when the module has none.
    std::shared_ptr<const ui::Cursor> linkCursor;
};

// Made from `module` on the first call; later calls answer the same.
const InterfaceResources& interfaceResources(const os::ResourceModule& module);

}  // namespace qm::fw
