// From a backend's pointer and key events to queued messages: hit testing,
// capture, the button state that X does not keep for the extra buttons,
// double-clicks, and keys for the focus.
#include <cstdlib>

#include "platform/ui/internal.h"
#include "platform/ui/queue.h"

namespace qm::ui::detail {
namespace {

Window* deepestAt(Window& w, Point screen) {
    for (auto it = w.children().rbegin(); it != w.children().rend(); ++it) {
        Window& c = **it;
        if (c.isVisible() && c.windowRect().contains(screen)) return deepestAt(c, screen);
    }
    return &w;
}

uint32_t buttonFlag(int button) {
    switch (button) {
    case 1: return kMkLButton;
    case 2: return kMkRButton;
    case 3: return kMkMButton;
    case 4: return kMkXButton1;
    case 5: return kMkXButton2;
    default: return 0;
    }
}

uint32_t buttonMessage(int button, MouseEvent::Kind kind, bool dbl) {
    static constexpr uint32_t base[] = {0, kWmLButtonDown, kWmRButtonDown, kWmMButtonDown,
                                        kWmXButtonDown, kWmXButtonDown};
    uint32_t down = base[button];
    if (kind == MouseEvent::Kind::Release) return down + 1;
    return dbl ? down + 2 : down;
}

// Input is queued like a posted message, except that a move replaces a move
// of the same window and buttons waiting at the end of the queue.
void queueInput(const Message& m) {
    auto& q = state().queue;
    if (m.message == kWmMouseMove && !q.empty()) {
        Message& back = q.back();
        if (back.message == kWmMouseMove && back.window == m.window && back.wParam == m.wParam) {
            back = m;
            return;
        }
    }
    q.push_back(m);
}

}  // namespace

bool isDoubleClick(const DoubleClickState& last, Window* w, int button, uint32_t time, Point at) {
    return !last.wasDouble && last.window == w && last.button == button &&
           time - last.time <= kDoubleClickMs && std::abs(at.x - last.at.x) <= kDoubleClickDistance &&
           std::abs(at.y - last.at.y) <= kDoubleClickDistance;
}

Window* windowAt(Point screen) {
    const auto& tops = state().topLevels;
    for (auto it = tops.rbegin(); it != tops.rend(); ++it) {
        Window& t = **it;
        if (!t.isVisible() || !t.windowRect().contains(screen)) continue;
        const Point client = t.screenToClient(screen);
        if (!t.clientRect().contains(client)) return nullptr;  // on the frame
        return deepestAt(t, screen);
    }
    return nullptr;
}

Window* activeWindow() {
    UiState& s = state();
    for (auto it = s.modal.rbegin(); it != s.modal.rend(); ++it)
        if (isWindow(*it) && (*it)->isVisible()) return *it;
    for (auto it = s.topLevels.rbegin(); it != s.topLevels.rend(); ++it)
        if ((*it)->isVisible() && (*it)->acceptsInput()) return *it;
    return nullptr;
}

void deliverMouse(const MouseEvent& e) {
    UiState& s = state();
    s.cursor = e.screen;
    s.shiftHeld = e.shift;
    s.controlHeld = e.control;
    const uint32_t flag = buttonFlag(e.button);
    if (e.kind == MouseEvent::Kind::Press) s.buttons |= flag;
    if (e.kind == MouseEvent::Kind::Release) s.buttons &= ~flag;

    Window* target = isWindow(s.capture) ? s.capture : windowAt(e.screen);
    if (!target || !target->acceptsInput()) {
        if (e.kind == MouseEvent::Kind::Press) s.lastPress = {};
        return;
    }
    const Point client = target->screenToClient(e.screen);
    WParam w = s.buttons | (e.shift ? kMkShift : 0) | (e.control ? kMkControl : 0);
    Message m{target, kWmMouseMove, w, makePointParam(client.x, client.y), e.time, e.screen};
    switch (e.kind) {
    case MouseEvent::Kind::Move:
        break;
    case MouseEvent::Kind::Press:
    case MouseEvent::Kind::Release: {
        if (!flag) return;
        bool dbl = false;
        if (e.kind == MouseEvent::Kind::Press) {
            dbl = isDoubleClick(s.lastPress, target, e.button, e.time, e.screen);
            s.lastPress = {target, e.button, e.time, e.screen, dbl};
        }
        m.message = buttonMessage(e.button, e.kind, dbl);
        if (e.button >= 4) m.wParam |= static_cast<WParam>(e.button == 4 ? kXButton1 : kXButton2) << 16;
        break;
    }
    case MouseEvent::Kind::Wheel:
    case MouseEvent::Kind::HWheel:
        m.message = e.kind == MouseEvent::Kind::Wheel ? kWmMouseWheel : kWmMouseHWheel;
        m.wParam |= (static_cast<WParam>(e.wheelDelta) & 0xFFFFu) << 16;
        m.lParam = makePointParam(e.screen.x, e.screen.y);  // wheel messages carry screen coordinates
        break;
    }
    queueInput(m);
}

void deliverKey(const KeyEvent& e) {
    UiState& s = state();
    s.shiftHeld = e.shift;
    s.controlHeld = e.control;
    Window* target = isWindow(s.focus) && s.focus->isShowing() ? s.focus : activeWindow();
    if (!target || !target->acceptsInput()) return;
    const uint32_t time = e.time;
    if (e.down) {
        if (e.vk) queueInput({target, kWmKeyDown, e.vk, 1, time, s.cursor});
        if (e.character) queueInput({target, kWmChar, e.character, 1, time, s.cursor});
    } else if (e.vk) {
        queueInput({target, kWmKeyUp, e.vk, static_cast<LParam>(0xC0000001u), time, s.cursor});
    }
}

void deliverClose(Window& top) {
    if (isWindow(&top) && top.acceptsInput()) postMessage(&top, kWmClose);
}

}  // namespace qm::ui::detail
