#include "framework/host/filter_dialog.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>
#include <vector>

#include "framework/controls/control_manager.h"
#include "framework/controls/control_slots.h"
#include "framework/controls/progress_strip.h"
#include "framework/controls/ui_ancor.h"
#include "framework/controls/ui_button.h"
#include "framework/controls/ui_navigator.h"
#include "framework/controls/ui_preview.h"
#include "framework/controls/ui_selector.h"
#include "framework/host/dialog_link.h"
#include "framework/host/filter_session.h"
#include "framework/host/help_file.h"
#include "framework/host/help_page.h"
#include "framework/host/preset_dialog.h"
#include "framework/host/render_loop.h"
#include "framework/host/render_state.h"
#include "framework/settings/preset_store.h"
#include "framework/settings/record.h"
#include "platform/os/module.h"
#include "platform/os/registry.h"
#include "platform/pluginapi/pluginapi.h"
#include "platform/ui/controls.h"
#include "platform/ui/dialog.h"
#include "platform/ui/message_box.h"
#include "platform/ui/queue.h"

namespace qm::fw {
namespace {

namespace reg = os::registry;

constexpr int kPresetListId = 1033;
constexpr uintptr_t kProgressTimer = 1000;
constexpr uint32_t kProgressTimerMs = 50;
constexpr int kClientHeight = 639;
constexpr const char* kQuillmereKey = "Software\\Quillmere";

// Commands of the private message.
enum Command : int {
    kApply = 1, kCancel = 2, kUndo = 191, kRedo = 192, kHelp = 215, kHomePage = 1029,
    kPreviewToggle = 2300, kNavigatorMoved = 2399,
    kZoom100 = 2400, kZoom200 = 2500, kZoom50 = 2600, kZoomFit = 2700,
};

constexpr int kSelectorSide = 13;
constexpr uint32_t kCaptionRight = captionOffset(21, 0);

// The folder of the plug-in file, with its separator.
std::string pluginFolder() {
    std::string path = os::moduleFileName().substr(0, 400);
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// Kept for the other plug-ins' helpers; nothing here reads it back.
void rememberPluginFolder(bool bothHives) {
    const std::string path = pluginFolder();
    if (path.empty()) return;
    const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(path.data()), path.size());
    reg::setValue(reg::Root::CurrentUser, kQuillmereKey, "PluginsDir", reg::kTypeString, bytes);
    if (bothHives) reg::setValue(reg::Root::LocalMachine, kQuillmereKey, "PluginsDir", reg::kTypeString, bytes);
}

class FilterDialog final : public DialogLink, public DialogBuilder {
public:
    FilterDialog(FilterSession& session, RenderState& state, int16_t& result)
        : session_(session), state_(state), result_(result), manager_(*session.resources),
          slots_(manager_) {
        const FilterRecord& fr = *session.record;
        layout_ = shellLayout(libraryState().previewWidth, fr.imageSize.h, fr.imageSize.v);
        const ShellPlaces* fixed = session.filter->dialog.places;
        places_ = fixed ? *fixed : sharpeningPlaces(layout_);
        manager_.session = &session;
    }
    ~FilterDialog() override {
        strip_.reset();
        manager_.tearDown();
    }

    intptr_t procedure(ui::Window& window, uint32_t message, ui::WParam w, ui::LParam l);

    // DialogLink
    SlotControls& controls() override { return slots_; }
    bool pollMouse() override;
    void clearProgress() override {
        if (strip_) strip_->progressClear();
    }
    void advanceProgress(int stepTotal) override {
        if (strip_) strip_->progressStep(stepTotal);
    }
    void startProgressTimer() override {
        if (window_) ui::setTimer(*window_, kProgressTimer, kProgressTimerMs);
    }
    void restorePreviewToggleIfRequested() override;
    void enableZoomButtons() override {
        for (UiSelector* z : zoom_)
            if (z) z->enabled = true;
    }
    void redrawPreview() override {
        if (preview_) manager_.redrawElement(*preview_);
        for (UiElement* e : withPreview_) manager_.redrawElement(*e);
    }
    void requestRedraw() override {
        if (preview_) preview_->buffers().dirty = true;
        if (window_) window_->invalidate();
    }
    void chooseView(RenderState& state) override;

