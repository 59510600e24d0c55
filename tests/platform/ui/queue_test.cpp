// The queue as the render loop and the dialogs use it, and the input path
// from a backend's events to messages.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/ui/cursor.h"
#include "platform/ui/internal.h"
#include "platform/ui/queue.h"
#include "platform/ui/window.h"
#include "tests/platform/ui/ui_test_support.h"

namespace qm::ui {
namespace {

using testing::Seen;

void drain() {
    Message m;
    while (peekMessage(m, nullptr, 0, 0, Remove::Yes))
        if (m.message == kWmPaint) m.window->validate();
}

struct Windows {
    std::unique_ptr<Window> dialog, other;
    Window* child = nullptr;
    std::vector<std::pair<Window*, Seen>> seen;
    Windows() {
        auto record = [this](Window& w, uint32_t m, WParam wp, LParam lp) -> LResult {
            if (m != kWmPaint && m != kWmSetFocus && m != kWmKillFocus && m != kWmDestroy)
                seen.push_back({&w, {m, wp, lp}});
            return defaultProcedure(w, m, wp, lp);
        };
        dialog = createWindow({kStylePopup | kStyleCaption | kStyleVisible, Rect::ofSize(100, 100, 306, 225), "dialog", 0, nullptr, nullptr, record});
        other = createWindow({kStylePopup | kStyleVisible, Rect::ofSize(600, 100, 50, 50), "other", 0, nullptr, nullptr, record});
        child = &dialog->createChild({kStyleChild | kStyleVisible, Rect::ofSize(10, 10, 100, 21), "", 1033, nullptr, nullptr, record});
        drain();
    }
    ~Windows() { drain(); }
};

TEST(Queue, RenderLoopTakesTheDialogsFirstMouseMessageThenOnePrivateOne) {
    Windows w;
    postMessage(w.dialog.get(), kWmKeyDown, kVkSpace);
    postMessage(w.other.get(), kWmLButtonDown, 0, makePointParam(1, 1));
    postMessage(w.child, kWmMouseMove, 0, makePointParam(3, 4));
    postMessage(w.dialog.get(), kWmPrivate, 2000);
    postMessage(w.dialog.get(), kWmLButtonDown, kMkLButton, makePointParam(5, 6));
    postMessage(w.dialog.get(), kWmPrivate, 2001);

    Message m;
    // The dialog's mouse messages include its children's; the loop tells them apart.
    ASSERT_TRUE(peekMessage(m, w.dialog.get(), kWmMouseFirst, kWmMouseLast, Remove::Yes));
    EXPECT_EQ(m.window, w.child);
    EXPECT_EQ(m.message, kWmMouseMove);
    EXPECT_EQ(pointOfParam(m.lParam), (Point{3, 4}));
    ASSERT_TRUE(peekMessage(m, w.dialog.get(), kWmPrivate, kWmPrivate, Remove::Yes));
    EXPECT_EQ(m.wParam, 2000u);
    // Looking without removing leaves it first in line.
    ASSERT_TRUE(peekMessage(m, w.dialog.get(), kWmMouseFirst, kWmMouseLast, Remove::No));
    ASSERT_TRUE(peekMessage(m, w.dialog.get(), kWmMouseFirst, kWmMouseLast, Remove::Yes));
    EXPECT_EQ(m.window, w.dialog.get());
    EXPECT_EQ(m.message, kWmLButtonDown);
    EXPECT_FALSE(peekMessage(m, w.dialog.get(), kWmMouseFirst, kWmMouseLast, Remove::Yes));

    // Everything else stays, in order.
    std::vector<std::pair<Window*, uint32_t>> rest;
    while (peekMessage(m, nullptr, 0, 0, Remove::Yes)) rest.push_back({m.window, m.message});
    EXPECT_EQ(rest, (std::vector<std::pair<Window*, uint32_t>>{{w.dialog.get(), kWmKeyDown},
                                                              {w.other.get(), kWmLButtonDown},
                                                              {w.dialog.get(), kWmPrivate}}));
}

TEST(Queue, SendCallsAtOnceAndDeadWindowsGetNothing) {
    Windows w;
    EXPECT_EQ(sendMessage(w.child, kWmPrivate, 7), 0);
    ASSERT_EQ(w.seen.size(), 1u);
    EXPECT_EQ(w.seen[0].first, w.child);
    postMessage(w.other.get(), kWmPrivate, 1);
    Window* gone = w.other.get();
    w.other.reset();
    EXPECT_FALSE(isWindow(gone));
    EXPECT_FALSE(postMessage(gone, kWmPrivate, 2));
    EXPECT_EQ(sendMessage(gone, kWmPrivate, 3), 0);
    Message m;
    EXPECT_FALSE(peekMessage(m, nullptr, 0, 0, Remove::Yes)) << "its queued message went with it";
}

TEST(Queue, PaintComesForAnInvalidShownWindowUntilDispatched) {
    Windows w;
    Message m;
    w.child->invalidate({1, 1, 5, 5});
    ASSERT_TRUE(peekMessage(m, nullptr, 0, 0, Remove::Yes));
    EXPECT_EQ(m.window, w.child);
    EXPECT_EQ(m.message, kWmPaint);
    dispatchMessage(m);
    EXPECT_FALSE(peekMessage(m, nullptr, 0, 0, Remove::Yes));
    w.dialog->show(false);
    w.child->invalidate();
    EXPECT_FALSE(peekMessage(m, nullptr, 0, 0, Remove::Yes)) << "a hidden window is not painted";
    w.dialog->show(true);
    EXPECT_TRUE(peekMessage(m, nullptr, kWmPaint, kWmPaint, Remove::No));
}

// Waits (bounded) for the next message of the range.
bool waitFor(Message& m, uint32_t first, uint32_t last, int boundMs = 5000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(boundMs);
    while (std::chrono::steady_clock::now() < end) {
        if (peekMessage(m, nullptr, first, last, Remove::Yes)) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

TEST(Timers, FireWithTheirIdAfterOtherMessagesAndStopWhenKilled) {
    Windows w;
    setTimer(*w.dialog, 1000, 10);
    setTimer(*w.dialog, 1000, 10);  // the same timer again, not a second one
    setTimer(*w.other, 5, 10);
    Message m;
    ASSERT_TRUE(waitFor(m, kWmTimer, kWmTimer));
    const Window* first = m.window;
    ASSERT_TRUE(waitFor(m, kWmTimer, kWmTimer));
    EXPECT_NE(m.window, first) << "one message per due timer";
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
    postMessage(w.dialog.get(), kWmPrivate, 9);
    ASSERT_TRUE(peekMessage(m, nullptr, 0, 0, Remove::Yes));
    EXPECT_EQ(m.message, kWmPrivate) << "a posted message comes before a due timer";
    ASSERT_TRUE(peekMessage(m, w.dialog.get(), kWmTimer, kWmTimer, Remove::Yes));
    EXPECT_EQ(m.wParam, 1000u);

    EXPECT_TRUE(killTimer(*w.dialog, 1000));
    EXPECT_FALSE(killTimer(*w.dialog, 1000));
    w.other.reset();  // its timer goes with it
    EXPECT_FALSE(hasTimers());
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
    EXPECT_FALSE(peekMessage(m, nullptr, kWmTimer, kWmTimer, Remove::Yes));
}

detail::MouseEvent mouse(detail::MouseEvent::Kind k, int button, Point at, uint32_t time = 0) {
    detail::MouseEvent e;
    e.kind = k;
    e.button = button;
    e.screen = at;
    e.time = time;
    return e;
}

std::vector<Seen> takeMessages(Window* of) {
    std::vector<Seen> out;
    Message m;
    while (peekMessage(m, of, kWmMouseFirst, kWmMouseLast, Remove::Yes)) out.push_back({m.message, m.wParam, m.lParam});
    return out;
}

TEST(Input, ButtonsGiveMkFlagsClientPointsAndTheExtraButtonInTheHighWord) {
    using K = detail::MouseEvent::Kind;
    Windows w;
    const Point at = w.dialog->clientToScreen({40, 50});
    const LParam p = makePointParam(40, 50);
    detail::deliverMouse(mouse(K::Press, 1, at, 1000));
    detail::deliverMouse(mouse(K::Press, 4, at, 2000));  // the first extra button, still holding the left
    detail::deliverMouse(mouse(K::Release, 4, at, 3000));
    detail::deliverMouse(mouse(K::Press, 5, at, 4000));
    detail::deliverMouse(mouse(K::Release, 5, at, 5000));
    detail::deliverMouse(mouse(K::Release, 1, at, 6000));
    auto shifted = mouse(K::Press, 2, at, 7000);
    shifted.shift = shifted.control = true;
    detail::deliverMouse(shifted);
    detail::deliverMouse(mouse(K::Release, 2, at, 7100));
    detail::deliverMouse(mouse(K::Press, 3, at, 8000));
    detail::deliverMouse(mouse(K::Release, 3, at, 8100));
    EXPECT_EQ(takeMessages(w.dialog.get()),
              (std::vector<Seen>{
                  {kWmLButtonDown, kMkLButton, p},
                  {kWmXButtonDown, kMkLButton | kMkXButton1 | (kXButton1 << 16), p},
                  {kWmXButtonUp, kMkLButton | (kXButton1 << 16), p},
                  {kWmXButtonDown, kMkLButton | kMkXButton2 | (kXButton2 << 16), p},
                  {kWmXButtonUp, kMkLButton | (kXButton2 << 16), p},
                  {kWmLButtonUp, 0, p},
                  {kWmRButtonDown, kMkRButton | kMkShift | kMkControl, p},
                  {kWmRButtonUp, 0, p},
                  {kWmMButtonDown, kMkMButton, p},
                  {kWmMButtonUp, 0, p},
              }));
}

TEST(Input, DoubleClickByTimeDistanceAndButton) {
    using K = detail::MouseEvent::Kind;
    struct Case {
        const char* name;
        int first, second;
        uint32_t gapMs;
        Point offset;
        uint32_t expected;
    };
    const Case cases[] = {
        {"quick, same place", 1, 1, 300, {0, 0}, kWmLButtonDblClk},
        {"just within the distance", 1, 1, 500, {2, -2}, kWmLButtonDblClk},
        {"too slow", 1, 1, 501, {0, 0}, kWmLButtonDown},
        {"too far", 1, 1, 10, {3, 0}, kWmLButtonDown},
        {"another button", 1, 2, 10, {0, 0}, kWmRButtonDown},
        {"right twice", 2, 2, 10, {0, 0}, kWmRButtonDblClk},
        {"extra button twice", 4, 4, 10, {0, 0}, kWmXButtonDblClk},
    };
    uint32_t t = 100000;
    for (const Case& c : cases) {
        Windows w;
        const Point at = w.dialog->clientToScreen({30, 30});
        const Point at2{at.x + c.offset.x, at.y + c.offset.y};
        detail::deliverMouse(mouse(K::Press, c.first, at, t));
        detail::deliverMouse(mouse(K::Release, c.first, at, t + 1));
        takeMessages(w.dialog.get());
        detail::deliverMouse(mouse(K::Press, c.second, at2, t + c.gapMs));
        auto got = takeMessages(w.dialog.get());
        ASSERT_EQ(got.size(), 1u) << c.name;
        EXPECT_EQ(got.back().message, c.expected) << c.name;
        detail::deliverMouse(mouse(K::Release, c.second, at2, t + c.gapMs + 1));
        t += 10000;
    }
    // A third quick press starts over.
    Windows w;
    const Point at = w.dialog->clientToScreen({30, 30});
    for (uint32_t dt : {0u, 100u, 200u}) {
        detail::deliverMouse(mouse(K::Press, 1, at, t + dt));
        detail::deliverMouse(mouse(K::Release, 1, at, t + dt + 10));
    }
    std::vector<uint32_t> kinds;
    for (const Seen& s : takeMessages(w.dialog.get()))
        if (s.message == kWmLButtonDown || s.message == kWmLButtonDblClk) kinds.push_back(s.message);
    EXPECT_EQ(kinds, (std::vector<uint32_t>{kWmLButtonDown, kWmLButtonDblClk, kWmLButtonDown}));
}

TEST(Input, HitTestCaptureDisabledWindowsAndMoveCoalescing) {
    using K = detail::MouseEvent::Kind;
    Windows w;
    // Over the child: the child gets it in its own coordinates.
    detail::deliverMouse(mouse(K::Press, 1, w.child->clientToScreen({7, 8})));
    Message m;
    ASSERT_TRUE(peekMessage(m, nullptr, kWmMouseFirst, kWmMouseLast, Remove::Yes));
    EXPECT_EQ(m.window, w.child);
    EXPECT_EQ(pointOfParam(m.lParam), (Point{7, 8}));
    detail::deliverMouse(mouse(K::Release, 1, w.child->clientToScreen({7, 8})));
    takeMessages(nullptr);

    // Captured: everything goes to the capture, even far left of it.
    setCapture(*w.child);
    detail::deliverMouse(mouse(K::Move, 0, w.dialog->clientToScreen({-50, 100})));
    ASSERT_TRUE(peekMessage(m, nullptr, kWmMouseFirst, kWmMouseLast, Remove::Yes));
    EXPECT_EQ(m.window, w.child);
    EXPECT_EQ(pointOfParam(m.lParam), (Point{-60, 90}));
    releaseCapture();

    // A disabled window (a modal dialog's owner) gets nothing, nor its children.
    w.dialog->enable(false);
    detail::deliverMouse(mouse(K::Move, 0, w.child->clientToScreen({1, 1})));
    EXPECT_FALSE(peekMessage(m, nullptr, kWmMouseFirst, kWmMouseLast, Remove::Yes));
    w.dialog->enable(true);

    // Moves waiting at the end of the queue merge; a click in between keeps them apart.
    for (int x : {10, 11, 12}) detail::deliverMouse(mouse(K::Move, 0, w.dialog->clientToScreen({x, 150})));
    detail::deliverMouse(mouse(K::Press, 1, w.dialog->clientToScreen({12, 150})));
    detail::deliverMouse(mouse(K::Move, 0, w.dialog->clientToScreen({13, 150})));
    auto got = takeMessages(nullptr);
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(pointOfParam(got[0].lParam), (Point{12, 150}));
    EXPECT_EQ(got[1].message, kWmLButtonDown);
    EXPECT_EQ(got[2].wParam, kMkLButton);
    detail::deliverMouse(mouse(K::Release, 1, w.dialog->clientToScreen({13, 150})));
}

TEST(Input, KeysGoToTheFocusAndAMoveShowsTheClassCursor) {
    Windows w;
    setFocus(w.child);
    detail::deliverKey({kVkReturn, U'\r', true, false, false, 0});
    Message m;
    ASSERT_TRUE(peekMessage(m, nullptr, 0, 0, Remove::Yes));
    EXPECT_EQ(m.window, w.child);
    EXPECT_EQ(m.message, kWmKeyDown);
    EXPECT_EQ(m.wParam, kVkReturn);
    ASSERT_TRUE(peekMessage(m, nullptr, 0, 0, Remove::Yes));
    EXPECT_EQ(m.message, kWmChar);
    setFocus(nullptr);

    setCursor(Cursor::eyedropper());
    EXPECT_EQ(currentCursor(), Cursor::eyedropper());
    Message move{w.dialog.get(), kWmMouseMove, 0, makePointParam(1, 1), 0, {}};
    dispatchMessage(move);
    EXPECT_EQ(currentCursor(), Cursor::arrow()) << "the dialog's class cursor is the arrow";
    w.dialog->setClassCursor(Cursor::eyedropper());
    dispatchMessage(move);
    EXPECT_EQ(currentCursor(), Cursor::eyedropper());
}

TEST(Geometry, FramesClientRectanglesAndCentring) {
    const uint32_t style = kStylePopup | kStyleCaption;
    const Rect outer = windowRectForClient({0, 0, 900, 639}, style);
    const FrameInsets f = frameInsetsOf(style);
    EXPECT_EQ(outer, (Rect{-f.left, -f.top, 900 + f.right, 639 + f.bottom}));
    auto w = createWindow({style, Rect::ofSize(0, 0, 100, 100), "", 0, nullptr, nullptr, {}});
    w->setClientSize(900, 639);
    EXPECT_EQ(w->clientSize(), (Size{900, 639}));
    EXPECT_EQ(w->rect().size(), outer.size()) << "the frame is kept";
    w->centreOnScreen();
    const Size screen = screenSize();
    EXPECT_EQ(w->rect().left, (screen.width - outer.width()) / 2);
    EXPECT_EQ(w->rect().top, (screen.height - outer.height()) / 2);
    Window& c = w->createChild({kStyleChild | kStyleBorder, Rect::ofSize(20, 30, 50, 40), "", 1, nullptr, nullptr, {}});
    const Point origin = w->clientToScreen({0, 0});
    EXPECT_EQ(c.clientToScreen({0, 0}), (Point{origin.x + 21, origin.y + 31}));
    EXPECT_EQ(c.screenToClient({origin.x + 21, origin.y + 31}), (Point{0, 0}));
    EXPECT_EQ(c.clientSize(), (Size{48, 38}));
}

}  // namespace
}  // namespace qm::ui
