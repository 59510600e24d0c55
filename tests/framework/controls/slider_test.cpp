#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "framework/controls/control_manager.h"
#include "framework/controls/control_slots.h"
#include "framework/controls/engraving.h"
#include "framework/controls/ui_slider.h"
#include "framework/settings/record.h"
#include "platform/ui/font.h"
#include "platform/ui/queue.h"
#include "tests/framework/controls/controls_test_support.h"

namespace qm::fw {
namespace {

using namespace slider_style;

constexpr ui::Rect kStatus{10, 270, 300, 284};
// Never in the background pattern nor in the engraving.
constexpr ui::Colour kThumbBody = ui::rgb(40, 90, 200);
constexpr ui::Colour kThumbCentre = ui::rgb(250, 20, 20);
constexpr ui::Colour kMarker = ui::rgb(0, 255, 0);
constexpr uint32_t kValueAt = textPosition(130, 22);
constexpr uint32_t kNameAt = textPosition(10, 22);
constexpr uint32_t kNameAbove = textPosition(10, 40);

static_assert(textPosition(188, 22) == 0x80BC8016u);
static_assert(textPosition(60, 22) == 0x803C8016u);

// 11 x 11 like the real thumb: a diamond with white (transparent) corners
// and one pixel of its own colour at the centre.
ui::Surface thumbPicture() {
    ui::Surface s(11, 11);
    for (int y = 0; y < 11; ++y)
        for (int x = 0; x < 11; ++x)
            s.setPixel(x, y, std::abs(x - 5) + std::abs(y - 5) > 7 ? ui::kWhite : kThumbBody);
    s.setPixel(5, 5, kThumbCentre);
    return s;
}

void sortPoints(std::vector<ui::Point>& points) {
    std::sort(points.begin(), points.end(), [](ui::Point a, ui::Point b) { return a.y != b.y ? a.y < b.y : a.x < b.x; });
}

// A dialog window filled with a marker colour, so that what a slider copies
// out shows, over a manager with a recognisable background and thumb.
class SliderTest : public ::testing::Test {
protected:
    SliderTest() {
        resources.addBitmap(kBackgroundSkinId, testing::numbered(9, 7, 30));
        resources.addBitmap(kThumbSkinId, thumbPicture());
        window = ui::createWindow({ui::kStylePopup | ui::kStyleVisible, ui::Rect::ofSize(0, 0, 420, 300), "dialog",
                                   0, nullptr, nullptr, {}});
        restart();
    }
    ~SliderTest() override { manager.tearDown(); }

    // A dialog of its own for every case of a table.
    void restart() {
        manager.tearDown();
        manager.setUpDialog(*window, kStatus);
        background = *manager.background().image();
        window->surface().fill(window->clientRect(), kMarker);
        commands();
    }
    UiSlider& slider(ui::Rect track, uint32_t style, uint32_t valueAt = kValueAt, std::string_view name = "Radius",
                     uint32_t nameAt = kNameAt, std::string_view label = "Radius High@Radius Low") {
        return manager.create<UiSlider>(label, track, style, valueAt, name, nameAt);
    }
    int mouse(uint32_t message, ui::Point p, ui::WParam w = 0) {
        return manager.dispatchMouse(*window, message, w, ui::makePointParam(p.x, p.y));
    }
    // Presses at `from` and drags by (dx, dy) with the left button alone.
    int drag(ui::Point from, int dx, int dy) {
        mouse(ui::kWmLButtonDown, from, ui::kMkLButton);
        const int consumed = mouse(ui::kWmMouseMove, {from.x + dx, from.y + dy}, ui::kMkLButton);
        mouse(ui::kWmLButtonUp, {from.x + dx, from.y + dy});
        return consumed;
    }
    // The commands posted since the last look.
    std::vector<ui::WParam> commands() {
        std::vector<ui::WParam> seen;
        ui::Message m;
        while (ui::peekMessage(m, window.get(), ui::kWmPrivate, ui::kWmPrivate, ui::Remove::Yes)) seen.push_back(m.wParam);
        return seen;
    }
    ui::Colour at(int x, int y) const { return window->surface().pixel(x, y); }
    ui::Colour backgroundAt(int x, int y) const { return background.pixel(x % 9, y % 7); }
    std::vector<ui::Point> thumbCentres() const {
        std::vector<ui::Point> found;
        const ui::Surface& s = window->surface();
        for (int y = 0; y < s.height(); ++y)
            for (int x = 0; x < s.width(); ++x)
                if (s.pixel(x, y) == kThumbCentre) found.push_back({x, y});
        return found;
    }
    // The window shows the background over `r`, with `text` at `textAt`.
    ::testing::AssertionResult shows(const ui::Rect& r, std::string_view text = {}, ui::Point textAt = {}) const {
        ui::Surface ref(r.width(), r.height());
        for (int y = 0; y < r.height(); ++y)
            for (int x = 0; x < r.width(); ++x) ref.setPixel(x, y, backgroundAt(r.left + x, r.top + y));
        ref.selectFont(ui::Font::interfaceFont());
        ref.setBackgroundMode(ui::BackgroundMode::Transparent);
        ref.setTextColour(ui::kBlack);
        ref.drawText(textAt.x - r.left, textAt.y - r.top, text);
        for (int y = 0; y < r.height(); ++y)
            for (int x = 0; x < r.width(); ++x)
                if (at(r.left + x, r.top + y) != ref.pixel(x, y))
                    return ::testing::AssertionFailure() << "\"" << std::string(text) << "\" at " << textAt.x << ","
                                                         << textAt.y << " differs at " << r.left + x << "," << r.top + y;
        return ::testing::AssertionSuccess();
    }
    // The text's cell at `p` shows it over the background.
    ::testing::AssertionResult showsText(ui::Point p, std::string_view text) const {
        const ui::Size e = ui::Font::interfaceFont()->extent(text);
        return shows(ui::Rect::ofSize(p.x, p.y, e.width, e.height), text, p);
    }
    bool untouched(const ui::Rect& r) const {
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x)
                if (at(x, y) != kMarker) return false;
        return true;
    }

