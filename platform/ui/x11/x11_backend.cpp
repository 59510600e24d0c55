// The x11 backend.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/cursorfont.h>
#include <X11/keysym.h>
#include <poll.h>

#include <algorithm>
#include <charconv>
#include <optional>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <unordered_map>

#include "platform/ui/backends.h"
#include "platform/ui/environment.h"
#include "platform/ui/message_box.h"
#include "platform/ui/x11/external_program.h"
#include "platform/ui/x11/x11.h"

namespace qm::ui {
namespace detail {
namespace {

// Set by the I/O error handlers, which Xlib may call from inside any call.
volatile bool g_lost = false;

int onProtocolError(Display*, XErrorEvent*) {
    return 0;  // a window gone a moment early and the like: nothing to do
}

int onIOError(Display*) {
    g_lost = true;
    return 0;
}

// Returning (instead of the default exit) keeps the host alive; Xlib then
// treats the connection as dead.
void onIOErrorExit(Display*, void*) { g_lost = true; }

struct ChannelShift {
    int shift = 0;
    int bits = 0;
};
ChannelShift channelOf(unsigned long mask) {
    ChannelShift c;
    if (!mask) return c;
    while (!(mask & 1)) {
        mask >>= 1;
        ++c.shift;
    }
    while (mask & 1) {
        mask >>= 1;
        ++c.bits;
    }
    return c;
}

uint32_t virtualKeyOf(KeySym k) {
    if (k >= XK_a && k <= XK_z) return static_cast<uint32_t>('A' + (k - XK_a));
    if (k >= XK_A && k <= XK_Z) return static_cast<uint32_t>('A' + (k - XK_A));
    if (k >= XK_0 && k <= XK_9) return static_cast<uint32_t>('0' + (k - XK_0));
    if (k >= XK_F1 && k <= XK_F12) return static_cast<uint32_t>(kVkF1 + (k - XK_F1));
    switch (k) {
    case XK_Return:
    case XK_KP_Enter: return kVkReturn;
    case XK_Escape: return kVkEscape;
    case XK_BackSpace: return kVkBack;
    case XK_Tab:
    case XK_ISO_Left_Tab: return kVkTab;
    case XK_Delete:
    case XK_KP_Delete: return kVkDelete;
    case XK_Left:
    case XK_KP_Left: return kVkLeft;
    case XK_Right:
    case XK_KP_Right: return kVkRight;
    case XK_Up:
    case XK_KP_Up: return kVkUp;
    case XK_Down:
    case XK_KP_Down: return kVkDown;
    case XK_Home:
    case XK_KP_Home: return kVkHome;
    case XK_End:
    case XK_KP_End: return kVkEnd;
    case XK_Prior: return kVkPrior;
    case XK_Next: return kVkNext;
    case XK_space: return kVkSpace;
    case XK_Shift_L:
    case XK_Shift_R: return kVkShift;
    case XK_Control_L:
    case XK_Control_R: return kVkControl;
    default: return 0;
    }
}

int zenityTimeoutMs() {
    const std::string v = environment(kEnvZenityTimeout);
    double seconds = 300;
    if (!v.empty()) {
        char* end = nullptr;
        const double s = std::strtod(v.c_str(), &end);
        if (end && *end == 0 && s > 0) seconds = s;
    }
    return static_cast<int>(std::min(seconds * 1000.0, 86400000.0));
}

std::string zenityPath() {
    const std::string chosen = environment(kEnvZenity);
    if (chosen == "none") return {};
    return findProgram(chosen.empty() ? "zenity" : chosen);
}

std::string trimmedLine(std::string s) {
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
    const size_t nl = s.find('\n');
    return nl == std::string::npos ? s : s.substr(0, nl);
}

// zenity's colour: "rgb(r,g,b)", "rgba(r,g,b,a)" or "#rrggbb".
std::optional<Colour> parseZenityColour(const std::string& s) {
    if (s.size() == 7 && s[0] == '#') {
        uint32_t v = 0;
        auto [end, ec] = std::from_chars(s.data() + 1, s.data() + 7, v, 16);
        if (ec == std::errc() && end == s.data() + 7)
            return rgb(static_cast<int>(v >> 16), static_cast<int>((v >> 8) & 0xFF), static_cast<int>(v & 0xFF));
        return std::nullopt;
    }
    const size_t open = s.find('(');
    if (open == std::string::npos || s.compare(0, 3, "rgb") != 0) return std::nullopt;
    int v[3];
    const char* p = s.data() + open + 1;
    const char* end = s.data() + s.size();
    for (int i = 0; i < 3; ++i) {
        double d = 0;
        auto [q, ec] = std::from_chars(p, end, d);
        if (ec != std::errc()) return std::nullopt;
        v[i] = static_cast<int>(std::lround(std::clamp(d, 0.0, 255.0)));
        p = q;
        while (p < end && (*p == ',' || *p == ' ')) ++p;
    }
    return rgb(v[0], v[1], v[2]);
}

class X11Backend final : public Backend {
public:
    bool open(std::string& error) {
        dpy_ = XOpenDisplay(nullptr);
        if (!dpy_) {
            error = "cannot open the display " + environment("DISPLAY");
            return false;
        }
        screen_ = DefaultScreen(dpy_);
        visual_ = DefaultVisual(dpy_, screen_);
        depth_ = DefaultDepth(dpy_, screen_);
        root_ = RootWindow(dpy_, screen_);
        int formats = 0;
        XPixmapFormatValues* list = XListPixmapFormats(dpy_, &formats);
        int bpp = 0;
        for (int i = 0; i < formats; ++i)
            if (list[i].depth == depth_) bpp = list[i].bits_per_pixel;
        if (list) XFree(list);
        if (visual_->c_class != TrueColor || bpp != 32 || depth_ < 24) {
            error = "the display's visual is not 24-bit true colour";
            XCloseDisplay(dpy_);
            dpy_ = nullptr;
            return false;
        }
        red_ = channelOf(visual_->red_mask);
        green_ = channelOf(visual_->green_mask);
        blue_ = channelOf(visual_->blue_mask);
        previousError_ = XSetErrorHandler(onProtocolError);
        previousIOError_ = XSetIOErrorHandler(onIOError);
        XSetIOErrorExitHandler(dpy_, onIOErrorExit, nullptr);
        gc_ = XCreateGC(dpy_, root_, 0, nullptr);
        wmProtocols_ = XInternAtom(dpy_, "WM_PROTOCOLS", False);
        wmDelete_ = XInternAtom(dpy_, "WM_DELETE_WINDOW", False);
        netWmName_ = XInternAtom(dpy_, "_NET_WM_NAME", False);
        utf8_ = XInternAtom(dpy_, "UTF8_STRING", False);
        windowType_ = XInternAtom(dpy_, "_NET_WM_WINDOW_TYPE", False);
        typeDialog_ = XInternAtom(dpy_, "_NET_WM_WINDOW_TYPE_DIALOG", False);
        return true;
    }

