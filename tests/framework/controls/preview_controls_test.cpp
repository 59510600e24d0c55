#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstddef>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "framework/controls/control_manager.h"
#include "framework/controls/engraving.h"
#include "framework/controls/interface_resources.h"
#include "framework/controls/progress_strip.h"
#include "framework/controls/ui_ancor.h"
#include "framework/controls/ui_navigator.h"
#include "framework/controls/ui_preview.h"
#include "framework/host/dialog_link.h"
#include "framework/host/filter_session.h"
#include "framework/host/render_loop.h"
#include "framework/host/render_state.h"
#include "platform/os/clock.h"
#include "platform/ui/cursor.h"
#include "platform/ui/queue.h"
#include "tests/framework/controls/controls_test_support.h"
#include "tests/support/fake_host.h"

// Allocations from this size on fail while a test asks for it, so that the
// preview's buffers can be refused without a huge image. Every form of new
// and delete is replaced, so the sanitizers see malloc and free paired.
namespace {
std::atomic<size_t> failAllocationsFrom{SIZE_MAX};

void* allocate(size_t size, std::align_val_t align) noexcept {
    if (size >= failAllocationsFrom.load(std::memory_order_relaxed)) return nullptr;
    const auto a = static_cast<size_t>(align);
    if (a <= alignof(std::max_align_t)) return std::malloc(size ? size : 1);
    return std::aligned_alloc(a, (size + a - 1) / a * a);
}
void* allocateOrThrow(size_t size, std::align_val_t align) {
    if (void* p = allocate(size, align)) return p;
    throw std::bad_alloc();
}
constexpr std::align_val_t kPlain{alignof(std::max_align_t)};
}  // namespace

// Out of line, so the compiler never pairs what it sees inlined (malloc, free)
// with a new or delete expression.
__attribute__((noinline)) void* operator new(size_t n) { return allocateOrThrow(n, kPlain); }
__attribute__((noinline)) void* operator new[](size_t n) { return allocateOrThrow(n, kPlain); }
__attribute__((noinline)) void* operator new(size_t n, std::align_val_t a) { return allocateOrThrow(n, a); }
__attribute__((noinline)) void* operator new[](size_t n, std::align_val_t a) { return allocateOrThrow(n, a); }
__attribute__((noinline)) void* operator new(size_t n, const std::nothrow_t&) noexcept { return allocate(n, kPlain); }
__attribute__((noinline)) void* operator new[](size_t n, const std::nothrow_t&) noexcept { return allocate(n, kPlain); }
__attribute__((noinline)) void* operator new(size_t n, std::align_val_t a, const std::nothrow_t&) noexcept { return allocate(n, a); }
__attribute__((noinline)) void* operator new[](size_t n, std::align_val_t a, const std::nothrow_t&) noexcept { return allocate(n, a); }
#define QM_TEST_DELETE(...) \
    __attribute__((noinline)) void operator delete(__VA_ARGS__) noexcept { std::free(p); } \
    __attribute__((noinline)) void operator delete[](__VA_ARGS__) noexcept { std::free(p); }
QM_TEST_DELETE(void* p)
QM_TEST_DELETE(void* p, size_t)
QM_TEST_DELETE(void* p, std::align_val_t)
QM_TEST_DELETE(void* p, size_t, std::align_val_t)
QM_TEST_DELETE(void* p, const std::nothrow_t&)
QM_TEST_DELETE(void* p, std::align_val_t, const std::nothrow_t&)
#undef QM_TEST_DELETE

namespace qm::fw {
namespace {

constexpr ui::Rect kStatus{55, 622, 505, 636};
constexpr ui::Rect kPreviewArea{5, 17, 605, 617};
constexpr ui::Rect kMeter{5, 621, 35, 636};
constexpr ui::Colour kBeige = ui::rgb(227, 217, 203);

int checker(int x, int y) { return ((x ^ y) & 4) ? 255 : 192; }

// The progress cell: a recognisable face with a transparent last column.
ui::Surface cellSkin() {
    ui::Surface s = testing::numbered(12, 5, 70);
    for (int y = 0; y < 5; ++y) s.setPixel(11, y, ui::kWhite);
    return s;
}

ui::Colour imageColour(int x, int y) { return ui::rgb(x * 5 + 3, y * 7 + 1, (x + y) * 3); }

class Link;

// A dialog window with its control manager over a small background skin and
// the progress cell, and, when asked for, a filter session on the framework's
// test filter (gain 100 and offset 128 leave the image as it is) with a
// dialog link that drives the progress strip.
struct TestDialog {
    explicit TestDialog(std::optional<test::HostImageShape> image = std::nullopt);
    ~TestDialog();