    // DialogBuilder
    ControlManager& manager() override { return manager_; }
    FilterSession& session() override { return session_; }
    const ShellLayout& layout() const override { return layout_; }
    void addViewControls() override;
    void setPreviewToggle(UiSelector& toggle) override { toggle_ = &toggle; }
    void redrawWithPreview(UiElement& element) override { withPreview_.push_back(&element); }
    ValueSlots values() override {
        ValueSlots v{};
        for (int i = 0; i < kValueSlots && slots_.hasControl(i); ++i) v[static_cast<size_t>(i)] = slots_.getValue(i);
        return v;
    }
    void setValues(const ValueSlots& v) override {
        for (int i = 0; i < kValueSlots && slots_.hasControl(i); ++i) {
            if (slots_.getValue(i) == v[static_cast<size_t>(i)]) continue;
            slots_.setValue(i, v[static_cast<size_t>(i)]);
            manager_.redrawElement(manager_.element(static_cast<size_t>(i)));
        }
    }
    ui::Window* window() override { return window_; }
    UiPreview* preview() override { return preview_; }
    ui::Point commandPoint() const override { return commandPoint_; }
    void forceRender() override { state_.history.forceRender = true; }

private:
    void create(ui::Window& window);
    void onCommand(int command);
    // The filter's intercept hook, if it takes the command.
    bool intercepted(int command);
    // A render the shell asked for; an error ends the dialog.
    void renderPreview();
    void selectZoom(int zoom, UiSelector* chosen);
    void stepHistory(const uint8_t* slot);
    void fillPresetList();
    void loadPreset(int index);
    void end(int16_t result);
    ui::ComboBox* presetCombo() const;

    FilterSession& session_;
    RenderState& state_;
    int16_t& result_;
    ControlManager manager_;
    ControlSlots slots_;
    ShellLayout layout_;
    ShellPlaces places_;
    ui::Window* window_ = nullptr;
    std::vector<UiElement*> withPreview_;

    UiPreview* preview_ = nullptr;
    UiNavigator* navigator_ = nullptr;
    UiSelector* toggle_ = nullptr;
    // 100 %, 200 %, 50 %, Fit.
    std::array<UiSelector*, 4> zoom_{};
    std::unique_ptr<ProgressStrip> strip_;
    ui::Size fitSize_;

