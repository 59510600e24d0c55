#include <climits>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "framework/controls/control_manager.h"
#include "framework/controls/ui_button.h"
#include "framework/controls/ui_selector.h"
#include "platform/ui/font.h"
#include "platform/ui/headless/headless.h"
#include "platform/ui/queue.h"
#include "tests/framework/controls/controls_test_support.h"

namespace qm::fw {
namespace {

using testing::numbered;

constexpr ui::Rect kStatus{10, 250, 300, 264};
constexpr uint32_t kTransposedStripId = 129;
constexpr uint32_t kGridStripId = 300;  // eight 26 x 26 cells, four to a row
constexpr uint32_t kTransposedGridId = 301;
constexpr uint32_t kMissingStripId = 77;  // names no bitmap, and no image either

// A picture whose pixels are all distinct, with some pure white ones, so a
// misplaced copy and a wrong transparency both show.
ui::Surface picture(int w, int h, int seed) {
    ui::Surface s = numbered(w, h, seed);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if ((x + 2 * y) % 7 == 0) s.setPixel(x, y, ui::kWhite);
    return s;
}

ui::Surface transposed(const ui::Surface& s) {
    ui::Surface t(s.height(), s.width());
    for (int y = 0; y < s.height(); ++y)
        for (int x = 0; x < s.width(); ++x) t.setPixel(y, x, s.pixel(x, y));
    return t;
}

// A dialog window on the headless screen, its manager over a small
// background, the selector strips and button skins.
class ButtonSelectorTest : public ::testing::Test {
protected:
    ButtonSelectorTest()
        : background(numbered(9, 7, 30)), strip(picture(52, 13, 3)), grid(picture(104, 52, 60)),
          undo(picture(22, 22, 90)), pressedFace(picture(22, 22, 120)) {
        resources.addBitmap(kBackgroundSkinId, background);
        resources.addBitmap(kSelectorStripId, strip);
        resources.addBitmap(kTransposedStripId, transposed(strip));
        resources.addBitmap(kGridStripId, grid);
        resources.addBitmap(kTransposedGridId, transposed(grid));
        resources.addBitmap(200, undo);
        resources.addBitmap(204, pressedFace);
        resources.addBitmap(203, undo);
        open({100, 100});
    }
    ~ButtonSelectorTest() override {
        manager.tearDown();
        ui::headless::setScreenSize({1280, 1024});
    }

    // A fresh dialog window at `corner` on the screen, with no controls.
    void open(ui::Point corner) {
        manager.tearDown();
        window = ui::createWindow({ui::kStylePopup | ui::kStyleCaption | ui::kStyleVisible,
                                   ui::Rect::ofSize(corner.x, corner.y, 400, 300), "dialog", 0, nullptr,
                                   nullptr, [this](ui::Window& w, uint32_t m, ui::WParam wp, ui::LParam lp) {
                                       if (m == ui::kWmTimer && onTimer) onTimer();
                                       return ui::defaultProcedure(w, m, wp, lp);
                                   }});
        manager.setUpDialog(*window, kStatus);
        window->surface().fill(window->clientRect(), ui::rgb(0, 255, 0));
    }

    int send(uint32_t message, int x, int y) {
        return manager.dispatchMouse(*window, message, 0, ui::makePointParam(x, y));
    }
    // The commands posted since the last look.
    std::vector<ui::WParam> posted() {
        std::vector<ui::WParam> out;
        ui::Message m;
        while (ui::peekMessage(m, window.get(), ui::kWmPrivate, ui::kWmPrivate, ui::Remove::Yes))
            out.push_back(m.wParam);
        return out;
    }
    ui::Colour backgroundAt(int x, int y) const { return background.pixel(x % 9, y % 7); }
    static ui::Rect textBox(ui::Point at, std::string_view s) {
        const ui::Size e = ui::Font::interfaceFont()->extent(s);
        return ui::Rect::ofSize(at.x, at.y, e.width, e.height);
    }

