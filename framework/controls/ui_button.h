// The skinned push button of the dialogs (apply, cancel, undo, help, the
// preset dialog's buttons) and, without a skin, a hover area that only shows
// its status text (the performance meter).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "framework/controls/skin.h"
#include "framework/controls/ui_element.h"
#include "platform/ui/geometry.h"

namespace qm::fw {

class UiButton : public UiElement {
public:
    enum State { kIdle = 0, kPressed = 1, kReleased = 3 };

    // The skin is drawn at the rectangle's top-left corner; with a normal skin
    // the rectangle takes the skin's size. Id 0 is no skin. Equal ids press
    // by drawing the normal skin one pixel right and down (offset press),
    // which grows the rectangle by that pixel.
    UiButton(ControlManager& manager, std::string_view label, const ui::Rect& rect, uint32_t normalId,
             uint32_t pressedId, int command);

    int handleMouse(ui::Window& window, uint32_t message, ui::WParam wParam, ui::LParam lParam) override;
    void draw(ui::Surface& target) override;

    // Text written at `rect`'s top-left corner over its own tiled rectangle.
    void setCaption(std::string_view text, const ui::Rect& rect);

    int state() const { return state_; }
    ui::Point position() const { return position_; }
    const ui::Rect& rect() const { return rect_; }
    bool offsetPress() const { return offsetPress_; }
    bool hasSkin() const { return normalId_ != 0; }

private:
    // Strictly inside: the left column and top row do not count.
    bool inside(ui::Point p) const;
    void setState(int s);

    uint32_t normalId_ = 0;
    Skin normal_, pressed_;
    ui::Point position_;
    ui::Rect rect_;
    bool offsetPress_ = false;
    int state_ = kIdle;
    std::string caption_;
    ui::Rect captionRect_;
};

}  // namespace qm::fw
