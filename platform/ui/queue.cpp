#include "platform/ui/queue.h"

#include <algorithm>

#include "platform/ui/cursor.h"
#include "platform/ui/internal.h"
#include "platform/ui/window.h"

namespace qm::ui {

using detail::state;

namespace {

bool inRange(uint32_t m, uint32_t first, uint32_t last) {
    return (first == 0 && last == 0) || (m >= first && m <= last);
}

bool forFilter(const Window* w, const Window* filter) { return !filter || filter->contains(w); }

// The first invalid, shown window in z-order from the top, depth first.
Window* invalidWindow(Window& w, const Window* filter) {
    if (!w.isVisible()) return nullptr;
    if (!w.invalidRect().isEmpty() && forFilter(&w, filter)) return &w;
    for (const auto& c : w.children())
        if (Window* found = invalidWindow(*c, filter)) return found;
    return nullptr;
}

}  // namespace

bool postMessage(Window* w, uint32_t message, WParam wParam, LParam lParam) {
    if (!isWindow(w)) return false;
    Message m{w, message, wParam, lParam, static_cast<uint32_t>(detail::nowMs()), state().cursor};
    state().queue.push_back(m);
    return true;
}

LResult sendMessage(Window* w, uint32_t message, WParam wParam, LParam lParam) {
    if (!isWindow(w)) return 0;
    // A copy: the procedure may replace itself while it runs.
    WindowProcedure p = w->procedure();
    return p ? p(*w, message, wParam, lParam) : defaultProcedure(*w, message, wParam, lParam);
}

bool peekMessage(Message& out, Window* filter, uint32_t first, uint32_t last, Remove remove) {
    detail::UiState& s = state();
    if (filter && !isWindow(filter)) return false;
    detail::backend().pump();
    detail::flushPresent();
    for (auto it = s.queue.begin(); it != s.queue.end(); ++it) {
        if (inRange(it->message, first, last) && forFilter(it->window, filter)) {
            out = *it;
            if (remove == Remove::Yes) s.queue.erase(it);
            return true;
        }
    }
    if (inRange(kWmPaint, first, last)) {
        for (auto t = s.topLevels.rbegin(); t != s.topLevels.rend(); ++t) {
            if (Window* w = invalidWindow(**t, filter)) {
                out = Message{w, kWmPaint, 0, 0, static_cast<uint32_t>(detail::nowMs()), s.cursor};
                return true;  // stays until the window is valid
            }
        }
    }
    if (inRange(kWmTimer, first, last)) {
        const uint64_t now = detail::nowMs();
        detail::Timer* due = nullptr;
        for (detail::Timer& t : s.timers)
            if (t.due <= now && forFilter(t.window, filter) && (!due || t.due < due->due)) due = &t;
        if (due) {
            out = Message{due->window, kWmTimer, due->id, 0, static_cast<uint32_t>(now), s.cursor};
            if (remove == Remove::Yes) due->due = now + due->period;
            return true;
        }
    }
    return false;
}

bool getMessage(Message& out) {
    detail::Backend& b = detail::backend();
    for (;;) {
        if (peekMessage(out, nullptr, 0, 0, Remove::Yes)) return true;
        if (b.exhausted()) return false;
        int timeout = -1;
        if (!state().timers.empty()) {
            uint64_t next = UINT64_MAX;
            for (const detail::Timer& t : state().timers) next = std::min(next, t.due);
            const uint64_t now = detail::nowMs();
            timeout = next <= now ? 0 : static_cast<int>(std::min<uint64_t>(next - now, 1u << 30));
        }
        b.wait(timeout);
    }
}

LResult dispatchMessage(const Message& m) {
    if (!isWindow(m.window)) return 0;
    if (m.message == kWmMouseMove) {
        // WM_SETCURSOR's default: the class cursor first, the procedure may change it.
        const auto& c = m.window->classCursor();
        state().cursorWanted = c ? c : Cursor::arrow();
    }
    LResult r = sendMessage(m.window, m.message, m.wParam, m.lParam);
    if (m.message == kWmPaint && isWindow(m.window)) m.window->validate();
    return r;
}

void setTimer(Window& w, uintptr_t id, uint32_t milliseconds) {
    if (!isWindow(&w)) return;
    const uint32_t period = std::max<uint32_t>(milliseconds, 10);  // USER_TIMER_MINIMUM
    const uint64_t due = detail::nowMs() + period;
    for (detail::Timer& t : state().timers)
        if (t.window == &w && t.id == id) {
            t.period = period;
            t.due = due;
            return;
        }
    state().timers.push_back({&w, id, period, due});
}

bool killTimer(Window& w, uintptr_t id) {
    auto& timers = state().timers;
    auto it = std::find_if(timers.begin(), timers.end(),
                           [&](const detail::Timer& t) { return t.window == &w && t.id == id; });
    if (it == timers.end()) return false;
    timers.erase(it);
    return true;
}

bool hasTimers() { return !state().timers.empty(); }

}  // namespace qm::ui