    // Pixels of `area` in the window that differ from `expected` (the first reported).
    int mismatches(const ui::Rect& area, const std::function<ui::Colour(int, int)>& expected) const {
        int bad = 0;
        for (int y = area.top; y < area.bottom; ++y)
            for (int x = area.left; x < area.right; ++x)
                if (window->surface().pixel(x, y) != expected(x, y) && bad++ == 0)
                    ADD_FAILURE() << "first wrong pixel at " << x << "," << y;
        return bad;
    }
    // A picture's region drawn at `at`, white either kept or showing the background.
    std::function<ui::Colour(int, int)> look(const ui::Surface* source, ui::Point at, int sx, int sy,
                                            bool whiteIsClear) const {
        return [=, this](int x, int y) {
            if (!source) return backgroundAt(x, y);
            const ui::Colour c = source->pixel(sx + x - at.x, sy + y - at.y);
            const bool clear = c == ui::kInvalidColour || (whiteIsClear && c == ui::kWhite);
            return clear ? backgroundAt(x, y) : c;
        };
    }
    // Text over the background, as the window should show it.
    std::function<ui::Colour(int, int)> text(ui::Point at, std::string_view s) const {
        auto reference = std::make_shared<ui::Surface>(400, 300);
        for (int y = 0; y < 300; ++y)
            for (int x = 0; x < 400; ++x) reference->setPixel(x, y, backgroundAt(x, y));
        reference->selectFont(ui::Font::interfaceFont());
        reference->setBackgroundMode(ui::BackgroundMode::Transparent);
        reference->setTextColour(ui::kBlack);
        reference->drawText(at.x, at.y, s);
        return [reference](int x, int y) { return reference->pixel(x, y); };
    }

