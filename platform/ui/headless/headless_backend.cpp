// The headless backend: no display; a virtual screen and a script.
#include <charconv>
#include <cstdio>
#include <deque>
#include <fstream>
#include <iterator>
#include <thread>

#include "platform/ui/backends.h"
#include "platform/ui/controls.h"
#include "platform/ui/dialog.h"
#include "platform/ui/environment.h"
#include "platform/ui/headless/headless.h"
#include "platform/ui/headless/script.h"
#include "platform/ui/message_box.h"
#include "platform/ui/queue.h"
#include "platform/ui/screenshot.h"

namespace qm::ui {
namespace detail {
namespace {

Size screenFromEnvironment() {
    const std::string v = environment(kEnvScreen);
    const size_t x = v.find('x');
    int w = 0, h = 0;
    if (x != std::string::npos) {
        std::from_chars(v.data(), v.data() + x, w);
        std::from_chars(v.data() + x + 1, v.data() + v.size(), h);
    }
    if (w > 0 && h > 0 && w <= 16384 && h <= 16384) return {w, h};
    if (!v.empty()) std::fprintf(stderr, "quillmere: %s=%s is not WxH; using 1280x1024\n", kEnvScreen, v.c_str());
    return {1280, 1024};
}

class HeadlessBackend final : public Backend {
public:
    HeadlessBackend() : screen_(screenFromEnvironment()) { followScript(); }

    const char* name() const override { return "headless"; }
    Size screenSize() override { return screen_; }
    void setScreen(Size s) { screen_ = s; }

    void pump() override { followScript(); }
    bool exhausted() const override { return next_ >= actions_.size(); }
    bool screenshotEachPaint() const override { return !hasMarks_; }

    void wait(int timeoutMs) override {
        if (exhausted()) return;
        const script::Action& a = actions_[next_];
        if (a.kind == script::Kind::Idle) {
            const uint64_t now = nowMs();
            if (!idleDeadline_) idleDeadline_ = now + static_cast<uint64_t>(a.amount);
            if (!hasTimers() || now >= idleDeadline_) {
                idleDeadline_ = 0;
                ++next_;
                return;
            }
            uint64_t sleep = idleDeadline_ - now;
            if (timeoutMs >= 0) sleep = std::min<uint64_t>(sleep, static_cast<uint64_t>(timeoutMs));
            std::this_thread::sleep_for(std::chrono::milliseconds(sleep));
            return;
        }
        ++next_;
        run(a);
    }

    int messageBox(Window*, std::string_view text, std::string_view caption, uint32_t flags) override {
        int answer = kIdOk;
        if (!answers_.empty()) {
            answer = answers_.front();
            answers_.pop_front();
        } else if (nextIs(script::Kind::Answer)) {
            answer = actions_[next_++].amount;
        }
        return unseenMessageBox(text, caption, flags, answer);
    }

    FileAnswer fileDialog(const FileDialogOptions&, bool) override {
        script::Action a;
        if (!take(chooses_, script::Kind::Choose, a)) return {AnswerStatus::Cancelled, {}};
        if (a.cancel) return {AnswerStatus::Cancelled, {}};
        return {AnswerStatus::Chosen, a.text};
    }

    ColourAnswer chooseColour(Window*, Colour) override {
        script::Action a;
        if (!take(colours_, script::Kind::Colour, a) || a.cancel) return {AnswerStatus::Cancelled, 0};
        return {AnswerStatus::Chosen, a.colour};
    }

    // A host that runs the plug-in again names a new script file for each
    // run (its demo does): the new script replaces what is left of the old.
    void followScript() {
        const std::string path = environment(kEnvScript);
        if (path == scriptPath_) return;
        scriptPath_ = path;
        if (path.empty()) return;
        std::ifstream in(path, std::ios::binary);
        std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::string error;
        if (!in && text.empty()) {
            report("cannot read the ui script " + path);
        } else if (!load(text, path, error)) {
            report(error);
        }
    }

    bool load(std::string_view text, std::string_view name, std::string& error) {
        actions_.clear();
        next_ = 0;
        idleDeadline_ = 0;
        answers_.clear();
        chooses_.clear();
        colours_.clear();
        lastError_.clear();
        name_ = name;
        std::vector<script::Action> parsed;
        if (!script::parse(text, parsed, error)) {
            error = std::string(name) + " " + error;
            return false;
        }
        actions_ = std::move(parsed);
        hasMarks_ = false;
        for (const script::Action& a : actions_)
            if (a.kind == script::Kind::Mark) hasMarks_ = true;
        return true;
    }

    const std::string& lastError() const { return lastError_; }

private:
    bool nextIs(script::Kind k) const { return next_ < actions_.size() && actions_[next_].kind == k; }

    // A waiting answer, or the next line when it is one.
    bool take(std::deque<script::Action>& pending, script::Kind k, script::Action& out) {
        if (!pending.empty()) {
            out = pending.front();
            pending.pop_front();
            return true;
        }
        if (nextIs(k)) {
            out = actions_[next_++];
            return true;
        }
        return false;
    }

    void report(const std::string& message) {
        lastError_ = message;
        std::fprintf(stderr, "quillmere: %s\n", message.c_str());
    }