    ~X11Backend() override {
        if (dpy_ && !g_lost) {
            for (auto& [w, n] : natives_) XDestroyWindow(dpy_, n);
            for (auto& [serial, c] : cursors_) XFreeCursor(dpy_, c);
            XFreeGC(dpy_, gc_);
            XCloseDisplay(dpy_);
        }
        // The handlers live in this library, which may be unloaded next.
        if (dpy_) {
            XSetErrorHandler(previousError_);
            XSetIOErrorHandler(previousIOError_);
        }
    }

    const char* name() const override { return "x11"; }

    Size screenSize() override {
        if (lost()) return lastScreen_;
        lastScreen_ = {DisplayWidth(dpy_, screen_), DisplayHeight(dpy_, screen_)};
        return lastScreen_;
    }

    bool lost() const { return g_lost; }
    void sync() {
        if (!lost()) XSync(dpy_, False);
    }
    bool exhausted() const override { return g_lost; }

    ::Window native(const Window& w) const {
        auto it = natives_.find(&w);
        return it == natives_.end() ? 0 : it->second;
    }

    void shown(Window& w, bool visible) override {
        if (lost()) return;
        if (visible) {
            ::Window id = native(w);
            if (!id) id = create(w);
            XMapRaised(dpy_, id);
            XFlush(dpy_);
        } else if (::Window id = native(w)) {
            XUnmapWindow(dpy_, id);
            XFlush(dpy_);
        }
    }

