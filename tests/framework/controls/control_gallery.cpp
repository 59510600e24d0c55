#include "tests/framework/controls/control_gallery.h"

#include <filesystem>
#include <fstream>
#include <iterator>

#include "framework/host/filter_session.h"
#include "framework/host/transfer.h"
#include "framework/settings/setting_table.h"
#include "host/image.h"
#include "platform/ui/queue.h"

namespace qm::fw::testing {
namespace {

constexpr uintptr_t kTickTimer = 7;

std::vector<uint8_t> readFile(const std::filesystem::path& p) {
    std::ifstream f(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

}  // namespace

Gallery::Gallery() : manager_(resources_.module()) {
    // The committed skins and cursor, as a plug-in's resource table holds them.
    for (const auto& entry : std::filesystem::directory_iterator(QM_SOURCE_DIR "/resources/common")) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("skin", 0) == 0 && entry.path().extension() == ".bmp")
            resources_.add(ui::kResourceBitmap, static_cast<uint32_t>(std::stoul(name.substr(4))),
                           readFile(entry.path()));
    }
    resources_.add(ui::kResourceCursor, 120, readFile(QM_SOURCE_DIR "/resources/common/cursor120.cur"));

    // The photograph on the framework's test filter, at gain 100 unchanged.
    host::Image photo;
    std::string error;
    if (host::loadImage(QM_SOURCE_DIR "/samples/seeding.jpg", photo, error) && photo.channels() == 3) {
        host_.emplace(filterDescription(), test::HostImageShape{photo.width, photo.height});
        std::copy(photo.pixels.begin(), photo.pixels.end(), host_->in.begin());
        if (host_->open() == noErr) {
            host_->session.dialog = this;
            manager_.session = &host_->session;
        }
    }
}

Gallery::~Gallery() {
    manager_.tearDown();
    if (host_) host_->session.dialog = nullptr;
}

void Gallery::create(ui::Window& window) {
    manager_.setUpDialog(window, {55, 624, 505, 638});
    using namespace slider_style;
    ControlManager& m = manager_;
    preview = &m.create<UiPreview>(ui::Rect{5, 21, 605, 621}, ui::Rect{5, 624, 35, 639});
    strip = std::make_unique<ProgressStrip>(m, 6, 8, 606);
    navigator = &m.create<UiNavigator>(ui::Rect{640, 30, 840, 142}, libraryState().previewWidth);
    const char* zooms[] = {"100%", "200%", "50%", "Fit"};
    for (int i = 0; i < 4; ++i) {
        UiSelector& z = m.create<UiSelector>("Scale Selector", ui::Rect::ofSize(640 + 52 * i, 160, 13, 13),
                                              captionOffset(16, 0), zooms[i], 2400 + 100 * i, kSelectorRadio);
        z.group = 1;
        zoom.push_back(&z);
    }
    zoom.back()->state = UiSelector::kOn;
    radius = &m.create<UiSlider>("Radius", ui::Rect{645, 205, 795, 205}, "Radius");
    pair = &m.create<UiSlider>("Radius High@Radius Low", ui::Rect{655, 245, 855, 245}, kFixedText | kTwoThumbs,
                               textPosition(188, 22), "Radius", textPosition(60, 22));
    pair->secondTextX = 19;
    contrast = &m.create<UiSlider>("Contrast (double-click to reset)", ui::Rect{655, 285, 855, 285},
                                   kFixedText | kQuarterOrigin, textPosition(188, 22), "Contrast", textPosition(60, 22));
    softness = &m.create<UiSlider>("Edge Softness", ui::Rect{755, 325, 855, 325}, kFixedText | kCentred,
                                   textPosition(91, 22), "Softness", textPosition(28, 22));
    pad = &m.create<UiSlider>("Curved Deformation", ui::Rect{660, 375, 710, 425}, kPad, textPosition(0, 0), "",
                              textPosition(0, 0));
    pad->setValue(packParts(ControlKind::Pad, 25, 25));
    vertical = &m.create<UiSlider>("View Angle", ui::Rect{840, 375, 840, 475}, kFixedText, textPosition(10, 0), "",
                                   textPosition(0, 0));
    toggle = &m.create<UiSelector>("Preview", ui::Rect::ofSize(740, 560, 13, 13), captionOffset(21, 0), "Preview",
                                   2300, 0);
    toggle->state = UiSelector::kOn;
    stepper = &m.create<UiSelector>("Curve Shape selector", ui::Rect::ofSize(760, 380, 13, 13), captionOffset(21, 0),
                                    "Shape", 2000, 0);
    stepper->maximum = 3;
    undo = &m.create<UiButton>("Undo Last Operation", ui::Rect::ofSize(640, 556, 22, 22), 200, 200, 191);
    m.create<UiButton>("Redo Last Operation", ui::Rect::ofSize(668, 556, 22, 22), 201, 201, 192);
    m.create<UiButton>("Help/Tutorial", ui::Rect::ofSize(848, 4, 22, 22), 215, 215, 215);
    m.create<UiButton>("Cancel the filter", ui::Rect::ofSize(840, 594, 30, 30), 235, 235, 2);
    apply = &m.create<UiButton>("Apply the filter", ui::Rect::ofSize(792, 594, 30, 30), 202, 202, 1);
    m.create<UiButton>("A button without a skin", ui::Rect{640, 500, 700, 520}, 0, 0, 0);
    link = &m.create<UiAncor>(ui::Point{700, 8}, "Quillmere home page");
    navigator->syncNavigator(UiNavigator::kFit);
    if (host_) makeNavigatorThumbnail(hostImageOf(host_->fr, 3, false),
                                      ThumbnailSize{navigator->thumbnailWidth(), navigator->thumbnailHeight()},
                                      navigator->thumbnailPixels());
}

intptr_t Gallery::procedure(ui::Window& window, uint32_t message, ui::WParam w, ui::LParam l) {
    switch (message) {
        case ui::kWmInitDialog:
            create(window);
            ui::setTimer(window, kTickTimer, 20);
            return 1;
        case ui::kWmPaint:
            manager_.beginPaint();
            manager_.paintAll();
            manager_.endPaint();
            return 1;
        case ui::kWmTimer:
            if (w == kTickTimer && onTimer_) onTimer_(window);
            return 1;
        case ui::kWmPrivate: {
            commands.push_back(static_cast<int>(w));
            if (w == 1 || w == 2) ui::endDialog(window, static_cast<intptr_t>(w));
            // The zoom entries resize the navigator's view, as the shell does.
            const int zoomCodes[] = {100, 200, 50, UiNavigator::kFit};
            if (w >= 2400 && w <= 2700 && w % 100 == 0) navigator->syncNavigator(zoomCodes[(w - 2400) / 100]);
            return 1;
        }
        default:
            if (ui::isMouseMessage(message)) return manager_.dispatchMouse(window, message, w, l);
            return 0;
    }
}

intptr_t Gallery::run(std::function<void(ui::Window&)> onTimer) {
    onTimer_ = std::move(onTimer);
    ui::DialogTemplate t;
    t.pixels = true;
    t.size = {kWidth, kHeight};
    t.caption = "Quillmere control gallery";
    return ui::runModalDialog(t, nullptr, [this](ui::Window& window, uint32_t m, ui::WParam w, ui::LParam l) {
        return procedure(window, m, w, l);
    });
}

}  // namespace qm::fw::testing
