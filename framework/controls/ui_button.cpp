#include "framework/controls/ui_button.h"

#include "framework/controls/control_manager.h"
#include "framework/controls/skin_drawing.h"

namespace qm::fw {

UiButton::UiButton(ControlManager& manager, std::string_view label, const ui::Rect& rect,
                   uint32_t normalId, uint32_t pressedId, int commandCode)
    : UiElement(manager, label), normalId_(normalId), position_{rect.left, rect.top}, rect_(rect) {
    if (normalId != 0) normal_ = loadSkin(manager.module(), normalId);
    if (pressedId != 0 && pressedId != normalId) pressed_ = loadSkin(manager.module(), pressedId);
    if (normalId != 0) {
        rect_.right = rect.left + normal_.width();
        rect_.bottom = rect.top + normal_.height();
        offsetPress_ = pressedId == normalId;
        if (offsetPress_) {
            ++rect_.right;
            ++rect_.bottom;
        }
    }
    command = commandCode;
}

bool UiButton::inside(ui::Point p) const {
    return position_.x < p.x && p.x < rect_.right && position_.y < p.y && p.y < rect_.bottom;
}

void UiButton::setCaption(std::string_view text, const ui::Rect& rect) {
    caption_ = text;
    captionRect_ = rect;
}

void UiButton::setState(int s) {
    const bool lookChanges = (s == kPressed) != (state_ == kPressed);
    state_ = s;
    if (lookChanges) manager().redrawElement(*this);
}

int UiButton::handleMouse(ui::Window&, uint32_t message, ui::WParam, ui::LParam lParam) {
    if (!visible || !enabled) return 0;
    const bool in = inside(ui::pointOfParam(lParam));
    switch (message) {
    case ui::kWmMouseMove:
        if (!in && state_ == kPressed) setState(kIdle);  // leaving cancels the click
        manager().showStatus(*this, in ? 1 : 0);
        return 0;
    case ui::kWmLButtonDown:
        if (in) setState(kPressed);
        return 0;
    case ui::kWmLButtonUp:
        // A release outside cancels even when no move told us the pointer left.
        if (state_ == kPressed && in) {
            setState(kReleased);
            postCommand();
            return 1;
        }
        setState(kIdle);
        return 0;
    default:
        return 0;
    }
}

void UiButton::draw(ui::Surface& target) {
    if (!hasSkin()) return;  // a hover area has nothing of its own to show
    ui::Surface& off = manager().offscreen();
    const Skin& background = manager().background();
    tile(background, off, rect_.left, rect_.top, rect_.right, rect_.bottom);
    if (visible) {
        const int x = position_.x, y = position_.y;
        if (state_ != kPressed)
            drawTransparent(normal_, off, x, y, 0, 0);
        else if (offsetPress_)
            drawTransparent(normal_, off, x, y, 1, 1);
        else
            drawTransparent(pressed_.width() > 0 ? pressed_ : normal_, off, x, y, 0, 0);
    }
    manager().copyOut(target, rect_);
    if (!caption_.empty()) {
        const ui::Rect& c = captionRect_;
        tile(background, off, c.left, c.top, c.right, c.bottom);
        if (visible) {
            off.setTextColour(ui::kBlack);
            off.drawText(c.left, c.top, caption_);
        }
        manager().copyOut(target, c);
    }
}

}  // namespace qm::fw