    ui::Point commandPoint_;
    int zoomCode_ = UiNavigator::kFit;  // the dialog always opens fitted
    bool restoreToggle_ = true;
    PresetList presets_;
};

void FilterDialog::addViewControls() {
    // Only the sharpening layout has a navigator and zoom.
    if (navigator_ || session_.filter->dialog.places) return;
    ControlManager& m = manager_;
    const ShellLayout& L = layout_;
    toggle_ = &m.create<UiSelector>("Preview", ui::Rect::ofSize(L.x0 + 203, 557, kSelectorSide, kSelectorSide),
                                    kCaptionRight, "Preview", kPreviewToggle, 0);
    navigator_ = &m.create<UiNavigator>(
        ui::Rect::ofSize(L.x1, 67, L.thumbnail.width, L.thumbnail.height), L.pw);
    const int y = L.thumbnail.height + 87;
    auto zoomButton = [&](int x, const char* caption, int command) {
        return &m.create<UiSelector>("Scale Selector", ui::Rect::ofSize(x, y, kSelectorSide, kSelectorSide),
                                     kCaptionRight, caption, command, kSelectorRadio);
    };
    zoom_[0] = zoomButton(L.x1 + 120, "100%", kZoom100);
    zoom_[1] = zoomButton(L.x1 + 180, "200%", kZoom200);
    zoom_[2] = zoomButton(L.x1 + 60, "50%", kZoom50);
    zoom_[3] = zoomButton(L.x1 + L.zoomLayout * 60, L.zoomLayout == 2 ? "100%" : "Fit", kZoomFit);
    zoom_[1]->visible = false;
    if (L.zoomLayout >= 1) zoom_[2]->visible = false;
    if (L.zoomLayout == 2) zoom_[0]->visible = zoom_[3]->visible = false;
    zoom_[3]->state = UiSelector::kOn;
}

void FilterDialog::create(ui::Window& window) {
    window_ = &window;
    const ui::Size screen = ui::screenSize();
    const ShellPlaces& P = places_;
    manager_.setUpDialog(window, P.status);
    const FilterRecord& fr = *session_.record;
    const DialogSpec& own = session_.filter->dialog;

    if (own.createControls) own.createControls(*this);
    addViewControls();  // when the filter's order did not place them
    manager_.create<UiButton>("Help/Tutorial", ui::Rect::ofSize(P.help.x, P.help.y, 22, 22), 215, 215, kHelp);
    if (navigator_)
        makeNavigatorThumbnail(hostImageOf(fr, session_.planes, libraryState().sixteenBitMode),
                               layout_.thumbnail, navigator_->thumbnailPixels());
    manager_.create<UiButton>("Undo Last Operation", ui::Rect::ofSize(P.undo.x, P.undo.y, 22, 22), 200, 200, kUndo);
    manager_.create<UiButton>("Redo Last Operation", ui::Rect::ofSize(P.redo.x, P.redo.y, 22, 22), 201, 201, kRedo);
    manager_.create<UiButton>("Performance Meter (drawing time in milliseconds)", P.meter, 0, 0, 0);
    manager_.create<UiButton>("Cancel the filter", ui::Rect::ofSize(P.cancel.x, P.cancel.y, 30, 30), 235, 235,
                              kCancel);
    manager_.create<UiButton>("Apply the filter", ui::Rect::ofSize(P.apply.x, P.apply.y, 30, 30), 202, 202, kApply);
    manager_.create<UiAncor>(P.link, kHomePageText);
    preview_ = &manager_.create<UiPreview>(P.preview, P.meter);
    preview_->enabled = own.previewMouse;
    preview_->buffers().sixteenBit = libraryState().sixteenBitMode;
    fitSize_ = {preview_->buffers().renderedWidth, preview_->buffers().renderedHeight};
    strip_ = std::make_unique<ProgressStrip>(manager_, P.strip.left, P.strip.top, P.strip.right);

    if (ui::Window* list = ui::dialogItem(window, kPresetListId))
        list->setRect(ui::Rect::ofSize(P.presetList.x, P.presetList.y, 160, 10));

    const std::string warning = resolutionWarning(screen);
    if (!warning.empty()) ui::messageBox(&window, warning, "Warning!", ui::kMbIconWarning);

    window.setClientSize(P.client.width, P.client.height);
    window.centreOnScreen();
    // The off-screen surface follows the client area's new size.
    manager_.createSurface(window);

    fillPresetList();
    window.setText(dialogCaption(own, session_.filter->variant.captionSuffixes, libraryState().sixteenBitMode));
}

ui::ComboBox* FilterDialog::presetCombo() const {
    ui::Window* list = window_ ? ui::dialogItem(*window_, kPresetListId) : nullptr;
    return list ? ui::ComboBox::of(list) : nullptr;
}

void FilterDialog::fillPresetList() {
    const bool firstFill = presets_.listId != kPresetListId;
    const PresetList previous = presets_;
    presets_ = buildPresetList(session_, *session_.resources);
    presets_.current = previous.current;
    presets_.listId = kPresetListId;
    ui::ComboBox* combo = presetCombo();
    if (combo) {
        combo->reset();
        for (const std::string& e : presets_.entries) combo->add(e);
        combo->select(0);
    }
    presets_.selected = 0;
    if (firstFill) loadPreset(firstPresetIndex(presets_, session_));
    // The focus leaves the list, as a click on its hidden button does.
    if (ui::Window* button = window_ ? ui::dialogItem(*window_, kPresetListId + 1) : nullptr)
        if (ui::PushButton* b = ui::PushButton::of(button)) b->click();
}

void FilterDialog::loadPreset(int index) {
    const PresetLoad outcome = loadPresetAt(session_, presets_, *session_.resources, index);
    if (outcome == PresetLoad::PresetDialog) {
        if (ui::ComboBox* combo = presetCombo()) combo->select(presets_.selected);
        // The dialog saves the settings the controls show.
        encodeRecord(session_.settings.data(), session_.format, state_.values, &slots_);
        const std::string current =
            presets_.current >= 0 && presets_.current < static_cast<int>(presets_.entries.size())
                ? presets_.entries[static_cast<size_t>(presets_.current)]
                : std::string();
        const PresetDialogOutcome done = runPresetDialog(*window_, session_, current);
        if (done.kind == PresetDialogOutcome::Deleted) {
            fillPresetList();
            loadPreset(0);
        } else if (done.kind == PresetDialogOutcome::Saved) {
            fillPresetList();
            if (ui::ComboBox* combo = presetCombo()) {
                const int found = combo->findExact(">" + done.name);
                if (found >= 0) {
                    combo->select(found);
                    presets_.selected = presets_.current = found;
                }
            }
        }
        window_->invalidate();
    } else if (ui::ComboBox* combo = presetCombo()) {
        combo->select(presets_.selected);
    }
    if (ui::Window* button = window_ ? ui::dialogItem(*window_, kPresetListId + 1) : nullptr)
        if (ui::PushButton* b = ui::PushButton::of(button)) b->click();
}

bool FilterDialog::pollMouse() {
    ui::Message m;
    if (!ui::peekMessage(m, window_, ui::kWmMouseFirst, ui::kWmMouseLast, ui::Remove::Yes)) return false;
    if (m.window == window_ && manager_.dispatchMouse(*window_, m.message, m.wParam, m.lParam) != 0)
        return true;
    // A waiting request is dropped with the unused mouse message, but never
    // an apply or cancel: the user's last click must not be lost.
    ui::Message p;
    if (ui::peekMessage(p, window_, ui::kWmPrivate, ui::kWmPrivate, ui::Remove::No) &&
        p.wParam != kApply && p.wParam != kCancel)
        ui::peekMessage(p, window_, ui::kWmPrivate, ui::kWmPrivate, ui::Remove::Yes);
    return false;
}

void FilterDialog::restorePreviewToggleIfRequested() {
    if (!restoreToggle_ || !toggle_) return;
    restoreToggle_ = false;
    if (toggle_->state == UiSelector::kOn) return;
    toggle_->state = UiSelector::kOn;
    manager_.redrawElement(*toggle_);
}

void FilterDialog::chooseView(RenderState& state) {
    PreviewBuffers& b = preview_->buffers();
    if (navigator_) navigator_->syncNavigator(zoomCode_);
    if (!navigator_ || zoomCode_ == UiNavigator::kFit) {
        state.view = SourceView{SourceView::Kind::Fit};
        b.renderedWidth = fitSize_.width;
        b.renderedHeight = fitSize_.height;
    } else {
        const ui::Point origin = navigator_->imageOrigin();
        state.view = SourceView{SourceView::Kind::Zoom, zoomCode_, origin.x, origin.y};
        const FilterRecord& fr = *session_.record;
        b.renderedWidth = static_cast<int>(std::min<int64_t>(b.width, int64_t{fr.imageSize.h} * zoomCode_ / 100));
        b.renderedHeight = static_cast<int>(std::min<int64_t>(b.height, int64_t{fr.imageSize.v} * zoomCode_ / 100));
    }
    state.region.width = b.renderedWidth;
    state.region.height = b.renderedHeight;
}

void FilterDialog::renderPreview() {
    // Before the first paint there is no copy to render from; that paint
    // renders the settings then shown.
    if (!preview_ || preview_->failed() || !preview_->buffers().transferred) return;
    if (render(state_) != noErr) {
        end(memFullErr);
        return;
    }
    restoreToggle_ = true;
}

void FilterDialog::selectZoom(int zoom, UiSelector* chosen) {
    for (UiSelector* z : zoom_) {
        if (!z || z == chosen || z == zoom_[1]) continue;
        z->state = UiSelector::kOff;
        manager_.redrawElement(*z);
    }
    zoomCode_ = zoom;
    // No second click reaches them while the forced render runs.
    for (UiSelector* z : zoom_)
        if (z) z->enabled = false;
    state_.history.forceRender = true;
    renderPreview();
    enableZoomButtons();
}

void FilterDialog::stepHistory(const uint8_t* slot) {
    if (!slot) return;
    std::copy_n(slot, session_.recordBytes(), session_.settings.begin());
    session_.showRecord();
}

void FilterDialog::end(int16_t result) {
    // What is applied is what the controls show, also when no render has
    // encoded them since a preset was loaded.
    if (result == noErr) encodeRecord(session_.settings.data(), session_.format, state_.values, &slots_);
    result_ = result;
    if (window_) ui::endDialog(*window_, 0);
}

bool FilterDialog::intercepted(int command) {
    const auto hook = session_.filter->dialog.intercept;
    return hook && hook(*this, command);
}

void FilterDialog::onCommand(int command) {
    switch (command) {
        case kApply:
            end(noErr);
            break;
        case kCancel:
            end(userCanceledErr);
            break;
        case kUndo:
            if (!intercepted(kUndo)) stepHistory(state_.history.undo());
            break;
        case kRedo:
            if (!intercepted(kRedo)) stepHistory(state_.history.redo());
            break;
        case kHelp:
            if (session_.filter->variant.embeddedHelpFile)
                openHelpFile(*session_.resources, pluginFolder());
            else
                openHelpPage(*session_.resources, session_.filter->dialog.helpPage);
            break;
        case kHomePage:
            openHelpPage(*session_.resources, kHomePageResource);
            break;
        case kPreviewToggle:
            if (toggle_ && toggle_->state == UiSelector::kOff) restoreToggle_ = false;
            renderPreview();
            break;
        case kNavigatorMoved:
            state_.history.forceRender = true;
            renderPreview();
            break;
        case kZoom100:
            selectZoom(100, zoom_[0]);
            break;
        case kZoom50:
            selectZoom(50, zoom_[2]);
            break;
        case kZoomFit:
            selectZoom(UiNavigator::kFit, zoom_[3]);
            break;
        default:
            // The filter's own commands, and every setting change: render;
            // the pointer moving over or off the preview changes no setting.
            if (const auto own = session_.filter->dialog.command) own(*this, command);
            if (command != UiPreview::kCommand + UiPreview::kMove && command != UiPreview::kCommand + UiPreview::kOutside)
                renderPreview();
            break;
    }
}

intptr_t FilterDialog::procedure(ui::Window& window, uint32_t message, ui::WParam w, ui::LParam l) {
    if (ui::isMouseMessage(message) && window_ && manager_.dispatchMouse(window, message, w, l) != 0) return 1;
    switch (message) {
        case ui::kWmInitDialog:
            create(window);
            return 1;
        case ui::kWmPaint:
            manager_.beginPaint();
            manager_.paintAll();
            // The first paint's render ran inside the preview's own drawing.
            for (UiElement* e : withPreview_) manager_.redrawElement(*e);
            manager_.endPaint();
            return 1;
        case ui::kWmHelp:
            window.send(ui::kWmPrivate, kHelp, 0);
            return 1;
        case ui::kWmCommand:
            switch (ui::commandIdOf(w)) {
                case ui::kIdOkCommand:
                    if (!intercepted(kDialogOkKey)) end(noErr);
                    return 1;
                case ui::kIdCancelCommand:
                    if (!intercepted(kDialogCancelKey)) end(userCanceledErr);
                    return 1;
                case kPresetListId:
                    if (ui::notifyCodeOf(w) == ui::kCbnSelChange)
                        if (ui::ComboBox* combo = presetCombo()) loadPreset(combo->selection());
                    return 1;
                default:
                    return 0;
            }
        case ui::kWmTimer:
            if (w == kProgressTimer) {
                clearProgress();
                ui::killTimer(window, kProgressTimer);
            }
            return 1;
        case ui::kWmXButtonUp:
            if (ui::highWordOf(w) == static_cast<int>(ui::kXButton1)) window.post(ui::kWmPrivate, kUndo, 0);
            if (ui::highWordOf(w) == static_cast<int>(ui::kXButton2)) window.post(ui::kWmPrivate, kRedo, 0);
            return 1;
        case ui::kWmPrivate:
            commandPoint_ = ui::pointOfParam(l);
            onCommand(static_cast<int>(w));
            return 1;
        default:
            return 0;
    }
}

}  // namespace

ShellLayout shellLayout(int previewWidth, int32_t imageWidth, int32_t imageHeight) {
    ShellLayout L;
    L.pw = previewWidth;
    L.x0 = L.pw + 5;
    L.x1 = L.x0 + 20;
    L.thumbnail = navigatorThumbnailSize(imageWidth, imageHeight);
    const int64_t w = imageWidth, h = imageHeight;
    if (w < int64_t{L.pw} * 11 / 10 && h < 660) L.zoomLayout = 2;
    else if (w < int64_t{L.pw} * 22 / 10 && h < 1320) L.zoomLayout = 1;
    else L.zoomLayout = 0;
    return L;
}

ShellPlaces sharpeningPlaces(const ShellLayout& L) {
    ShellPlaces P;
    P.client = {L.pw + 300, kClientHeight};
    P.preview = {5, 17, L.x0, 617};
    P.meter = {5, 621, 35, 636};
    P.status = {55, 622, 505, 636};
    P.presetList = {L.x0 + 15, 597};
    P.strip = {6, 6, L.pw + 6, 6};
    P.undo = {L.x0 + 19, 557};
    P.redo = {L.x0 + 47, 557};
    P.help = {L.x0 + 243, 4};
    P.link = {L.x0 + 92, 8};
    P.apply = {L.x0 + 193, 590};
    P.cancel = {L.x0 + 242, 590};
    return P;
}

std::string dialogCaption(const DialogSpec& dialog, bool suffixes, bool sixteenBit) {
    std::string caption = std::string(dialog.title) + dialog.version;
    if (!suffixes) return caption;
    caption += sizeof(void*) == 8 ? " (64-bit)" : " (32-bit)";
    caption += dialog.captionExtra;
    caption += sixteenBit ? "      RGB/16" : "      RGB/8";
    return caption;
}

std::string resolutionWarning(ui::Size screen) {
    if (screen.width >= 1000 && screen.height >= 740) return {};
    char text[160];
    std::snprintf(text, sizeof text, "You are using %i x %i screen resolution.\n It is not enough for this filter.",
                  screen.width, screen.height);
    return text;
}

bool runFilterDialog(FilterSession& session, RenderState& state, int16_t& result) {
    if (!session.record || !session.resources || !session.filter) return false;
    rememberPluginFolder(session.filter->variant.bothHives);
    result = userCanceledErr;
    FilterDialog dialog(session, state, result);
    DialogScope scope(session, nullptr, &dialog);
    const intptr_t code = ui::runModalDialog(
        *session.resources, os::ResourceId::of("MAIN"), session.record->platformData,
        [&dialog](ui::Window& w, uint32_t m, ui::WParam wp, ui::LParam lp) {
            return dialog.procedure(w, m, wp, lp);
        });
    return code != -1;
}

}  // namespace qm::fw