    void moved(Window& w) override {
        if (lost() || configuring_) return;
        if (::Window id = native(w)) {
            const Point o = w.clientToScreen({0, 0});
            const Size s = w.clientSize();
            XMoveResizeWindow(dpy_, id, o.x, o.y, static_cast<unsigned>(std::max(1, s.width)),
                              static_cast<unsigned>(std::max(1, s.height)));
            setSizeHints(w, id);
        }
    }

    void textChanged(Window& w) override {
        if (lost()) return;
        if (::Window id = native(w)) setTitle(w, id);
    }

    void destroyed(Window& w) override {
        auto it = natives_.find(&w);
        if (it == natives_.end()) return;
        if (!lost()) {
            XDestroyWindow(dpy_, it->second);
            XFlush(dpy_);
        }
        byId_.erase(it->second);
        natives_.erase(it);
    }

    void present(Window& w, const Rect& area) override {
        if (lost()) return;
        ::Window id = native(w);
        if (!id || area.isEmpty()) return;
        const Surface s = composeArea(w, area);
        const int width = s.width(), height = s.height();
        pixels_.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
        for (int y = 0; y < height; ++y) {
            std::span<const uint8_t> row = s.row(y);
            uint32_t* out = &pixels_[static_cast<size_t>(y) * static_cast<size_t>(width)];
            for (int x = 0; x < width; ++x) {
                const uint32_t b = row[static_cast<size_t>(x) * 3], g = row[static_cast<size_t>(x) * 3 + 1],
                               r = row[static_cast<size_t>(x) * 3 + 2];
                out[x] = scale(r, red_) | scale(g, green_) | scale(b, blue_);
            }
        }
        XImage* image = XCreateImage(dpy_, visual_, static_cast<unsigned>(depth_), ZPixmap, 0,
                                     reinterpret_cast<char*>(pixels_.data()), static_cast<unsigned>(width),
                                     static_cast<unsigned>(height), 32, width * 4);
        if (!image) return;
        image->byte_order = LSBFirst;  // the buffer holds native little-endian words
        XPutImage(dpy_, id, gc_, image, 0, 0, area.left, area.top, static_cast<unsigned>(width),
                  static_cast<unsigned>(height));
        image->data = nullptr;  // ours
        XDestroyImage(image);
        XFlush(dpy_);
    }

    void captureChanged(Window* w) override {
        if (lost()) return;
        if (w) {
            if (::Window id = native(w->topLevel())) {
                XGrabPointer(dpy_, id, False, ButtonPressMask | ButtonReleaseMask | PointerMotionMask,
                             GrabModeAsync, GrabModeAsync, None, None, CurrentTime);
            }
        } else {
            XUngrabPointer(dpy_, CurrentTime);
        }
        XFlush(dpy_);
    }

    void cursorChanged(const Cursor& c) override {
        if (lost()) return;
        const ::Cursor xc = cursorFor(c);
        for (auto& [w, id] : natives_) XDefineCursor(dpy_, id, xc);
        XFlush(dpy_);
    }

    void pump() override {
        while (!lost() && XPending(dpy_) > 0) {
            XEvent e;
            XNextEvent(dpy_, &e);
            if (lost()) break;
            handle(e);
        }
    }

    void wait(int timeoutMs) override {
        if (lost()) return;
        XFlush(dpy_);
        if (lost()) return;
        if (XPending(dpy_) == 0 && !lost()) {
            pollfd p{ConnectionNumber(dpy_), POLLIN, 0};
            poll(&p, 1, timeoutMs < 0 ? -1 : timeoutMs);
        }
        pump();
    }

    int messageBox(Window* owner, std::string_view text, std::string_view caption, uint32_t flags) override {
        // Nobody saw it: a question is not agreed to.
        if (lost()) return unseenMessageBox(text, caption, flags, kIdCancel);
        return builtinMessageBox(owner, text, caption, flags);
    }

