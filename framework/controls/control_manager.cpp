#include "framework/controls/control_manager.h"

#include <algorithm>

#include "framework/controls/interface_resources.h"
#include "framework/controls/skin_drawing.h"
#include "framework/controls/status_text.h"
#include "platform/os/clock.h"
#include "platform/ui/messages.h"

namespace qm::fw {

void ControlManager::setUpDialog(ui::Window& window, const ui::Rect& statusRect) {
    window_ = &window;
    interfaceResources(module_);
    statusRect_ = statusRect.isEmpty() ? ui::Rect{} : statusRect;
    createSurface(window);
    background_ = loadSkin(module_, kBackgroundSkinId);
}

void ControlManager::createSurface(ui::Window& window) {
    const ui::Rect outer = window.windowRect();
    const ui::Point corner = window.screenToClient({outer.right, outer.bottom});
    offscreen_ = ui::Surface(std::max(corner.x, 0), std::max(corner.y, 0), ui::kBlack);
    offscreen_.selectFont(interfaceResources(module_).normalFont);
    offscreen_.setBackgroundMode(ui::BackgroundMode::Transparent);
}

ui::Surface& ControlManager::windowContext(ui::Window& window) const {
    ui::Surface& s = window.surface();
    s.selectFont(interfaceResources(module_).normalFont);
    s.setBackgroundMode(ui::BackgroundMode::Transparent);
    return s;
}

void ControlManager::beginPaint() {
    if (!window_ || paint_) return;
    os::sleepMilliseconds(kPaintDelayMs);
    paint_.emplace(*window_);
    paintContext_ = &windowContext(*window_);
    if (onRepaint) onRepaint();
}

void ControlManager::paintAll() {
    if (!paint_) return;
    const ui::Rect update = paint_->updateRect();
    tile(background_, *paintContext_, update.left, update.top, update.right, update.bottom);
    for (UiElement* e : elements_)
        if (e->visible) e->draw(*paintContext_);
}

void ControlManager::endPaint() {
    paintContext_ = nullptr;
    paint_.reset();
}

int ControlManager::dispatchMouse(ui::Window& window, uint32_t message, ui::WParam wParam,
                                  ui::LParam lParam) {
    if (!ui::isMouseMessage(message) || elements_.empty()) return 0;
    // A dispatch inside a paint leaves the paint's context as it found it.
    ui::Surface* outer = paintContext_;
    paintContext_ = &windowContext(window);
    int consumed = 0;
    // By index: a handler may create controls, which can grow the table.
    for (size_t i = 0; i < elements_.size() && !consumed; ++i)
        if (elements_[i]->enabled && elements_[i]->handleMouse(window, message, wParam, lParam))
            consumed = 1;
    paintContext_ = outer;
    return consumed;
}

void ControlManager::redrawElement(UiElement& element) {
    if (element.frozen) return;
    if (paintContext_)
        element.draw(*paintContext_);
    else if (window_)
        element.draw(windowContext(*window_));
    if (!element.visible) element.frozen = true;
}

void ControlManager::showStatus(UiElement& element, int part) {
    if (part == element.statusShown || element.label().empty()) return;
    element.statusShown = part;
    if (statusRect_.isEmpty()) return;
    const ui::Rect& r = statusRect_;
    tile(background_, offscreen_, r.left, r.top, r.right, r.bottom);
    offscreen_.setTextColour(ui::kBlack);
    const std::string_view text = statusText(element.label(), part);
    if (!text.empty()) offscreen_.drawText(r.left, r.top, text);
    if (paintContext_)
        copyOut(*paintContext_, r);
    else if (window_)
        copyOut(window_->surface(), r);
}

void ControlManager::copyOut(ui::Surface& target, const ui::Rect& r) const {
    target.blit(r.left, r.top, r.width(), r.height(), offscreen_, r.left, r.top);
}

void ControlManager::eraseToBackground(ui::Surface& target, const ui::Rect& r) {
    tile(background_, offscreen_, r.left, r.top, r.right, r.bottom);
    copyOut(target, r);
}

void ControlManager::tearDown() {
    endPaint();
    background_.reset();
    offscreen_ = ui::Surface();
    elements_.clear();
    owned_.clear();
    session = nullptr;
    window_ = nullptr;
}

}  // namespace qm::fw
