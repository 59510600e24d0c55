#include "framework/controls/ui_colour_well.h"

#include <algorithm>

#include "framework/controls/control_manager.h"
#include "framework/controls/interface_resources.h"
#include "framework/controls/skin_drawing.h"
#include "framework/host/filter_session.h"
#include "platform/pluginapi/pluginapi.h"
#include "platform/ui/common_dialogs.h"
#include "platform/ui/dialog.h"

namespace qm::fw {
namespace {

constexpr ui::Colour kChecker = ui::rgb(192, 192, 192);
constexpr ui::Colour kFrame = ui::rgb(64, 52, 40);
constexpr ui::Colour kDisabledFrame = ui::rgb(160, 152, 140);
constexpr int kCheckerSquare = 4;
// The pop-up: a row a choice, the swatch at the left, the name beside it.
constexpr int kPopupWidth = 104;
constexpr int kPopupMargin = 5;
constexpr int kPopupTextX = 26;
constexpr uint32_t kPopupStyle = ui::kStylePopup | ui::kStyleBorder | ui::kStyleModalFrame;
constexpr const char* kRowNames[] = {"Foreground", "Background", "Picker", "Transparent"};

ui::Colour colourOf(const uint8_t* c) { return ui::rgb(c[0], c[1], c[2]); }

}  // namespace

ColourControl::ColourControl(ControlManager& m, std::string_view label, ui::Point topLeft,
                             std::string_view caption, ui::Point captionAt)
    : UiElement(m, label), rect_(ui::Rect::ofSize(topLeft.x, topLeft.y, kSide, kSide)), caption_(caption),
      captionAt_(captionAt) {
    command = 2000;
}

const FilterRecord* ColourControl::host() const {
    return manager().session ? manager().session->record : nullptr;
}

bool ColourControl::transparencyAllowed() const {
    return manager().session && manager().session->planes >= 4;
}

ui::Colour ColourControl::shownColour() const {
    const FilterRecord* fr = host();
    if (mode_ == kForeground) return fr ? colourOf(fr->foregroundColor) : ui::kBlack;
    if (mode_ == kBackground) return fr ? colourOf(fr->backColor) : ui::kWhite;
    return own_;
}

int32_t ColourControl::getValue() {
    return static_cast<int32_t>(static_cast<uint32_t>(mode_) << 24 | (shownColour() & 0xFFFFFF));
}

void ColourControl::setValue(int32_t value) {
    const uint32_t v = static_cast<uint32_t>(value);
    own_ = v & 0xFFFFFF;
    mode_ = static_cast<int>(std::min<uint32_t>(v >> 24, kTransparent));
}

std::optional<ui::Colour> ColourControl::pickColour(ui::Window* owner) const {
    const FilterRecord* fr = host();
    if (fr && fr->colorServices) {
        ColorServicesInfo info{};
        info.infoSize = sizeof info;
        info.selector = plugIncolorServicesChooseColor;
        info.sourceSpace = plugIncolorServicesRGBSpace;
        info.resultSpace = plugIncolorServicesRGBSpace;
        info.colorComponents[0] = static_cast<int16_t>(ui::redOf(own_));
        info.colorComponents[1] = static_cast<int16_t>(ui::greenOf(own_));
        info.colorComponents[2] = static_cast<int16_t>(ui::blueOf(own_));
        info.pickerPrompt = label().c_str();
        const OSErr answer = fr->colorServices(&info);
        auto component = [&](int i) { return std::clamp<int>(info.colorComponents[i], 0, 255); };
        if (answer == noErr) return ui::rgb(component(0), component(1), component(2));
        // Only a host without a picker of its own leaves the choice to us.
        if (answer != errPlugInHostInsufficient) return std::nullopt;
    }
    return ui::chooseColour(owner, own_);
}

bool ColourControl::choose(Choice choice, ui::Window* owner) {
    const int before = mode_;
    const ui::Colour ownBefore = own_;
    switch (choice) {
    case Choice::Foreground:
        mode_ = kForeground;
        break;
    case Choice::Background:
        mode_ = kBackground;
        break;
    case Choice::Picker:
        if (const auto picked = pickColour(owner)) {
            own_ = *picked & 0xFFFFFF;
            mode_ = kOwn;
        }
        break;
    case Choice::Transparent:
        if (transparencyAllowed()) mode_ = kTransparent;
        break;
    }
    return mode_ != before || own_ != ownBefore;
}

std::optional<ColourControl::Choice> ColourControl::rowAt(ui::Point p) const {
    if (p.x < 0 || p.x >= kPopupWidth || p.y < 0) return std::nullopt;
    const int row = (p.y - kPopupMargin + 4) / kRowPitch;
    if (p.y < kPopupMargin - 4 || row >= rowCount()) return std::nullopt;
    return static_cast<Choice>(row);
}

ui::Rect ColourControl::popupRect(const ui::Window& window) const {
    const ui::FrameInsets f = ui::frameInsetsOf(kPopupStyle);
    const int width = kPopupWidth + f.left + f.right;
    const int height = rowCount() * kRowPitch + 2 * kPopupMargin - (kRowPitch - kSide) + f.top + f.bottom;
    const ui::Point corner = window.clientToScreen({rect_.right + 3, rect_.top - kPopupMargin});
    const ui::Size screen = ui::screenSize();
    // Right of the swatch, or left of it where the screen ends.
    int x = corner.x;
    if (x + width > screen.width) x = window.clientToScreen({rect_.left - 3, 0}).x - width;
    x = std::clamp(x, 0, std::max(0, screen.width - width));
    const int y = std::clamp(corner.y, 0, std::max(0, screen.height - height));
    return ui::Rect::ofSize(x, y, width, height);
}

void ColourControl::drawSwatch(ui::Surface& s, ui::Rect r, int mode, bool active) const {
    const ui::Rect inside{r.left + 1, r.top + 1, r.right - 1, r.bottom - 1};
    if (mode == kTransparent && !transparencyAllowed()) {
        s.setTextColour(active ? ui::kBlack : kDisabledFrame);
        s.drawText(r.left - 1, r.top, "NA");
        return;
    }
    if (mode == kTransparent) {
        for (int y = inside.top; y < inside.bottom; ++y)
            for (int x = inside.left; x < inside.right; ++x) {
                const bool white = ((x - inside.left) / kCheckerSquare + (y - inside.top) / kCheckerSquare) % 2 == 0;
                s.setPixel(x, y, white ? ui::kWhite : kChecker);
            }
    } else {
        const FilterRecord* fr = host();
        const ui::Colour c = mode == kForeground ? (fr ? colourOf(fr->foregroundColor) : ui::kBlack)
                             : mode == kBackground ? (fr ? colourOf(fr->backColor) : ui::kWhite)
                                                   : own_;
        s.fill(inside, c & 0xFFFFFF);
    }
    s.frame(r, active ? kFrame : kDisabledFrame);
}

void ColourControl::draw(ui::Surface& target) {
    if (enabledWhen) enabled = enabledWhen();
    ui::Surface& off = manager().offscreen();
    ui::Rect area = rect_;
    ui::Rect captionBox;
    const auto& font = fw::interfaceResources(manager().module()).normalFont;
    if (!caption_.empty()) {
        const ui::Size size = font ? font->extent(caption_) : ui::Size{};
        captionBox = ui::Rect::ofSize(captionAt_.x, captionAt_.y, size.width, size.height);
        area = area.united(captionBox);
    }
    fw::tile(manager().background(), off, area.left, area.top, area.right, area.bottom);
    if (visible) {
        drawSwatch(off, rect_, mode_, enabled);
        if (!caption_.empty()) {
            off.setTextColour(enabled ? ui::kBlack : kDisabledFrame);
            off.drawText(captionBox.left, captionBox.top, caption_);
        }
        off.setTextColour(ui::kBlack);
    }
    manager().copyOut(target, area);
}

void ColourControl::paintPopup(ui::Surface& s) const {
    fw::tile(manager().background(), s, 0, 0, s.width(), s.height());
    s.selectFont(fw::interfaceResources(manager().module()).normalFont);
    s.setBackgroundMode(ui::BackgroundMode::Transparent);
    for (int row = 0; row < rowCount(); ++row) {
        const int y = kPopupMargin + row * kRowPitch;
        const int shows = row == static_cast<int>(Choice::Picker) ? kOwn : row;
        drawSwatch(s, ui::Rect::ofSize(kPopupMargin + 2, y, kSide, kSide), shows, true);
        s.setTextColour(ui::kBlack);
        s.drawText(kPopupTextX, y, kRowNames[row]);
    }
}

std::optional<ColourControl::Choice> ColourControl::runPopup(ui::Window& window) {
    const ui::Rect place = popupRect(window);
    const ui::FrameInsets f = ui::frameInsetsOf(kPopupStyle);
    ui::DialogTemplate popup;
    popup.pixels = true;
    popup.style = kPopupStyle;
    popup.size = {place.width() - f.left - f.right, place.height() - f.top - f.bottom};
    std::optional<Choice> chosen;
    ui::runModalDialog(popup, &window, [&](ui::Window& w, uint32_t m, ui::WParam wp, ui::LParam lp) -> intptr_t {
        const ui::Point p = ui::pointOfParam(lp);
        const bool inside = p.x >= 0 && p.y >= 0 && p.x < popup.size.width && p.y < popup.size.height;
        switch (m) {
        case ui::kWmInitDialog:
            w.setRect(place);
            // A click anywhere else closes it, so it takes every click.
            ui::setCapture(w);
            return 0;
        case ui::kWmPaint: {
            ui::PaintScope scope(w);
            paintPopup(w.surface());
            return 1;
        }
        case ui::kWmLButtonDown:
        case ui::kWmRButtonDown:
            if (!inside || m == ui::kWmRButtonDown) {
                ui::releaseCapture();
                ui::endDialog(w, 0);
            }
            return 1;
        case ui::kWmLButtonUp:
            // The release of the click that opened it lands outside.
            if (!inside) return 1;
            chosen = rowAt(p);
            if (!chosen) return 1;
            ui::releaseCapture();
            ui::endDialog(w, 1);
            return 1;
        case ui::kWmCommand:
            if (ui::commandIdOf(wp) == ui::kIdOkCommand || ui::commandIdOf(wp) == ui::kIdCancelCommand) {
                ui::releaseCapture();
                ui::endDialog(w, 0);
                return 1;
            }
            return 0;
        default:
            return 0;
        }
    });
    return chosen;
}

int ColourControl::handleMouse(ui::Window& window, uint32_t message, ui::WParam, ui::LParam lParam) {
    if (!visible || !enabled) return 0;
    const bool inside = rect_.contains(ui::pointOfParam(lParam));
    if (message == ui::kWmMouseMove) {
        manager().showStatus(*this, inside ? 1 : 0);
        return 0;
    }
    if (message != ui::kWmLButtonDown || !inside) return 0;
    const std::optional<Choice> choice = runPopup(window);
    if (choice && choose(*choice, &window)) {
        manager().redrawElement(*this);
        postCommand();
    }
    return 1;
}

}  // namespace qm::fw
