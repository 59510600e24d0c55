#include "platform/ui/window.h"

#include <algorithm>
#include <chrono>

#include "platform/ui/internal.h"
#include "platform/ui/queue.h"

namespace qm::ui {

namespace detail {

UiState& state() {
    static UiState s;
    return s;
}

uint64_t nowMs() {
    using namespace std::chrono;
    static const steady_clock::time_point start = steady_clock::now();
    return static_cast<uint64_t>(duration_cast<milliseconds>(steady_clock::now() - start).count());
}

Surface composeArea(const Window& w, const Rect& area) {
    Surface out(area.width(), area.height(), kDialogColour);
    out.blit(0, 0, area.width(), area.height(), w.surface(), area.left, area.top);
    for (const auto& c : w.children()) {
        if (!c->isVisible()) continue;
        const FrameInsets f = c->frame();
        // The child's client area in w's client coordinates, clipped to `area`.
        Rect client = Rect::ofSize(c->rect().left + f.left, c->rect().top + f.top,
                                   c->clientSize().width, c->clientSize().height);
        Rect part = client.intersection(area).intersection(w.clientRect());
        if (part.isEmpty()) continue;
        Surface sub = composeArea(*c, part.offsetBy(-client.left, -client.top));
        out.blit(part.left - area.left, part.top - area.top, sub);
        // A child's frame is a plain grey line (only bordered children have one).
        if (f.left > 0) out.frame(c->rect().offsetBy(-area.left, -area.top), 0x808080);
    }
    out.takeChanged();
    return out;
}

namespace {

// What changed in w and its shown children, in w's client coordinates.
Rect collectChanges(Window& w) {
    Rect changed = w.surface().takeChanged();
    for (const auto& c : w.children()) {
        Rect inner = collectChanges(*c);
        if (!c->isVisible()) continue;
        const FrameInsets f = c->frame();
        changed = changed.united(
            inner.offsetBy(c->rect().left + f.left, c->rect().top + f.top).intersection(w.clientRect()));
    }
    return changed;
}

struct Exposed {
    Window* window;
    Rect area;
};
std::vector<Exposed>& exposed() {
    static std::vector<Exposed> e;
    return e;
}

}  // namespace

void exposeTopLevel(Window& top, const Rect& area) {
    for (Exposed& e : exposed())
        if (e.window == &top) {
            e.area = e.area.united(area);
            return;
        }
    exposed().push_back({&top, area});
}

void flushPresent() {
    UiState& s = state();
    std::vector<Exposed> pending;
    pending.swap(exposed());
    for (Window* top : std::vector<Window*>(s.topLevels)) {
        if (!s.live.count(top)) continue;
        Rect area = collectChanges(*top);
        for (const Exposed& e : pending)
            if (e.window == top) area = area.united(e.area);
        area = area.intersection(top->clientRect());
        if (top->isVisible() && !area.isEmpty()) backend().present(*top, area);
    }
    if (s.cursorWanted != s.cursorShown) {
        s.cursorShown = s.cursorWanted;
        backend().cursorChanged(s.cursorShown ? *s.cursorShown : *Cursor::arrow());
    }
}

}  // namespace detail

using detail::state;

namespace {

// A rectangle in a window's client coordinates, in its top-level window's.
Rect inTopLevelClient(const Window& w, const Rect& r) {
    Point a = w.clientToScreen({r.left, r.top});
    Point o = w.topLevel().clientToScreen({0, 0});
    return Rect::ofSize(a.x - o.x, a.y - o.y, r.width(), r.height());
}

}  // namespace

FrameInsets frameInsetsOf(uint32_t style) {
    if (style & kStyleCaption) return {3, 22, 3, 3};  // dialog frame and a 19-pixel title bar
    if (style & kStyleModalFrame) return {3, 3, 3, 3};
    if (style & kStyleBorder) return {1, 1, 1, 1};
    return {};
}

Rect windowRectForClient(const Rect& client, uint32_t style) {
    const FrameInsets f = frameInsetsOf(style);
    return {client.left - f.left, client.top - f.top, client.right + f.right, client.bottom + f.bottom};
}

Window::Window(WindowSpec&& shape)
    : parent_(shape.parent),
      owner_(shape.owner),
      style_(shape.style),
      id_(shape.id),
      text_(std::move(shape.text)),
      rect_(shape.rect),
      visible_((shape.style & kStyleVisible) != 0),
      enabled_((shape.style & kStyleDisabled) == 0),
      procedure_(std::move(shape.procedure)) {
    resizeSurface();
    invalid_ = clientRect();
    state().live.insert(this);
}

std::unique_ptr<Window> createWindow(WindowSpec shape) {
    shape.parent = nullptr;
    shape.style &= ~kStyleChild;
    if (!isWindow(shape.owner)) shape.owner = nullptr;
    std::unique_ptr<Window> w(new Window(std::move(shape)));
    state().topLevels.push_back(w.get());
    if (w->visible_) detail::backend().shown(*w, true);
    return w;
}

Window& Window::createChild(WindowSpec shape) {
    shape.parent = this;
    shape.owner = nullptr;
    shape.style |= kStyleChild;
    children_.push_back(std::unique_ptr<Window>(new Window(std::move(shape))));
    return *children_.back();  // its new surface counts as changed, so it is shown
}

void Window::destroyChild(Window& child) {
    auto it = std::find_if(children_.begin(), children_.end(),
                           [&](const std::unique_ptr<Window>& p) { return p.get() == &child; });
    if (it == children_.end()) return;
    const Rect was = child.rect_;
    const bool shown = child.visible_;
    children_.erase(it);
    if (shown) detail::exposeTopLevel(topLevel(), inTopLevelClient(*this, was));
}

Window::~Window() {
    detail::UiState& s = state();
    if (procedure_) procedure_(*this, kWmDestroy, 0, 0);
    children_.clear();
    if (s.capture == this) releaseCapture();
    if (s.focus == this) s.focus = nullptr;
    s.queue.erase(std::remove_if(s.queue.begin(), s.queue.end(),
                                 [this](const Message& m) { return m.window == this; }),
                  s.queue.end());
    s.timers.erase(std::remove_if(s.timers.begin(), s.timers.end(),
                                  [this](const detail::Timer& t) { return t.window == this; }),
                   s.timers.end());
    if (s.lastPress.window == this) s.lastPress = {};
    s.live.erase(this);
    if (!parent_) {
        s.topLevels.erase(std::remove(s.topLevels.begin(), s.topLevels.end(), this), s.topLevels.end());
        for (Window* t : s.topLevels)
            if (t->owner_ == this) t->owner_ = nullptr;
        detail::backend().destroyed(*this);
    }
}

Window& Window::topLevel() {
    Window* w = this;
    while (w->parent_) w = w->parent_;
    return *w;
}

const Window& Window::topLevel() const {
    const Window* w = this;
    while (w->parent_) w = w->parent_;
    return *w;
}

bool Window::contains(const Window* w) const {
    for (; w; w = w->parent_)
        if (w == this) return true;
    return false;
}

Window* Window::child(int id) const {
    for (const auto& c : children_)
        if (c->id_ == id) return c.get();
    return nullptr;
}

void Window::setText(std::string_view text) {
    text_ = text;
    if (!parent_) detail::backend().textChanged(*this);
    invalidate();
}

Rect Window::windowRect() const {
    if (!parent_) return rect_;
    Point p = parent_->clientToScreen({rect_.left, rect_.top});
    return Rect::ofSize(p.x, p.y, rect_.width(), rect_.height());
}

Point Window::clientToScreen(Point p) const {
    const FrameInsets f = frame();
    Point q{p.x + rect_.left + f.left, p.y + rect_.top + f.top};
    return parent_ ? parent_->clientToScreen(q) : q;
}

Point Window::screenToClient(Point p) const {
    Point origin = clientToScreen({0, 0});
    return {p.x - origin.x, p.y - origin.y};
}

void Window::resizeSurface() {
    const FrameInsets f = frame();
    Size want{std::max(0, rect_.width() - f.left - f.right), std::max(0, rect_.height() - f.top - f.bottom)};
    if (want == clientSize_ && surface_.size() == want) return;
    Surface next(want.width, want.height, kDialogColour);
    next.blit(0, 0, surface_);
    surface_ = std::move(next);
    surface_.markChanged(surface_.bounds());
    clientSize_ = want;
}

void Window::setRect(const Rect& requested) {
    Rect r = requested;
    if (part_) part_->adjustRect(r);
    const Rect was = rect_;
    const Size oldClient = clientSize_;
    rect_ = r;
    resizeSurface();
    if (clientSize_ != oldClient) invalidate();
    if (!parent_) {
        detail::backend().moved(*this);
        if (visible_) detail::exposeTopLevel(*this, clientRect());
    } else if (visible_) {
        // Both the old and the new place show something else now.
        detail::exposeTopLevel(topLevel(), inTopLevelClient(*parent_, was).united(
                                               inTopLevelClient(*parent_, rect_)));
    }
}

void Window::setClientSize(int width, int height) {
    const FrameInsets f = frame();
    setRect(Rect::ofSize(rect_.left, rect_.top, width + f.left + f.right, height + f.top + f.bottom));
}

void Window::centreOnScreen() {
    Size screen = screenSize();
    move((screen.width - rect_.width()) / 2, (screen.height - rect_.height()) / 2);
}

bool Window::isShowing() const {
    for (const Window* w = this; w; w = w->parent_)
        if (!w->visible_) return false;
    return true;
}

bool Window::acceptsInput() const {
    for (const Window* w = this; w; w = w->parent_)
        if (!w->enabled_) return false;
    return true;
}

void Window::show(bool visible) {
    detail::UiState& s = state();
    if (visible_ == visible) {
        if (visible && !parent_) {  // showing again raises it
            s.topLevels.erase(std::remove(s.topLevels.begin(), s.topLevels.end(), this), s.topLevels.end());
            s.topLevels.push_back(this);
        }
        return;
    }
    visible_ = visible;
    if (!visible) {
        if (contains(s.focus)) s.focus = nullptr;
        if (contains(s.capture)) releaseCapture();
    }
    if (!parent_) {
        if (visible) {
            s.topLevels.erase(std::remove(s.topLevels.begin(), s.topLevels.end(), this), s.topLevels.end());
            s.topLevels.push_back(this);
        }
        detail::backend().shown(*this, visible);
        if (visible) detail::exposeTopLevel(*this, clientRect());
    } else {
        detail::exposeTopLevel(topLevel(), inTopLevelClient(*parent_, rect_));
    }
}

void Window::enable(bool enabled) {
    if (enabled_ == enabled) return;
    enabled_ = enabled;
    detail::UiState& s = state();
    if (!enabled && contains(s.capture)) releaseCapture();
    invalidate();
}

void Window::invalidate() { invalidate(clientRect()); }

void Window::invalidate(const Rect& r) { invalid_ = invalid_.united(r.intersection(clientRect())); }

void Window::update() {
    if (!invalid_.isEmpty() && isShowing()) {
        Message m;
        m.window = this;
        m.message = kWmPaint;
        dispatchMessage(m);
    }
}

LResult Window::send(uint32_t message, WParam w, LParam l) { return sendMessage(this, message, w, l); }
bool Window::post(uint32_t message, WParam w, LParam l) { return postMessage(this, message, w, l); }

LResult defaultProcedure(Window& w, uint32_t message, WParam, LParam) {
    if (message == kWmPaint) PaintScope paint(w);
    return 0;
}

bool isWindow(const void* p) { return p && state().live.count(p) != 0; }

Window* asWindow(void* p) { return isWindow(p) ? static_cast<Window*>(p) : nullptr; }

PaintScope::PaintScope(Window& w) : window_(w), update_(w.invalidRect()) { w.validate(); }

PaintScope::~PaintScope() {
    detail::flushPresent();
    detail::paintEnded(window_);
}

Window* focusWindow() { return state().focus; }

void setFocus(Window* w) {
    detail::UiState& s = state();
    if (w && !isWindow(w)) return;
    if (w == s.focus) return;
    Window* old = s.focus;
    s.focus = w;
    if (isWindow(old)) sendMessage(old, kWmKillFocus, reinterpret_cast<WParam>(w), 0);
    if (w && s.focus == w) sendMessage(w, kWmSetFocus, reinterpret_cast<WParam>(old), 0);
}

Window* captureWindow() { return state().capture; }

void setCapture(Window& w) {
    state().capture = &w;
    detail::backend().captureChanged(&w);
}

void releaseCapture() {
    if (!state().capture) return;
    state().capture = nullptr;
    detail::backend().captureChanged(nullptr);
}

Point cursorPosition() { return state().cursor; }
Size screenSize() { return detail::backend().screenSize(); }
std::vector<Window*> topLevelWindows() { return state().topLevels; }

}  // namespace qm::ui