    ui::Colour backgroundAt(int x, int y) const { return background.pixel(x % 9, y % 7); }
    ui::Surface& shown() { return window->surface(); }
    void paint() {
        window->invalidate();
        manager.beginPaint();
        manager.paintAll();
        manager.endPaint();
    }
    UiPreview& makePreview(const ui::Rect& area = kPreviewArea) { return manager.create<UiPreview>(area, kMeter); }
    // The private messages waiting: (command, lParam).
    std::vector<std::pair<ui::WParam, ui::LParam>> posted() {
        std::vector<std::pair<ui::WParam, ui::LParam>> out;
        ui::Message m;
        while (ui::peekMessage(m, window.get(), ui::kWmPrivate, ui::kWmPrivate, ui::Remove::Yes))
            out.emplace_back(m.wParam, m.lParam);
        return out;
    }

    testing::TestResources resources;
    std::unique_ptr<ui::Window> window;
    std::optional<test::FakeHost> host;
    std::unique_ptr<Link> link;
    ControlManager manager;
    ui::Surface background;
};

class Link : public DialogLink {
public:
    class Knobs : public SlotControls {
    public:
        bool hasControl(int slot) const override { return slot >= 0 && slot < 3; }
        int32_t getValue(int slot) const override { return values[static_cast<size_t>(slot)]; }
        void setValue(int slot, int32_t v) override { values[static_cast<size_t>(slot)] = v; }
        int32_t values[3] = {100, 128, 0};
    };

    explicit Link(ControlManager& m) : manager(m) {}
    SlotControls& controls() override { return knobs; }
    bool pollMouse() override { return false; }
    void clearProgress() override {
        if (onClear) onClear();
        if (strip) strip->progressClear();
    }
    void advanceProgress(int total) override {
        if (strip) strip->progressStep(total);
    }
    void startProgressTimer() override { ++timers; }
    void restorePreviewToggleIfRequested() override {}
    void enableZoomButtons() override {}
    void redrawPreview() override {
        if (preview) manager.redrawElement(*preview);
    }
    void requestRedraw() override {}

    ControlManager& manager;
    Knobs knobs;
    UiPreview* preview = nullptr;
    ProgressStrip* strip = nullptr;
    std::function<void()> onClear;
    int timers = 0;
};

TestDialog::TestDialog(std::optional<test::HostImageShape> image) : manager(resources.module()) {
    resources.addBitmap(kBackgroundSkinId, testing::numbered(9, 7, 30));
    resources.addBitmap(kProgressCellSkinId, cellSkin());
    std::ifstream cursor(QM_SOURCE_DIR "/resources/common/cursor120.cur", std::ios::binary);
    resources.add(ui::kResourceCursor, kLinkCursorId,
                  {std::istreambuf_iterator<char>(cursor), std::istreambuf_iterator<char>()});
    window = ui::createWindow({ui::kStylePopup | ui::kStyleCaption | ui::kStyleVisible,
                               ui::Rect::ofSize(0, 0, 900, 680), "dialog", 0, nullptr, nullptr, {}});
    window->setClientSize(880, 640);
    if (image) {
        host.emplace(filterDescription(), *image);
        for (int y = 0; y < image->height; ++y)
            for (int x = 0; x < image->width; ++x) {
                const ui::Colour c = imageColour(x, y);
                host->in[host->index(x, y, 0)] = static_cast<uint8_t>(ui::redOf(c));
                host->in[host->index(x, y, 1)] = static_cast<uint8_t>(ui::greenOf(c));
                host->in[host->index(x, y, 2)] = static_cast<uint8_t>(ui::blueOf(c));
                if (image->planes == 4) host->in[host->index(x, y, 3)] = 255;
            }
        EXPECT_EQ(host->open(), noErr);
        link = std::make_unique<Link>(manager);
        host->session.dialog = link.get();
        manager.session = &host->session;
    }
    manager.setUpDialog(*window, kStatus);
    background = *manager.background().image();
}

TestDialog::~TestDialog() {
    manager.tearDown();
    if (host) host->session.dialog = nullptr;
}

// The first mismatch inside r, if any.
void expectSame(const ui::Surface& actual, const ui::Surface& expected, const ui::Rect& r, int dx = 0, int dy = 0) {
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x)
            ASSERT_EQ(actual.pixel(x + dx, y + dy), expected.pixel(x, y)) << "at " << x << "," << y;
}

// ---- the preview --------------------------------------------------------------

TEST(Preview, TheAreaIsRoundedDownToMultiplesOfFourAndTheBuffersFollowIt) {
    struct Case {
        int w, h, wantW, wantH;
    };
    const Case cases[] = {{602, 599, 600, 596}, {600, 600, 600, 600}, {4100, 7, 4092, 4}, {3, 50, 0, 48}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.w);
        TestDialog d;
        const UiPreview& p = d.makePreview(ui::Rect::ofSize(5, 17, c.w, c.h));
        EXPECT_EQ(p.area(), ui::Rect::ofSize(5, 17, c.wantW, c.wantH));
        EXPECT_EQ(p.picture().size(), (ui::Size{c.wantW, c.wantH}));
        EXPECT_EQ(p.buffers().display.size(), static_cast<size_t>(c.wantW * c.wantH * 3));
        EXPECT_FALSE(p.failed());
        EXPECT_FALSE(p.enabled);
    }
}

