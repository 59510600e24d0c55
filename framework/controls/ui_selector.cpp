#include "framework/controls/ui_selector.h"

#include <algorithm>

#include "framework/controls/control_manager.h"
#include "framework/controls/interface_resources.h"
#include "framework/controls/number_text.h"
#include "framework/controls/skin_drawing.h"
#include "platform/ui/dialog.h"

namespace qm::fw {
namespace {

constexpr int kCell = 26;
constexpr int kGridColumns = 4;
// The state picker: its width, and the pitch and offsets of its cells.
constexpr int kPickerWidth = 198;
constexpr int kPickerColumnPitch = 44;
constexpr int kPickerRowPitch = 36;
// The pop-up's template style: a popup with a border and a modal frame.
constexpr uint32_t kPickerStyle = ui::kStylePopup | ui::kStyleBorder | ui::kStyleModalFrame;

std::string twoDigits(int n) { return numberText("%.2i", n); }

ui::Size textSize(const ControlManager& manager, std::string_view text) {
    const auto& font = interfaceResources(manager.module()).normalFont;
    return font && !text.empty() ? font->extent(text) : ui::Size{};
}

}  // namespace

UiSelector::UiSelector(ControlManager& manager, std::string_view label, const ui::Rect& rect,
                       uint32_t captionPosition, std::string_view caption, int commandCode, uint32_t style,
                       uint32_t stripId)
    : UiElement(manager, label), style_(style) {
    command = commandCode;
    if (style_ & kSelectorInert) return;
    const ui::Size frame = frameSize();
    rect_ = ui::Rect::ofSize(rect.left, rect.top, frame.width, frame.height);
    strip_ = loadSkin(manager.module(), stripId);
    captionDx_ = static_cast<int>((captionPosition >> 16) & 0xFFFFu) - 0x8000;
    captionDy_ = static_cast<int>(captionPosition & 0xFFFFu) - 0x8000;
    caption_ = caption;
    // Hiding erases the caption as well, not only the rectangle given here.
    eraseRect_ = rect.united(rect_).united(captionBox());
}

ui::Size UiSelector::frameSize() const {
    if (style_ & kSelectorGrid) return {kCell, kCell};
    return {(style_ & kSelectorWide) ? 26 : 13, 13};
}

ui::Rect UiSelector::captionBox() const {
    const ui::Size s = textSize(manager(), caption_);
    return ui::Rect::ofSize(rect_.left + captionDx_, rect_.top - captionDy_, s.width, s.height);
}

int UiSelector::normalised(int s) const {
    if ((style_ & kSelectorRadio) && s > 2) s = 2;
    if (s > maximum) return minimum;
    if (s < minimum) return maximum;
    return s;
}

int32_t UiSelector::getValue() {
    if (style_ & kSelectorInert) return state;
    return static_cast<int32_t>(static_cast<int64_t>(state) - minimum);
}

void UiSelector::setValue(int32_t value) {
    if (style_ & kSelectorInert) {
        state = value;
        return;
    }
    // In 64 bits: a damaged value must not overflow on its way to the limit.
    const int64_t s = static_cast<int64_t>(value) + minimum;
    state = static_cast<int>(std::max<int64_t>(minimum, std::min<int64_t>(s, maximum)));
}

bool UiSelector::drawFrame(ui::Surface& target, int x, int y, int index) const {
    const ui::Surface* image = strip_.image();
    if (!image || index < 0) return false;
    const ui::Size f = frameSize();
    int64_t sx = 0, sy = 0;  // in the strip as a horizontal one
    if (style_ & kSelectorGrid) {
        sx = static_cast<int64_t>(index % kGridColumns) * kCell;
        sy = static_cast<int64_t>(index / kGridColumns) * kCell;
    } else {
        sx = static_cast<int64_t>(index) * f.width;
    }
    // A vertical strip is the horizontal one transposed: rows are read as columns.
    const bool vertical = (style_ & kSelectorVertical) != 0;
    const int64_t needWidth = vertical ? sy + f.height : sx + f.width;
    const int64_t needHeight = vertical ? sx + f.width : sy + f.height;
    if (needWidth > image->width() || needHeight > image->height()) return false;
    const bool transparent = (style_ & kSelectorTransparent) != 0;
    for (int v = 0; v < f.height; ++v)
        for (int u = 0; u < f.width; ++u) {
            const int px = static_cast<int>(vertical ? sy + v : sx + u);
            const int py = static_cast<int>(vertical ? sx + u : sy + v);
            const ui::Colour c = image->pixel(px, py);
            if (!(transparent && c == kTransparentColour)) target.setPixel(x + u, y + v, c);
        }
    return true;
}

void UiSelector::draw(ui::Surface& target) {
    if (style_ & kSelectorInert) return;
    ui::Surface& off = manager().offscreen();
    const Skin& background = manager().background();
    if (!visible) {
        const ui::Rect& e = eraseRect_;
        tile(background, off, e.left, e.top, e.right, e.bottom);
        manager().copyOut(target, e);
        return;
    }
    off.setTextColour(ui::kBlack);
    ui::Rect area = rect_;
    std::string number;
    if (!strip_.image()) {
        number = twoDigits(state);
        area = area.united(ui::Rect::ofSize(rect_.left, rect_.top, textSize(manager(), number).width,
                                            rect_.height()));
    }
    const ui::Rect caption = captionBox();
    // Both erased before either is drawn, in case they overlap. A state
    // without a frame then shows the background, not the previous frame.
    tile(background, off, area.left, area.top, area.right, area.bottom);
    tile(background, off, caption.left, caption.top, caption.right, caption.bottom);
    if (number.empty())
        drawFrame(off, rect_.left, rect_.top, state);
    else
        off.drawText(rect_.left, rect_.top, number);
    // Composed off-screen like the frame, so redrawing never thickens the text.
    if (!caption_.empty()) off.drawText(caption.left, caption.top, caption_);
    manager().copyOut(target, area);
    manager().copyOut(target, caption);
}

void UiSelector::changed() {
    manager().redrawElement(*this);
    if (group != 0 && state != minimum) {
        for (size_t i = 0; i < manager().count(); ++i) {
            auto* other = dynamic_cast<UiSelector*>(&manager().element(i));
            if (!other || other == this || other->group != group || other->state == other->minimum) continue;
            other->state = other->minimum;
            other->beforePress_.reset();
            manager().redrawElement(*other);
        }
    }
    postCommand();
}

int UiSelector::handleMouse(ui::Window& window, uint32_t message, ui::WParam, ui::LParam lParam) {
    if ((style_ & kSelectorInert) || !visible || !enabled) return 0;
    if (!rect_.contains(ui::pointOfParam(lParam))) {
        if (message == ui::kWmMouseMove) manager().showStatus(*this, 0);
        // Leaving while pressed takes the press back. The state it came from
        // is known; the step back by one is only for an odd state set from
        // outside, since a right press may have wrapped.
        if (twoPhase && (state & 1)) {
            state = beforePress_ ? *beforePress_ : state - 1;
            beforePress_.reset();
            manager().redrawElement(*this);
        }
        return 0;
    }
    const bool left = message == ui::kWmLButtonDown || message == ui::kWmLButtonUp;
    switch (message) {
    case ui::kWmMouseMove:
        manager().showStatus(*this, 1);
        return 0;
    case ui::kWmLButtonDown:
    case ui::kWmRButtonDown: {
        if (style_ & kSelectorGrid) {
            if (!left) {
                if (command != 0 && manager().window())
                    manager().window()->post(ui::kWmPrivate, static_cast<ui::WParam>(command + 1), 0);
                return 0;
            }
            const std::optional<int> chosen = pickState(window);
            if (!chosen) return 0;
            state = normalised(std::min(*chosen, maximum));
            changed();
            return 1;
        }
        // A press whose release never came is forgotten first.
        if (beforePress_) {
            state = *beforePress_;
            beforePress_.reset();
        }
        const int before = state;
        state = normalised(state + (left ? 1 : -1));
        if (!twoPhase) {
            changed();
            return 1;
        }
        if (state & 1) beforePress_ = before;
        manager().redrawElement(*this);
        return 1;
    }
    case ui::kWmLButtonUp:
    case ui::kWmRButtonUp:
        if ((style_ & kSelectorGrid) || !twoPhase || !(state & 1)) return 0;
        state = normalised(state + ((left || (style_ & kSelectorRadio)) ? 1 : -1));
        beforePress_.reset();
        changed();
        return 1;
    default:
        return 0;
    }
}

ui::Rect UiSelector::pickerRect(const ui::Window& window) const {
    const int height = std::max(maximum, 0) / kGridColumns * kPickerRowPitch + 50;
    const ui::Point corner = window.clientToScreen({rect_.left, rect_.top});
    const int below = window.clientToScreen({rect_.left, rect_.bottom}).y;
    const int above = corner.y - height;
    const ui::Size screen = ui::screenSize();
    // Above when the dialog has room for it there, else below; the other
    // side when the chosen one leaves the screen and the other does not.
    int y = rect_.top > height ? above : below;
    if (y == below && below + height > screen.height && above >= 0) y = above;
    else if (y == above && above < 0 && below + height <= screen.height) y = below;
    y = std::max(0, std::min(y, screen.height - height));
    const int x = std::max(0, std::min(corner.x - 1, screen.width - kPickerWidth));
    return ui::Rect::ofSize(x, y, kPickerWidth, height);
}

std::optional<int> UiSelector::pickState(ui::Window& window) {
    const ui::Rect place = pickerRect(window);
    const ui::FrameInsets f = ui::frameInsetsOf(kPickerStyle);
    ui::DialogTemplate popup;
    popup.pixels = true;
    popup.style = kPickerStyle;
    popup.size = {place.width() - f.left - f.right, place.height() - f.top - f.bottom};

    auto paint = [this](ui::Surface& s) {
        tile(manager().background(), s, 0, 0, s.width(), s.height());
        s.selectFont(interfaceResources(manager().module()).normalFont);
        s.setBackgroundMode(ui::BackgroundMode::Transparent);
        s.setTextColour(ui::kBlack);
        for (int i = 0; i <= maximum; ++i) {
            const int column = i % kGridColumns, row = i / kGridColumns;
            drawFrame(s, kPickerColumnPitch * column + 18, kPickerRowPitch * row + 10, i);
            s.drawText(kPickerColumnPitch * column + 4, kPickerRowPitch * row + 12, twoDigits(i + 1));
        }
    };
    std::optional<ui::Point> click;
    ui::runModalDialog(popup, &window, [&](ui::Window& w, uint32_t m, ui::WParam wp, ui::LParam lp) -> intptr_t {
        switch (m) {
        case ui::kWmInitDialog:
            w.setRect(place);
            return 0;
        case ui::kWmPaint: {
            ui::PaintScope scope(w);
            paint(w.surface());
            return 1;
        }
        case ui::kWmLButtonUp:
            click = ui::pointOfParam(lp);
            ui::endDialog(w, 1);
            return 1;
        case ui::kWmRButtonDown:
            ui::endDialog(w, 0);
            return 1;
        case ui::kWmCommand:
            if (ui::commandIdOf(wp) == ui::kIdOkCommand || ui::commandIdOf(wp) == ui::kIdCancelCommand) {
                ui::endDialog(w, 0);
                return 1;
            }
            return 0;
        default:
            return 0;
        }
    });
    if (!click) return std::nullopt;
    // Right of the last column is still the last column, not the next row.
    const int column = std::clamp((click->x - 9) / kPickerColumnPitch, 0, kGridColumns - 1);
    const int row = std::max(0, (click->y - 5) / kPickerRowPitch);
    return column + row * kGridColumns;
}

}  // namespace qm::fw