    testing::TestResources resources;
    ui::Surface background, strip, grid, undo, pressedFace;
    std::unique_ptr<ui::Window> window;
    ControlManager manager{resources.module()};
    std::function<void()> onTimer;
};

// ---- Buttons

struct Event {
    uint32_t message;
    int x, y;
};

TEST_F(ButtonSelectorTest, AButtonPostsOnlyWhenPressedAndReleasedInsideWithoutLeaving) {
    // The undo button at (100, 60): 22 x 22 and one pixel for the offset press,
    // so strictly inside is 100 < x < 123, 60 < y < 83.
    struct Case {
        const char* name;
        std::vector<Event> events;
        bool hidden;
        int state;
        int lastConsumed;
        std::vector<ui::WParam> posted;
    };
    constexpr uint32_t L = ui::kWmLButtonDown, LU = ui::kWmLButtonUp, M = ui::kWmMouseMove;
    const Case cases[] = {
        {"click", {{L, 110, 70}, {LU, 110, 70}}, false, UiButton::kReleased, 1, {191}},
        {"click on the last pixels", {{L, 122, 82}, {LU, 101, 61}}, false, UiButton::kReleased, 1, {191}},
        {"released outside", {{L, 110, 70}, {LU, 150, 70}}, false, UiButton::kIdle, 0, {}},
        {"left and came back", {{L, 110, 70}, {M, 150, 70}, {M, 110, 70}, {LU, 110, 70}}, false, UiButton::kIdle, 0,
         {}},
        {"pressed on the left edge", {{L, 100, 70}, {LU, 110, 70}}, false, UiButton::kIdle, 0, {}},
        {"pressed on the top edge", {{L, 110, 60}, {LU, 110, 70}}, false, UiButton::kIdle, 0, {}},
        {"released without a press", {{LU, 110, 70}}, false, UiButton::kIdle, 0, {}},
        {"right click", {{ui::kWmRButtonDown, 110, 70}, {ui::kWmRButtonUp, 110, 70}}, false, UiButton::kIdle, 0, {}},
        {"hidden", {{L, 110, 70}, {LU, 110, 70}}, true, UiButton::kIdle, 0, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        open({100, 100});
        auto& b = manager.create<UiButton>("Undo Last Operation", ui::Rect::ofSize(100, 60, 5, 5), 200, 200, 191);
        ASSERT_EQ(b.rect(), (ui::Rect{100, 60, 123, 83}));
        b.visible = !c.hidden;
        int consumed = -1;
        for (const Event& e : c.events) {
            consumed = send(e.message, e.x, e.y);
            if (e.message == L) {
                EXPECT_EQ(consumed, 0);  // a press is never taken
            }
        }
        EXPECT_EQ(b.state(), c.state);
        EXPECT_EQ(consumed, c.lastConsumed);
        EXPECT_EQ(posted(), c.posted);
    }
}

TEST_F(ButtonSelectorTest, APressedButtonShowsItsSkinMovedOrItsPressedSkin) {
    auto& offset = manager.create<UiButton>("", ui::Rect::ofSize(100, 60, 0, 0), 200, 200, 191);
    auto& two = manager.create<UiButton>("", ui::Rect::ofSize(200, 60, 0, 0), 203, 204, 2);
    EXPECT_TRUE(offset.offsetPress());
    EXPECT_FALSE(two.offsetPress());
    EXPECT_EQ(two.rect(), (ui::Rect{200, 60, 222, 82}));
    manager.redrawElement(offset);
    manager.redrawElement(two);
    EXPECT_EQ(mismatches(offset.rect(), look(&undo, {100, 60}, 0, 0, true)), 0);
    EXPECT_EQ(mismatches(two.rect(), look(&undo, {200, 60}, 0, 0, true)), 0);

    send(ui::kWmLButtonDown, 110, 70);
    send(ui::kWmLButtonDown, 210, 70);
    EXPECT_EQ(offset.state(), UiButton::kPressed);
    EXPECT_EQ(mismatches(offset.rect(), look(&undo, {101, 61}, 0, 0, true)), 0);
    EXPECT_EQ(mismatches(two.rect(), look(&pressedFace, {200, 60}, 0, 0, true)), 0);

    // Leaving takes the pressed look back at once.
    send(ui::kWmMouseMove, 300, 200);
    EXPECT_EQ(mismatches(offset.rect(), look(&undo, {100, 60}, 0, 0, true)), 0);
    EXPECT_EQ(mismatches(two.rect(), look(&undo, {200, 60}, 0, 0, true)), 0);
    EXPECT_TRUE(posted().empty());

    offset.visible = false;
    manager.redrawElement(offset);
    EXPECT_EQ(mismatches(offset.rect(), look(nullptr, {}, 0, 0, false)), 0);
}

TEST_F(ButtonSelectorTest, AButtonWithoutSkinNeverDrawsButShowsItsStatusText) {
    const char* label = "Performance Meter (drawing time in milliseconds)";
    auto& meter = manager.create<UiButton>(label, ui::Rect{5, 221, 35, 236}, 0, 0, 0);
    EXPECT_EQ(meter.rect(), (ui::Rect{5, 221, 35, 236}));
    manager.redrawElement(meter);
    meter.visible = false;
    meter.frozen = false;
    manager.redrawElement(meter);
    meter.visible = true;
    EXPECT_EQ(mismatches(meter.rect(), [](int, int) { return ui::rgb(0, 255, 0); }), 0);

    send(ui::kWmMouseMove, 20, 230);
    EXPECT_EQ(meter.statusShown, 1);
    EXPECT_EQ(mismatches(kStatus, text({kStatus.left, kStatus.top}, label)), 0);
    send(ui::kWmMouseMove, 20, 240);
    EXPECT_EQ(meter.statusShown, 0);
    EXPECT_EQ(mismatches(kStatus, look(nullptr, {}, 0, 0, false)), 0);

    send(ui::kWmLButtonDown, 20, 230);
    EXPECT_EQ(send(ui::kWmLButtonUp, 20, 230), 1);
    EXPECT_TRUE(posted().empty());  // command 0 posts nothing
}

// ---- Selectors

struct Step {
    uint32_t message;
    bool inside;
    int state;     // after the message
    int consumed;  // what the dispatch answered
};

TEST_F(ButtonSelectorTest, SelectorsStepWrapAndCompleteOnTheRelease) {
    constexpr uint32_t L = ui::kWmLButtonDown, LU = ui::kWmLButtonUp, R = ui::kWmRButtonDown,
                       RU = ui::kWmRButtonUp, M = ui::kWmMouseMove;
    struct Case {
        const char* name;
        uint32_t style;
        int maximum;
        bool twoPhase;
        int start;
        std::vector<Step> steps;
        std::vector<ui::WParam> posted;
    };
    const Case cases[] = {
        {"a switch that is on turns off", 0, 3, true, 2, {{L, true, 3, 1}, {LU, true, 0, 1}}, {2300}},
        {"a switch that is off turns on", 0, 3, true, 0, {{L, true, 1, 1}, {LU, true, 2, 1}}, {2300}},
        {"right click on off wraps to pressed", 0, 3, true, 0, {{R, true, 3, 1}, {RU, true, 2, 1}}, {2300}},
        {"right click on on", 0, 3, true, 2, {{R, true, 1, 1}, {RU, true, 0, 1}}, {2300}},
        {"moving off takes the press back", 0, 3, true, 2, {{L, true, 3, 1}, {M, false, 2, 0}, {LU, true, 2, 0}}, {}},
        {"moving off after a wrapped right press", 0, 3, true, 0,
         {{R, true, 3, 1}, {M, false, 0, 0}, {RU, true, 0, 0}}, {}},
        {"released outside", 0, 3, true, 0, {{L, true, 1, 1}, {LU, false, 0, 0}}, {}},
        {"a press whose release was lost", 0, 3, true, 0, {{L, true, 1, 1}, {L, true, 1, 1}, {LU, true, 2, 1}}, {2300}},
        {"an odd state set from outside steps back", 0, 3, true, 3, {{M, false, 2, 0}}, {}},
        {"a radio entry that is on posts nothing", kSelectorRadio, 3, true, 2, {{L, true, 2, 1}, {LU, true, 2, 0}}, {}},
        {"a radio entry that is off turns on", kSelectorRadio, 3, true, 0, {{L, true, 1, 1}, {LU, true, 2, 1}}, {2300}},
        {"a radio entry turned on from the right", kSelectorRadio, 3, true, 0,
         {{R, true, 3, 1}, {RU, true, 2, 1}}, {2300}},
        {"eight states wrap forwards", 0, 7, true, 6, {{L, true, 7, 1}, {LU, true, 0, 1}}, {2300}},
        {"eight states wrap backwards", 0, 7, true, 0, {{R, true, 7, 1}, {RU, true, 6, 1}}, {2300}},
        {"one phase posts at the press", 0, 3, false, 3,
         {{L, true, 0, 1}, {LU, true, 0, 0}, {R, true, 3, 1}}, {2300, 2300}},
        {"hidden", 0x100, 3, true, 0, {{L, true, 0, 0}, {LU, true, 0, 0}}, {}},
        {"inert", kSelectorInert, 3, true, 0, {{L, true, 0, 0}, {LU, true, 0, 0}}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        open({100, 100});
        const bool hidden = c.style == 0x100;
        auto& s = manager.create<UiSelector>("Preview", ui::Rect::ofSize(60, 40, 10, 10), 0x80158000u, "Preview",
                                             2300, hidden ? 0u : c.style);
        s.visible = !hidden;
        s.maximum = c.maximum;
        s.twoPhase = c.twoPhase;
        s.state = c.start;
        for (const Step& step : c.steps) {
            SCOPED_TRACE(step.message);
            EXPECT_EQ(send(step.message, step.inside ? 66 : 120, step.inside ? 46 : 120), step.consumed);
            EXPECT_EQ(s.state, step.state);
            if (c.style & kSelectorInert || hidden) continue;
            // The window shows the state's frame; frames past the strip show the background.
            const bool inStrip = s.state >= 0 && s.state < 4;
            EXPECT_EQ(mismatches(s.rect(), look(inStrip ? &strip : nullptr, {60, 40}, 13 * s.state, 0, false)), 0);
        }
        EXPECT_EQ(posted(), c.posted);
    }
}

TEST_F(ButtonSelectorTest, TurningOneEntryOfAGroupOnTurnsTheOthersOff) {
    const int commands[] = {2400, 2600, 2700};
    std::vector<UiSelector*> entries;
    for (int i = 0; i < 3; ++i) {
        auto& s = manager.create<UiSelector>("Scale Selector", ui::Rect::ofSize(20 + 60 * i, 100, 10, 10),
                                             0x80108000u, "100%", commands[i], kSelectorRadio);
        s.group = 1;
        entries.push_back(&s);
    }
    auto& other = manager.create<UiSelector>("Preview", ui::Rect::ofSize(20, 150, 10, 10), 0x80158000u, "Preview",
                                             2300, 0);
    other.state = UiSelector::kOn;
    entries[2]->state = UiSelector::kOn;
    for (size_t i = 0; i < manager.count(); ++i) manager.redrawElement(manager.element(i));

    struct Case {
        int clicked;
        std::vector<int> states;
        std::vector<ui::WParam> posted;
    };
    const Case cases[] = {
        {0, {2, 0, 0}, {2400}},
        {0, {2, 0, 0}, {}},  // already on: nothing
        {1, {0, 2, 0}, {2600}},
        {2, {0, 0, 2}, {2700}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.clicked);
        const int x = 25 + 60 * c.clicked;
        send(ui::kWmLButtonDown, x, 105);
        send(ui::kWmLButtonUp, x, 105);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(entries[i]->state, c.states[i]) << i;
            EXPECT_EQ(mismatches(entries[i]->rect(), look(&strip, {20 + 60 * i, 100}, 13 * c.states[i], 0, false)), 0);
        }
        EXPECT_EQ(posted(), c.posted);
        EXPECT_EQ(other.state, UiSelector::kOn);  // not of the group
    }
}

TEST_F(ButtonSelectorTest, SetValueLimitsToTheRangeAndInertSelectorsKeepTheRawValue) {
    struct Case {
        uint32_t style;
        int minimum, maximum;
        int32_t value;
        int state;
        int32_t read;
    };
    const Case cases[] = {
        {0, 0, 3, 2, 2, 2},
        {0, 0, 3, 5, 3, 3},
        {0, 0, 3, -1, 0, 0},
        {0, 0, 7, INT32_MAX, 7, 7},
        {0, 0, 7, INT32_MIN, 0, 0},
        {0, 2, 9, INT32_MAX, 9, 7},  // the offset by the minimum does not overflow
        {0, 2, 9, 3, 5, 3},
        {kSelectorInert, 0, 3, -7, -7, -7},
        {kSelectorInert, 0, 3, 123456, 123456, 123456},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        auto& s = manager.create<UiSelector>("", ui::Rect{}, 0x80008000u, "", 0, c.style);
        s.minimum = c.minimum;
        s.maximum = c.maximum;
        s.setValue(c.value);
        EXPECT_EQ(s.state, c.state);
        EXPECT_EQ(s.getValue(), c.read);
    }
}

TEST_F(ButtonSelectorTest, EachStyleDrawsItsFrameAndTheCaption) {
    const ui::Surface transposedStrip = transposed(strip);
    struct Case {
        const char* name;
        uint32_t style, stripId;
        int state;
        const ui::Surface* source;  // null: only the background
        int sx, sy;
        ui::Size frame;
    };
    const Case cases[] = {
        {"opaque", 0, kSelectorStripId, 2, &strip, 26, 0, {13, 13}},
        {"wide", kSelectorWide, kSelectorStripId, 1, &strip, 26, 0, {26, 13}},
        {"wide past the strip", kSelectorWide, kSelectorStripId, 2, nullptr, 0, 0, {26, 13}},
        {"vertical strip", kSelectorVertical, kTransposedStripId, 2, &strip, 26, 0, {13, 13}},
        {"transparent", kSelectorTransparent, kSelectorStripId, 3, &strip, 39, 0, {13, 13}},
        {"grid", kSelectorGrid, kGridStripId, 5, &grid, 26, 26, {26, 26}},
        {"vertical grid", kSelectorGrid | kSelectorVertical, kTransposedGridId, 6, &grid, 52, 26, {26, 26}},
        {"grid past the strip", kSelectorGrid, kGridStripId, 8, nullptr, 0, 0, {26, 26}},
        {"a negative state", 0, kSelectorStripId, -1, nullptr, 0, 0, {13, 13}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        open({100, 100});
        auto& s = manager.create<UiSelector>("", ui::Rect::ofSize(60, 40, 10, 10), captionOffset(30, 0), "Preview",
                                             0, c.style, c.stripId);
        s.state = c.state;
        manager.redrawElement(s);
        ASSERT_EQ(s.rect(), ui::Rect::ofSize(60, 40, c.frame.width, c.frame.height));
        const bool clear = (c.style & kSelectorTransparent) != 0;
        EXPECT_EQ(mismatches(s.rect(), look(c.source, {60, 40}, c.sx, c.sy, clear)), 0);
        EXPECT_EQ(mismatches(textBox({90, 40}, "Preview"), text({90, 40}, "Preview")), 0);
    }
}

TEST_F(ButtonSelectorTest, ACaptionAboveTheFrameAndAHiddenSelectorErasesBoth) {
    EXPECT_EQ(captionOffset(21, 0), 0x80158000u);
    auto& s = manager.create<UiSelector>("", ui::Rect::ofSize(60, 40, 10, 10), 0x80108004u, "100%", 0, 0);
    EXPECT_EQ(s.captionAt(), (ui::Point{76, 36}));
    s.state = 2;
    const ui::Rect caption = textBox({76, 36}, "100%");
    // Drawn twice, the caption stays as it was: it is never written over itself.
    for (int i = 0; i < 2; ++i) {
        manager.redrawElement(s);
        EXPECT_EQ(mismatches(caption, text({76, 36}, "100%")), 0);
    }

    s.visible = false;
    manager.redrawElement(s);
    EXPECT_EQ(mismatches(s.rect(), look(nullptr, {}, 0, 0, false)), 0);
    EXPECT_EQ(mismatches(caption, look(nullptr, {}, 0, 0, false)), 0);
    EXPECT_EQ(window->surface().pixel(59, 45), ui::rgb(0, 255, 0));  // and nothing beyond
    EXPECT_EQ(window->surface().pixel(70, 35), ui::rgb(0, 255, 0));
    EXPECT_EQ(send(ui::kWmLButtonDown, 65, 45), 0);
    EXPECT_EQ(s.state, 2);
}

TEST_F(ButtonSelectorTest, ASelectorWithoutStripWritesItsStateAsTwoDigits) {
    auto& s = manager.create<UiSelector>("", ui::Rect::ofSize(60, 40, 10, 10), 0x80008000u, "", 0, 0, kMissingStripId);
    s.state = 2;
    manager.redrawElement(s);
    const ui::Rect number = textBox({60, 40}, "02");
    EXPECT_EQ(mismatches(number.united(s.rect()), text({60, 40}, "02")), 0);
}

TEST_F(ButtonSelectorTest, SelectorStatusFollowsThePointer) {
    auto& s = manager.create<UiSelector>("Halo effect on/off", ui::Rect::ofSize(60, 40, 10, 10), 0x80158000u,
                                         "Halo", 2000, 0);
    send(ui::kWmMouseMove, 66, 46);
    EXPECT_EQ(s.statusShown, 1);
    EXPECT_EQ(mismatches(kStatus, text({kStatus.left, kStatus.top}, "Halo effect on/off")), 0);
    send(ui::kWmMouseMove, 80, 46);  // over the caption is outside
    EXPECT_EQ(s.statusShown, 0);
}

// ---- The grid's state picker

// Runs a left press on the grid selector while `script` drives the pop-up;
// records where the pop-up stood and what it showed once it had painted.
struct PickerRun {
    int consumed = -1;
    ui::Rect popup;
    ui::Surface shown;
};

class StatePickerTest : public ButtonSelectorTest {
protected:
    PickerRun pick(ui::Point at, const std::string& script) {
        std::string error;
        EXPECT_TRUE(ui::headless::loadScript("idle 3000\n" + script, error)) << error;
        PickerRun run;
        onTimer = [&] {
            ui::killTimer(*window, 1);
            for (ui::Window* w : ui::topLevelWindows())
                if (w->owner() == window.get() && w->isVisible()) {
                    run.popup = w->windowRect();
                    run.shown = w->surface();
                }
        };
        ui::setTimer(*window, 1, 10);
        run.consumed = send(ui::kWmLButtonDown, at.x, at.y);
        onTimer = nullptr;
        ui::killTimer(*window, 1);
        return run;
    }
};

TEST_F(StatePickerTest, ThePopUpOpensBelowOrAboveTheSelectorAndStaysOnTheScreen) {
    // The dialog's client area starts 3 right of and 22 below its corner.
    struct Case {
        const char* name;
        ui::Size screen;
        ui::Point dialog, selector;
        int maximum;
        ui::Rect popup;
    };
    const Case cases[] = {
        {"below", {1280, 1024}, {100, 100}, {50, 20}, 7, ui::Rect::ofSize(152, 168, 198, 86)},
        {"above when the dialog has room", {1280, 1024}, {100, 100}, {50, 200}, 7, ui::Rect::ofSize(152, 236, 198, 86)},
        {"one row", {1280, 1024}, {100, 100}, {50, 60}, 3, ui::Rect::ofSize(152, 132, 198, 50)},
        {"three rows", {1280, 1024}, {100, 100}, {50, 20}, 11, ui::Rect::ofSize(152, 168, 198, 122)},
        {"right edge", {1280, 1024}, {1100, 100}, {150, 20}, 7, ui::Rect::ofSize(1082, 168, 198, 86)},
        {"left edge", {1280, 1024}, {-20, 100}, {5, 20}, 7, ui::Rect::ofSize(0, 168, 198, 86)},
        {"bottom edge: above instead", {1280, 1024}, {100, 900}, {50, 20}, 7, ui::Rect::ofSize(152, 856, 198, 86)},
        {"top edge: below instead", {1280, 1024}, {100, -150}, {50, 200}, 7, ui::Rect::ofSize(152, 98, 198, 86)},
        {"room on neither side", {640, 100}, {0, 0}, {10, 20}, 7, ui::Rect::ofSize(12, 14, 198, 86)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ui::headless::setScreenSize(c.screen);
        open(c.dialog);
        auto& s = manager.create<UiSelector>("", ui::Rect::ofSize(c.selector.x, c.selector.y, 10, 10), 0x80008000u,
                                             "", 700, kSelectorGrid, kGridStripId);
        s.maximum = c.maximum;
        EXPECT_EQ(s.pickerRect(*window), c.popup);
        const PickerRun run = pick({c.selector.x + 5, c.selector.y + 5}, "key escape\n");
        EXPECT_EQ(run.popup, c.popup);
        EXPECT_EQ(run.consumed, 0);  // closed without a choice
        EXPECT_TRUE(posted().empty());
    }
}

TEST_F(StatePickerTest, ThePopUpShowsEveryStateNumberedAndAClickChoosesOne) {
    // The pop-up's client area is 192 wide: its cells and numbers.
    struct Case {
        const char* name;
        std::string script;
        uint32_t style;
        int maximum;
        int consumed, state;
        std::vector<ui::WParam> posted;
    };
    const Case cases[] = {
        {"first cell", "click left 20 20\n", 0, 7, 1, 0, {700}},
        {"second column", "click left 60 20\n", 0, 7, 1, 1, {700}},
        {"second row, last column", "click left 150 60\n", 0, 7, 1, 7, {700}},
        {"right of the last column", "click left 188 20\n", 0, 7, 1, 3, {700}},
        {"the margin", "click left 2 2\n", 0, 7, 1, 0, {700}},
        {"past the maximum", "click left 150 60\n", 0, 5, 1, 5, {700}},
        {"a radio grid stops at 2", "click left 150 20\n", kSelectorRadio, 7, 1, 2, {700}},
        {"right button", "press right 60 20\n", 0, 7, 0, 4, {}},
        {"escape", "key escape\n", 0, 7, 0, 4, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        open({100, 100});
        auto& s = manager.create<UiSelector>("", ui::Rect::ofSize(50, 20, 10, 10), 0x80008000u, "", 700,
                                             kSelectorGrid | c.style, kGridStripId);
        s.maximum = c.maximum;
        s.state = 4;
        manager.redrawElement(s);
        const PickerRun run = pick({55, 25}, c.script);
        EXPECT_EQ(run.consumed, c.consumed);
        EXPECT_EQ(s.state, c.state);
        EXPECT_EQ(posted(), c.posted);
        EXPECT_EQ(mismatches(s.rect(), look(&grid, {50, 20}, 26 * (s.state % 4), 26 * (s.state / 4), false)), 0);
        if (&c != &cases[0]) continue;

        // What the pop-up showed: every state's cell and its number from 01.
        ASSERT_EQ(run.shown.size(), (ui::Size{192, 80}));
        for (int i = 0; i <= 7; ++i) {
            SCOPED_TRACE(i);
            const int x = 44 * (i % 4) + 18, y = 36 * (i / 4) + 10;
            for (int v = 0; v < 26; ++v)
                for (int u = 0; u < 26; ++u)
                    ASSERT_EQ(run.shown.pixel(x + u, y + v), grid.pixel(26 * (i % 4) + u, 26 * (i / 4) + v))
                        << u << "," << v;
            ui::Surface reference(192, 80);
            tile(manager.background(), reference, 0, 0, 192, 80);
            reference.selectFont(ui::Font::interfaceFont());
            reference.setBackgroundMode(ui::BackgroundMode::Transparent);
            reference.setTextColour(ui::kBlack);
            const std::string number = "0" + std::to_string(i + 1);
            reference.drawText(x - 14, y + 2, number);
            for (int v = 0; v < 13; ++v)
                for (int u = 0; u < 14; ++u)
                    ASSERT_EQ(run.shown.pixel(x - 14 + u, y + 2 + v), reference.pixel(x - 14 + u, y + 2 + v));
        }
    }
}

TEST_F(StatePickerTest, ARightClickOnAGridSelectorPostsTheNextCommand) {
    auto& s = manager.create<UiSelector>("", ui::Rect::ofSize(50, 20, 10, 10), 0x80008000u, "", 700, kSelectorGrid,
                                         kGridStripId);
    s.state = 3;
    EXPECT_EQ(send(ui::kWmRButtonDown, 55, 25), 0);
    EXPECT_EQ(send(ui::kWmRButtonUp, 55, 25), 0);
    EXPECT_EQ(s.state, 3);
    EXPECT_EQ(posted(), (std::vector<ui::WParam>{701}));
}

}  // namespace
}  // namespace qm::fw
