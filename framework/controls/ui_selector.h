// A small multi-state control drawn from a strip of skin frames: an on/off
// switch ("Preview", "Mask"), a radio entry ("Scale Selector"), a stepping
// selector (shapes, orientations, rotations) or, in grid mode, a picker that
// opens a pop-up with every state.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "framework/controls/skin.h"
#include "framework/controls/ui_element.h"
#include "platform/ui/geometry.h"

namespace qm::fw {

constexpr uint32_t kSelectorStripId = 128;

// Style bits.
constexpr uint32_t kSelectorVertical = 0x01;     // frames read from a vertical strip
constexpr uint32_t kSelectorGrid = 0x02;         // 26 x 26 cells four to a row; a state picker
constexpr uint32_t kSelectorWide = 0x04;         // frames 26 pixels wide
constexpr uint32_t kSelectorTransparent = 0x08;  // white shows the background
constexpr uint32_t kSelectorInert = 0x10;        // only holds a raw value
constexpr uint32_t kSelectorRadio = 0x40;        // never above 2: a click turns it on, not off

// The caption offset word of the dialogs: high half - 0x8000 is dx, low half
// - 0x8000 is dy; the caption goes to (left + dx, top - dy).
constexpr uint32_t captionOffset(int dx, int dy) {
    return (static_cast<uint32_t>(dx + 0x8000) << 16) | (static_cast<uint32_t>(dy + 0x8000) & 0xFFFFu);
}

class UiSelector : public UiElement {
public:
    // Two-phase states: 0 off, 1 off and pressed, 2 on, 3 on and pressed.
    static constexpr int kOff = 0;
    static constexpr int kOn = 2;

    // The rectangle's top-left corner places the frame; the rectangle itself
    // is erased too when the selector is hidden. The strip is bitmap 128
    // unless a dialog brings frames of its own.
    UiSelector(ControlManager& manager, std::string_view label, const ui::Rect& rect,
               uint32_t captionPosition, std::string_view caption, int command, uint32_t style,
               uint32_t stripId = kSelectorStripId);

    int handleMouse(ui::Window& window, uint32_t message, ui::WParam wParam, ui::LParam lParam) override;
    void draw(ui::Surface& target) override;
    // The state counted from the minimum (the raw state when inert).
    int32_t getValue() override;
    // Limited to [minimum, maximum] (raw when inert).
    void setValue(int32_t value) override;

    uint32_t style() const { return style_; }
    const ui::Rect& rect() const { return rect_; }
    ui::Point captionAt() const { return {rect_.left + captionDx_, rect_.top - captionDy_}; }
    const std::string& caption() const { return caption_; }

    // Where the grid's state picker opens for this selector of `window`:
    // its window rectangle in screen coordinates, kept on the screen.
    ui::Rect pickerRect(const ui::Window& window) const;

    int state = 0;
    int minimum = 0;
    int maximum = 3;
    // A press shows the odd in-between state; the release completes it.
    bool twoPhase = true;
    // Selectors of one manager sharing a nonzero group are exclusive: one
    // that a click leaves above its minimum puts the others to theirs.
    int group = 0;

private:
    ui::Size frameSize() const;
    // Limits a stepped state: radio entries stop at 2, then the range wraps.
    int normalised(int s) const;
    // Frame `index` of the strip with its top-left at (x, y); false when the
    // strip holds no such frame.
    bool drawFrame(ui::Surface& target, int x, int y, int index) const;
    ui::Rect captionBox() const;
    // Runs the state picker; the state clicked, if any.
    std::optional<int> pickState(ui::Window& window);
    // A click finished: redraw, tell the group and the dialog.
    void changed();

    uint32_t style_ = 0;
    Skin strip_;
    ui::Rect rect_;
    ui::Rect eraseRect_;
    int captionDx_ = 0, captionDy_ = 0;
    std::string caption_;
    // The state before the press that is still waiting for its release.
    std::optional<int> beforePress_;
};

}  // namespace qm::fw