TEST(Preview, TheFirstDrawShowsTheTransferTextThenTheRenderedImageInABevel) {
    TestDialog d(test::HostImageShape{40, 30});
    UiPreview& p = d.makePreview();
    d.link->preview = &p;
    ASSERT_EQ(d.host->session.preview, &p.buffers());
    EXPECT_EQ(p.buffers().renderedWidth, 40);
    EXPECT_EQ(p.buffers().renderedHeight, 30);
    std::optional<ui::Surface> duringRender;
    d.link->onClear = [&] {
        if (!duringRender) duringRender = d.shown();
    };
    d.paint();

    // While the first render runs, the text is on the window over the background.
    ASSERT_TRUE(duringRender);
    ui::Surface expected(d.shown().width(), d.shown().height());
    for (int y = 0; y < expected.height(); ++y)
        for (int x = 0; x < expected.width(); ++x) expected.setPixel(x, y, d.backgroundAt(x, y));
    expected.selectFont(ui::Font::interfaceFont());
    expected.setBackgroundMode(ui::BackgroundMode::Transparent);
    expected.drawText(25, 37, UiPreview::kTransferText);
    const ui::Size text = expected.textExtent(UiPreview::kTransferText);
    expectSame(*duringRender, expected, ui::Rect::ofSize(25, 37, text.width, text.height));

    // Then: the image inside the rendered size, the background outside, the
    // bevel over the outer two pixels, all of it on the window.
    EXPECT_TRUE(p.buffers().transferred);
    EXPECT_EQ(d.link->timers, 1);
    const ui::Surface& pic = p.picture();
    for (int y = 2; y < 598; y += 3)
        for (int x = 2; x < 598; x += 3)
            ASSERT_EQ(pic.pixel(x, y), x < 40 && y < 30 ? imageColour(x, y) : kBeige) << x << "," << y;
    EXPECT_EQ(pic.pixel(0, 300), kEngraveHighlight);
    EXPECT_EQ(pic.pixel(1, 300), ui::kBlack);
    EXPECT_EQ(pic.pixel(598, 300), kEngraveHighlight);
    EXPECT_EQ(pic.pixel(599, 300), ui::kBlack);
    expectSame(d.shown(), pic, pic.bounds(), 5, 17);
    EXPECT_EQ(d.shown().pixel(kMeter.left, kMeter.top), ui::kBlack);  // the first render's time
    EXPECT_EQ(p.buffers().renderStartTime, 0u);

    // New settings and dirty: rendered again from the copy, which is not made again.
    std::fill(d.host->in.begin(), d.host->in.end(), uint8_t{0});
    d.link->knobs.values[0] = 50;
    p.buffers().dirty = true;
    d.paint();
    EXPECT_FALSE(p.buffers().dirty);
    EXPECT_EQ(p.picture().pixel(7, 9), ui::rgb(ui::redOf(imageColour(7, 9)) / 2, ui::greenOf(imageColour(7, 9)) / 2,
                                               ui::blueOf(imageColour(7, 9)) / 2));
}

