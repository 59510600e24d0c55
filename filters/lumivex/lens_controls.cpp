#include "filters/lumivex/lens_controls.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "filters/lumivex/height_buffers.h"
#include "framework/controls/control_manager.h"
#include "framework/controls/engraving.h"
#include "framework/controls/skin_drawing.h"
#include "framework/controls/ui_slider.h"

namespace qm::lumivex {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kBoxInset = 4;   // the ring is drawn over a box 8 pixels larger
constexpr int kRingBox = 58;   // half-size 29
constexpr int kTextGap = 6;

double knobAngle(KnobPoint k) {
    return std::atan2(static_cast<double>(50 * (k.x - 25)), static_cast<double>(50 * (k.y - 25)));
}

}  // namespace

AngleRing::AngleRing(fw::ControlManager& m, std::string_view label, ui::Point topLeft, std::string_view name)
    : UiElement(m, label), origin_(topLeft), name_(name), thumb_(fw::loadSkin(m.module(), fw::kThumbSkinId)) {
    command = fw::kSettingChangedCommand;
}

bool AngleRing::ringColour(int column, int row, KnobPoint knob, uint8_t& red, uint8_t& green, uint8_t& blue) {
    const double u = column / 29.0 - 1, v = row / 29.0 - 1;
    const double r = std::sqrt(u * u + v * v);
    if (!(r > 0.77 && r < 0.93)) return false;
    const double a = knobAngle(knob);
    const double du = u - std::sin(a), dv = v - std::cos(a);
    const double d = dv * dv + du * du;
    const double F = std::max(0.0, 1 - 200 * (d * d * d));
    const double H = (0.8500000000000001 - r) * 12.499999999999998;
    const int I = std::clamp(static_cast<int>((F + H * H * (1 - F)) * 255), 0, 255);
    red = static_cast<uint8_t>((I * 114 + 28815) / 255);
    green = static_cast<uint8_t>((I * 145 + 18360) / 255);
    blue = static_cast<uint8_t>((I * 136 + 17085) / 255);
    return true;
}

std::string AngleRing::angleText(KnobPoint knob) {
    const double beta = knobAngle(knob);
    char text[8];
    std::snprintf(text, sizeof text, "%.2i", static_cast<int>((1 - beta / kPi) * 30));
    return text;
}

int32_t AngleRing::getValue() {
    // Stored and rendered angles always lie on the circle.
    const KnobPoint k = dragging_ ? snapToRing(knob_) : ringValue(knob_);
    return (k.x & 0x7F) | (k.y & 0x7F) << 7;
}

void AngleRing::setValue(int32_t value) {
    const KnobPoint raw{std::clamp(value & 0x7F, 0, kSide), std::clamp(value >> 7 & 0x7F, 0, kSide)};
    knob_ = ringValue(raw);
}

void AngleRing::changed() {
    manager().redrawElement(*this);
    postCommand();
}

int AngleRing::handleMouse(ui::Window&, uint32_t message, ui::WParam wParam, ui::LParam lParam) {
    if (!visible || !enabled) return 0;
    const ui::Point p = ui::pointOfParam(lParam);
    const bool inside = box().contains(p);
    switch (message) {
    case ui::kWmLButtonDown: {
        const int dx = p.x - (origin_.x + knob_.x), dy = p.y - (origin_.y + knob_.y);
        if (!inside || std::abs(dx) > kGrab || std::abs(dy) > kGrab) return 0;
        dragging_ = true;
        pressKnob_ = knob_;
        pressMouse_ = p;
        return 1;
    }
    case ui::kWmMouseMove:
        if (inside) manager().showStatus(*this, 1);
        if (!dragging_) {
            if (!inside) manager().showStatus(*this, 0);
            return 0;
        }
        if ((wParam & 0xFFFF) != ui::kMkLButton) {
            dragging_ = false;
            knob_ = snapToRing(knob_);
            changed();
            return 0;
        }
        {
            const KnobPoint moved{std::clamp(pressKnob_.x + p.x - pressMouse_.x, 0, kSide),
                                  std::clamp(pressKnob_.y + p.y - pressMouse_.y, 0, kSide)};
            if (moved == knob_) return 1;
            knob_ = moved;
            changed();
        }
        return 1;
    case ui::kWmLButtonUp:
        if (!dragging_) return 0;
        dragging_ = false;
        knob_ = snapToRing(knob_);
        changed();
        return 1;
    case ui::kWmLButtonDblClk:
        if (!inside) return 0;
        dragging_ = false;
        knob_ = KnobPoint{25, 0};
        changed();
        return 1;
    default:
        return 0;
    }
}

void AngleRing::draw(ui::Surface& target) {
    const ui::Rect ring = ui::Rect::ofSize(origin_.x - kBoxInset, origin_.y - kBoxInset, kRingBox, kRingBox);
    const std::string text = angleText(knob_);
    const ui::Rect textBox = ui::Rect::ofSize(ring.right + kTextGap, origin_.y + 19, 14, 13);
    const ui::Rect nameBox = ui::Rect::ofSize(ring.left, ring.top - 15, kRingBox, 13);
    ui::Surface& off = manager().offscreen();
    const fw::Skin& background = manager().background();
    if (!visible) {
        manager().eraseToBackground(target, ring.united(textBox).united(nameBox));
        return;
    }
    fw::tile(background, off, ring.left, ring.top, ring.right, ring.bottom);
    fw::tile(background, off, textBox.left, textBox.top, textBox.right, textBox.bottom);
    fw::tile(background, off, nameBox.left, nameBox.top, nameBox.right, nameBox.bottom);
    for (int row = 0; row < kRingBox; ++row)
        for (int column = 0; column < kRingBox; ++column) {
            uint8_t r = 0, g = 0, b = 0;
            if (ringColour(column, row, knob_, r, g, b)) off.setPixel(ring.left + column, ring.top + row, ui::rgb(r, g, b));
        }
    if (thumb_.image())
        fw::drawTransparent(thumb_, off, origin_.x + knob_.x - thumb_.width() / 2,
                            origin_.y + knob_.y - thumb_.height() / 2, 0, 0);
    off.drawText(textBox.left, textBox.top, text);
    if (!name_.empty()) off.drawText(nameBox.left + (kRingBox - off.textExtent(name_).width) / 2, nameBox.top, name_);
    manager().copyOut(target, ring);
    manager().copyOut(target, textBox);
    manager().copyOut(target, nameBox);
}

MaskThumbnail::MaskThumbnail(fw::ControlManager& m, ui::Point topLeft, std::span<const uint8_t> pixels)
    : UiElement(m, ""), origin_(topLeft), pixels_(pixels) {}

void MaskThumbnail::draw(ui::Surface& target) {
    const ui::Rect area = ui::Rect::ofSize(origin_.x, origin_.y, kThumbnailSide, kThumbnailSide);
    ui::Surface& off = manager().offscreen();
    if (!visible) {
        manager().eraseToBackground(target, area);
        return;
    }
    for (int y = 0; y < kThumbnailSide; ++y)
        for (int x = 0; x < kThumbnailSide; ++x) {
            const size_t i = (static_cast<size_t>(y) * kThumbnailSide + static_cast<size_t>(x)) * 3;
            if (i + 2 < pixels_.size())
                off.setPixel(area.left + x, area.top + y, ui::rgb(pixels_[i + 2], pixels_[i + 1], pixels_[i]));
        }
    fw::bevelFrame(off, area.left + 2, area.top + 2, area.right - 2, area.bottom - 2);
    manager().copyOut(target, area);
}

}  // namespace qm::lumivex
