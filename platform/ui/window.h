// Windows: a tree of top-level and child windows, each with a procedure that
// receives its messages and a Surface holding its client area.
//
// Top-level windows are owned by the caller (createWindow returns a
// unique_ptr); children are owned by their parent. Destroying a window
// destroys its children, kills its timers and drops its queued messages, so
// a Window* taken from a message is either live or never seen again.
// isWindow() tells whether a pointer names a live window without touching it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui/geometry.h"
#include "platform/ui/messages.h"
#include "platform/ui/surface.h"

namespace qm::ui {

class Cursor;

// Styles (our own bits, not WS_*): what a frame looks like and how a window
// takes part in input.
constexpr uint32_t kStyleChild = 0x0001;       // a control inside its parent's client area
constexpr uint32_t kStylePopup = 0x0002;       // a top-level window placed by the program
constexpr uint32_t kStyleCaption = 0x0004;     // title bar (and a dialog frame)
constexpr uint32_t kStyleBorder = 0x0008;      // a one-pixel border
constexpr uint32_t kStyleModalFrame = 0x0010;  // a three-pixel dialog frame
constexpr uint32_t kStyleVisible = 0x0020;
constexpr uint32_t kStyleDisabled = 0x0040;
constexpr uint32_t kStyleTabStop = 0x0080;     // takes the focus with Tab

// The frame around the client area of a style: left, top, right, bottom.
struct FrameInsets {
    int left = 0, top = 0, right = 0, bottom = 0;
};
FrameInsets frameInsetsOf(uint32_t style);
// AdjustWindowRect: the window rectangle around a client rectangle.
Rect windowRectForClient(const Rect& client, uint32_t style);

// The background of dialogs and controls (the classic button face).
constexpr Colour kDialogColour = 0xC8D0D4;

class Window;
using WindowProcedure = std::function<LResult(Window&, uint32_t, WParam, LParam)>;

// What a control keeps beside its window (see controls.h).
class WindowPart {
public:
    virtual ~WindowPart() = default;
    // A control whose height is not its own (a combo box) adjusts a move.
    virtual void adjustRect(Rect&) {}
};

struct WindowSpec {
    uint32_t style = kStylePopup | kStyleCaption;
    // For a child: the window rectangle in the parent's client coordinates.
    // For a top-level window: in screen coordinates.
    Rect rect;
    std::string text;
    int id = 0;
    Window* parent = nullptr;  // required for kStyleChild
    Window* owner = nullptr;   // a top-level window kept above its owner
    WindowProcedure procedure;
};

class Window {
public:
    ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    // A child owned by this window; its rect is in this window's client coordinates.
    Window& createChild(WindowSpec shape);
    void destroyChild(Window& child);

    Window* parent() const { return parent_; }
    Window* owner() const { return owner_; }
    Window& topLevel();
    const Window& topLevel() const;
    bool isTopLevel() const { return parent_ == nullptr; }
    // This window or one of its descendants.
    bool contains(const Window* w) const;
    const std::vector<std::unique_ptr<Window>>& children() const { return children_; }
    Window* child(int id) const;  // GetDlgItem: a direct child by control id

    int id() const { return id_; }
    uint32_t style() const { return style_; }
    const std::string& text() const { return text_; }
    void setText(std::string_view text);

    void setProcedure(WindowProcedure p) { procedure_ = std::move(p); }
    const WindowProcedure& procedure() const { return procedure_; }
    void setUserData(void* p) { userData_ = p; }
    void* userData() const { return userData_; }
    void setPart(std::unique_ptr<WindowPart> part) { part_ = std::move(part); }
    WindowPart* part() const { return part_.get(); }

    // Geometry. rect() is the window rectangle in the parent's client
    // coordinates (screen coordinates for a top-level window).
    Rect rect() const { return rect_; }
    Rect windowRect() const;  // in screen coordinates
    Rect clientRect() const { return {0, 0, clientSize_.width, clientSize_.height}; }
    Size clientSize() const { return clientSize_; }
    FrameInsets frame() const { return frameInsetsOf(style_); }
    Point clientToScreen(Point p) const;
    Point screenToClient(Point p) const;
    // MoveWindow: moves and sizes the window rectangle.
    void setRect(const Rect& r);
    void move(int x, int y) { setRect(Rect::ofSize(x, y, rect_.width(), rect_.height())); }
    // Keeps the frame and sizes the client area.
    void setClientSize(int width, int height);
    // Centred on the screen: left = (screen width - outer width) / 2, top likewise.
    void centreOnScreen();

    bool isVisible() const { return visible_; }
    // Visible and every ancestor visible.
    bool isShowing() const;
    void show(bool visible = true);
    bool isEnabled() const { return enabled_; }
    // Enabled and every ancestor enabled: only then does it get input.
    bool acceptsInput() const;
    void enable(bool enabled = true);

    // The client area. What is drawn here is shown at the next look at the
    // queue (peek, get) or when a paint ends.
    Surface& surface() { return surface_; }
    const Surface& surface() const { return surface_; }

    // InvalidateRect / ValidateRect: an invalid, shown window gets WM_PAINT.
    void invalidate();
    void invalidate(const Rect& r);
    void validate() { invalid_ = {}; }
    Rect invalidRect() const { return invalid_; }
    // UpdateWindow: paints now when invalid.
    void update();

    // The cursor shown while the pointer moves over this window (the class
    // cursor); null: the arrow.
    void setClassCursor(std::shared_ptr<const Cursor> c) { classCursor_ = std::move(c); }
    const std::shared_ptr<const Cursor>& classCursor() const { return classCursor_; }

    LResult send(uint32_t message, WParam w = 0, LParam l = 0);
    bool post(uint32_t message, WParam w = 0, LParam l = 0);

private:
    friend std::unique_ptr<Window> createWindow(WindowSpec shape);
    explicit Window(WindowSpec&& shape);
    void resizeSurface();

    Window* parent_ = nullptr;
    Window* owner_ = nullptr;
    uint32_t style_ = 0;
    int id_ = 0;
    std::string text_;
    Rect rect_;
    Size clientSize_;
    bool visible_ = false;
    bool enabled_ = true;
    Surface surface_;
    Rect invalid_;
    WindowProcedure procedure_;
    void* userData_ = nullptr;
    std::unique_ptr<WindowPart> part_;
    std::shared_ptr<const Cursor> classCursor_;
    std::vector<std::unique_ptr<Window>> children_;
};

// A top-level window, hidden until shown (or kStyleVisible).
std::unique_ptr<Window> createWindow(WindowSpec shape);

// DefWindowProc: what a procedure answers for messages it does not handle.
LResult defaultProcedure(Window& w, uint32_t message, WParam wParam, LParam lParam);

// Whether p names a live window (a host handle or a stale pointer does not).
bool isWindow(const void* p);
Window* asWindow(void* p);

// BeginPaint / EndPaint: the update rectangle, then the window is valid and
// the painted area goes to the screen.
class PaintScope {
public:
    explicit PaintScope(Window& w);
    ~PaintScope();
    PaintScope(const PaintScope&) = delete;
    PaintScope& operator=(const PaintScope&) = delete;
    Rect updateRect() const { return update_; }
    Surface& surface() { return window_.surface(); }

private:
    Window& window_;
    Rect update_;
};

// Keyboard focus and mouse capture.
Window* focusWindow();
void setFocus(Window* w);
Window* captureWindow();
void setCapture(Window& w);
void releaseCapture();

// The pointer in screen coordinates, and the screen's size.
Point cursorPosition();
Size screenSize();
// The top-level windows, bottom to top.
std::vector<Window*> topLevelWindows();

}  // namespace qm::ui