TEST(Preview, TheMeterShowsTheLow14BitsOfTheDrawingTimeOnce) {
    struct Case {
        uint32_t elapsed;
        const char* text;
    };
    const Case cases[] = {{20000, "3616 "}, {16384, "0000 "}, {16383, "16383 "}, {42, "0042 "}};
    TestDialog d;
    UiPreview& p = d.makePreview();
    d.paint();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(UiPreview::meterText(c.elapsed), c.text);
        ui::Surface before;
        // Retried until the clock stood still over the draw, so the reading is exact.
        for (int attempt = 0; attempt < 100; ++attempt) {
            before = d.shown();
            const uint32_t now = os::tickCount();
            p.buffers().renderStartTime = now - c.elapsed;
            d.manager.redrawElement(p);
            if (os::tickCount() == now) break;
        }
        EXPECT_EQ(p.buffers().renderStartTime, 0u);
        before.selectFont(ui::Font::interfaceFont());
        before.setBackgroundMode(ui::BackgroundMode::Transparent);
        before.rectangle(kMeter);
        before.drawText(kMeter.left + 2, kMeter.top + 1, c.text);
        expectSame(d.shown(), before, ui::Rect{0, 618, 80, 640});
    }
    // A plain repaint clears the pending reading: the meter area stays background.
    p.buffers().renderStartTime = os::tickCount() - 20000;
    d.paint();
    EXPECT_EQ(p.buffers().renderStartTime, 0u);
    for (int x = kMeter.left; x < kMeter.right; ++x) ASSERT_EQ(d.shown().pixel(x, kMeter.top), d.backgroundAt(x, kMeter.top));
}

TEST(Preview, FourPlanesShowTheCheckerboardAtAlphaZeroAndOutsideWithoutAnOpaqueBackground) {
    struct Case {
        uint32_t background;
        bool checkerOutside;
    };
    for (const Case& c : {Case{kPreviewBackground, false}, Case{0x00CBD9E3u, true}}) {
        SCOPED_TRACE(c.background);
        TestDialog d(test::HostImageShape{40, 30, 4});
        for (size_t i = 3; i < d.host->in.size(); i += 4) d.host->in[i] = 0;
        UiPreview& p = d.makePreview();
        p.background = c.background;
        d.paint();
        const ui::Surface& pic = p.picture();
        for (int y = 2; y < 100; ++y)
            for (int x = 2; x < 100; ++x) {
                const int k = checker(x, y);
                const bool inside = x < 40 && y < 30;
                ASSERT_EQ(pic.pixel(x, y), inside || c.checkerOutside ? ui::rgb(k, k, k) : kBeige) << x << "," << y;
            }
    }
}

TEST(Preview, APreviewWhoseBuffersCannotBeHadStaysBlankAndTheRestWorks) {
    // 4 planes: the copy (4 x 600 x 600 bytes) is larger than the picture (3 x 600 x 600).
    const size_t refuseFrom[] = {1'200'000, 1'000'000};  // the buffers; the picture as well
    for (size_t limit : refuseFrom) {
        SCOPED_TRACE(limit);
        TestDialog d(test::HostImageShape{40, 30, 4});
        failAllocationsFrom = limit;
        UiPreview& p = d.makePreview();
        failAllocationsFrom = SIZE_MAX;
        d.link->preview = &p;
        auto& nav = d.manager.create<UiNavigator>(ui::Rect::ofSize(625, 67, 200, 148), 600);
        nav.setThumbnailPixel(100, 50, 255, 0, 0);

        EXPECT_TRUE(p.failed());
        EXPECT_EQ(d.host->session.preview, &p.buffers());
        EXPECT_TRUE(p.buffers().display.empty());
        EXPECT_EQ(p.buffers().renderedWidth, 0);
        d.paint();
        EXPECT_EQ(render(d.host->state()), noErr);  // an empty region
        EXPECT_FALSE(p.buffers().transferred);
        for (int y = kPreviewArea.top; y < kPreviewArea.bottom; y += 7)
            for (int x = kPreviewArea.left; x < kPreviewArea.right; x += 7)
                ASSERT_EQ(d.shown().pixel(x, y), d.backgroundAt(x, y)) << x << "," << y;
        EXPECT_EQ(d.shown().pixel(725, 117), ui::rgb(255, 0, 0));
    }
}