    FileAnswer fileDialog(const FileDialogOptions& o, bool save) override {
        if (lost()) return {AnswerStatus::Cancelled, {}};
        const std::string zenity = zenityPath();
        if (zenity.empty()) return {AnswerStatus::Unavailable, {}};
        std::vector<std::string> argv{zenity, "--file-selection"};
        if (save) argv.push_back("--save");
        if (!o.title.empty()) argv.push_back("--title=" + o.title);
        std::string start = o.initialFolder;
        if (!start.empty() && start.back() != '/') start.push_back('/');
        start += o.fileName;
        if (!start.empty()) argv.push_back("--filename=" + start);
        for (const FileFilter& f : o.filters) {
            std::string patterns;
            size_t pos = 0;
            while (pos <= f.patterns.size()) {
                size_t end = f.patterns.find(';', pos);
                if (end == std::string::npos) end = f.patterns.size();
                std::string p = f.patterns.substr(pos, end - pos);
                while (!p.empty() && p.front() == ' ') p.erase(p.begin());
                if (!p.empty()) patterns += (patterns.empty() ? "" : " ") + p;
                pos = end + 1;
            }
            if (!patterns.empty())
                argv.push_back("--file-filter=" + (f.description.empty() ? patterns : f.description) + " | " + patterns);
        }
        ProgramResult r = runHelper(argv);
        if (r.outcome != ProgramResult::Outcome::Exited || (r.exitCode != 0 && r.exitCode != 1))
            return {AnswerStatus::Unavailable, {}};
        std::string path = trimmedLine(r.output);
        if (r.exitCode == 1 || path.empty()) return {AnswerStatus::Cancelled, {}};
        return {AnswerStatus::Chosen, path};
    }

    ColourAnswer chooseColour(Window*, Colour initial) override {
        if (lost()) return {AnswerStatus::Cancelled, 0};
        const std::string zenity = zenityPath();
        if (zenity.empty()) return {AnswerStatus::Unavailable, 0};
        char start[16];
        std::snprintf(start, sizeof start, "#%02X%02X%02X", redOf(initial), greenOf(initial), blueOf(initial));
        ProgramResult r = runHelper({zenity, "--color-selection", std::string("--color=") + start});
        if (r.outcome != ProgramResult::Outcome::Exited || (r.exitCode != 0 && r.exitCode != 1))
            return {AnswerStatus::Unavailable, 0};
        if (r.exitCode == 1) return {AnswerStatus::Cancelled, 0};
        auto c = parseZenityColour(trimmedLine(r.output));
        if (!c) return {AnswerStatus::Unavailable, 0};
        return {AnswerStatus::Chosen, *c};
    }

private:
    static uint32_t scale(uint32_t v, const ChannelShift& c) {
        return c.bits >= 8 ? (v << (c.shift + c.bits - 8)) : ((v >> (8 - c.bits)) << c.shift);
    }

    ProgramResult runHelper(const std::vector<std::string>& argv) {
        // Our windows keep showing while it runs; their input waits.
        blocked_ = true;
        ProgramResult r = runProgram(argv, {"GSETTINGS_BACKEND=memory", "NO_AT_BRIDGE=1"}, zenityTimeoutMs(),
                                     [this] { pump(); });
        blocked_ = false;
        if (r.outcome == ProgramResult::Outcome::TimedOut)
            std::fprintf(stderr, "quillmere: %s did not answer in time; using the built-in dialog\n", argv[0].c_str());
        return r;
    }

    void setTitle(const Window& w, ::Window id) {
        const std::string& t = w.text();
        XStoreName(dpy_, id, t.c_str());
        XChangeProperty(dpy_, id, netWmName_, utf8_, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(t.data()), static_cast<int>(t.size()));
    }

    void setSizeHints(const Window& w, ::Window id) {
        XSizeHints* hints = XAllocSizeHints();
        if (!hints) return;
        const Point o = w.clientToScreen({0, 0});
        hints->flags = USPosition | PPosition | PMinSize | PMaxSize;
        hints->x = o.x;
        hints->y = o.y;
        hints->min_width = hints->max_width = std::max(1, w.clientSize().width);
        hints->min_height = hints->max_height = std::max(1, w.clientSize().height);
        XSetWMNormalHints(dpy_, id, hints);
        XFree(hints);
    }

