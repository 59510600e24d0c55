// The two controls only Lumivex's dialog has: the refraction-angle ring and
// the mask thumbnail.
#pragma once

#include <cstdint>
#include <span>

#include "filters/lumivex/lens_settings.h"
#include "framework/controls/skin.h"
#include "framework/controls/ui_element.h"
#include "platform/ui/geometry.h"

namespace qm::lumivex {

// A 50 x 50 box with a knob on a ring. The knob is dragged freely inside the
// box and snaps onto the circle on release; its value (x | y << 7) is always
// a point on the circle. A double-click sets (25, 0).
class AngleRing : public fw::UiElement {
public:
    static constexpr int kSide = 50;
    static constexpr int kGrab = 14;  // the knob is taken this close to its centre

    AngleRing(fw::ControlManager& manager, std::string_view label, ui::Point topLeft, std::string_view name);

    int handleMouse(ui::Window& window, uint32_t message, ui::WParam wParam, ui::LParam lParam) override;
    void draw(ui::Surface& target) override;
    int valueBits() override { return 14; }
    int32_t getValue() override;
    void setValue(int32_t value) override;

    KnobPoint knob() const { return knob_; }
    // "%0.2i" of the knob's angle, 0..59 around the circle.
    static std::string angleText(KnobPoint knob);
    // The ring's colour at pixel (column, row) of its 58 x 58 box, for a knob
    // at `knob`; false outside the ring.
    static bool ringColour(int column, int row, KnobPoint knob, uint8_t& red, uint8_t& green, uint8_t& blue);

private:
    ui::Rect box() const { return ui::Rect::ofSize(origin_.x, origin_.y, kSide, kSide); }
    void changed();

    ui::Point origin_;
    std::string name_;
    fw::Skin thumb_;
    KnobPoint knob_;
    bool dragging_ = false;
    KnobPoint pressKnob_;
    ui::Point pressMouse_;
};

// The 160 x 160 picture of the mask that the first pass of a preview render
// writes; drawn with a frame, no mouse input.
class MaskThumbnail : public fw::UiElement {
public:
    MaskThumbnail(fw::ControlManager& manager, ui::Point topLeft, std::span<const uint8_t> pixels);

    int handleMouse(ui::Window&, uint32_t, ui::WParam, ui::LParam) override { return 0; }
    void draw(ui::Surface& target) override;

private:
    ui::Point origin_;
    std::span<const uint8_t> pixels_;  // B, G, R, 160 a row
};

}  // namespace qm::lumivex
