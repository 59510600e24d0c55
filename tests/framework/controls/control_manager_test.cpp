#include <gtest/gtest.h>

#include "framework/controls/control_manager.h"
#include "framework/controls/interface_resources.h"
#include "framework/controls/status_text.h"
#include "platform/ui/queue.h"
#include "tests/framework/controls/controls_test_support.h"

namespace qm::fw {
namespace {

using testing::RecordingControl;

constexpr ui::Rect kStatus{20, 60, 180, 74};

// A dialog window on the headless screen with its manager set up over a
// small, recognisable background skin.
class ControlManagerTest : public ::testing::Test {
protected:
    ControlManagerTest() {
        resources.addBitmap(kBackgroundSkinId, testing::numbered(9, 7, 30));
        window = ui::createWindow({ui::kStylePopup | ui::kStyleCaption | ui::kStyleVisible,
                                   ui::Rect::ofSize(40, 30, 240, 120), "dialog", 0, nullptr, nullptr, {}});
        manager.setUpDialog(*window, kStatus);
        background = *manager.background().image();
    }
    // Destroying the window drops what it left in the queue.
    ~ControlManagerTest() override { manager.tearDown(); }
    ui::Colour backgroundAt(int x, int y) const { return background.pixel(x % 9, y % 7); }

    testing::TestResources resources;
    std::unique_ptr<ui::Window> window;
    ControlManager manager{resources.module()};
    ui::Surface background;
};

TEST_F(ControlManagerTest, TheOffscreenSurfaceReachesTheWindowsBottomRightCorner) {
    const ui::Rect outer = window->windowRect();
    const ui::Point corner = window->screenToClient({outer.right, outer.bottom});
    EXPECT_EQ(manager.offscreen().size(), (ui::Size{corner.x, corner.y}));
    EXPECT_GE(manager.offscreen().width(), window->clientSize().width);
    EXPECT_EQ(manager.offscreen().backgroundMode(), ui::BackgroundMode::Transparent);
}

TEST_F(ControlManagerTest, PaintingTilesTheBackgroundAndDrawsVisibleControlsAlignedAcrossThem) {
    auto& left = manager.create<RecordingControl>("left", ui::Rect{10, 10, 50, 40});
    auto& right = manager.create<RecordingControl>("right", ui::Rect{50, 10, 95, 40});
    auto& hidden = manager.create<RecordingControl>("hidden", ui::Rect{100, 10, 120, 30});
    auto& disabled = manager.create<RecordingControl>("disabled", ui::Rect{130, 10, 150, 30});
    hidden.visible = false;
    disabled.enabled = false;
    window->surface().fill(window->clientRect(), ui::rgb(0, 255, 0));
    window->invalidate();

    manager.beginPaint();
    ASSERT_EQ(manager.paintContext(), &window->surface());
    manager.paintAll();
    manager.endPaint();
    EXPECT_EQ(manager.paintContext(), nullptr);

    EXPECT_EQ(left.draws, 1);
    EXPECT_EQ(right.draws, 1);
    EXPECT_EQ(hidden.draws, 0);
    EXPECT_EQ(disabled.draws, 1);  // disabled controls still draw
    const ui::Surface& shown = window->surface();
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x) ASSERT_EQ(shown.pixel(x, y), backgroundAt(x, y)) << x << "," << y;
}

TEST_F(ControlManagerTest, TheRepaintHookRunsWhenAPaintBegins) {
    int cleared = 0;
    manager.onRepaint = [&] { ++cleared; };
    window->invalidate();
    manager.beginPaint();
    manager.endPaint();
    EXPECT_EQ(cleared, 1);
}

TEST_F(ControlManagerTest, MouseMessagesGoOnlyToEnabledControlsUntilOneConsumes) {
    auto& first = manager.create<RecordingControl>("", ui::Rect{}, ui::kWmRButtonDown);
    auto& off = manager.create<RecordingControl>("", ui::Rect{}, ui::kWmMouseMove);
    auto& last = manager.create<RecordingControl>("", ui::Rect{}, ui::kWmLButtonDown);
    off.enabled = false;
    struct Case {
        uint32_t message;
        int result;
        std::vector<uint32_t> first, last;
    };
    const Case cases[] = {
        {0x01FF, 0, {}, {}},
        {ui::kWmMouseMove, 0, {0x200}, {0x200}},
        {ui::kWmLButtonDown, 1, {0x201}, {0x201}},
        {ui::kWmRButtonDown, 1, {0x204}, {}},  // the first consumer ends the walk
        {ui::kWmMouseHWheel, 0, {0x20E}, {0x20E}},
        {0x020F, 0, {}, {}},
        {ui::kWmPrivate, 0, {}, {}},
        {ui::kWmKeyDown, 0, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        first.offered.clear();
        last.offered.clear();
        EXPECT_EQ(manager.dispatchMouse(*window, c.message, 0, ui::makePointParam(5, 5)), c.result);
        EXPECT_EQ(first.offered, c.first);
        EXPECT_EQ(last.offered, c.last);
        EXPECT_TRUE(off.offered.empty());
        EXPECT_EQ(manager.paintContext(), nullptr);
    }
}

TEST_F(ControlManagerTest, OnlyTheFirst150ControlsAreRegistered) {
    for (size_t i = 0; i < ControlManager::kMaxElements; ++i) manager.create<RecordingControl>("", ui::Rect{});
    auto& extra = manager.create<RecordingControl>("", ui::Rect{}, ui::kWmMouseMove);
    EXPECT_EQ(manager.count(), ControlManager::kMaxElements);
    EXPECT_EQ(manager.dispatchMouse(*window, ui::kWmMouseMove, 0, 0), 0);
    EXPECT_TRUE(extra.offered.empty());
    EXPECT_EQ(&manager.element(0).manager(), &manager);
}

TEST_F(ControlManagerTest, AHiddenControlIsErasedOnceThenFrozenUntilShownAgain) {
    auto& c = manager.create<RecordingControl>("", ui::Rect{10, 10, 30, 30});
    c.visible = false;
    manager.redrawElement(c);
    EXPECT_EQ(c.draws, 1);  // erases its area
    EXPECT_TRUE(c.frozen);
    manager.redrawElement(c);
    manager.redrawElement(c);
    EXPECT_EQ(c.draws, 1);

    c.visible = true;
    manager.redrawElement(c);
    EXPECT_EQ(c.draws, 1);  // still frozen: the dialog clears both flags
    c.frozen = false;
    manager.redrawElement(c);
    manager.redrawElement(c);
    EXPECT_EQ(c.draws, 3);
    EXPECT_FALSE(c.frozen);
    EXPECT_EQ(window->surface().pixel(12, 14), backgroundAt(12, 14));
}

TEST_F(ControlManagerTest, ControlsPostTheirCommandToTheDialog) {
    auto& c = manager.create<RecordingControl>("", ui::Rect{});
    c.postCommand();  // command 0 posts nothing
    c.command = 2300;
    c.postCommand();
    ui::Message m;
    ASSERT_TRUE(ui::peekMessage(m, window.get(), ui::kWmPrivate, ui::kWmPrivate, ui::Remove::Yes));
    EXPECT_EQ(m.wParam, 2300u);
    EXPECT_EQ(m.lParam, 0);
    EXPECT_FALSE(ui::peekMessage(m, window.get(), ui::kWmPrivate, ui::kWmPrivate, ui::Remove::Yes));
}

TEST(StatusText, PartsOfALabel) {
    struct Case {
        const char* label;
        int part;
        std::string_view expected;
    };
    const std::string longLabel(211, 'x');
    const Case cases[] = {
        {"Mask: right@Mask: left", 1, "Mask: right"},
        {"Mask: right@Mask: left", 2, "Mask: left"},
        {"Mask: right@Mask: left", 0, ""},
        {"Apply the filter", 1, "Apply the filter"},
        {"Apply the filter", 2, ""},
        {"a@b@c", 2, "b@c"},
        {"@second", 1, ""},
        {longLabel.c_str(), 1, std::string_view(longLabel).substr(0, kMaxStatusText)},
    };
    for (const Case& c : cases) EXPECT_EQ(statusText(c.label, c.part), c.expected) << c.label << " " << c.part;
}

// What the status rectangle should show: the background with `text` at its corner.
ui::Surface expectedStatus(const ui::Surface& background, std::string_view text) {
    ui::Surface s(kStatus.right, kStatus.bottom);
    for (int y = 0; y < s.height(); ++y)
        for (int x = 0; x < s.width(); ++x) s.setPixel(x, y, background.pixel(x % 9, y % 7));
    s.selectFont(ui::Font::interfaceFont());
    s.setBackgroundMode(ui::BackgroundMode::Transparent);
    s.setTextColour(ui::kBlack);
    s.drawText(kStatus.left, kStatus.top, text);
    return s;
}

TEST_F(ControlManagerTest, StatusPartsAreDrawnAtTheRectanglesCornerOnceEach) {
    auto& c = manager.create<RecordingControl>("Mask: right@Mask: left", ui::Rect{});
    auto& quiet = manager.create<RecordingControl>("", ui::Rect{});
    const ui::Colour marker = ui::rgb(0, 255, 0);
    auto status = [&] {
        ui::Surface s(kStatus.width(), kStatus.height());
        s.blit(0, 0, kStatus.width(), kStatus.height(), window->surface(), kStatus.left, kStatus.top);
        return s;
    };
    auto expected = [&](std::string_view text) {
        ui::Surface e = expectedStatus(background, text), s(kStatus.width(), kStatus.height());
        s.blit(0, 0, kStatus.width(), kStatus.height(), e, kStatus.left, kStatus.top);
        return s;
    };
    auto same = [](const ui::Surface& a, const ui::Surface& b) {
        return std::equal(a.pixels().begin(), a.pixels().end(), b.pixels().begin(), b.pixels().end());
    };

    manager.showStatus(c, 1);
    EXPECT_EQ(c.statusShown, 1);
    EXPECT_TRUE(same(status(), expected("Mask: right")));
    EXPECT_FALSE(same(status(), expected("")));  // text was drawn

    // The same part again draws nothing.
    window->surface().fill(kStatus, marker);
    manager.showStatus(c, 1);
    EXPECT_EQ(window->surface().pixel(kStatus.left, kStatus.top), marker);

    manager.showStatus(c, 2);
    EXPECT_TRUE(same(status(), expected("Mask: left")));
    manager.showStatus(c, 0);
    EXPECT_TRUE(same(status(), expected("")));
    EXPECT_EQ(c.statusShown, 0);

    // An empty label never touches the status line.
    window->surface().fill(kStatus, marker);
    manager.showStatus(quiet, 1);
    EXPECT_EQ(quiet.statusShown, 0);
    EXPECT_EQ(window->surface().pixel(kStatus.left + 3, kStatus.top + 3), marker);
    // Nothing is drawn outside the rectangle.
    EXPECT_NE(window->surface().pixel(kStatus.left - 1, kStatus.top), backgroundAt(kStatus.left - 1, kStatus.top));
}

TEST_F(ControlManagerTest, TearDownDestroysTheControlsAndReleasesTheBackground) {
    struct Counted : RecordingControl {
        Counted(ControlManager& m, int& count) : RecordingControl(m, "", {}), gone(count) {}
        ~Counted() override { ++gone; }
        int& gone;
    };
    int destroyed = 0;
    manager.create<Counted>(destroyed);
    manager.create<Counted>(destroyed);
    EXPECT_EQ(skinCache().references(kBackgroundSkinId), 1);
    manager.tearDown();
    EXPECT_EQ(destroyed, 2);
    EXPECT_EQ(manager.count(), 0u);
    EXPECT_EQ(skinCache().references(kBackgroundSkinId), 0);
    EXPECT_TRUE(manager.offscreen().isEmpty());
}

TEST(InterfaceResources, WithoutACursorResourceTheLinkCursorIsTheArrow) {
    testing::TestResources none;
    const InterfaceResources& r = interfaceResources(none.module());
    ASSERT_NE(r.normalFont, nullptr);
    ASSERT_NE(r.underlinedFont, nullptr);
    EXPECT_TRUE(r.underlinedFont->shape().underline);
    EXPECT_EQ(r.normalFont->cellHeight(), 13);
    ASSERT_NE(r.linkCursor, nullptr);
}

}  // namespace
}  // namespace qm::fw