    ::Window create(Window& w) {
        XSetWindowAttributes a{};
        a.background_pixmap = None;
        a.bit_gravity = NorthWestGravity;
        // Pop-ups without a caption (lists, pickers) place themselves.
        a.override_redirect = (w.style() & kStyleCaption) ? False : True;
        a.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask | KeyPressMask |
                       KeyReleaseMask | StructureNotifyMask;
        const Point o = w.clientToScreen({0, 0});
        const Size s = w.clientSize();
        ::Window id = XCreateWindow(dpy_, root_, o.x, o.y, static_cast<unsigned>(std::max(1, s.width)),
                                    static_cast<unsigned>(std::max(1, s.height)), 0, CopyFromParent, InputOutput,
                                    CopyFromParent, CWBackPixmap | CWBitGravity | CWOverrideRedirect | CWEventMask, &a);
        XSetWMProtocols(dpy_, id, &wmDelete_, 1);
        setTitle(w, id);
        setSizeHints(w, id);
        XChangeProperty(dpy_, id, windowType_, XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(&typeDialog_), 1);
        if (w.owner())
            if (::Window owner = native(*w.owner())) XSetTransientForHint(dpy_, id, owner);
        XDefineCursor(dpy_, id, cursorFor(*currentCursor()));
        natives_[&w] = id;
        byId_[id] = &w;
        return id;
    }

    ::Cursor cursorFor(const Cursor& c) {
        auto it = cursors_.find(c.serial());
        if (it != cursors_.end()) return it->second;
        ::Cursor xc = None;
        if (c.shape() == Cursor::Shape::Arrow || c.image().pixels.isEmpty()) {
            xc = XCreateFontCursor(dpy_, XC_left_ptr);
        } else {
            // Two colours: dark pixels black, light ones white, the rest see-through.
            const CursorImage& img = c.image();
            const int w = img.pixels.width(), h = img.pixels.height();
            const int stride = (w + 7) / 8;
            std::vector<char> source(static_cast<size_t>(stride * h)), mask(static_cast<size_t>(stride * h));
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    const size_t at = static_cast<size_t>(y * stride + x / 8);
                    const char bit = static_cast<char>(1 << (x % 8));
                    const Colour p = img.pixels.pixel(x, y);
                    if (img.opaque[static_cast<size_t>(y * w + x)]) mask[at] = static_cast<char>(mask[at] | bit);
                    if (redOf(p) + greenOf(p) + blueOf(p) < 384) source[at] = static_cast<char>(source[at] | bit);
                }
            Pixmap sp = XCreateBitmapFromData(dpy_, root_, source.data(), static_cast<unsigned>(w), static_cast<unsigned>(h));
            Pixmap mp = XCreateBitmapFromData(dpy_, root_, mask.data(), static_cast<unsigned>(w), static_cast<unsigned>(h));
            XColor black{}, white{};
            white.red = white.green = white.blue = 0xFFFF;
            black.flags = white.flags = DoRed | DoGreen | DoBlue;
            xc = XCreatePixmapCursor(dpy_, sp, mp, &black, &white,
                                     static_cast<unsigned>(std::clamp(img.hotSpot.x, 0, w - 1)),
                                     static_cast<unsigned>(std::clamp(img.hotSpot.y, 0, h - 1)));
            XFreePixmap(dpy_, sp);
            XFreePixmap(dpy_, mp);
        }
        cursors_[c.serial()] = xc;
        return xc;
    }

    Window* windowOf(::Window id) const {
        auto it = byId_.find(id);
        return it == byId_.end() || !isWindow(it->second) ? nullptr : it->second;
    }