TEST(Preview, MouseMessagesPostTheirCommandWithThePointInThePicture) {
    struct Case {
        uint32_t message;
        int x, y;
        int consumed;
        ui::WParam command;  // 0: none
    };
    const Case cases[] = {
        {ui::kWmMouseMove, 15, 20, 0, 2003},    {ui::kWmLButtonUp, 15, 20, 1, 2001},
        {ui::kWmRButtonDown, 15, 20, 1, 2002},  {ui::kWmLButtonDown, 15, 20, 1, 0},
        {ui::kWmRButtonUp, 604, 616, 1, 0},     {ui::kWmMouseMove, 3, 12, 0, 2004},
        {ui::kWmLButtonUp, 605, 20, 0, 2004},   {ui::kWmRButtonDown, 15, 617, 0, 2004},
    };
    TestDialog d;
    UiPreview& p = d.makePreview();
    EXPECT_EQ(d.manager.dispatchMouse(*d.window, ui::kWmLButtonUp, 0, ui::makePointParam(15, 20)), 0);
    EXPECT_TRUE(d.posted().empty());  // created disabled

    p.enabled = true;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        EXPECT_EQ(d.manager.dispatchMouse(*d.window, c.message, 0, ui::makePointParam(c.x, c.y)), c.consumed);
        const auto posted = d.posted();
        if (c.command == 0) {
            EXPECT_TRUE(posted.empty());
            continue;
        }
        ASSERT_EQ(posted.size(), 1u);
        EXPECT_EQ(posted[0].first, c.command);
        EXPECT_EQ(ui::pointOfParam(posted[0].second), (ui::Point{c.x - 5, c.y - 17}));
    }
    p.visible = false;
    EXPECT_EQ(d.manager.dispatchMouse(*d.window, ui::kWmLButtonUp, 0, ui::makePointParam(15, 20)), 0);
    EXPECT_TRUE(d.posted().empty());
}

// ---- the navigator ----------------------------------------------------------------

struct NavigatorDialog : TestDialog {
    NavigatorDialog(int32_t imageWidth, int32_t imageHeight, int previewWidth) {
        libraryState().imageWidth = imageWidth;
        libraryState().imageHeight = imageHeight;
        const ThumbnailSize t = navigatorThumbnailSize(imageWidth, imageHeight);
        nav = &manager.create<UiNavigator>(ui::Rect::ofSize(625, 67, t.width, t.height), previewWidth);
    }
    int move(int x, int y, ui::WParam buttons = ui::kMkLButton) {
        return manager.dispatchMouse(*window, ui::kWmMouseMove, buttons, ui::makePointParam(625 + x, 67 + y));
    }
    int press(int x, int y) {
        return manager.dispatchMouse(*window, ui::kWmLButtonDown, ui::kMkLButton, ui::makePointParam(625 + x, 67 + y));
    }
    UiNavigator* nav = nullptr;
};

TEST(Navigator, TheViewStartsAsThePreviewsShareOfTheImageWithinItsBounds) {
    struct Case {
        int32_t w, h;
        int previewWidth;
        ui::Size thumbnail, view;
    };
    const Case cases[] = {
        {2000, 1000, 900, {200, 100}, {90, 60}},
        {600, 600, 600, {200, 200}, {196, 196}},  // at most the thumbnail less 4
        {100000, 50000, 900, {200, 100}, {10, 10}},  // at least 10
        {1000, 3000, 600, {64, 200}, {38, 40}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.w);
        NavigatorDialog d(c.w, c.h, c.previewWidth);
        EXPECT_EQ((ui::Size{d.nav->thumbnailWidth(), d.nav->thumbnailHeight()}), c.thumbnail);
        EXPECT_EQ(d.nav->viewSize(), c.view);
        EXPECT_EQ(d.nav->viewPosition(), (ui::Point{0, 0}));
        EXPECT_EQ(d.nav->zoomCode(), UiNavigator::kFit);
        EXPECT_EQ(d.nav->label(), "Navigator Window");
        EXPECT_EQ(d.nav->command, 2399);
    }
}

