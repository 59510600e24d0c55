#include "filters/marbleloom/pattern_controls.h"

#include <algorithm>

#include "framework/controls/control_manager.h"
#include "framework/controls/engraving.h"
#include "platform/ui/messages.h"

namespace qm::marbleloom {
namespace {

constexpr ui::Colour kNameInk = ui::rgb(70, 58, 49);
constexpr ui::Colour kPressedRing = ui::rgb(224, 136, 40);
constexpr ui::Colour kGridFloor = ui::rgb(96, 88, 80);
constexpr int kThumbInset = 2;

// Floor division: thumbnail windows may start left of or above the pattern.
int64_t floorDiv(int64_t a, int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

}  // namespace

void drawThumbPixels(ui::Surface& off, ui::Point at, const ThumbPixels& px) {
    for (int y = 0; y < kDisplayThumbSide; ++y)
        for (int x = 0; x < kDisplayThumbSide; ++x) {
            const uint8_t* p = px.data() + (static_cast<size_t>(y) * kDisplayThumbSide + static_cast<size_t>(x)) * 3;
            off.setPixel(at.x + x, at.y + y, ui::rgb(p[2], p[1], p[0]));
        }
}

// ---- a layer's pattern -------------------------------------------------------

PatternThumbnail::PatternThumbnail(fw::ControlManager& m, ui::Point topLeft, ui::Point nameAt,
                                   const PatternLibrary& library, int selectorCommand)
    : UiElement(m, "Pattern Selector"), origin_(topLeft), nameAt_(nameAt), library_(library) {
    command = selectorCommand;
}

int PatternThumbnail::entryIndex() const { return std::max(library_.findIdentity(identity_), 0); }

int PatternThumbnail::handleMouse(ui::Window&, uint32_t message, ui::WParam, ui::LParam lParam) {
    if (!visible) return 0;
    const bool inside = rect().contains(ui::pointOfParam(lParam));
    if (!inside) {
        if (pressed_) {
            pressed_ = false;
            manager().redrawElement(*this);
        }
        return 0;
    }
    switch (message) {
    case ui::kWmMouseMove:
        manager().showStatus(*this, 1);
        return 0;
    case ui::kWmLButtonDown:
        pressed_ = true;
        manager().redrawElement(*this);
        return 1;
    case ui::kWmLButtonUp:
        if (!pressed_) return 0;
        pressed_ = false;
        manager().redrawElement(*this);
        postCommand();
        return 1;
    default:
        return 0;
    }
}

void PatternThumbnail::draw(ui::Surface& target) {
    const ui::Rect nameBox = ui::Rect::ofSize(nameAt_.x, nameAt_.y, kNameWidth, kNameHeight);
    if (!visible) {
        manager().eraseToBackground(target, rect());
        manager().eraseToBackground(target, nameBox);
        return;
    }
    ui::Surface& off = manager().offscreen();
    manager().eraseToBackground(off, rect());
    manager().eraseToBackground(off, nameBox);
    if (library_.count() > 0) {
        const PatternEntry& e = library_.entry(entryIndex());
        ThumbPixels px;
        std::copy(e.thumbnail.begin(), e.thumbnail.end(), px.begin());
        drawThumbPixels(off, origin_, px);
        if (pressed_) off.frame(rect(), kPressedRing);
        std::string name = e.header.nameText();
        while (!name.empty() && off.textExtent(name).width > kNameWidth) name.pop_back();
        off.setTextColour(kNameInk);
        off.drawText(nameAt_.x, nameAt_.y, name);
    }
    manager().copyOut(target, rect());
    manager().copyOut(target, nameBox);
}

// ---- the viewer ----------------------------------------------------------------

PatternGrid::PatternGrid(fw::ControlManager& m, const ui::Rect& area, const ui::Rect& infoStrip, ui::Point hintAt,
                         PatternLibrary& library)
    : UiElement(m, ""), area_(area), info_(infoStrip), hintAt_(hintAt), library_(library) {
    const int side = PatternLibrary::kColumns * PatternLibrary::kCell + 2 * kThumbInset;
    origin_ = {area.left + (area.width() - side) / 2, area.bottom - side};
    visible = false;
}

bool PatternGrid::setPage(int page) {
    const int limited = library_.clampPage(page);
    if (limited == page_) return false;
    page_ = limited;
    return true;
}

int PatternGrid::positionAt(ui::Point p) const {
    const int x = p.x + area_.left - origin_.x, y = p.y + area_.top - origin_.y;
    if (x < 0 || y < 0) return -1;
    return library_.hitTest(x, y, page_);
}

int PatternGrid::handleMouse(ui::Window& window, uint32_t message, ui::WParam, ui::LParam lParam) {
    if (!visible) return 0;
    const ui::Point p = ui::pointOfParam(lParam);
    if (!area_.contains(p)) return 0;
    const ui::Point relative{p.x - area_.left, p.y - area_.top};
    auto post = [&](int what) {
        window.post(ui::kWmPrivate, static_cast<ui::WParam>(what), ui::makePointParam(relative.x, relative.y));
    };
    switch (message) {
    case ui::kWmMouseMove:
        if (manager().paintContext()) drawInfo(*manager().paintContext(), positionAt(relative));
        if (++moves_ % kHintEvery == 0 && manager().paintContext()) drawHint(*manager().paintContext());
        return 1;
    case ui::kWmLButtonUp:
        post(kLeftUp);
        return 1;
    case ui::kWmRButtonDown:
        post(kRightDown);
        return 1;
    default:
        return 1;
    }
}

void PatternGrid::drawInfo(ui::Surface& target, int position) {
    if (position == shownInfo_) return;
    shownInfo_ = position;
    ui::Surface& off = manager().offscreen();
    manager().eraseToBackground(off, info_);
    if (position >= 0) {
        const InfoLine line = infoLine(library_.entry(library_.orderAt(position)));
        off.setTextColour(kNameInk);
        off.drawText(info_.left + InfoLine::kSizeX, info_.top, line.size);
        off.drawText(info_.left + InfoLine::kNameX, info_.top, line.name);
        off.drawText(info_.left + InfoLine::dateX(off.textExtent(line.month).width), info_.top, line.date);
        off.drawText(info_.left + InfoLine::kIdX, info_.top, line.id);
    }
    manager().copyOut(target, info_);
}

void PatternGrid::drawHint(ui::Surface& target) {
    ui::Surface& off = manager().offscreen();
    const ui::Size extent = off.textExtent(kHint);
    const ui::Rect r = ui::Rect::ofSize(hintAt_.x, hintAt_.y, extent.width, extent.height);
    manager().eraseToBackground(off, r);
    off.setTextColour(kNameInk);
    off.drawText(hintAt_.x, hintAt_.y, kHint);
    manager().copyOut(target, r);
}

void PatternGrid::draw(ui::Surface& target) {
    if (!visible) {
        manager().eraseToBackground(target, area_);
        return;
    }
    ui::Surface& off = manager().offscreen();
    manager().eraseToBackground(off, area_);
    const int side = PatternLibrary::kColumns * PatternLibrary::kCell + 2 * kThumbInset;
    off.fill(ui::Rect::ofSize(origin_.x, origin_.y, side, side), kGridFloor);
    page_ = library_.clampPage(page_);
    for (int cell = 0; cell < PatternLibrary::kPageEntries; ++cell) {
        const int position = page_ * PatternLibrary::kPageEntries + cell;
        if (position >= library_.count()) break;
        const PatternEntry& e = library_.entry(library_.orderAt(position));
        if (!e.shown) continue;
        ThumbPixels px;
        std::copy(e.thumbnail.begin(), e.thumbnail.end(), px.begin());
        const int x = origin_.x + kThumbInset + (cell % PatternLibrary::kColumns) * PatternLibrary::kCell + 1;
        const int y = origin_.y + kThumbInset + (cell / PatternLibrary::kColumns) * PatternLibrary::kCell + 1;
        drawThumbPixels(off, {x, y}, px);
    }
    shownInfo_ = -2;
    manager().copyOut(target, area_);
}

// ---- the editor's thumbnail -------------------------------------------------

ThumbPixels editorThumbnail(const PixelView& pattern, int scaling, int shiftX, int shiftY) {
    ThumbPixels out{};
    constexpr int kInside = kDisplayThumbSide - 4;
    for (int y = 0; y < kDisplayThumbSide; ++y)
        for (int x = 0; x < kDisplayThumbSide; ++x) {
            const int ring = std::min({x, y, kDisplayThumbSide - 1 - x, kDisplayThumbSide - 1 - y});
            if (ring >= 2) continue;
            uint8_t* p = out.data() + (static_cast<size_t>(y) * kDisplayThumbSide + static_cast<size_t>(x)) * 3;
            std::fill(p, p + 3, ring == 0 ? uint8_t{0} : uint8_t{255});
        }
    const int w = std::max(pattern.width, 1), h = std::max(pattern.height, 1);
    const int64_t longer = std::max(w, h);
    const int64_t step = ((longer * 1024 / 30) * (100 - scaling) + int64_t{scaling} * 1024) / 100;
    const int64_t startX = ((int64_t{w} * 1024 - kInside * step) / 1024) / 2 + int64_t{w} * (shiftX - 22) / 44;
    const int64_t startY = ((int64_t{h} * 1024 - kInside * step) / 1024) / 2 + int64_t{h} * (shiftY - 22) / 44;
    for (int y = 0; y < kInside; ++y)
        for (int x = 0; x < kInside; ++x) {
            // Positions in 1/1024 pixel, sampled in 1/64.
            const int64_t column = floorDiv(startX * 1024 + x * step, 16);
            const int64_t row = floorDiv(startY * 1024 + y * step, 16);
            const Rgb c = samplePattern(pattern, row, column);
            uint8_t* p = out.data() + (static_cast<size_t>(y + 2) * kDisplayThumbSide + static_cast<size_t>(x + 2)) * 3;
            p[0] = c.b;
            p[1] = c.g;
            p[2] = static_cast<uint8_t>(c.r & 0xFE);
        }
    return out;
}

EditorThumbnail::EditorThumbnail(fw::ControlManager& m, ui::Point topLeft)
    : UiElement(m, "Thumbnail Preview"), origin_(topLeft) {}

void EditorThumbnail::draw(ui::Surface& target) {
    const ui::Rect area = ui::Rect::ofSize(origin_.x, origin_.y, kDisplayThumbSide, kDisplayThumbSide);
    if (!visible) {
        manager().eraseToBackground(target, area);
        return;
    }
    drawThumbPixels(manager().offscreen(), origin_, pixels);
    manager().copyOut(target, area);
}

}  // namespace qm::marbleloom