    testing::TestResources resources;
    std::unique_ptr<ui::Window> window;
    ControlManager manager{resources.module()};
    ui::Surface background;
};

TEST_F(SliderTest, ConstructionDerivesTheTrackOrientationDigitsAndStartingValue) {
    struct Case {
        const char* what;
        ui::Rect track;
        uint32_t style;
        uint32_t valueAt;
        ui::Rect expectedTrack;
        int orientation, digitsX, digitsY;
        int32_t value, range;
        int bits;
        ui::Point textOffset;
    };
    const Case cases[] = {
        {"sharpening", {40, 60, 190, 60}, kFixedText, kValueAt, {40, 60, 190, 60}, 1, 3, 1, 0, 150, 8, {130, 22}},
        {"two thumbs", {40, 60, 240, 60}, 0x84, 0x80BC8016, {40, 60, 240, 60}, 1, 3, 1, 200, 200, 8, {188, 22}},
        {"quarter origin", {40, 60, 240, 60}, 0x44, 0x80BC8016, {40, 60, 240, 60}, 1, 3, 1, 50, 200, 8, {188, 22}},
        {"centred 100", {40, 60, 140, 60}, 0x05, 0x805B8016, {40, 60, 140, 60}, 1, 2, 1, 50, 100, 8, {91, 22}},
        {"plain 100", {40, 60, 140, 60}, kFixedText, kValueAt, {40, 60, 140, 60}, 1, 2, 1, 0, 100, 8, {130, 22}},
        {"reversed", {40, 60, 190, 60}, 0x24, kValueAt, {40, 60, 190, 60}, 1, 3, 1, 150, 150, 8, {130, 22}},
        {"short height collapses", {40, 60, 190, 69}, kFixedText, kValueAt, {40, 60, 190, 60}, 1, 3, 1, 0, 150, 8, {130, 22}},
        {"short width collapses", {40, 60, 49, 60}, kFixedText, textPosition(-5, 3), {40, 60, 40, 60}, 0, 1, 1, 0, 0, 8, {-5, 3}},
        {"vertical", {30, 36, 30, 286}, kNoReset, textPosition(12, 6), {30, 36, 30, 286}, 2, 1, 3, 0, 250, 8, {12, 6}},
        {"vertical two thumbs", {30, 36, 30, 196}, 0x84, kValueAt, {30, 36, 30, 196}, 2, 1, 3, 160, 160, 8, {130, 22}},
        {"pad", {100, 100, 103, 101}, 0x09, kValueAt, {100, 100, 150, 150}, 3, 2, 2, 25 | 25 << 7, 50 << 8 | 50, 16, {130, 22}},
        {"two dimensions", {60, 80, 120, 140}, 0x05, kValueAt, {60, 80, 120, 140}, 3, 2, 2, 30 | 30 << 7, 60 << 8 | 60, 16, {130, 22}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        UiSlider& s = slider(c.track, c.style, c.valueAt);
        EXPECT_EQ(s.track(), c.expectedTrack);
        EXPECT_EQ(s.orientation(), c.orientation);
        EXPECT_EQ(s.digitsX(), c.digitsX);
        EXPECT_EQ(s.digitsY(), c.digitsY);
        EXPECT_EQ(s.getValue(), c.value);
        EXPECT_EQ(s.valueRange(), c.range);
        EXPECT_EQ(s.valueBits(), c.bits);
        EXPECT_EQ(s.styleFlags(), static_cast<int32_t>(c.style));
        EXPECT_EQ(s.valueTextOffset(), c.textOffset);
        EXPECT_EQ(s.command, kSettingChangedCommand);
    }
}

TEST_F(SliderTest, BoundingBoxes) {
    struct Case {
        const char* what;
        ui::Rect track;
        uint32_t style;
        uint32_t valueAt;
        ui::Rect box;
        bool exact;  // texts that move widen the box to the font's real widths
    };
    const Case cases[] = {
        {"fixed text: the thumb's halves around the track", {40, 60, 190, 60}, kFixedText, kValueAt, {35, 55, 196, 66}, true},
        {"vertical", {30, 36, 30, 286}, kFixedText, kValueAt, {25, 31, 36, 292}, true},
        {"pad: 6 and 7, the digits and 11 above", {100, 100, 0, 0}, kPad, kValueAt, {81, 83, 166, 157}, false},
        {"moving text", {40, 60, 190, 60}, 0, textPosition(5, 20), {35, 42, 213, 66}, false},
        {"moving texts of two thumbs, 22 further left", {40, 60, 190, 60}, kTwoThumbs, textPosition(5, 20), {13, 42, 213, 66}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const ui::Rect box = slider(c.track, c.style, c.valueAt).boundingBox();
        EXPECT_EQ(c.exact ? box : box.united(c.box), c.exact ? c.box : box);
    }
}

TEST_F(SliderTest, ValueTexts) {
    struct Case {
        const char* what;
        ui::Rect track;
        uint32_t style;
        int32_t value;
        const char* first;
        const char* vertical;
        const char* second;
    };
    const ui::Rect h100{40, 60, 140, 60}, h150{40, 60, 190, 60}, h200{40, 60, 240, 60}, v100{30, 40, 30, 140};
    const Case cases[] = {
        {"centred, middle", h100, 0x05, 50, " 00", nullptr, nullptr},
        {"centred, left end", h100, 0x05, 0, "-50", nullptr, nullptr},
        {"centred, right end", h100, 0x05, 100, " 50", nullptr, nullptr},
        {"quarter origin at its start", h200, 0x44, 50, "000", nullptr, nullptr},
        {"quarter origin at 0", h200, 0x44, 0, "-050", nullptr, nullptr},
        {"quarter origin at the end", h200, 0x44, 200, "150", nullptr, nullptr},
        {"three digits", h150, 0x04, 7, "007", nullptr, nullptr},
        {"two digits of a 100-pixel track", h100, 0x04, 5, " 05", nullptr, nullptr},
        {"a 100-pixel track at its end", h100, 0x04, 100, " 100", nullptr, nullptr},
        {"reversed", h150, 0x24, 30, "120", nullptr, nullptr},
        {"reversed and centred", h100, 0x25, 20, " 30", nullptr, nullptr},
        {"collapsed track", {40, 60, 45, 60}, 0x04, 0, " 00", nullptr, nullptr},
        {"pad: no blank", {100, 100, 0, 0}, 0x08, 3 | 2 << 7, "03", "02", nullptr},
        {"centred pad", {100, 100, 0, 0}, 0x09, 0, "-25", "-25", nullptr},
        {"vertical centred", v100, 0x01, 0, nullptr, "-50", nullptr},
        {"vertical ignores the quarter", v100, 0x44, 10, nullptr, " 10", nullptr},
        {"vertical reversed", v100, 0x20, 10, nullptr, " 90", nullptr},
        {"second of a long track", h200, 0x84, 200 | 25 << 9, "200", nullptr, "025"},
        {"second of a 100-pixel track", h100, 0x84, 100 | 5 << 9, " 100", nullptr, "05"},
        {"second of a 110-pixel track", {40, 60, 150, 60}, 0x84, 110 | 5 << 9, "110", nullptr, "005"},
        {"vertical second with moving texts", v100, 0x80, 100 | 5 << 9, nullptr, " 100", "005"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        UiSlider& s = slider(c.track, c.style);
        s.setValue(c.value);
        if (c.first) {
            EXPECT_EQ(s.firstText(), c.first);
        }
        if (c.vertical) {
            EXPECT_EQ(s.verticalText(), c.vertical);
        }
        if (c.second) {
            EXPECT_EQ(s.secondText(), c.second);
        }
    }
}

TEST_F(SliderTest, ValuesArePackedAndLimitedToTheTrack) {
    struct Case {
        const char* what;
        ui::Rect track;
        uint32_t style;
        int minimum;
        int32_t set;
        int32_t got;       // before a draw
        int32_t drawn;     // after one
    };
    const ui::Rect h150{40, 60, 190, 60}, h200{40, 60, 240, 60}, v250{30, 36, 30, 286}, v160{30, 36, 30, 196};
    const Case cases[] = {
        {"one thumb", h150, 0x04, 0, 75, 75, 75},
        {"beyond the track", h150, 0x04, 0, 999, 150, 150},
        {"below it", h150, 0x04, 0, -7, 0, 0},
        {"a spacing starts at 2", h150, 0x02, 2, 0, 2, 2},
        {"vertical", v250, 0x04, 0, 300, 250, 250},
        {"two thumbs: 25 * 512 + 200", h200, 0x84, 0, 13000, 13000, 13000},
        {"two thumbs beyond the track", h200, 0x84, 0, 511 | 511 << 9, 200 | 200 << 9, 200 | 188 << 9},
        {"two thumbs in the wrong order", h200, 0x84, 0, 5 | 100 << 9, 5 | 100 << 9, 12},
        {"vertical two thumbs", v160, 0x84, 0, 150 | 140 << 9, 150 | 140 << 9, 150 | 124 << 9},
        {"pad: 2 * 128 + 3", {100, 100, 0, 0}, 0x08, 0, 259, 259, 259},
        {"pad beyond its square", {100, 100, 0, 0}, 0x08, 0, 127 | 127 << 7, 50 | 50 << 7, 50 | 50 << 7},
        {"two dimensions", {60, 80, 120, 140}, 0x04, 0, 61 | 7 << 7, 60 | 7 << 7, 60 | 7 << 7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        UiSlider& s = slider(c.track, c.style);
        s.minimum = c.minimum;
        s.setValue(c.set);
        EXPECT_EQ(s.getValue(), c.got);
        manager.redrawElement(s);
        EXPECT_EQ(s.getValue(), c.drawn);
    }
}

TEST_F(SliderTest, ADamagedValueIsDrawnAtTheTracksEnd) {
    UiSlider& s = slider({40, 60, 190, 60}, kFixedText);
    s.setValue(5000);
    manager.redrawElement(s);
    EXPECT_EQ(thumbCentres(), (std::vector<ui::Point>{{190, 60}}));
    const ui::Rect box = s.boundingBox();
    for (int x = 0; x < 420; ++x) ASSERT_EQ(at(x, 60) == kMarker, x < box.left || x >= box.right) << x;
}

TEST_F(SliderTest, DraggingMovesTheThumbByTheMouseAndPostsTheCommand) {
    struct Case {
        const char* what;
        ui::Rect track;
        uint32_t style;
        int32_t start;
        ui::Point press;  // from the track's corner
        int dx, dy;
        int32_t value;
        int consumed;
    };
    const Case cases[] = {
        {"right", {40, 60, 190, 60}, 0x04, 75, {75, 0}, 20, 3, 95, 1},
        {"the press may be off centre", {40, 60, 190, 60}, 0x04, 75, {70, -4}, -30, 0, 45, 1},
        {"past the end", {40, 60, 190, 60}, 0x04, 75, {75, 0}, 400, 0, 150, 1},
        {"along the end: nothing changes", {40, 60, 190, 60}, 0x04, 150, {150, 0}, 30, 0, 150, 0},
        {"a press beside the thumb", {40, 60, 190, 60}, 0x04, 75, {81, 0}, 20, 0, 75, 0},
        {"down a vertical one", {30, 40, 30, 140}, 0x04, 20, {0, 20}, 7, 15, 35, 1},
        {"a pad in both directions", {100, 100, 0, 0}, 0x08, 25 | 25 << 7, {25, 25}, -10, 40, 15 | 50 << 7, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        restart();
        UiSlider& s = slider(c.track, c.style);
        s.setValue(c.start);
        const ui::Point press{s.track().left + c.press.x, s.track().top + c.press.y};
        EXPECT_EQ(drag(press, c.dx, c.dy), c.consumed);
        EXPECT_EQ(s.getValue(), c.value);
        EXPECT_EQ(commands(), c.consumed ? std::vector<ui::WParam>{2000} : std::vector<ui::WParam>{});
        EXPECT_EQ(thumbCentres().size(), c.consumed ? 1u : 0u);  // redrawn at once
        EXPECT_EQ(s.dragged(), 0);
    }
}

TEST_F(SliderTest, OnlyTheLeftButtonAloneKeepsADragGoing) {
    const ui::WParam enders[] = {ui::kMkLButton | ui::kMkShift, ui::kMkLButton | ui::kMkControl,
                                 ui::kMkLButton | ui::kMkRButton, 0};
    for (ui::WParam w : enders) {
        SCOPED_TRACE(w);
        restart();
        UiSlider& s = slider({40, 60, 190, 60}, kFixedText);
        s.setValue(75);
        mouse(ui::kWmLButtonDown, {115, 60}, ui::kMkLButton);
        EXPECT_EQ(s.dragged(), 1);
        EXPECT_EQ(mouse(ui::kWmMouseMove, {125, 60}, w), 0);
        EXPECT_EQ(s.dragged(), 0);
        EXPECT_EQ(mouse(ui::kWmMouseMove, {135, 60}, ui::kMkLButton), 0);
        EXPECT_EQ(s.getValue(), 75);
        EXPECT_TRUE(commands().empty());
    }
}

TEST_F(SliderTest, TwoThumbsKeepAThumbApartAndPushEachOther) {
    struct Case {
        const char* what;
        ui::Rect track;
        int first, second;
        bool pressSecond;
        int delta;
        int expectedFirst, expectedSecond;
    };
    const ui::Rect h{40, 60, 240, 60}, v{30, 40, 30, 200};
    const Case cases[] = {
        {"the second thumb to 25: 13000", h, 200, 0, true, 25, 200, 25},
        {"the second stops a thumb short of the end", h, 200, 0, true, 300, 200, 188},
        {"the second pushes the first", h, 100, 50, true, 45, 107, 95},
        {"the first alone", h, 100, 50, false, -30, 70, 50},
        {"the first pushes the second", h, 100, 50, false, -45, 55, 43},
        {"the first stops a thumb from the start", h, 100, 50, false, -95, 12, 0},
        {"vertical: 14 more between them", v, 160, 0, true, 200, 160, 134},
        {"vertical: the first pushes the second", v, 100, 50, false, -40, 60, 34},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        restart();
        UiSlider& s = slider(c.track, 0x84);
        s.setValue(c.first | c.second << 9);
        manager.redrawElement(s);
        const bool vertical = s.orientation() == UiSlider::kVertical;
        const int offset = c.pressSecond ? c.second : c.first;
        const ui::Point press = vertical ? ui::Point{c.track.left, c.track.top + offset}
                                         : ui::Point{c.track.left + offset, c.track.top};
        EXPECT_EQ(drag(press, vertical ? 0 : c.delta, vertical ? c.delta : 0), 1);
        EXPECT_EQ(s.getValue(), c.expectedFirst | c.expectedSecond << 9);
        EXPECT_EQ(commands(), std::vector<ui::WParam>{2000});
        std::vector<ui::Point> expected =
            vertical ? std::vector<ui::Point>{{30, 40 + c.expectedSecond}, {30, 40 + c.expectedFirst}}
                     : std::vector<ui::Point>{{40 + c.expectedSecond, 60}, {40 + c.expectedFirst, 60}};
        std::vector<ui::Point> shown = thumbCentres();
        sortPoints(shown);
        EXPECT_EQ(shown, expected);
    }
}

TEST_F(SliderTest, ADoubleClickOnAThumbResets) {
    struct Case {
        const char* what;
        ui::Rect track;
        uint32_t style;
        int32_t start;
        ui::Point click;  // from the track's corner
        int32_t value;
        int consumed;
    };
    const Case cases[] = {
        {"quarter origin", {40, 60, 240, 60}, 0x44, 120, {120, 0}, 50, 1},
        {"away from the thumb", {40, 60, 240, 60}, 0x44, 120, {140, 0}, 120, 0},
        {"no reset", {40, 60, 240, 60}, 0x46, 120, {120, 0}, 120, 0},
        {"plain", {40, 60, 190, 60}, 0x04, 80, {80, 5}, 0, 1},
        {"reversed", {40, 60, 190, 60}, 0x24, 80, {80, 0}, 150, 1},
        {"the second thumb", {40, 60, 240, 60}, 0x84, 150 | 40 << 9, {40, 0}, 200, 1},
        {"between two thumbs", {40, 60, 240, 60}, 0x84, 150 | 40 << 9, {95, 0}, 150 | 40 << 9, 0},
        {"a pad", {100, 100, 0, 0}, 0x09, 259, {3, 2}, 25 | 25 << 7, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        restart();
        UiSlider& s = slider(c.track, c.style);
        s.setValue(c.start);
        const ui::Point p{s.track().left + c.click.x, s.track().top + c.click.y};
        EXPECT_EQ(mouse(ui::kWmLButtonDblClk, p, ui::kMkLButton), c.consumed);
        EXPECT_EQ(s.getValue(), c.value);
        EXPECT_EQ(commands(), c.consumed ? std::vector<ui::WParam>{2000} : std::vector<ui::WParam>{});
        EXPECT_EQ(untouched(window->clientRect()), c.consumed == 0);
    }
}

TEST_F(SliderTest, AHiddenOrDisabledSliderIgnoresTheMouse) {
    for (const bool hidden : {true, false}) {
        SCOPED_TRACE(hidden ? "hidden" : "disabled");
        restart();
        UiSlider& s = slider({40, 60, 190, 60}, kFixedText);
        s.setValue(75);
        (hidden ? s.visible : s.enabled) = false;
        const ui::Point thumb{115, 60};
        EXPECT_EQ(s.handleMouse(*window, ui::kWmLButtonDown, ui::kMkLButton, ui::makePointParam(thumb.x, thumb.y)), 0);
        EXPECT_EQ(s.dragged(), 0);
        EXPECT_EQ(s.handleMouse(*window, ui::kWmMouseMove, ui::kMkLButton, ui::makePointParam(130, 60)), 0);
        EXPECT_EQ(s.handleMouse(*window, ui::kWmLButtonDblClk, ui::kMkLButton, ui::makePointParam(thumb.x, thumb.y)), 0);
        EXPECT_EQ(s.getValue(), 75);
        EXPECT_EQ(s.statusShown, 0);
        EXPECT_TRUE(commands().empty());
        EXPECT_TRUE(untouched(window->clientRect()));
    }
}

TEST_F(SliderTest, TheStatusLineNamesTheThumbUnderTheMouse) {
    UiSlider& s = slider({40, 60, 240, 60}, 0x84);
    s.setValue(150 | 40 << 9);
    struct Step {
        ui::Point mouse;
        int part;
        const char* text;
    };
    const Step steps[] = {
        {{194, 64}, 1, "Radius High"}, {{85, 55}, 2, "Radius Low"}, {{120, 60}, 0, ""}, {{184, 60}, 0, ""},
    };
    for (const Step& step : steps) {
        EXPECT_EQ(mouse(ui::kWmMouseMove, step.mouse), 0);
        EXPECT_EQ(s.statusShown, step.part);
        EXPECT_TRUE(shows(kStatus, step.text, {kStatus.left, kStatus.top}));
    }
    // A drag tells which thumb the mouse is over once it moved.
    drag({80, 60}, 10, 0);
    EXPECT_EQ(s.statusShown, 2);
}

TEST_F(SliderTest, TextsStandAtTheirPlaces) {
    struct Text {
        const char* text;
        ui::Point at;  // from the track's corner
    };
    struct Case {
        const char* what;
        ui::Rect track;
        uint32_t style;
        uint32_t valueAt, nameAt;
        int32_t value;
        std::vector<Text> texts;
        std::vector<ui::Point> thumbs;  // from the track's corner
    };
    const Case cases[] = {
        {"sharpening", {40, 60, 190, 60}, 0x04, kValueAt, kNameAt, 75, {{"075", {130, -22}}, {"Radius", {10, -22}}}, {{75, 0}}},
        {"centred at its left end", {40, 60, 140, 60}, 0x05, 0x805B8016, 0x801C8016, 0,
         {{"-50", {91, -22}}, {"Radius", {28, -22}}}, {{0, 0}}},
        {"quarter origin", {40, 60, 240, 60}, 0x44, 0x80BC8016, 0x803C8016, 50, {{"000", {188, -22}}}, {{50, 0}}},
        {"two thumbs, second text left of the track", {40, 60, 240, 60}, 0x84, 0x80BC8016, 0x803C8016, 13000,
         {{"200", {188, -22}}, {"025", {-6, -22}}, {"Radius", {60, -22}}}, {{25, 0}, {200, 0}}},
        {"the value follows the thumb", {40, 60, 190, 60}, 0x00, textPosition(5, 20), kNameAbove, 40,
         {{"040", {45, -20}}}, {{40, 0}}},
        {"and so does the second", {40, 60, 240, 60}, 0x80, textPosition(5, 20), kNameAbove, 150 | 70 << 9,
         {{"150", {155, -20}}, {"070", {47, -20}}}, {{70, 0}, {150, 0}}},
        {"vertical, following", {30, 40, 30, 140}, 0x00, textPosition(12, 6), kNameAt, 30, {{" 30", {12, 24}}}, {{0, 30}}},
        {"vertical, fixed", {30, 40, 30, 140}, 0x04, textPosition(12, 22), kNameAbove, 30, {{" 30", {12, -22}}}, {{0, 30}}},
        {"pad: x above, y to the left", {100, 100, 0, 0}, 0x08, kValueAt, textPosition(0, 40), 259,
         {{"03", {3 - 7, -17}}, {"02", {-7 - 14, 2 - 6}}, {"Radius", {0, -40}}}, {{3, 2}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        restart();
        UiSlider& s = slider(c.track, c.style, c.valueAt, "Radius", c.nameAt);
        s.secondTextX = 19;
        s.setValue(c.value);
        manager.redrawElement(s);
        const ui::Point corner{s.track().left, s.track().top};
        for (const Text& t : c.texts) EXPECT_TRUE(showsText({corner.x + t.at.x, corner.y + t.at.y}, t.text));
        std::vector<ui::Point> thumbs;
        for (ui::Point p : c.thumbs) thumbs.push_back({corner.x + p.x, corner.y + p.y});
        EXPECT_EQ(thumbCentres(), thumbs);
    }
}

TEST_F(SliderTest, TracksMarksAndFrames) {
    struct Pixel {
        int x, y;  // from the track's corner
        ui::Colour colour;
    };
    struct Case {
        const char* what;
        ui::Rect track;
        uint32_t style;
        int32_t value;
        std::vector<Pixel> pixels;
    };
    const ui::Colour mid = kEngraveMidTone, shadow = kEngraveShadow, light = kEngraveHighlight;
    const Case cases[] = {
        {"engraved track, end excluded", {40, 60, 190, 60}, 0x04, 0,
         {{20, -1, shadow}, {20, 0, mid}, {20, 1, light}, {149, 0, mid}}},
        {"centre marks", {40, 60, 140, 60}, 0x05, 0, {{50, -2, shadow}, {51, -2, shadow}, {49, 0, mid}}},
        {"quarter marks", {40, 60, 240, 60}, 0x44, 0, {{50, -2, shadow}, {51, -2, shadow}}},
        {"vertical line one right of the track", {30, 40, 30, 140}, 0x05, 0,
         {{0, 20, shadow}, {1, 20, mid}, {2, 20, light}, {-1, 50, shadow}, {-1, 51, shadow}}},
        {"vertical line on the track", {30, 40, 30, 140}, 0x14, 0, {{-1, 20, shadow}, {0, 20, mid}, {1, 20, light}}},
        {"pad frame", {100, 100, 0, 0}, 0x08, 259, {{30, 0, mid}, {30, 50, mid}, {0, 30, mid}, {50, 30, mid}}},
        {"a cross through the thumb", {60, 80, 120, 140}, 0x04, 20 | 40 << 7, {{50, 40, mid}, {20, 10, mid}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        restart();
        UiSlider& s = slider(c.track, c.style);
        s.setValue(c.value);
        manager.redrawElement(s);
        for (const Pixel& p : c.pixels)
            EXPECT_EQ(at(s.track().left + p.x, s.track().top + p.y), p.colour) << p.x << "," << p.y;
    }
}

TEST_F(SliderTest, OverlayAndTextCopyStyles) {
    struct Case {
        const char* what;
        uint32_t style;
        bool thumb, box, text;
    };
    const Case cases[] = {
        {"plain", 0x04, true, true, true},
        {"overlay: texts only", 0x104, false, false, true},
        {"texts stay off the window", 0x204, true, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        restart();
        UiSlider& s = slider({40, 60, 190, 60}, c.style);
        s.setValue(75);
        manager.redrawElement(s);
        EXPECT_EQ(thumbCentres().size(), c.thumb ? 1u : 0u);
        EXPECT_EQ(at(60, 60) == kMarker, !c.box);
        EXPECT_EQ(showsText({170, 38}, "075"), c.text);
        EXPECT_TRUE(showsText({50, 38}, "Radius"));
    }
}

TEST_F(SliderTest, RedrawingGivesTheSamePixels) {
    UiSlider& s = slider({40, 60, 240, 60}, 0x84, 0x80BC8016, "Radius", 0x803C8016);
    s.secondTextX = 19;
    manager.redrawElement(s);
    const ui::Surface once = window->surface();
    manager.redrawElement(s);
    manager.redrawElement(s);
    EXPECT_TRUE(std::equal(once.pixels().begin(), once.pixels().end(), window->surface().pixels().begin()));
}

TEST_F(SliderTest, AHiddenSliderErasesWhatItDrewOnce) {
    UiSlider& s = slider({40, 60, 240, 60}, 0x84, 0x80BC8016, "Radius", 0x803C8016);
    s.secondTextX = 19;
    manager.redrawElement(s);
    s.visible = false;
    manager.redrawElement(s);
    EXPECT_TRUE(s.frozen);
    const ui::Surface& shown = window->surface();
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x)
            ASSERT_TRUE(at(x, y) == kMarker || at(x, y) == backgroundAt(x, y)) << x << "," << y;
    EXPECT_TRUE(shows({36, 39, 245, 66}));
    manager.redrawElement(s);
    EXPECT_TRUE(shows({36, 39, 245, 66}));
}

TEST_F(SliderTest, SlidersShareOneThumbImage) {
    const int before = skinCache().references(kThumbSkinId);
    slider({40, 60, 190, 60}, 0x04);
    slider({40, 90, 190, 90}, 0x04);
    EXPECT_EQ(skinCache().references(kThumbSkinId), before + 2);
    manager.tearDown();
    EXPECT_EQ(skinCache().references(kThumbSkinId), 0);
}

TEST_F(SliderTest, TheSharpeningLayout) {
    UiSlider& s = manager.create<UiSlider>("", ui::Rect{40, 60, 190, 60}, "Amount");
    EXPECT_EQ(s.style(), kFixedText);
    EXPECT_EQ(s.valueTextOffset(), (ui::Point{130, 22}));
    EXPECT_EQ(s.nameTextOffset(), (ui::Point{10, 22}));
    EXPECT_EQ(s.name(), "Amount");
    EXPECT_TRUE(s.label().empty());
}

// Control i carries value slot i: the record is encoded from the sliders and
// pushed back into them, limited to their tracks.
TEST_F(SliderTest, ValueSlotsTravelThroughTheControlsBothWays) {
    UiSlider& radius = slider({40, 60, 190, 60}, kFixedText);           // slot 0: 0..150
    UiSlider& pair = slider({40, 120, 240, 120}, kFixedText | kTwoThumbs);  // slot 1: 200 / 0
    constexpr uint8_t kFields[] = {0, 8, 1, 18, kFieldTableEnd};
    const RecordFormat format{9, 1, 64, fieldTableOf(kFields)};
    ControlSlots controls(manager);
    EXPECT_TRUE(controls.hasControl(1));
    EXPECT_FALSE(controls.hasControl(2));

    drag({40, 60}, 75, 0);
    ValueSlots slots{};
    uint8_t record[64] = {};
    encodeRecord(record, format, slots, &controls);
    EXPECT_EQ(slots[0], 75);
    EXPECT_EQ(slots[1], 200);  // first thumb at the track's end, second at 0

    slots[0] = 255;              // a damaged record's value
    slots[1] = 13000;            // 200 and 25
    pushToControls(format, slots, controls);
    EXPECT_EQ(radius.getValue(), 150);
    EXPECT_EQ(pair.getValue(), 13000);
    encodeRecord(record, format, slots, &controls);
    EXPECT_EQ(slots[0], 150);
}

}  // namespace
}  // namespace qm::fw