TEST(Navigator, SyncResizesTheViewForTheZoomAndReportsWhenTheOriginMoved) {
    struct Step {
        int setX, setY;  // -1: leave the position
        int zoom;
        bool changed;
        ui::Size view;
        ui::Point position, imageOrigin;
    };
    const Step steps[] = {
        {-1, -1, 99, true, {90, 60}, {0, 0}, {0, 0}},  // the first sync always reports
        {-1, -1, 99, false, {90, 60}, {0, 0}, {0, 0}},
        {50, 20, 99, true, {90, 60}, {50, 20}, {500, 200}},  // Fit: the position still counts
        {-1, -1, 100, true, {90, 60}, {50, 20}, {500, 200}},
        {-1, -1, 50, true, {180, 98}, {18, 0}, {180, 0}},  // size at most thumbnail - 2, position pulled in
        {-1, -1, 200, true, {45, 30}, {18, 0}, {180, 0}},
        {-1, -1, 200, false, {45, 30}, {18, 0}, {180, 0}},
    };
    NavigatorDialog d(2000, 1000, 900);
    for (const Step& s : steps) {
        SCOPED_TRACE(s.zoom);
        if (s.setX >= 0) d.nav->setValue(s.setX | (s.setY << 9));
        EXPECT_EQ(d.nav->syncNavigator(s.zoom), s.changed);
        EXPECT_EQ(d.nav->viewSize(), s.view);
        EXPECT_EQ(d.nav->viewPosition(), s.position);
        EXPECT_EQ(d.nav->imageOrigin(), s.imageOrigin);
    }
}

TEST(Navigator, TheValuePacksTheViewPositionIn18BitsAndIsSetWithoutLimits) {
    NavigatorDialog d(2000, 1000, 900);
    d.nav->setValue(37 | (21 << 9));
    EXPECT_EQ(d.nav->viewPosition(), (ui::Point{37, 21}));
    EXPECT_EQ(d.nav->getValue(), 37 | (21 << 9));
    d.nav->setValue(0x3FFFF | (1 << 18));
    EXPECT_EQ(d.nav->viewPosition(), (ui::Point{511, 511}));
    EXPECT_EQ(d.nav->getValue(), 0x3FFFF);
}

TEST(Navigator, ADragKeepsTheViewTwoPixelsFromEveryEdge) {
    struct Step {
        enum { Press, Move, Release } what;
        int x, y;
        ui::WParam buttons;
        int consumed;
        ui::Point position;
        bool posted;
    };
    // View 90 x 60 at (40, 20) in a 200 x 100 thumbnail; pressed at its middle (85, 50).
    const Step steps[] = {
        {Step::Press, 85, 50, ui::kMkLButton, 0, {40, 20}, false},
        {Step::Move, -915, -950, ui::kMkLButton, 1, {2, 2}, true},
        {Step::Move, 1085, 1050, ui::kMkLButton, 1, {108, 38}, true},
        {Step::Move, 90, 53, ui::kMkLButton, 1, {45, 23}, true},
        {Step::Move, 90, 53, ui::kMkLButton, 0, {45, 23}, false},  // no change: not consumed
        {Step::Move, 95, 53, ui::kMkLButton | ui::kMkShift, 0, {45, 23}, false},  // ends the drag
        {Step::Move, 120, 53, ui::kMkLButton, 0, {45, 23}, false},
        {Step::Press, 140, 20, ui::kMkLButton, 0, {45, 23}, false},  // beside the view: no drag
        {Step::Move, 150, 20, ui::kMkLButton, 0, {45, 23}, false},
        {Step::Press, 135, 83, ui::kMkLButton, 0, {45, 23}, false},  // its bottom-right corner counts
        {Step::Move, 136, 84, ui::kMkLButton, 1, {46, 24}, true},
        {Step::Release, 136, 84, 0, 0, {46, 24}, false},
        {Step::Move, 150, 90, ui::kMkLButton, 0, {46, 24}, false},
    };
    NavigatorDialog d(2000, 1000, 900);
    d.nav->syncNavigator(100);
    d.nav->setValue(40 | (20 << 9));
    for (const Step& s : steps) {
        SCOPED_TRACE(::testing::Message() << s.x << "," << s.y);
        int consumed = 0;
        if (s.what == Step::Press) consumed = d.press(s.x, s.y);
        else if (s.what == Step::Move) consumed = d.move(s.x, s.y, s.buttons);
        else consumed = d.manager.dispatchMouse(*d.window, ui::kWmLButtonUp, 0, ui::makePointParam(625 + s.x, 67 + s.y));
        EXPECT_EQ(consumed, s.consumed);
        EXPECT_EQ(d.nav->viewPosition(), s.position);
        const auto posted = d.posted();
        EXPECT_EQ(posted.size(), s.posted ? 1u : 0u);
        if (s.posted) {
            EXPECT_EQ(posted[0].first, 2399u);
        }
    }
    // A view too tall for both margins does not move on that axis.
    d.nav->syncNavigator(50);  // 180 x 98 at (18, 0)
    d.press(20, 10);
    EXPECT_EQ(d.move(10, 30), 1);
    EXPECT_EQ(d.nav->viewPosition(), (ui::Point{8, 0}));
}