    void handle(XEvent& e) {
        Window* w = windowOf(e.xany.window);
        if (!w) return;
        switch (e.type) {
        case Expose:
            present(*w, Rect::ofSize(e.xexpose.x, e.xexpose.y, e.xexpose.width, e.xexpose.height));
            break;
        case MapNotify:
            if (w == activeWindow()) XSetInputFocus(dpy_, e.xmap.window, RevertToParent, CurrentTime);
            break;
        case ConfigureNotify:
            // A window manager moved it: keep our idea of where it is.
            if (e.xconfigure.send_event) {
                const FrameInsets f = w->frame();
                configuring_ = true;
                w->move(e.xconfigure.x - f.left, e.xconfigure.y - f.top);
                configuring_ = false;
            }
            break;
        case ButtonPress:
        case ButtonRelease:
            if (!blocked_) button(*w, e.xbutton);
            break;
        case MotionNotify: {
            if (blocked_) break;
            // Only the latest of the moves that follow one another matters; a
            // move queued after a press or release must stay after it, or a
            // quick drag arrives as move, press, release.
            while (XPending(dpy_) > 0) {
                XEvent next;
                XPeekEvent(dpy_, &next);
                if (next.type != MotionNotify || next.xmotion.window != e.xmotion.window) break;
                XNextEvent(dpy_, &e);
            }
            MouseEvent m;
            m.kind = MouseEvent::Kind::Move;
            m.screen = w->clientToScreen({e.xmotion.x, e.xmotion.y});
            m.shift = e.xmotion.state & ShiftMask;
            m.control = e.xmotion.state & ControlMask;
            m.time = static_cast<uint32_t>(e.xmotion.time);
            deliverMouse(m);
            break;
        }
        case KeyPress:
        case KeyRelease: {
            if (blocked_) break;
            char text[8] = {};
            KeySym sym = 0;
            const int n = XLookupString(&e.xkey, text, sizeof text, &sym, nullptr);
            KeyEvent k;
            k.vk = virtualKeyOf(sym);
            k.down = e.type == KeyPress;
            k.shift = e.xkey.state & ShiftMask;
            k.control = e.xkey.state & ControlMask;
            k.time = static_cast<uint32_t>(e.xkey.time);
            // Latin-1 from XLookupString; Delete makes no character.
            if (k.down && n == 1 && static_cast<unsigned char>(text[0]) != 0x7F)
                k.character = static_cast<unsigned char>(text[0]);
            if (k.vk || k.character) deliverKey(k);
            break;
        }
        case ClientMessage:
            if (!blocked_ && e.xclient.message_type == wmProtocols_ &&
                static_cast<Atom>(e.xclient.data.l[0]) == wmDelete_)
                deliverClose(*w);
            break;
        default:
            break;
        }
    }

    void button(Window& w, const XButtonEvent& b) {
        MouseEvent m;
        m.screen = w.clientToScreen({b.x, b.y});
        m.shift = b.state & ShiftMask;
        m.control = b.state & ControlMask;
        m.time = static_cast<uint32_t>(b.time);
        const bool press = b.type == ButtonPress;
        switch (b.button) {
        case 1: m.button = 1; break;
        case 2: m.button = 3; break;
        case 3: m.button = 2; break;
        case 8: m.button = 4; break;  // X keeps no state bit for 8 and 9: the input path does
        case 9: m.button = 5; break;
        case 4:
        case 5:
        case 6:
        case 7:
            if (!press) return;
            m.kind = b.button <= 5 ? MouseEvent::Kind::Wheel : MouseEvent::Kind::HWheel;
            m.wheelDelta = (b.button == 4 || b.button == 7) ? kWheelDelta : -kWheelDelta;
            deliverMouse(m);
            return;
        default:
            return;
        }
        m.kind = press ? MouseEvent::Kind::Press : MouseEvent::Kind::Release;
        deliverMouse(m);
    }

    Display* dpy_ = nullptr;
    int screen_ = 0;
    Visual* visual_ = nullptr;
    int depth_ = 0;
    ::Window root_ = 0;
    GC gc_ = nullptr;
    ChannelShift red_, green_, blue_;
    Atom wmProtocols_ = 0, wmDelete_ = 0, netWmName_ = 0, utf8_ = 0, windowType_ = 0, typeDialog_ = 0;
    XErrorHandler previousError_ = nullptr;
    XIOErrorHandler previousIOError_ = nullptr;
    std::unordered_map<const Window*, ::Window> natives_;
    std::unordered_map<::Window, Window*> byId_;
    std::unordered_map<uint64_t, ::Cursor> cursors_;
    std::vector<uint32_t> pixels_;
    Size lastScreen_{1280, 1024};
    bool blocked_ = false;
    bool configuring_ = false;
};

X11Backend* running() { return dynamic_cast<X11Backend*>(&backend()); }

}  // namespace

std::unique_ptr<Backend> openX11Backend(std::string& error) {
    auto b = std::make_unique<X11Backend>();
    if (!b->open(error)) return nullptr;
    return b;
}

}  // namespace detail

namespace x11 {

bool active() { return detail::running() != nullptr; }

unsigned long nativeWindow(const Window& w) {
    detail::X11Backend* b = detail::running();
    return b ? b->native(w) : 0;
}

bool displayLost() { return detail::g_lost; }

void sync() {
    if (detail::X11Backend* b = detail::running()) b->sync();
}

}  // namespace x11
}  // namespace qm::ui
