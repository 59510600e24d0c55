// The x11 backend on a real X server: Xvfb, driven by xdotool.
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/ui/common_dialogs.h"
#include "platform/ui/dialog.h"
#include "platform/ui/message_box.h"
#include "platform/ui/queue.h"
#include "platform/ui/screenshot.h"
#include "platform/ui/x11/external_program.h"
#include "platform/ui/x11/x11.h"
#include "tests/platform/ui/ui_test_support.h"
#include "tests/platform/ui/xvfb.h"

extern char** environ;

namespace qm::ui {
namespace {

namespace fs = std::filesystem;
using testing::Seen;
using testing::Xvfb;
using testing::serverShows;
using testing::useDisplay;
using testing::xdotool;

class X11Test : public ::testing::Test {
protected:
    void SetUp() override {
        static Xvfb server;
        static std::string why;
        static const bool started = [] {
            if (detail::findProgram("xdotool").empty()) {
                why = "xdotool is not installed";
                return false;
            }
            if (!server.start(why)) return false;
            useDisplay(server.display());
            return true;
        }();
        if (!started) GTEST_SKIP() << why;
        ASSERT_TRUE(x11::active()) << "the x11 backend did not open " << server.display();
        display_ = server.display();
    }
    std::string display_;
};

void paintPattern(Surface& s) {
    for (int y = 0; y < s.height(); ++y)
        for (int x = 0; x < s.width(); ++x) s.setPixel(x, y, rgb(x & 0xFF, (y * 3) & 0xFF, (x + y) & 0xFF));
    s.setPen(kBlack);
    s.setBrush(rgb(255, 255, 0));
    s.rectangle({20, 120, 120, 160});
    s.setBackgroundMode(BackgroundMode::Transparent);
    s.drawText(30, 130, "Quillmere on X");
}

void sendDeleteWindow(const std::string& display, unsigned long id) {
    Display* d = XOpenDisplay(display.c_str());
    if (!d) return;
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = id;
    e.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = static_cast<long>(XInternAtom(d, "WM_DELETE_WINDOW", False));
    e.xclient.data.l[1] = CurrentTime;
    XSendEvent(d, id, False, NoEventMask, &e);
    XSync(d, False);
    XCloseDisplay(d);
}

DialogTemplate testDialog(const char* caption) {
    DialogTemplate t;
    t.pixels = true;
    t.size = {300, 200};
    t.caption = caption;
    return t;
}

constexpr uintptr_t kStepTimer = 1, kGuardTimer = 2;

TEST_F(X11Test, ARealWindowGetsClicksDoubleClicksExtraButtonsAndEscapeAndShowsItsSurface) {
    struct Step {
        Point at;          // client point to move to first (none: {-1, -1})
        std::string then;  // xdotool command after the move; empty: the window manager's close
        std::vector<Seen> expect;
    };
    auto at = [](int x, int y) { return makePointParam(x, y); };
    const std::vector<Step> steps = {
        {{40, 40}, "click 1", {{kWmLButtonDown, kMkLButton, at(40, 40)}, {kWmLButtonUp, 0, at(40, 40)}}},
        {{120, 60}, "click --repeat 2 --delay 60 1",
         {{kWmLButtonDown, kMkLButton, at(120, 60)}, {kWmLButtonUp, 0, at(120, 60)},
          {kWmLButtonDblClk, kMkLButton, at(120, 60)}, {kWmLButtonUp, 0, at(120, 60)}}},
        {{200, 100}, "click 8",
         {{kWmXButtonDown, kMkXButton1 | (kXButton1 << 16), at(200, 100)},
          {kWmXButtonUp, kXButton1 << 16, at(200, 100)}}},
        {{230, 150}, "click 9",
         {{kWmXButtonDown, kMkXButton2 | (kXButton2 << 16), at(230, 150)},
          {kWmXButtonUp, kXButton2 << 16, at(230, 150)}}},
        {{-1, -1}, "key Escape", {{kWmCommand, makeCommandParam(kIdCancelCommand, kBnClicked), 0}}},
        {{-1, -1}, "", {{kWmClose, 0, 0}, {kWmCommand, makeCommandParam(kIdCancelCommand, kBnClicked), 0}}},
    };
    std::vector<Seen> seen;
    std::vector<Point> moves;
    size_t step = 0, checked = 0;
    bool painted = false, screenChecked = false, screenMatched = false;
    std::string mismatch;
    int tries = 0;
    const intptr_t code = runModalDialog(testDialog("Quillmere X11 test"), nullptr,
                                         [&](Window& w, uint32_t m, WParam wp, LParam lp) -> intptr_t {
        switch (m) {
        case kWmInitDialog:
            setTimer(w, kStepTimer, 20);
            setTimer(w, kGuardTimer, 30000);
            return 0;
        case kWmPaint: {
            PaintScope paint(w);
            paintPattern(w.surface());
            painted = true;
            return 1;
        }
        case kWmMouseMove:
            moves.push_back(pointOfParam(lp));
            return 1;
        case kWmTimer:
            if (wp == kGuardTimer) {
                endDialog(w, -5);
                return 1;
            }
            if (!painted || !x11::nativeWindow(w)) return 1;
            if (!screenChecked) {
                // What the server shows once it has done our drawing.
                x11::sync();
                screenMatched = serverShows(display_, x11::nativeWindow(w), composeWindow(w), mismatch);
                screenChecked = screenMatched || ++tries > 50;
                return 1;
            }
            if (step > 0 && seen.size() < checked + steps[step - 1].expect.size()) return 1;
            if (step > 0) checked += steps[step - 1].expect.size();
            if (step >= steps.size()) return 1;
            if (steps[step].at.x >= 0) {
                const Point s = w.clientToScreen(steps[step].at);
                xdotool("mousemove --sync " + std::to_string(s.x) + " " + std::to_string(s.y));
            }
            if (steps[step].then.empty()) sendDeleteWindow(display_, x11::nativeWindow(w));
            else xdotool(steps[step].then);
            ++step;
            return 1;
        case kWmClose:
            seen.push_back({m, wp, lp});
            return 0;  // on to the default: IDCANCEL
        case kWmCommand:
            seen.push_back({m, wp, 0});
            if (step == steps.size()) endDialog(w, 99);
            return 1;
        default:
            if (isMouseMessage(m)) seen.push_back({m, wp, lp});
            return 0;
        }
    });
    EXPECT_TRUE(screenMatched) << mismatch;
    EXPECT_EQ(code, 99) << "the dialog did not end through its close";
    std::vector<Seen> expected;
    for (const Step& s : steps) expected.insert(expected.end(), s.expect.begin(), s.expect.end());
    EXPECT_EQ(seen, expected);
    EXPECT_NE(std::find(moves.begin(), moves.end(), Point{40, 40}), moves.end());
}

// A stand-in for zenity that answers as a test asks (FAKE_ZENITY_MODE) and
// notes its arguments.
struct FakeZenity {
    fs::path dir = fs::temp_directory_path() / ("quillmere-fake-zenity-" + std::to_string(getpid()));
    fs::path program = dir / "zenity";
    fs::path args = dir / "args";
    FakeZenity() {
        fs::create_directories(dir);
        std::ofstream(program) << "#!/bin/sh\n"
                                  "printf '%s\\n' \"$@\" > '" << args.string() << "'\n"
                                  "case \"$FAKE_ZENITY_MODE\" in\n"
                                  "  choose) echo /tmp/qm-chosen; exit 0;;\n"
                                  "  colour) echo 'rgb(255,128,0)'; exit 0;;\n"
                                  "  cancel) exit 1;;\n"
                                  "  hang) exec sleep 60;;\n"
                                  "  *) exit 3;;\n"
                                  "esac\n";
        fs::permissions(program, fs::perms::owner_all);
    }
    ~FakeZenity() {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    std::string arguments() const {
        std::ifstream in(args);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
};

// Drives the built-in dialog titled `title` from outside, as a user would.
std::thread answerBuiltInDialog(const std::string& title, std::vector<std::string> commands) {
    return std::thread([title, commands] {
        const std::string find = "timeout 20 xdotool search --sync --onlyvisible --name '^" + title + "$'";
        std::string id;
        if (FILE* p = popen(find.c_str(), "r")) {
            char line[64];
            if (std::fgets(line, sizeof line, p)) id = line;
            pclose(p);
        }
        while (!id.empty() && (id.back() == '\n')) id.pop_back();
        if (id.empty()) return;
        // Keys go where the pointer is.
        xdotool("mousemove --window " + id + " 30 10");
        for (const std::string& c : commands) xdotool(c);
    });
}

TEST_F(X11Test, FileAndColourDialogsUseZenityAndFallBackWhenItFailsOrHangs) {
    FakeZenity fake;
    setenv("QUILLMERE_ZENITY", fake.program.c_str(), 1);
    FileDialogOptions o;
    o.title = "Export";
    o.filters = {{"*.reg", "*.reg;"}};
    o.initialFolder = "/tmp/start/";
    o.fileName = "Presets";
    o.defaultExtension = "reg";

    setenv("FAKE_ZENITY_MODE", "choose", 1);
    EXPECT_EQ(saveFileDialog(o), "/tmp/qm-chosen.reg");
    const std::string args = fake.arguments();
    for (const char* a : {"--file-selection\n", "--save\n", "--title=Export\n", "--filename=/tmp/start/Presets\n",
                          "--file-filter=*.reg | *.reg\n"})
        EXPECT_NE(args.find(a), std::string::npos) << a << " missing in:\n" << args;
    EXPECT_EQ(args.find("--confirm-overwrite"), std::string::npos) << "replacing is the caller's question";

    setenv("FAKE_ZENITY_MODE", "cancel", 1);
    EXPECT_EQ(openFileDialog(o), std::nullopt);

    setenv("FAKE_ZENITY_MODE", "colour", 1);
    EXPECT_EQ(chooseColour(nullptr, rgb(1, 2, 3)), rgb(255, 128, 0));
    EXPECT_NE(fake.arguments().find("--color=#010203"), std::string::npos) << fake.arguments();

    // Hanging: given up after the time limit, then the built-in dialog answers.
    setenv("FAKE_ZENITY_MODE", "hang", 1);
    setenv("QUILLMERE_ZENITY_TIMEOUT", "0.5", 1);
    std::thread user = answerBuiltInDialog("Export", {"type --delay 20 /tmp/typed", "key Return"});
    EXPECT_EQ(saveFileDialog(o), "/tmp/typed.reg");
    user.join();

    // Missing: the built-in dialog at once; Escape cancels it.
    setenv("QUILLMERE_ZENITY", "/nonexistent/zenity", 1);
    user = answerBuiltInDialog("Export", {"key Escape"});
    EXPECT_EQ(saveFileDialog(o), std::nullopt);
    user.join();
    unsetenv("QUILLMERE_ZENITY_TIMEOUT");
    unsetenv("QUILLMERE_ZENITY");
}

// In a process of its own: the display dies under a running dialog.
void runUntilTheDisplayDies() {
    Xvfb own;
    std::string why;
    if (!own.start(why)) std::_Exit(10);
    useDisplay(own.display());
    if (!x11::active()) std::_Exit(11);
    bool killed = false;
    const intptr_t code = runModalDialog(testDialog("Going away"), nullptr,
                                         [&](Window& w, uint32_t m, WParam wp, LParam) -> intptr_t {
        if (m == kWmInitDialog) {
            setTimer(w, kStepTimer, 20);
            setTimer(w, kGuardTimer, 20000);
        }
        if (m == kWmTimer && wp == kGuardTimer) endDialog(w, -5);
        if (m == kWmTimer && wp == kStepTimer && !killed && x11::nativeWindow(w)) {
            killed = true;
            own.killHard();
        }
        if (m == kWmCommand && commandIdOf(wp) == kIdCancelCommand) endDialog(w, 2);
        return 0;
    });
    if (code != 2) std::_Exit(12);
    if (!x11::displayLost()) std::_Exit(13);
    // Nobody can see a question now: it is not agreed to.
    if (messageBox(nullptr, "Replace?", "Lost", kMbOkCancel) != kIdCancel) std::_Exit(14);
    std::_Exit(0);
}

TEST(X11DeathTest, ADisplayThatGoesAwayEndsTheDialogAsCancelled) {
    if (detail::findProgram("Xvfb").empty()) GTEST_SKIP() << "Xvfb is not installed";
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(runUntilTheDisplayDies(), ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace qm::ui
