// Inside the window layer: the process-wide state, the backend interface and
// the input path from a backend into the queue. Not for callers.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "platform/ui/common_dialogs.h"
#include "platform/ui/cursor.h"
#include "platform/ui/messages.h"
#include "platform/ui/surface.h"
#include "platform/ui/window.h"

namespace qm::ui::detail {

// ---- backends -----------------------------------------------------------------

struct MouseEvent {
    enum class Kind { Move, Press, Release, Wheel, HWheel };
    Kind kind = Kind::Move;
    int button = 0;  // 1 left, 2 right, 3 middle, 4 first extra, 5 second extra
    Point screen;
    bool shift = false;
    bool control = false;
    uint32_t time = 0;
    int wheelDelta = 0;
};

struct KeyEvent {
    uint32_t vk = 0;
    char32_t character = 0;  // what WM_CHAR carries, 0 for none
    bool down = true;
    bool shift = false;
    bool control = false;
    uint32_t time = 0;
};

enum class AnswerStatus { Chosen, Cancelled, Unavailable };
struct FileAnswer {
    AnswerStatus status = AnswerStatus::Cancelled;
    std::string path;
};
struct ColourAnswer {
    AnswerStatus status = AnswerStatus::Cancelled;
    Colour colour = 0;
};

class Backend {
public:
    virtual ~Backend() = default;
    virtual const char* name() const = 0;
    virtual Size screenSize() = 0;

    // Top-level windows only.
    virtual void shown(Window&, bool /*visible*/) {}
    virtual void moved(Window&) {}
    virtual void textChanged(Window&) {}
    virtual void destroyed(Window&) {}
    // Shows `area` (client coordinates) of a top-level window as composed.
    virtual void present(Window&, const Rect& /*area*/) {}
    virtual void captureChanged(Window*) {}
    virtual void cursorChanged(const Cursor&) {}

    // Takes in what the display delivered, without waiting.
    virtual void pump() = 0;
    // Waits up to timeoutMs (negative: as long as it takes) for input.
    virtual void wait(int timeoutMs) = 0;
    // No input can come any more (display gone, script ended).
    virtual bool exhausted() const = 0;
    // Whether a paint should be written as a screenshot (no script marks).
    virtual bool screenshotEachPaint() const { return true; }

    virtual int messageBox(Window* owner, std::string_view text, std::string_view caption,
                           uint32_t flags) = 0;
    virtual FileAnswer fileDialog(const FileDialogOptions&, bool /*save*/) {
        return {AnswerStatus::Unavailable, {}};
    }
    virtual ColourAnswer chooseColour(Window*, Colour) { return {AnswerStatus::Unavailable, 0}; }
};

Backend& backend();

// ---- state ---------------------------------------------------------------------

struct Timer {
    Window* window = nullptr;
    uintptr_t id = 0;
    uint32_t period = 0;
    uint64_t due = 0;
};

struct DoubleClickState {
    Window* window = nullptr;
    int button = 0;
    uint32_t time = 0;
    Point at;
    bool wasDouble = false;
};

struct UiState {
    std::vector<Window*> topLevels;  // bottom to top
    std::unordered_set<const void*> live;
    std::deque<Message> queue;
    std::vector<Timer> timers;
    Window* focus = nullptr;
    Window* capture = nullptr;
    Point cursor;
    uint32_t buttons = 0;  // MK_ bits of the buttons held
    bool shiftHeld = false;
    bool controlHeld = false;
    DoubleClickState lastPress;
    std::vector<Window*> modal;  // running modal dialogs, innermost last
    std::shared_ptr<const Cursor> cursorWanted;
    std::shared_ptr<const Cursor> cursorShown;
};

UiState& state();
uint64_t nowMs();

// Windows that show something another window covered (a moved or hidden
// child) need presenting although no surface changed.
void exposeTopLevel(Window& top, const Rect& clientArea);
// Presents every change of every shown top-level window.
void flushPresent();
// After a paint: a screenshot when screenshots are asked for each paint.
void paintEnded(Window& w);

// ---- input ---------------------------------------------------------------------

void deliverMouse(const MouseEvent& e);
void deliverKey(const KeyEvent& e);
// The window manager's close button.
void deliverClose(Window& top);
// The window under a screen point (the deepest shown child), or null over
// a frame or nothing.
Window* windowAt(Point screen);
// The innermost running modal dialog, else the topmost shown window.
Window* activeWindow();

// Double-click rule: same button and window, within 500 ms and 2 pixels
// either way of the first press, and not right after a double-click.
constexpr uint32_t kDoubleClickMs = 500;
constexpr int kDoubleClickDistance = 2;
bool isDoubleClick(const DoubleClickState& last, Window* w, int button, uint32_t time, Point at);

// ---- composition ---------------------------------------------------------------

// `area` (client coordinates) of a window with its shown children on top.
Surface composeArea(const Window& w, const Rect& area);

// ---- environment ---------------------------------------------------------------

std::string environment(const char* name);
// The folder for screenshots, or empty.
const std::string& screenshotFolder();
// Writes a screenshot PNG under the screenshot folder; reports problems once.
void writeScreenshot(const Surface& s, const std::string& fileName);

}  // namespace qm::ui::detail
