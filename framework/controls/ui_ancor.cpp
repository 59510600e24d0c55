#include "framework/controls/ui_ancor.h"

#include "framework/controls/control_manager.h"
#include "framework/controls/interface_resources.h"
#include "framework/controls/skin_drawing.h"
#include "platform/ui/cursor.h"
#include "platform/ui/messages.h"

namespace qm::fw {

UiAncor::UiAncor(ControlManager& m, ui::Point position, std::string_view text)
    : UiElement(m, kLabel), text_(text), rect_{position.x, position.y, position.x, position.y} {
    command = kCommand;
}

int UiAncor::handleMouse(ui::Window&, uint32_t message, ui::WParam, ui::LParam lParam) {
    if (!visible) return 0;
    if (!rect_.contains(ui::pointOfParam(lParam))) {
        if (message == ui::kWmMouseMove) manager().showStatus(*this, 0);
        return 0;
    }
    switch (message) {
    case ui::kWmMouseMove:
        manager().showStatus(*this, 1);
        // Again on every move: the window shows its class cursor first.
        ui::setCursor(interfaceResources(manager().module()).linkCursor);
        return 1;
    case ui::kWmLButtonDown:
        if (!visited) {
            visited = true;
            manager().redrawElement(*this);  // purple at once
        }
        postCommand();
        return 1;
    default:
        return 0;
    }
}

void UiAncor::draw(ui::Surface& target) {
    if (!visible) {
        manager().eraseToBackground(target, rect_);
        return;
    }
    ui::Surface& off = manager().offscreen();
    // Composed off-screen over the background, so a redraw never thickens the
    // glyphs' smoothed edges.
    const std::shared_ptr<const ui::Font> previous = off.font();
    off.selectFont(interfaceResources(manager().module()).underlinedFont);
    const ui::Size extent = off.textExtent(text_);
    rect_.right = rect_.left + extent.width;
    rect_.bottom = rect_.top + extent.height;
    tile(manager().background(), off, rect_.left, rect_.top, rect_.right, rect_.bottom);
    off.setTextColour(visited ? kVisitedColour : kLinkColour);
    off.drawText(rect_.left, rect_.top, text_);
    off.setTextColour(ui::kBlack);
    off.selectFont(previous);
    manager().copyOut(target, rect_);
}

}  // namespace qm::fw
