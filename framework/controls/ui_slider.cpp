#include "framework/controls/ui_slider.h"

#include <algorithm>

#include "framework/controls/control_manager.h"
#include "framework/controls/engraving.h"
#include "framework/controls/interface_resources.h"
#include "framework/controls/number_text.h"
#include "framework/controls/skin_drawing.h"

namespace qm::fw {

using namespace slider_style;

namespace {

ui::Point unpackTextPosition(uint32_t word) {
    return {static_cast<int>(word >> 16) - 0x8000, static_cast<int>(word & 0xFFFFu) - 0x8000};
}

int decimalDigits(int n) { return static_cast<int>(std::to_string(n).size()); }

// Where a text goes and the area it is erased in and copied from.
struct PlacedText {
    std::string text;
    ui::Point at;
    ui::Rect area;
};

}  // namespace

struct UiSlider::Layout {
    PlacedText texts[2];
    ui::Rect name;
};

UiSlider::UiSlider(ControlManager& manager, std::string_view label, ui::Rect track, uint32_t style,
                   uint32_t valueTextPosition, std::string_view name, uint32_t nameTextPosition)
    : UiElement(manager, label),
      track_(track),
      style_(style),
      thumb_(loadSkin(manager.module(), kThumbSkinId)),
      valueText_(unpackTextPosition(valueTextPosition)),
      nameText_(unpackTextPosition(nameTextPosition)),
      name_(name) {
    command = kSettingChangedCommand;

    if (pad()) {
        track_.right = track_.left + 50;
        track_.bottom = track_.top + 50;
    } else {
        // Too short to drag along: the track has no extent on that axis.
        if (track_.width() < 10) track_.right = track_.left;
        if (track_.height() < 10) track_.bottom = track_.top;
    }
    orientation_ = (width() > 0 ? kHorizontal : 0) + (height() > 0 ? kVertical : 0);

    auto digits = [&](int extent) {
        if (style_ & (kCentred | kQuarterOrigin)) return decimalDigits(extent / 2);
        return extent == 100 ? 2 : decimalDigits(extent);
    };
    digitsX_ = digits(width());
    digitsY_ = digits(height());

    const int w = thumb_.width(), h = thumb_.height();
    int beforeX = w / 2, afterX = w / 2 + 1, beforeY = h / 2, afterY = h / 2 + 1;
    if (pad() && w <= 12) {
        beforeX = 6;
        afterX = 7;
    }
    if (pad() && h <= 12) {
        beforeY = 6;
        afterY = 7;
    }
    box_ = {track_.left - beforeX, track_.top - beforeY, track_.right + afterX, track_.bottom + afterY};
    if (pad()) {
        box_.left -= 6 * digitsY_ + 1;
        box_.right += 6 * digitsX_ - 3;
        box_.top -= 11;
    }
    if (!(style_ & kFixedText)) {
        const ui::Point t = valueText_;
        if (t.x != 0 || t.y != 0)
            box_ = box_.united({track_.left + t.x + 1, track_.top - t.y + 2, track_.right + t.x + 18,
                                track_.bottom - t.y + 11});
        if (twoThumbs() && orientation_ != kVertical) box_.left -= 22;
    }
    // Texts that move with the thumbs are erased with the box: it holds
    // every place they can take, whatever the font's widths.
    if (!(style_ & kFixedText) || pad()) {
        const Layout l = layout();
        for (const PlacedText& t : l.texts) box_ = box_.united(t.area);
    }

    reset();
}

UiSlider::UiSlider(ControlManager& manager, std::string_view label, ui::Rect track, std::string_view name)
    : UiSlider(manager, label, track, kFixedText, textPosition(130, 22), name, textPosition(10, 22)) {}

bool UiSlider::twoThumbs() const { return (style_ & kTwoThumbs) && orientation_ != kTwoDimensional; }

int UiSlider::gap() const {
    return orientation_ == kVertical ? kVerticalGap + thumb_.height() + 1 : thumb_.width() + 1;
}

int UiSlider::limit(int value, int extent) const {
    if (extent <= 0) return 0;
    return std::clamp(value, std::clamp(minimum, 0, extent), extent);
}

UiSlider::Offsets UiSlider::limited(Offsets o) const {
    o.x = limit(o.x, width());
    o.y = limit(o.y, height());
    o.secondX = twoThumbs() && orientation_ != kVertical ? limit(o.secondX, width()) : 0;
    o.secondY = twoThumbs() && orientation_ == kVertical ? limit(o.secondY, height()) : 0;
    return o;
}

UiSlider::Offsets UiSlider::ordered(Offsets o) const {
    o = limited(o);
    if (!twoThumbs()) return o;
    const bool vertical = orientation_ == kVertical;
    const int extent = vertical ? height() : width();
    int& first = vertical ? o.y : o.x;
    int& second = vertical ? o.secondY : o.secondX;
    const int lowest = std::clamp(minimum, 0, extent);
    first = std::max(first, std::min(lowest + gap(), extent));
    // On a track shorter than the gap the two can only overlap.
    second = std::max(std::min(second, first - gap()), lowest);
    return o;
}

void UiSlider::store(const Offsets& o) {
    valueX_ = o.x;
    valueY_ = o.y;
    secondX_ = o.secondX;
    secondY_ = o.secondY;
}

void UiSlider::reset() {
    Offsets o;
    if (twoThumbs()) {
        // The first thumb at the far end, the second at the start.
        if (orientation_ == kVertical)
            o.y = height();
        else
            o.x = width();
    } else {
        if (style_ & kCentred) {
            o.x = width() / 2;
            o.y = height() / 2;
        } else if (style_ & kReversed) {
            o.x = width();
            o.y = height();
        }
        if (style_ & kQuarterOrigin) {
            o.x = width() / 4;
            o.y = height() / 4;
        }
    }
    store(ordered(o));
}

int UiSlider::valueBits() { return orientation_ == kTwoDimensional ? 16 : 8; }

int32_t UiSlider::getValue() {
    if (orientation_ == kTwoDimensional) return (valueX_ & 0x7F) | (valueY_ & 0x7F) << 7;
    if (orientation_ == kVertical)
        return twoThumbs() ? (valueY_ & 0x1FF) | (secondY_ & 0x1FF) << 9 : valueY_;
    return twoThumbs() ? (valueX_ & 0x1FF) | (secondX_ & 0x1FF) << 9 : valueX_;
}

int32_t UiSlider::valueRange() {
    if (orientation_ == kTwoDimensional) return (height() & 0xFF) << 8 | (width() & 0xFF);
    return orientation_ == kVertical ? height() : width();
}

void UiSlider::setValue(int32_t value) {
    Offsets o = offsets();
    if (orientation_ == kTwoDimensional) {
        o.x = value & 0x7F;
        o.y = (value >> 7) & 0x7F;
    } else if (orientation_ == kVertical) {
        o.y = twoThumbs() ? value & 0x1FF : value;
        o.secondY = (value >> 9) & 0x1FF;
    } else {
        o.x = twoThumbs() ? value & 0x1FF : value;
        o.secondX = (value >> 9) & 0x1FF;
    }
    // The thumbs' order waits for the next draw.
    store(limited(o));
}

ui::Point UiSlider::firstPoint() const { return {track_.left + valueX_, track_.top + valueY_}; }

ui::Point UiSlider::secondPoint() const {
    if (orientation_ == kVertical) return {track_.left + valueX_, track_.top + secondY_};
    return {track_.left + secondX_, track_.top + valueY_};
}

bool UiSlider::hits(ui::Point thumb, ui::Point mouse) const {
    const int halfW = thumb_.width() / 2, halfH = thumb_.height() / 2;
    return mouse.x >= thumb.x - halfW && mouse.x <= thumb.x + halfW && mouse.y >= thumb.y - halfH &&
           mouse.y <= thumb.y + halfH;
}

int UiSlider::partUnder(ui::Point mouse) const {
    if (hits(firstPoint(), mouse)) return 1;
    if (twoThumbs() && hits(secondPoint(), mouse)) return 2;
    return 0;
}

int UiSlider::handleMouse(ui::Window&, uint32_t message, ui::WParam wParam, ui::LParam lParam) {
    if (!visible || !enabled) return 0;
    const ui::Point mouse = ui::pointOfParam(lParam);
    switch (message) {
        case ui::kWmLButtonDown:
            // The press starts a drag but leaves the message to others.
            if (const int part = partUnder(mouse)) drag_ = {part, offsets(), mouse};
            return 0;
        case ui::kWmMouseMove: {
            if (drag_.thumb == 0 || wParam != ui::kMkLButton) {
                // Any other button or key (Shift, Ctrl) ends a drag.
                drag_.thumb = 0;
                manager().showStatus(*this, partUnder(mouse));
                return 0;
            }
            const int dx = mouse.x - drag_.mouseAtPress.x, dy = mouse.y - drag_.mouseAtPress.y;
            Offsets o = offsets();
            if (drag_.thumb == 1) {
                o.x = drag_.atPress.x + dx;
                o.y = drag_.atPress.y + dy;
            } else {
                o.secondX = drag_.atPress.secondX + dx;
                o.secondY = drag_.atPress.secondY + dy;
            }
            o = limited(o);
            if (drag_.thumb == 2) {
                // The second thumb pushes the first one ahead of it; the
                // ordering below stops it a gap short of the far end.
                const bool vertical = orientation_ == kVertical;
                int& first = vertical ? o.y : o.x;
                const int second = vertical ? o.secondY : o.secondX;
                first = std::max(first, std::min(second + gap(), vertical ? height() : width()));
            }
            o = ordered(o);
            if (o == offsets()) return 0;
            store(o);
            manager().redrawElement(*this);
            manager().showStatus(*this, partUnder(mouse));
            postCommand();
            return 1;
        }
        case ui::kWmLButtonUp:
            drag_.thumb = 0;
            return 0;
        case ui::kWmLButtonDblClk:
            if ((style_ & kNoReset) || partUnder(mouse) == 0) return 0;
            reset();
            manager().redrawElement(*this);
            postCommand();
            return 1;
        default:
            return 0;
    }
}

int UiSlider::shownX(int offset) const {
    int n = offset;
    if (style_ & kCentred) n = offset - width() / 2;
    if (style_ & kQuarterOrigin) n = offset - width() / 4;
    if (style_ & kReversed) n = (style_ & (kCentred | kQuarterOrigin)) ? -n : width() - offset;
    return n;
}

int UiSlider::shownY(int offset) const {
    int n = offset;
    if (style_ & kCentred) n = offset - height() / 2;
    if (style_ & kReversed) n = (style_ & kCentred) ? -n : height() - offset;
    return n;
}

std::string UiSlider::format(int shown, int digits) const {
    if (digits == 3) return numberText("%.3i", shown);
    if (shown >= 0 && orientation_ != kTwoDimensional) return numberText(" %.2i", shown);
    return numberText("%.2i", shown);
}

std::string UiSlider::firstText() const { return format(shownX(valueX_), digitsX_); }

std::string UiSlider::verticalText() const { return format(shownY(valueY_), digitsY_); }

namespace {
std::string secondFormat(int offset, bool threeDigits) { return numberText(threeDigits ? "%.3i" : "%.2i", offset); }
}  // namespace

std::string UiSlider::secondText() const {
    const bool vertical = orientation_ == kVertical;
    const bool threeDigits = (vertical && !(style_ & kFixedText)) || (vertical ? height() : width()) >= 110;
    return secondFormat(vertical ? secondY_ : secondX_, threeDigits);
}

int UiSlider::textWidth(std::string_view text) const {
    const auto& font = interfaceResources(manager().module()).normalFont;
    return font ? font->extent(text).width : 6 * static_cast<int>(text.size());
}

int UiSlider::widestText(int extent, bool vertical) const {
    auto at = [&](int offset) {
        if (vertical) return textWidth(format(shownY(offset), digitsY_));
        return textWidth(format(shownX(offset), digitsX_));
    };
    return std::max(at(0), at(extent));
}

UiSlider::Layout UiSlider::layout() const {
    const auto& font = interfaceResources(manager().module()).normalFont;
    const int cell = font ? font->cellHeight() : 13;
    const ui::Rect& t = track_;
    const ui::Point v = valueText_;
    Layout l;
    if (!name_.empty())
        l.name = ui::Rect::ofSize(t.left + nameText_.x, t.top - nameText_.y, textWidth(name_), cell);

    auto cellOf = [&](ui::Point at, int textWidth) { return ui::Rect::ofSize(at.x, at.y, textWidth, cell); };
    const bool vertical = orientation_ == kVertical;
    const bool fixed = (style_ & kFixedText) != 0;

    if (pad()) {
        // x above the square, centred on the thumb; y left of it, level with the thumb.
        const int wx = widestText(width(), false), wy = widestText(height(), true);
        const std::string x = firstText(), y = verticalText();
        const int top = t.top - 17;
        l.texts[0] = {x, {t.left + valueX_ - textWidth(x) / 2, top},
                      {t.left - wx / 2, top, t.right + (wx - wx / 2), top + cell}};
        l.texts[1] = {y, {t.left - 7 - textWidth(y), t.top + valueY_ - 6},
                      {t.left - 7 - wy, t.top - 6, t.left - 7, t.bottom - 6 + cell}};
        return l;
    }

    if (!fixed) {
        // The numbers follow the thumbs.
        const int wSecond = textWidth(secondFormat(999, true));
        if (orientation_ == kTwoDimensional || !vertical) {
            const int w = widestText(width(), false);
            l.texts[0] = {firstText(), {t.left + valueX_ + v.x, t.top - v.y},
                          {t.left + v.x, t.top - v.y, t.right + v.x + w, t.top - v.y + cell}};
        }
        if (orientation_ == kTwoDimensional || vertical) {
            const int w = vertical && twoThumbs() ? std::max(widestText(height(), true), wSecond)
                                                  : widestText(height(), true);
            PlacedText& y = l.texts[orientation_ == kTwoDimensional ? 1 : 0];
            y = {verticalText(), {t.left + v.x, t.top + valueY_ - v.y},
                 {t.left + v.x, t.top - v.y, t.left + v.x + w, t.bottom - v.y + cell}};
        }
        if (twoThumbs()) {
            if (vertical) {
                l.texts[1] = {secondText(), {t.left + v.x, t.top + secondY_ - v.y}, l.texts[0].area};
            } else {
                const int left = t.left - v.x - 18;
                l.texts[1] = {secondText(), {t.left + secondX_ - v.x - 18, t.top - v.y},
                              {left, t.top - v.y, t.right - v.x - 18 + wSecond, t.top - v.y + cell}};
            }
        }
        return l;
    }

    // Fixed places: a box of 6 pixels a digit, grown to the text's real cell.
    auto box = [&](ui::Point at, int boxWidth, int textWidth) {
        return ui::Rect{at.x - 3, at.y + 2, at.x + boxWidth + 3, at.y + 11}.united(cellOf(at, textWidth));
    };
    const ui::Point first{t.left + v.x, t.top - v.y};
    const int digits = vertical ? digitsY_ : digitsX_;
    const int extent = vertical ? height() : width();
    int boxWidth = extent == 100 && !(style_ & (kCentred | kQuarterOrigin)) ? 18 : 6 * digits;
    if (twoThumbs()) boxWidth = 22;
    l.texts[0] = {vertical ? verticalText() : firstText(), first,
                  box(first, boxWidth, widestText(extent, vertical))};
    if (orientation_ == kTwoDimensional) {
        const ui::Point below{first.x, first.y + cell};
        l.texts[1] = {verticalText(), below, box(below, 6 * digitsY_, widestText(height(), true))};
    } else if (twoThumbs()) {
        const ui::Point at{t.left + secondTextX - 25, first.y + secondTextY};
        const ui::Rect area{at.x, at.y + 2, t.left + secondTextX - 5, at.y + 11};
        l.texts[1] = {secondText(), at, area.united(cellOf(at, textWidth(secondFormat(extent, extent >= 110))))};
    }
    return l;
}

void UiSlider::drawValueTexts(ui::Surface& off, const Layout& l) const {
    off.setTextColour(ui::kBlack);
    for (const PlacedText& t : l.texts)
        if (!t.text.empty()) off.drawText(t.at.x, t.at.y, t.text);
}

void UiSlider::draw(ui::Surface& target) {
    store(ordered(offsets()));
    ui::Surface& off = manager().offscreen();
    const Skin& background = manager().background();
    auto erase = [&](const ui::Rect& r) { tile(background, off, r.left, r.top, r.right, r.bottom); };
    const ui::Rect& t = track_;
    const bool overlay = (style_ & kOverlay) != 0;
    const Layout l = layout();

    if (!visible) {
        // Everything the slider ever drew goes, in one copy.
        ui::Rect r{t.left - 4, t.top - nameText_.y + 1, t.right + 5, t.bottom + 6};
        if (!overlay) r = r.united(box_);
        for (const PlacedText& p : l.texts) r = r.united(p.area);
        r = r.united(l.name);
        erase(r);
        manager().copyOut(target, r);
        return;
    }

    if (!overlay) erase(box_);
    for (const PlacedText& p : l.texts) erase(p.area);
    erase(l.name);

    if (pad()) {
        engravedLine(off, t.left, t.top, t.right + 1, t.top);
        engravedLine(off, t.left, t.bottom, t.right + 1, t.bottom);
        engravedLine(off, t.left, t.top, t.left, t.bottom + 1);
        engravedLine(off, t.right, t.top, t.right, t.bottom + 1);
    }
    if (style_ & kFixedText) {
        if (orientation_ == kTwoDimensional) {
            engravedLine(off, t.left, t.top + valueY_, t.right + 1, t.top + valueY_);
            engravedLine(off, t.left + valueX_, t.top, t.left + valueX_, t.bottom + 1);
        } else if (orientation_ == kVertical) {
            const int x = (style_ & kLineOnTrack) ? t.left : t.left + 1;
            engravedLine(off, x, t.top, x, t.bottom);
            if (style_ & kCentred) {
                off.setPixel(x - 2, t.top + height() / 2, kEngraveShadow);
                off.setPixel(x - 2, t.top + height() / 2 + 1, kEngraveShadow);
            }
        } else {
            if (!overlay) engravedLine(off, t.left, t.top, t.right, t.bottom);
            const int mark = (style_ & kQuarterOrigin) ? width() / 4 : (style_ & kCentred) ? width() / 2 : -1;
            if (mark >= 0) {
                off.setPixel(t.left + mark, t.top - 2, kEngraveShadow);
                off.setPixel(t.left + mark + 1, t.top - 2, kEngraveShadow);
            }
        }
    }
    drawValueTexts(off, l);

    if (!overlay) {
        const int dx = -thumb_.width() / 2, dy = -thumb_.height() / 2;
        const ui::Point first = firstPoint();
        drawTransparent(thumb_, off, first.x, first.y, dx, dy);
        if (twoThumbs()) {
            const ui::Point second = secondPoint();
            drawTransparent(thumb_, off, second.x, second.y, dx, dy);
        }
    }
    if (!name_.empty()) {
        off.setTextColour(ui::kBlack);
        off.drawText(l.name.left, l.name.top, name_);
    }

    if (!overlay) manager().copyOut(target, box_);
    if (!(style_ & kNoTextCopy))
        for (const PlacedText& p : l.texts) manager().copyOut(target, p.area);
    // The name is copied rather than written on the window again: blended
    // glyphs written twice grow darker at every redraw.
    manager().copyOut(target, l.name);
}

}  // namespace qm::fw