TEST(Navigator, TheStatusFollowsThePointerOverTheThumbnail) {
    NavigatorDialog d(2000, 1000, 900);
    d.move(10, 10, 0);
    EXPECT_EQ(d.nav->statusShown, 1);
    d.move(-10, 10, 0);
    EXPECT_EQ(d.nav->statusShown, 0);
}

TEST(Navigator, OnlyAZoomViewFramesTheViewRectangle) {
    struct Case {
        int zoom;
        ui::Colour outside1, outside2;  // one and two pixels left of the view
    };
    const ui::Colour green = ui::rgb(10, 200, 30);
    const Case cases[] = {{99, green, green}, {100, ui::kBlack, kEngraveHighlight}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.zoom);
        NavigatorDialog d(2000, 1000, 900);
        for (int y = 0; y < 100; ++y)
            for (int x = 0; x < 200; ++x) d.nav->setThumbnailPixel(x, y, 10, 200, 30);
        d.nav->setValue(40 | (20 << 9));
        d.nav->syncNavigator(c.zoom);
        d.manager.redrawElement(*d.nav);
        const ui::Surface& s = d.shown();
        EXPECT_EQ(s.pixel(625 + 39, 67 + 40), c.outside1);
        EXPECT_EQ(s.pixel(625 + 38, 67 + 40), c.outside2);
        EXPECT_EQ(s.pixel(625 + 60, 67 + 40), green);
        EXPECT_EQ(s.pixel(625 + 0, 67 + 40), kEngraveHighlight);  // the outer bevel always
        EXPECT_EQ(s.pixel(625 + 1, 67 + 40), ui::kBlack);
    }
}

// ---- the link ----------------------------------------------------------------------

