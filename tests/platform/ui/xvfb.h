// A private X server for tests: Xvfb on a display number of its own, the
// process pointed at it, xdotool for input, and what the server shows.
#pragma once

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "platform/ui/surface.h"
#include "platform/ui/x11/external_program.h"

extern char** environ;

namespace qm::ui::testing {

// An Xvfb on a display number it picks itself (-displayfd), so parallel
// tests never collide.
class Xvfb {
public:
    ~Xvfb() { stop(); }

    bool start(std::string& why) {
        const std::string program = detail::findProgram("Xvfb");
        if (program.empty()) {
            why = "Xvfb is not installed";
            return false;
        }
        int fds[2];
        if (pipe(fds) != 0) return false;
        fcntl(fds[0], F_SETFD, FD_CLOEXEC);
        // -noreset: an X server resets when its last client leaves, and a
        // client arriving during the reset is refused; the probe below is
        // such a last client.
        std::vector<std::string> args{program, "-displayfd", std::to_string(fds[1]), "-screen", "0",
                                      "1280x1024x24", "-nolisten", "tcp", "-noreset"};
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        const int r = posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(fds[1]);
        if (r != 0) {
            close(fds[0]);
            why = "Xvfb did not start";
            return false;
        }
        std::string number;
        for (int waited = 0; waited < 150 && number.find('\n') == std::string::npos; ++waited) {
            pollfd p{fds[0], POLLIN, 0};
            if (poll(&p, 1, 100) > 0) {
                char c[16];
                const ssize_t n = read(fds[0], c, sizeof c);
                if (n <= 0) break;
                number.append(c, static_cast<size_t>(n));
            }
        }
        close(fds[0]);
        if (number.find('\n') == std::string::npos) {
            why = "Xvfb gave no display number";
            stop();
            return false;
        }
        display_ = ":" + number.substr(0, number.find('\n'));
        // The number comes once the server listens; a loaded machine has been
        // seen to refuse the first clients even so. Wait until one gets in.
        for (int tries = 0; tries < 100; ++tries) {
            if (Display* d = XOpenDisplay(display_.c_str())) {
                XCloseDisplay(d);
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        why = "Xvfb's display " + display_ + " takes no clients";
        stop();
        return false;
    }

    void stop() {
        if (pid_ <= 0) return;
        kill(pid_, SIGTERM);
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
    }

    // Gone at once, as when a remote display's connection breaks.
    void killHard() {
        if (pid_ <= 0) return;
        kill(pid_, SIGKILL);
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
    }

    const std::string& display() const { return display_; }

private:
    pid_t pid_ = -1;
    std::string display_;
};

// Points this process at a fresh display; the backend is chosen on first use.
inline void useDisplay(const std::string& display) {
    setenv("DISPLAY", display.c_str(), 1);
    unsetenv("QUILLMERE_HEADLESS");
    unsetenv("QUILLMERE_UI_SCRIPT");
    unsetenv("QUILLMERE_SCREENSHOTS");
}

inline int xdotool(const std::string& arguments) {
    return std::system(("xdotool " + arguments + " >/dev/null 2>&1").c_str());
}

// What the X server shows of a window's top-left width x height pixels;
// empty when the window cannot be read.
inline Surface serverImage(const std::string& display, unsigned long id, int width, int height) {
    Display* d = XOpenDisplay(display.c_str());
    if (!d) return {};
    XImage* img = XGetImage(d, id, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height), AllPlanes,
                            ZPixmap);
    Surface s;
    if (img) {
        s = Surface(width, height);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const unsigned long p = XGetPixel(img, x, y);
                s.setPixel(x, y, rgb(static_cast<int>((p >> 16) & 0xFF), static_cast<int>((p >> 8) & 0xFF),
                                     static_cast<int>(p & 0xFF)));
            }
        XDestroyImage(img);
    }
    XCloseDisplay(d);
    return s;
}

// The id of the first window whose name holds `name` (xdotool search), 0
// for none yet.
inline unsigned long windowNamed(const std::string& name) {
    FILE* p = popen(("xdotool search --name '" + name + "' 2>/dev/null").c_str(), "r");
    if (!p) return 0;
    unsigned long id = 0;
    if (std::fscanf(p, "%lu", &id) != 1) id = 0;
    pclose(p);
    return id;
}

// Whether two pictures agree inside r (false when either is smaller).
inline bool sameInside(const Surface& a, const Surface& b, const Rect& r) {
    if (a.width() < r.right || b.width() < r.right || a.height() < r.bottom || b.height() < r.bottom) return false;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x)
            if (a.pixel(x, y) != b.pixel(x, y)) return false;
    return true;
}