    // A problem while running: said, and the rest of the script is dropped.
    void fail(const script::Action& a, const std::string& message) {
        report(name_ + " line " + std::to_string(a.line) + ": " + message);
        next_ = actions_.size();
    }

    MouseEvent mouse(MouseEvent::Kind kind, const script::Action& a, Point screen) const {
        MouseEvent e;
        e.kind = kind;
        e.button = a.button;
        e.screen = screen;
        e.shift = a.shift;
        e.control = a.control;
        e.time = clock_;
        return e;
    }

    void run(const script::Action& a) {
        // Lines are a second apart for the double-click rule, so only dblclick makes one.
        clock_ += 1000;
        switch (a.kind) {
        case script::Kind::Answer:
            answers_.push_back(a.amount);
            return;
        case script::Kind::Choose:
            chooses_.push_back(a);
            return;
        case script::Kind::Colour:
            colours_.push_back(a);
            return;
        case script::Kind::Idle:
            return;
        default:
            break;
        }
        Window* active = activeWindow();
        if (a.kind == script::Kind::Mark) {
            if (screenshotFolder().empty()) return;
            if (a.window && !active) return fail(a, "no window to take a screenshot of");
            writeScreenshot(a.window ? composeWindow(*active) : composeScreen(), a.text + ".png");
            return;
        }
        if (!active) return fail(a, "no window is open to take the input");
        const Point at = active->clientToScreen({a.x, a.y});
        auto moveTo = [&] {
            if (state().cursor != at) deliverMouse(mouse(MouseEvent::Kind::Move, a, at));
        };
        switch (a.kind) {
        case script::Kind::Move:
            deliverMouse(mouse(MouseEvent::Kind::Move, a, at));
            break;
        case script::Kind::Press:
            moveTo();
            deliverMouse(mouse(MouseEvent::Kind::Press, a, at));
            break;
        case script::Kind::Release:
            moveTo();
            deliverMouse(mouse(MouseEvent::Kind::Release, a, at));
            break;
        case script::Kind::Click:
        case script::Kind::DoubleClick:
            moveTo();
            for (int i = 0; i < (a.kind == script::Kind::Click ? 1 : 2); ++i) {
                deliverMouse(mouse(MouseEvent::Kind::Press, a, at));
                deliverMouse(mouse(MouseEvent::Kind::Release, a, at));
            }
            break;
        case script::Kind::Wheel:
        case script::Kind::HWheel: {
            moveTo();
            MouseEvent e = mouse(a.kind == script::Kind::Wheel ? MouseEvent::Kind::Wheel : MouseEvent::Kind::HWheel, a, at);
            e.button = 0;
            e.wheelDelta = a.amount;
            deliverMouse(e);
            break;
        }
        case script::Kind::Key: {
            KeyEvent k{a.vk, a.character, true, a.shift, a.control, clock_};
            deliverKey(k);
            k.down = false;
            k.character = 0;
            deliverKey(k);
            break;
        }
        case script::Kind::Type: {
            Window* c = dialogItem(*active, a.id);
            ComboBox* combo = ComboBox::of(c);
            EditBox* edit = EditBox::of(c);
            if (!edit && !(combo && combo->editable()))
                return fail(a, "no edit box or editable drop-down " + std::to_string(a.id));
            setFocus(c);
            if (edit) edit->selectAll();
            else combo->selectEditText();
            for (size_t i = 0; i < a.text.size();)
                deliverKey({0, nextCodePoint(a.text, i), true, false, false, clock_});
            break;
        }
        case script::Kind::Select: {
            ComboBox* combo = ComboBox::of(dialogItem(*active, a.id));
            if (!combo) return fail(a, "no drop-down " + std::to_string(a.id));
            const int index = a.index >= 0 ? a.index : combo->findExact(a.text);
            if (index < 0 || index >= combo->count())
                return fail(a, "drop-down " + std::to_string(a.id) + " has no entry " +
                                   (a.index >= 0 ? std::to_string(a.index) : "\"" + a.text + "\""));
            combo->choose(index);
            break;
        }
        default:
            break;
        }
    }

    Size screen_;
    std::vector<script::Action> actions_;
    size_t next_ = 0;
    std::string scriptPath_;  // the environment's script last read
    uint64_t idleDeadline_ = 0;
    bool hasMarks_ = false;
    std::deque<int> answers_;
    std::deque<script::Action> chooses_;
    std::deque<script::Action> colours_;
    std::string name_ = "script";
    std::string lastError_;
    uint32_t clock_ = 0;
};

HeadlessBackend* running() { return dynamic_cast<HeadlessBackend*>(&backend()); }

}  // namespace

std::unique_ptr<Backend> createHeadlessBackend() { return std::make_unique<HeadlessBackend>(); }

}  // namespace detail

namespace headless {

bool loadScript(std::string_view text, std::string& error, std::string_view name) {
    detail::HeadlessBackend* b = detail::running();
    if (!b) {
        error = "the headless backend is not the running one";
        return false;
    }
    return b->load(text, name, error);
}

void setScreenSize(Size size) {
    if (detail::HeadlessBackend* b = detail::running()) b->setScreen(size);
}

bool active() { return detail::running() != nullptr; }

const std::string& lastScriptError() {
    static const std::string none;
    detail::HeadlessBackend* b = detail::running();
    return b ? b->lastError() : none;
}

}  // namespace headless
}  // namespace qm::ui