TEST(Ancor, TheLinkHasNoAreaUntilDrawnThenIsUnderlinedBlueAndPurpleOnceVisited) {
    TestDialog d;
    const ui::Point at{640, 8};
    auto& link = d.manager.create<UiAncor>(at, "quillmere.example");
    EXPECT_TRUE(link.rect().isEmpty());
    EXPECT_EQ(d.manager.dispatchMouse(*d.window, ui::kWmLButtonDown, 0, ui::makePointParam(641, 10)), 0);
    EXPECT_EQ(d.manager.dispatchMouse(*d.window, ui::kWmMouseMove, 0, ui::makePointParam(641, 10)), 0);
    EXPECT_FALSE(link.visited);
    EXPECT_TRUE(d.posted().empty());

    auto expected = [&](ui::Colour colour) {
        ui::Surface e(d.shown().width(), 40);
        for (int y = 0; y < e.height(); ++y)
            for (int x = 0; x < e.width(); ++x) e.setPixel(x, y, d.backgroundAt(x, y));
        e.selectFont(ui::Font::interfaceFont(true));
        e.setBackgroundMode(ui::BackgroundMode::Transparent);
        e.setTextColour(colour);
        e.drawText(at.x, at.y, "quillmere.example");
        return e;
    };
    d.paint();
    const ui::Size extent = ui::Font::interfaceFont(true)->extent("quillmere.example");
    EXPECT_EQ(link.rect(), ui::Rect::ofSize(at.x, at.y, extent.width, extent.height));
    expectSame(d.shown(), expected(0xFF0000), link.rect());
    EXPECT_EQ(d.manager.offscreen().textColour(), ui::kBlack);
    EXPECT_EQ(d.manager.offscreen().font(), interfaceResources(d.manager.module()).normalFont);

    ui::setCursor(nullptr);
    EXPECT_EQ(d.manager.dispatchMouse(*d.window, ui::kWmMouseMove, 0, ui::makePointParam(641, 10)), 1);
    EXPECT_EQ(link.statusShown, 1);
    EXPECT_EQ(ui::currentCursor(), interfaceResources(d.manager.module()).linkCursor);
    EXPECT_EQ(ui::currentCursor()->shape(), ui::Cursor::Shape::Image);
    EXPECT_EQ(d.manager.dispatchMouse(*d.window, ui::kWmRButtonDown, 0, ui::makePointParam(641, 10)), 0);
    EXPECT_EQ(d.manager.dispatchMouse(*d.window, ui::kWmLButtonDown, 0, ui::makePointParam(641, 10)), 1);
    EXPECT_TRUE(link.visited);
    const auto posted = d.posted();
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(posted[0].first, 1029u);
    expectSame(d.shown(), expected(0x800080), link.rect());
    EXPECT_EQ(d.manager.dispatchMouse(*d.window, ui::kWmMouseMove, 0, ui::makePointParam(at.x, 30)), 0);
    EXPECT_EQ(link.statusShown, 0);

    link.visible = false;
    EXPECT_EQ(d.manager.dispatchMouse(*d.window, ui::kWmLButtonDown, 0, ui::makePointParam(641, 10)), 0);
    EXPECT_TRUE(d.posted().empty());
}

// ---- the progress strip ----------------------------------------------------------------

TEST(ProgressStrip, ARenderFillsTheCellsItReachesAndTheTimerClearsThem) {
    TestDialog d(test::HostImageShape{600, 200});
    ProgressStrip strip(d.manager, 6, 6, 606);
    d.link->strip = &strip;
    UiPreview& p = d.makePreview();
    d.link->preview = &p;
    ASSERT_EQ(strip.cellCount(), 50);
    d.paint();

    // 200 rows x 4 passes: a step every 8 rows, 100 steps of a total of
    // 200 x 4 / 7 = 114, so cells 0 .. 50 x 99 / 114 = 43.
    EXPECT_EQ(strip.lastCell(), 43);
    EXPECT_EQ(strip.counter(), 100);
    const ui::Surface cell = cellSkin();
    for (int i = 0; i < 50; ++i) {
        SCOPED_TRACE(i);
        const ui::Rect r = strip.cellRect(i);
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 12; ++x) {
                const ui::Colour face = cell.pixel(x, y);
                const ui::Colour want = i <= 43 && face != ui::kWhite ? face : d.backgroundAt(r.left + x, r.top + y);
                ASSERT_EQ(d.shown().pixel(r.left + x, r.top + y), want) << x << "," << y;
            }
    }
    strip.progressClear();
    EXPECT_EQ(strip.counter(), 0);
    EXPECT_EQ(strip.lastCell(), -1);
    for (int x = 6; x < 606; ++x) ASSERT_EQ(d.shown().pixel(x, 8), d.backgroundAt(x, 8)) << x;
}

TEST(ProgressStrip, TheCounterStopsBeforeTheTotalWhichIsAtLeastTheCellCount) {
    struct Case {
        int width, total, steps, lastCell, counter;
    };
    const Case cases[] = {
        {60, 10, 3, 1, 3},     // 5 cells: cell 5 x 2 / 10
        {60, 10, 100, 4, 9},   // the counter stops at total - 1
        {60, 2, 100, 4, 4},    // a total below the cell count counts as the cell count
        {11, 0, 3, -1, 0},     // no cell fits: nothing is drawn
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.width * 1000 + c.total);
        TestDialog d;
        ProgressStrip strip(d.manager, 6, 6, 6 + c.width);
        for (int i = 0; i < c.steps; ++i) strip.progressStep(c.total);
        EXPECT_EQ(strip.lastCell(), c.lastCell);
        EXPECT_EQ(strip.counter(), c.counter);
    }
}

}  // namespace
}  // namespace qm::fw
