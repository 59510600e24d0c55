#include "platform/ui/controls.h"

#include <algorithm>

#include "platform/ui/dialog.h"
#include "platform/ui/internal.h"
#include "platform/ui/queue.h"

namespace qm::ui {

namespace {

constexpr Colour kShadow = 0x808080;
constexpr Colour kDarkShadow = 0x404040;
constexpr Colour kHighlightEdge = kWhite;
constexpr Colour kSelection = rgb(10, 36, 106);
constexpr Colour kGreyText = 0x808080;
constexpr int kScrollWidth = 16;

void hline(Surface& s, int x0, int x1, int y, Colour c) { s.fill({x0, y, x1, y + 1}, c); }
void vline(Surface& s, int x, int y0, int y1, Colour c) { s.fill({x, y0, x + 1, y1}, c); }

// Draws text clipped to `area`.
void clippedText(Surface& s, const Rect& area, int x, int y, std::string_view text, const Font& f,
                 Colour c) {
    Rect clip = area.intersection(s.bounds());
    if (clip.isEmpty() || text.empty()) return;
    Surface tmp(clip.width(), clip.height());
    tmp.blit(0, 0, clip.width(), clip.height(), s, clip.left, clip.top);
    f.draw(tmp, x - clip.left, y - clip.top, text, c);
    s.blit(clip.left, clip.top, tmp);
}

char32_t foldCase(char32_t c) {
    if ((c >= U'A' && c <= U'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) return c + 32;
    return c;
}

bool sameTextIgnoringCase(std::string_view a, std::string_view b) {
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size())
        if (foldCase(nextCodePoint(a, i)) != foldCase(nextCodePoint(b, j))) return false;
    return i == a.size() && j == b.size();
}

size_t characters(std::string_view s) {
    size_t n = 0;
    for (size_t i = 0; i < s.size(); ++n) nextCodePoint(s, i);
    return n;
}

size_t previousBoundary(const std::string& s, size_t i) {
    if (i == 0) return 0;
    --i;
    while (i > 0 && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80) --i;
    return i;
}

size_t nextBoundary(const std::string& s, size_t i) {
    if (i >= s.size()) return s.size();
    size_t p = i;
    nextCodePoint(s, p);
    return p;
}

void notifyParent(Window& w, uint32_t code) {
    if (Window* p = w.parent())
        p->send(kWmCommand, makeCommandParam(w.id(), code), reinterpret_cast<LParam>(&w));
}

void drawArrow(Surface& s, const Rect& r, bool down) {
    const int cx = (r.left + r.right) / 2, cy = (r.top + r.bottom) / 2;
    for (int i = 0; i < 4; ++i) {
        const int y = down ? cy - 1 + i : cy + 2 - i;
        hline(s, cx - 3 + i, cx + 4 - i, y, kBlack);
    }
}

}  // namespace

struct ControlFactory {
    // Makes the part, hands it to the window and routes the window's messages to it.
    template <class T, class... A>
    static T* attach(Window& w, A&&... a) {
        T* part = new T(w, std::forward<A>(a)...);
        w.setPart(std::unique_ptr<WindowPart>(part));
        w.setProcedure([part](Window& win, uint32_t m, WParam wp, LParam lp) { return part->handle(win, m, wp, lp); });
        return part;
    }
};

bool keyHeld(uint32_t vk) {
    if (vk == kVkShift) return detail::state().shiftHeld;
    if (vk == kVkControl) return detail::state().controlHeld;
    return false;
}

void drawEdge(Surface& s, const Rect& r, Edge edge) {
    if (r.width() < 4 || r.height() < 4) return;
    // Outer and inner rings: top-left colour, bottom-right colour.
    const bool sunken = edge == Edge::Sunken;
    const Colour outerTopLeft = sunken ? kShadow : kHighlightEdge;
    const Colour outerBottomRight = sunken ? kHighlightEdge : kDarkShadow;
    const Colour innerTopLeft = sunken ? kDarkShadow : kDialogColour;
    const Colour innerBottomRight = sunken ? kDialogColour : kShadow;
    hline(s, r.left, r.right - 1, r.top, outerTopLeft);
    vline(s, r.left, r.top, r.bottom - 1, outerTopLeft);
    hline(s, r.left, r.right, r.bottom - 1, outerBottomRight);
    vline(s, r.right - 1, r.top, r.bottom, outerBottomRight);
    hline(s, r.left + 1, r.right - 2, r.top + 1, innerTopLeft);
    vline(s, r.left + 1, r.top + 1, r.bottom - 2, innerTopLeft);
    hline(s, r.left + 1, r.right - 1, r.bottom - 2, innerBottomRight);
    vline(s, r.right - 2, r.top + 1, r.bottom - 1, innerBottomRight);
}

// ---- TextField -----------------------------------------------------------------

void TextField::setText(std::string_view t) {
    text = t;
    caret = anchor = text.size();
    scroll = 0;
}

void TextField::selectAll() {
    anchor = 0;
    caret = text.size();
}

bool TextField::typeCharacter(char32_t c) {
    const size_t lo = std::min(anchor, caret), hi = std::max(anchor, caret);
    if (c == 0x08) {  // BackSpace arrives as a character
        if (lo != hi) {
            text.erase(lo, hi - lo);
            caret = anchor = lo;
            return true;
        }
        if (caret == 0) return false;
        const size_t p = previousBoundary(text, caret);
        text.erase(p, caret - p);
        caret = anchor = p;
        return true;
    }
    if (c == 0x01) {  // Ctrl+A
        selectAll();
        return false;
    }
    if (c < 0x20 || c == 0x7F) return false;
    if (limit && characters(text) - characters(std::string_view(text).substr(lo, hi - lo)) + 1 > limit)
        return false;
    std::string add;
    appendUtf8(add, c);
    text.replace(lo, hi - lo, add);
    caret = anchor = lo + add.size();
    return true;
}

bool TextField::key(uint32_t vk, bool shift, bool control) {
    const size_t lo = std::min(anchor, caret), hi = std::max(anchor, caret);
    switch (vk) {
    case kVkLeft:
        caret = (!shift && lo != hi) ? lo : previousBoundary(text, caret);
        break;
    case kVkRight:
        caret = (!shift && lo != hi) ? hi : nextBoundary(text, caret);
        break;
    case kVkHome:
        caret = 0;
        break;
    case kVkEnd:
        caret = text.size();
        break;
    case kVkDelete:
        if (lo != hi) {
            text.erase(lo, hi - lo);
            caret = anchor = lo;
            return true;
        }
        if (caret >= text.size()) return false;
        text.erase(caret, nextBoundary(text, caret) - caret);
        anchor = caret;
        return true;
    case 'A':
        if (control) selectAll();
        return false;
    default:
        return false;
    }
    if (!shift) anchor = caret;
    return false;
}

void TextField::clickAt(const Font& font, int x) {
    caret = anchor = font.hitTest(text, x + scroll);
}

void TextField::draw(Surface& s, const Rect& area, const Font& font, bool focused, bool enabled) {
    s.fill(area, enabled ? kWhite : kDialogColour);
    const int room = std::max(1, area.width() - 4);
    const int caretX = font.extent(std::string_view(text).substr(0, caret)).width;
    if (caretX - scroll > room) scroll = caretX - room;
    if (caretX < scroll) scroll = caretX;
    const int x0 = area.left + 2 - scroll;
    const int y = area.top + (area.height() - font.cellHeight()) / 2;
    const size_t lo = std::min(anchor, caret), hi = std::max(anchor, caret);
    const std::string_view all(text);
    const int loX = font.extent(all.substr(0, lo)).width, hiX = font.extent(all.substr(0, hi)).width;
    const Colour ink = enabled ? kBlack : kGreyText;
    if (focused && lo != hi) {
        s.fill(Rect{x0 + loX, y, x0 + hiX, y + font.cellHeight()}.intersection(area), kSelection);
        clippedText(s, area, x0, y, all.substr(0, lo), font, ink);
        clippedText(s, area, x0 + loX, y, all.substr(lo, hi - lo), font, kWhite);
        clippedText(s, area, x0 + hiX, y, all.substr(hi), font, ink);
    } else {
        clippedText(s, area, x0, y, all, font, ink);
        if (focused) s.fill(Rect::ofSize(x0 + caretX, y, 1, font.cellHeight()).intersection(area), kBlack);
    }
}

// ---- ComboBox ------------------------------------------------------------------

ComboBox::ComboBox(Window& w, bool editable, std::shared_ptr<const Font> font, int droppedHeight)
    : window_(&w), editable_(editable), font_(std::move(font)), droppedHeight_(droppedHeight) {}

ComboBox::~ComboBox() {
    if (list_ && captureWindow() == list_.get()) releaseCapture();
    list_.reset();  // while the rest of the combo box still exists
}

ComboBox* ComboBox::of(Window* w) { return isWindow(w) ? dynamic_cast<ComboBox*>(w->part()) : nullptr; }

int ComboBox::itemHeight() const { return font_->cellHeight() + 2; }
int ComboBox::fieldHeight() const { return itemHeight() + 6; }

void ComboBox::adjustRect(Rect& r) {
    droppedHeight_ = r.height();
    r.bottom = r.top + fieldHeight();
}

void ComboBox::reset() {
    showDropDown(false);
    items_.clear();
    selection_ = -1;
    hot_ = -1;
    top_ = 0;
    if (editable_) field_.setText({});
    window_->invalidate();
}

int ComboBox::add(std::string_view text) {
    items_.emplace_back(text);
    if (isDropped()) list_->invalidate();
    return count() - 1;
}

std::optional<std::string> ComboBox::text(int index) const {
    if (index < 0 || index >= count()) return std::nullopt;
    return items_[static_cast<size_t>(index)];
}

bool ComboBox::select(int index) {
    if (index < -1 || index >= count()) return false;
    selection_ = index;
    if (editable_) field_.setText(index >= 0 ? std::string_view(items_[static_cast<size_t>(index)]) : "");
    window_->invalidate();
    if (isDropped()) {
        hot_ = index;
        ensureVisible(index);
        list_->invalidate();
    }
    return true;
}

int ComboBox::findExact(std::string_view text, int after) const {
    const int n = count();
    if (n == 0) return -1;
    const int start = (after < 0 || after >= n) ? 0 : after + 1;
    for (int k = 0; k < n; ++k) {
        const int i = (start + k) % n;
        if (sameTextIgnoringCase(items_[static_cast<size_t>(i)], text)) return i;
    }
    return -1;
}

std::string ComboBox::editText() const {
    if (editable_) return field_.text;
    return selection_ >= 0 ? items_[static_cast<size_t>(selection_)] : std::string();
}

void ComboBox::setEditText(std::string_view text) {
    if (!editable_) return;
    field_.setText(text);
    window_->invalidate();
}

void ComboBox::selectEditText() {
    field_.selectAll();
    window_->invalidate();
}

void ComboBox::choose(int index) {
    if (index < 0 || index >= count()) return;
    select(index);
    notify(kCbnSelChange);
}

void ComboBox::notify(uint32_t code) { notifyParent(*window_, code); }

bool ComboBox::isDropped() const { return list_ && list_->isVisible(); }

int ComboBox::visibleRows() const {
    const int fromHeight = (droppedHeight_ - fieldHeight()) / itemHeight();
    return std::clamp(count(), 1, std::max(fromHeight, 8));
}

Rect ComboBox::scrollBarRect() const {
    if (!list_ || count() <= visibleRows()) return {};
    const Rect c = list_->clientRect();
    return {c.right - kScrollWidth, 0, c.right, c.bottom};
}

void ComboBox::ensureVisible(int index) {
    const int rows = visibleRows();
    if (index >= 0) {
        if (index < top_) top_ = index;
        if (index >= top_ + rows) top_ = index - rows + 1;
    }
    top_ = std::clamp(top_, 0, std::max(0, count() - rows));
}

void ComboBox::showDropDown(bool show) {
    if (show == isDropped()) return;
    if (!show) {
        if (captureWindow() == list_.get()) releaseCapture();
        draggingThumb_ = false;
        list_->show(false);
        window_->invalidate();
        return;
    }
    if (!list_) {
        WindowSpec shape;
        shape.style = kStylePopup | kStyleBorder;
        shape.owner = &window_->topLevel();
        shape.procedure = [this](Window& w, uint32_t m, WParam wp, LParam lp) { return handleList(w, m, wp, lp); };
        list_ = createWindow(std::move(shape));
        list_->surface().selectFont(font_);
    }
    const int rows = visibleRows();
    const Rect wr = window_->windowRect();
    const int h = rows * itemHeight() + 2;
    int top = wr.bottom;
    if (top + h > screenSize().height && wr.top - h >= 0) top = wr.top - h;  // no room below
    list_->setRect(Rect::ofSize(wr.left, top, wr.width(), h));
    hot_ = selection_;
    ensureVisible(hot_);
    list_->invalidate();
    list_->show();
    setFocus(window_);
    setCapture(*list_);
    window_->invalidate();
}

void ComboBox::paint() {
    PaintScope paint(*window_);
    Surface& s = window_->surface();
    const Rect r = window_->clientRect();
    const bool focused = focusWindow() == window_;
    const bool enabled = window_->acceptsInput();
    s.fill(r, kDialogColour);
    drawEdge(s, r, Edge::Sunken);
    const Rect inner = r.inflatedBy(-2, -2);
    const Rect button{inner.right - kScrollWidth, inner.top, inner.right, inner.bottom};
    const Rect textArea{inner.left, inner.top, button.left, inner.bottom};
    if (editable_) {
        field_.draw(s, textArea, *font_, focused && !isDropped(), enabled);
    } else {
        s.fill(textArea, enabled ? kWhite : kDialogColour);
        const std::string t = editText();
        const int y = textArea.top + (textArea.height() - font_->cellHeight()) / 2;
        Colour ink = enabled ? kBlack : kGreyText;
        if (focused && !isDropped()) {
            s.fill(textArea.inflatedBy(-1, -1), kSelection);
            ink = kWhite;
        }
        clippedText(s, textArea.inflatedBy(-1, 0), textArea.left + 2, y, t, *font_, ink);
    }
    s.fill(button, kDialogColour);
    if (isDropped()) s.frame(button, kShadow);
    else drawEdge(s, button, Edge::Raised);
    drawArrow(s, isDropped() ? button.offsetBy(1, 1) : button, true);
}

void ComboBox::paintList() {
    PaintScope paint(*list_);
    Surface& s = list_->surface();
    const Rect c = list_->clientRect();
    s.fill(c, kWhite);
    const Rect bar = scrollBarRect();
    const int right = bar.isEmpty() ? c.right : bar.left;
    const int ih = itemHeight();
    for (int i = 0; i < visibleRows(); ++i) {
        const int index = top_ + i;
        if (index >= count()) break;
        const Rect row{0, i * ih, right, (i + 1) * ih};
        Colour ink = kBlack;
        if (index == hot_) {
            s.fill(row, kSelection);
            ink = kWhite;
        }
        clippedText(s, row, row.left + 2, row.top + 1, items_[static_cast<size_t>(index)], *font_, ink);
    }
    if (!bar.isEmpty()) {
        s.fill(bar, 0xE0E0E0);
        const Rect up{bar.left, bar.top, bar.right, bar.top + kScrollWidth};
        const Rect down{bar.left, bar.bottom - kScrollWidth, bar.right, bar.bottom};
        for (const Rect& b : {up, down}) {
            s.fill(b, kDialogColour);
            drawEdge(s, b, Edge::Raised);
        }
        drawArrow(s, up, false);
        drawArrow(s, down, true);
        const int track = down.top - up.bottom;
        const int rows = visibleRows();
        const int thumb = std::max(8, track * rows / count());
        const int y = up.bottom + (track - thumb) * top_ / std::max(1, count() - rows);
        const Rect t{bar.left, y, bar.right, y + thumb};
        s.fill(t, kDialogColour);
        drawEdge(s, t, Edge::Raised);
    }
}

LResult ComboBox::handleList(Window& w, uint32_t m, WParam wp, LParam lp) {
    if (m == kWmPaint) {
        paintList();
        return 0;
    }
    if (!isMouseMessage(m)) return defaultProcedure(w, m, wp, lp);
    const Point p = pointOfParam(lp);
    const Rect c = w.clientRect();
    const Rect bar = scrollBarRect();
    const bool inside = c.contains(p);
    const int ih = itemHeight();
    const int rows = visibleRows();
    auto rowAt = [&](Point q) {
        const int i = top_ + q.y / ih;
        return (q.y >= 0 && i < count()) ? i : -1;
    };
    auto scrollTo = [&](int t) {
        const int before = top_;
        top_ = t;
        ensureVisible(-1);
        if (top_ != before) w.invalidate();
    };
    switch (m) {
    case kWmMouseMove:
        if (draggingThumb_ && !bar.isEmpty()) {
            const int track = bar.height() - 2 * kScrollWidth;
            const int thumb = std::max(8, track * rows / count());
            const int span = std::max(1, track - thumb);
            scrollTo(((p.y - dragOffset_ - kScrollWidth) * (count() - rows) + span / 2) / span);
        } else if (inside && (bar.isEmpty() || p.x < bar.left)) {
            const int i = rowAt(p);
            if (i != hot_ && i >= 0) {
                hot_ = i;
                w.invalidate();
            }
        }
        return 0;
    case kWmLButtonDown:
    case kWmLButtonDblClk:
        if (!inside) {
            showDropDown(false);
            return 0;
        }
        if (!bar.isEmpty() && bar.contains(p)) {
            const int track = bar.height() - 2 * kScrollWidth;
            const int thumb = std::max(8, track * rows / count());
            const int thumbTop = kScrollWidth + (track - thumb) * top_ / std::max(1, count() - rows);
            if (p.y < kScrollWidth) scrollTo(top_ - 1);
            else if (p.y >= bar.bottom - kScrollWidth) scrollTo(top_ + 1);
            else if (p.y < thumbTop) scrollTo(top_ - rows);
            else if (p.y >= thumbTop + thumb) scrollTo(top_ + rows);
            else {
                draggingThumb_ = true;
                dragOffset_ = p.y - thumbTop;
            }
            return 0;
        }
        if (int i = rowAt(p); i >= 0) {
            hot_ = i;
            w.invalidate();
        }
        return 0;
    case kWmLButtonUp:
        if (draggingThumb_) {
            draggingThumb_ = false;
            return 0;
        }
        if (inside && (bar.isEmpty() || p.x < bar.left)) {
            const int i = rowAt(p);
            if (i >= 0) {
                showDropDown(false);
                choose(i);
            }
        }
        return 0;
    case kWmRButtonDown:
        if (!inside) showDropDown(false);
        return 0;
    case kWmMouseWheel:
        scrollTo(top_ - highWordOf(wp) / kWheelDelta * 3);
        return 0;
    default:
        return 0;
    }
}

LResult ComboBox::handle(Window& w, uint32_t m, WParam wp, LParam lp) {
    switch (m) {
    case kWmPaint:
        paint();
        return 0;
    case kWmLButtonDown:
    case kWmLButtonDblClk: {
        setFocus(&w);
        const Point p = pointOfParam(lp);
        const Rect inner = w.clientRect().inflatedBy(-2, -2);
        if (editable_ && p.x < inner.right - kScrollWidth) {
            field_.clickAt(*font_, p.x - inner.left - 2);
            w.invalidate();
        } else {
            showDropDown(!isDropped());
        }
        return 0;
    }
    case kWmMouseWheel:
        if (!isDropped() && count() > 0) {
            const int next = std::clamp(selection_ - highWordOf(wp) / kWheelDelta, 0, count() - 1);
            if (next != selection_) choose(next);
        }
        return 0;
    case kWmKeyDown: {
        if (isDropped()) {
            switch (wp) {
            case kVkUp:
            case kVkDown:
                hot_ = std::clamp(hot_ + (wp == kVkUp ? -1 : 1), 0, std::max(0, count() - 1));
                ensureVisible(hot_);
                list_->invalidate();
                break;
            case kVkReturn: {
                const int i = hot_;
                showDropDown(false);
                if (i >= 0) choose(i);
                break;
            }
            case kVkEscape:
            case kVkF1 + 3:  // F4
                showDropDown(false);
                break;
            default:
                break;
            }
            return 0;
        }
        if (wp == kVkF1 + 3) {
            showDropDown(true);
            return 0;
        }
        if ((wp == kVkUp || wp == kVkDown || (!editable_ && (wp == kVkHome || wp == kVkEnd))) && count() > 0) {
            int next = selection_;
            if (wp == kVkUp) next = std::max(0, selection_ - 1);
            else if (wp == kVkDown) next = std::min(count() - 1, selection_ + 1);
            else if (wp == kVkHome) next = 0;
            else next = count() - 1;
            if (next != selection_) choose(next);
            return 0;
        }
        if (editable_) {
            if (field_.key(static_cast<uint32_t>(wp), keyHeld(kVkShift), keyHeld(kVkControl)))
                notify(kCbnEditChange);
            w.invalidate();
        }
        return 0;
    }
    case kWmChar:
        if (editable_) {
            if (field_.typeCharacter(static_cast<char32_t>(wp))) notify(kCbnEditChange);
            w.invalidate();
        } else if (wp >= 0x20 && count() > 0) {
            // A typed character picks the next entry starting with it.
            for (int k = 1; k <= count(); ++k) {
                const int i = (std::max(selection_, 0) + k) % count();
                const std::string& t = items_[static_cast<size_t>(i)];
                size_t at = 0;
                if (!t.empty() && foldCase(nextCodePoint(t, at)) == foldCase(static_cast<char32_t>(wp))) {
                    choose(i);
                    break;
                }
            }
        }
        return 0;
    case kWmSetFocus:
        w.invalidate();
        return 0;
    case kWmKillFocus:
        if (isDropped()) showDropDown(false);
        w.invalidate();
        return 0;
    default:
        return defaultProcedure(w, m, wp, lp);
    }
}

// ---- EditBox -------------------------------------------------------------------

EditBox::EditBox(Window& w, std::shared_ptr<const Font> font) : window_(&w), font_(std::move(font)) {}

EditBox* EditBox::of(Window* w) { return isWindow(w) ? dynamic_cast<EditBox*>(w->part()) : nullptr; }

void EditBox::setText(std::string_view text) {
    field_.setText(text);
    window_->invalidate();
}

void EditBox::selectAll() {
    field_.selectAll();
    window_->invalidate();
}

LResult EditBox::handle(Window& w, uint32_t m, WParam wp, LParam lp) {
    switch (m) {
    case kWmPaint: {
        PaintScope paint(w);
        Surface& s = w.surface();
        s.fill(w.clientRect(), kDialogColour);
        drawEdge(s, w.clientRect(), Edge::Sunken);
        field_.draw(s, w.clientRect().inflatedBy(-2, -2), *font_, focusWindow() == &w, w.acceptsInput());
        return 0;
    }
    case kWmLButtonDown:
    case kWmLButtonDblClk:
        setFocus(&w);
        if (m == kWmLButtonDblClk) field_.selectAll();
        else field_.clickAt(*font_, pointOfParam(lp).x - 4);
        w.invalidate();
        return 0;
    case kWmKeyDown:
        if (field_.key(static_cast<uint32_t>(wp), keyHeld(kVkShift), keyHeld(kVkControl)))
            notifyParent(w, kEnChange);
        w.invalidate();
        return 0;
    case kWmChar:
        if (field_.typeCharacter(static_cast<char32_t>(wp))) notifyParent(w, kEnChange);
        w.invalidate();
        return 0;
    case kWmSetFocus:
    case kWmKillFocus:
        w.invalidate();
        return 0;
    default:
        return defaultProcedure(w, m, wp, lp);
    }
}

// ---- PushButton ----------------------------------------------------------------

PushButton::PushButton(Window& w, std::shared_ptr<const Font> font, bool isDefault)
    : window_(&w), font_(std::move(font)), default_(isDefault) {}

PushButton* PushButton::of(Window* w) {
    return isWindow(w) ? dynamic_cast<PushButton*>(w->part()) : nullptr;
}

void PushButton::click() {
    setFocus(window_);
    notifyParent(*window_, kBnClicked);
}

LResult PushButton::handle(Window& w, uint32_t m, WParam wp, LParam lp) {
    switch (m) {
    case kWmPaint: {
        PaintScope paint(w);
        Surface& s = w.surface();
        Rect r = w.clientRect();
        s.fill(r, kDialogColour);
        if (default_) {
            s.frame(r, kBlack);
            r = r.inflatedBy(-1, -1);
        }
        if (pressed_) {
            s.frame(r, kShadow);
        } else {
            drawEdge(s, r, Edge::Raised);
        }
        const Size e = font_->extent(w.text());
        const int shift = pressed_ ? 1 : 0;
        clippedText(s, r.inflatedBy(-2, -2), (r.left + r.right - e.width) / 2 + shift,
                    (r.top + r.bottom - e.height) / 2 + shift, w.text(), *font_,
                    w.acceptsInput() ? kBlack : kGreyText);
        if (focusWindow() == &w) {
            const Rect f = r.inflatedBy(-4, -4);
            for (int x = f.left; x < f.right; x += 2) {
                s.setPixel(x, f.top, kBlack);
                s.setPixel(x, f.bottom - 1, kBlack);
            }
            for (int y = f.top; y < f.bottom; y += 2) {
                s.setPixel(f.left, y, kBlack);
                s.setPixel(f.right - 1, y, kBlack);
            }
        }
        return 0;
    }
    case kWmLButtonDown:
    case kWmLButtonDblClk:
        setFocus(&w);
        tracking_ = pressed_ = true;
        setCapture(w);
        w.invalidate();
        return 0;
    case kWmMouseMove:
        if (tracking_) {
            const bool inside = w.clientRect().contains(pointOfParam(lp));
            if (inside != pressed_) {
                pressed_ = inside;
                w.invalidate();
            }
        }
        return 0;
    case kWmLButtonUp:
        if (tracking_) {
            tracking_ = false;
            const bool was = pressed_ && w.clientRect().contains(pointOfParam(lp));
            pressed_ = false;
            if (captureWindow() == &w) releaseCapture();
            w.invalidate();
            if (was) notifyParent(w, kBnClicked);
        }
        return 0;
    case kWmKeyUp:
        if (wp == kVkSpace) notifyParent(w, kBnClicked);
        return 0;
    case kWmSetFocus:
    case kWmKillFocus:
        w.invalidate();
        return 0;
    default:
        return defaultProcedure(w, m, wp, lp);
    }
}

// ---- making controls -----------------------------------------------------------

Window& createControl(Window& parent, ItemKind kind, int id, const Rect& pixels, std::string_view text,
                      uint32_t flags, std::shared_ptr<const Font> font) {
    if (!font) font = Font::interfaceFont();
    WindowSpec shape;
    shape.style = kStyleChild | ((flags & kItemHidden) ? 0 : kStyleVisible) |
                 ((flags & kItemDisabled) ? kStyleDisabled : 0) | ((flags & kItemTabStop) ? kStyleTabStop : 0);
    shape.rect = pixels;
    shape.id = id;
    if (kind == ItemKind::PushButton) shape.text = text;
    Window& w = parent.createChild(std::move(shape));
    w.surface().selectFont(font);
    switch (kind) {
    case ItemKind::DropDownList:
    case ItemKind::DropDown: {
        ComboBox* c = ControlFactory::attach<ComboBox>(w, kind == ItemKind::DropDown, font, pixels.height());
        w.setRect(pixels);
        if (c->editable()) c->setEditText(text);
        break;
    }
    case ItemKind::Edit: {
        EditBox* e = ControlFactory::attach<EditBox>(w, font);
        e->setText(text);
        break;
    }
    case ItemKind::PushButton: {
        ControlFactory::attach<PushButton>(w, font, (flags & kItemDefault) != 0);
        break;
    }
    }
    return w;
}

}  // namespace qm::ui