// What the X server shows of a window, against what our layer composed.
inline bool serverShows(const std::string& display, unsigned long id, const Surface& expected, std::string& why) {
    Display* d = XOpenDisplay(display.c_str());
    if (!d) {
        why = "cannot open " + display;
        return false;
    }
    XImage* img = XGetImage(d, id, 0, 0, static_cast<unsigned>(expected.width()),
                            static_cast<unsigned>(expected.height()), AllPlanes, ZPixmap);
    bool same = img != nullptr;
    for (int y = 0; same && y < expected.height(); ++y)
        for (int x = 0; same && x < expected.width(); ++x) {
            const unsigned long p = XGetPixel(img, x, y);
            const Colour c = rgb(static_cast<int>((p >> 16) & 0xFF), static_cast<int>((p >> 8) & 0xFF),
                                 static_cast<int>(p & 0xFF));
            if (c != expected.pixel(x, y)) {
                why = "pixel " + std::to_string(x) + "," + std::to_string(y) + " differs";
                same = false;
            }
        }
    if (img) XDestroyImage(img);
    XCloseDisplay(d);
    return same;
}

// A filter dialog a test drives on the server: found by its caption, looked
// at once its preview has stopped changing, clicked and dragged by xdotool
// at client coordinates.
class DialogWindow {
public:
    DialogWindow(std::string display, int width, int height, const Rect& preview, int pollMs = 150, int polls = 200)
        : display_(std::move(display)), width_(width), height_(height), preview_(preview), pollMs_(pollMs),
          polls_(polls) {}

    // Waits up to 20 s for the window; false when it never came.
    bool find(const std::string& caption) {
        for (int i = 0; i < 200 && !id_; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            id_ = windowNamed(caption);
        }
        return id_ != 0;
    }

    // The window once two looks in a row agree inside the preview (and, with
    // `unlike`, differ from it there); the last look when that never happens.
    Surface settled(const Surface* unlike = nullptr) const {
        Surface last;
        for (int i = 0; i < polls_; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(pollMs_));
            Surface now = serverImage(display_, id_, width_, height_);
            const bool stable = sameInside(now, last, preview_);
            last = std::move(now);
            if (stable && (!unlike || !sameInside(last, *unlike, preview_))) return last;
        }
        return last;
    }
    bool previewDiffers(const Surface& a, const Surface& b) const { return !sameInside(a, b, preview_); }

    void moveTo(int x, int y) const {
        xdotool("mousemove --sync --window " + std::to_string(id_) + " " + std::to_string(x) + " " + std::to_string(y));
    }
    void click(int x, int y) const {
        moveTo(x, y);
        xdotool("click 1");
    }
    // Pressed at the start, through the middle, released at the end.
    void drag(int x0, int y0, int x1, int y1) const {
        moveTo(x0, y0);
        xdotool("mousedown 1");
        moveTo((x0 + x1) / 2, (y0 + y1) / 2);
        moveTo(x1, y1);
        xdotool("mouseup 1");
    }

    // The preset list at (x, y), `down` entries down to its last one, which
    // opens the preset dialog; the settings saved there under `name`.
    void saveUserPreset(int x, int y, int down, const std::string& name) const {
        click(x, y);
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        std::string keys = "key";
        for (int i = 0; i < down; ++i) keys += " Down";
        xdotool(keys + " Return");
        std::this_thread::sleep_for(std::chrono::milliseconds(800));
        xdotool("type " + name);
        xdotool("key Return");
        std::this_thread::sleep_for(std::chrono::milliseconds(800));
    }

private:
    std::string display_;
    int width_, height_;
    Rect preview_;
    int pollMs_, polls_;
    unsigned long id_ = 0;
};

}  // namespace qm::ui::testing
