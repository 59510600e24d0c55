#include "filters/marbleloom/texture_dialog.h"

#include <algorithm>
#include <string>
#include <vector>

#include "filters/marbleloom/pattern_controls.h"
#include "filters/marbleloom/pattern_transfer.h"
#include "filters/marbleloom/texture_random.h"
#include "filters/marbleloom/texture_session.h"
#include "filters/marbleloom/texture_settings.h"
#include "framework/controls/control_manager.h"
#include "framework/controls/ui_button.h"
#include "framework/controls/ui_colour_well.h"
#include "framework/controls/ui_preview.h"
#include "framework/controls/ui_selector.h"
#include "framework/controls/ui_slider.h"
#include "framework/host/filter_dialog.h"
#include "framework/host/filter_session.h"
#include "framework/host/preview_buffers.h"
#include "platform/ui/controls.h"
#include "platform/ui/cursor.h"
#include "platform/ui/dialog.h"
#include "platform/ui/message_box.h"

namespace qm::marbleloom {
namespace {

using namespace fw::slider_style;

constexpr uint32_t kRotationStrip = 133;
constexpr uint32_t kEyedropperStrip = 134;
constexpr uint32_t kSelectorSkin = 230;
constexpr int kNameBoxId = 1035;
constexpr int kEyedropperGroup = 1;
constexpr int kScalingStep = 5;

// The groups' top rows by slot index (layers 1, 2, 3, then the base):
// layer 3 at the top, the base at the bottom.
constexpr int kGroupTop[4] = {229, 139, 49, 319};
constexpr const char* kGroupCaption[4] = {"Layer 1", "Layer 2", "Layer 3", "Base"};
constexpr ui::Rect kInfoStrip{46, 27, 545, 43};
constexpr ui::Point kHintAt{46, 4};

// The editor's controls in the right panel.
constexpr ui::Rect kNameBox = ui::Rect::ofSize(645, 161, 150, 20);
constexpr ui::Point kEditorThumbAt{645, 195};

const fw::Setting* settingOf(int slot) {
    for (const fw::Setting& s : textureSettingTable())
        if (s.slot == slot && s.name) return &s;
    return nullptr;
}
const char* statusOf(int slot) {
    const fw::Setting* s = settingOf(slot);
    return s && s->status ? s->status : "";
}
const char* labelOf(int slot) {
    const fw::Setting* s = settingOf(slot);
    return s && s->label ? s->label : "";
}

int layerSlot(int index, int offset) { return index < 3 ? layer::first(index + 1) + offset : -1; }
int patternSlot(int index) { return index < 3 ? layerSlot(index, layer::kPattern) : base::kPattern; }
int visibleSlot(int index) { return index < 3 ? layerSlot(index, layer::kVisible) : base::kVisible; }
int scalingSlot(int index) { return index < 3 ? layerSlot(index, layer::kScaling) : base::kScaling; }

// The dialog's controls that its states show and hide.
struct DialogParts {
    PatternGrid* grid = nullptr;
    EditorThumbnail* thumbnail = nullptr;
    fw::UiSlider *shiftX = nullptr, *shiftY = nullptr, *scaling = nullptr;
    std::vector<fw::UiElement*> main;    // hidden in the editor
    std::vector<fw::UiElement*> editor;  // shown in the editor only
    std::vector<fw::UiElement*> pages;   // shown in the viewer and the editor
    fw::UiElement* backgroundWell = nullptr;  // shown while the base is hidden
};

// The dialog's own state, kept by an element without a face made after
// every control, so that it lives and dies with them. Drawn after every
// render, it shows the background well when a load hid the base.
class TextureDialog : public fw::UiElement, public DialogParts {
public:
    TextureDialog(fw::ControlManager& m, DialogParts parts, const TextureSession& ts)
        : UiElement(m, ""), DialogParts(std::move(parts)), ts_(ts) {
        enabled = false;
    }
    int handleMouse(ui::Window&, uint32_t, ui::WParam, ui::LParam) override { return 0; }
    void draw(ui::Surface&) override { showBackgroundWell(); }

    bool backgroundWellWanted() const {
        return ts_.view != DialogView::PatternEditor && manager().element(base::kVisible).getValue() == 0;
    }
    void showBackgroundWell() {
        const bool on = backgroundWellWanted();
        if (backgroundWell->visible == on) return;
        backgroundWell->visible = backgroundWell->enabled = on;
        backgroundWell->frozen = false;
        manager().redrawElement(*backgroundWell);
    }

    int current = 0;     // the layer the viewer chooses for (slot index)
    int edited = -1;     // the viewer position the editor shows
    bool tiled = false;  // the preview's picture is the editor's

private:
    const TextureSession& ts_;
};

TextureDialog& stateOf(fw::DialogBuilder& b) {
    fw::ControlManager& m = b.manager();
    for (size_t i = m.count(); i-- > 0;)
        if (auto* d = dynamic_cast<TextureDialog*>(&m.element(i))) return *d;
    // Made with the controls: a manager without it is not this dialog's.
    std::abort();
}

TextureSession& sessionOf(fw::DialogBuilder& b) { return *textureSessionOf(b.session()); }

// ---- making the controls ---------------------------------------------------

fw::UiSlider& slider(fw::ControlManager& m, int slot, int x, int y, int length, std::string_view name = {},
                     int nameDx = -10, int valueGap = 8) {
    return m.create<fw::UiSlider>(statusOf(slot), ui::Rect{x, y, x + length, y}, kFixedText,
                                  fw::textPosition(length + valueGap, 6), name, fw::textPosition(nameDx, 6));
}

fw::UiSlider& pad(fw::ControlManager& m, int slot, int x, int y) {
    return m.create<fw::UiSlider>(statusOf(slot), ui::Rect{x, y, x + 50, y + 50}, kPad | kCentred,
                                  fw::textPosition(0, 0), labelOf(slot), fw::textPosition(-18, 33));
}

void makeLayerControl(fw::DialogBuilder& b, DialogParts& d, int index, int offset) {
    fw::ControlManager& m = b.manager();
    TextureSession& ts = sessionOf(b);
    const int y = kGroupTop[index];
    const int slot = index < 3 ? layerSlot(index, offset) : base::kPattern + offset;
    const bool isBase = index == 3;
    fw::UiElement* made = nullptr;
    // The base's values follow its own order: pattern, rotation, scaling,
    // hue, saturation, brightness, mixing, visibility.
    const int kind = isBase && offset >= 6 ? (offset == 6 ? layer::kMixing : layer::kVisible) : offset;
    switch (kind) {
        case layer::kPattern:
            made = &m.create<PatternThumbnail>(ui::Point{607, y}, ui::Point{697, y + (isBase ? 64 : 56)}, ts.library,
                                               command::kSelectPattern1 + index);
            ts.slot(index).thumbnailButton = slot;
            break;
        case layer::kRotation: {
            auto& r = m.create<fw::UiSelector>(statusOf(base::kRotation), ui::Rect::ofSize(633, y + 48, 13, 13),
                                               fw::captionOffset(0, 0), "", fw::kSettingChangedCommand, 0u,
                                               kRotationStrip);
            r.maximum = 7;
            r.twoPhase = false;
            made = &r;
            break;
        }
        case layer::kScaling: made = &slider(m, slot, 813, y + 4, 100); break;
        case layer::kHue: made = &slider(m, slot, 663, y + 16, 100, "h"); break;
        case layer::kSaturation: made = &slider(m, slot, 663, y + 28, 100, "s"); break;
        case layer::kBrightness: made = &slider(m, slot, 663, y + 40, 100, "v"); break;
        case layer::kExtraMixing: {
            fw::UiSlider& s = slider(m, slot, 813, y + 64, 100);
            s.visible = false;
            s.enabled = false;
            s.frozen = true;
            return;
        }
        case layer::kVisible:
            made = &m.create<fw::UiSelector>(statusOf(slot), ui::Rect::ofSize(663, y, 13, 13), fw::captionOffset(17, 0),
                                             kGroupCaption[index], fw::kSettingChangedCommand, 0u);
            break;
        case layer::kColour: made = &m.create<fw::ColourControl>(statusOf(slot), ui::Point{663, y + 56}); break;
        case layer::kWidth: made = &slider(m, slot, 813, y + 16, 100); break;
        case layer::kHighlight: made = &slider(m, slot, 813, y + 28, 100); break;
        case layer::kShapeness: made = &slider(m, slot, 813, y + 40, 100); break;
        case layer::kMixing: made = &slider(m, slot, 813, y + (isBase ? 16 : 52), 100); break;
        default: return;
    }
    d.main.push_back(made);
}

// Slot i is the i-th control made: this order is the record's.
void makeSettingControls(fw::DialogBuilder& b, DialogParts& d) {
    fw::ControlManager& m = b.manager();
    auto global = [&](fw::UiElement& e) { d.main.push_back(&e); };
    global(slider(m, kRefract, 675, 512, 50, labelOf(kRefract), -58, 3));
    global(slider(m, kShaping, 675, 528, 50, labelOf(kShaping), -58, 3));
    global(pad(m, kRelief, 823, 434));
    global(slider(m, kSmooth, 675, 496, 50, labelOf(kSmooth), -58, 3));
    global(pad(m, kDisplacement, 675, 434));
    d.backgroundWell = &m.create<fw::ColourControl>(statusOf(kBackground), ui::Point{663, 365}, "Background",
                                                    ui::Point{680, 365});
    for (int offset = 0; offset < 8; ++offset) makeLayerControl(b, d, 3, offset);
    for (int index = 0; index < 3; ++index)
        for (int offset = 0; offset < layer::kSize; ++offset) makeLayerControl(b, d, index, offset);
    global(slider(m, kCorrugation, 823, 512, 50, "Corrugation", -70));
    global(slider(m, kReliefSmoothness, 823, 496, 50, labelOf(kReliefSmoothness), -70));
    for (int index = 0; index < 3; ++index) {
        auto& e = m.create<fw::UiSelector>(statusOf(kEyedropper1 + index),
                                           ui::Rect::ofSize(679, kGroupTop[index] + 56, 13, 13), fw::captionOffset(0, 0),
                                           "", command::kPickColour1 + index, 0u, kEyedropperStrip);
        e.group = kEyedropperGroup;
        global(e);
    }
    for (int index = 0; index < 4; ++index)
        global(m.create<fw::UiButton>(statusOf(kPatternSelector1 + index),
                                      ui::Rect::ofSize(607, kGroupTop[index] + 48, 22, 13), kSelectorSkin,
                                      kSelectorSkin, command::kSelectPattern1 + index));
    global(slider(m, kOutline, 823, 528, 50, "Outline", -70));
}

void makeButtons(fw::DialogBuilder& b, DialogParts& d) {
    fw::ControlManager& m = b.manager();
    auto button = [&](const char* label, int x, int y, int w, int h, uint32_t skin, int cmd) -> fw::UiElement& {
        return m.create<fw::UiButton>(label, ui::Rect::ofSize(x, y, w, h), skin, skin, cmd);
    };
    using namespace command;
    for (fw::UiElement* e : {&button("Increase Texture Scaling", 613, 556, 22, 14, 208, kIncreaseScaling),
                             &button("Decrease Texture Scaling", 613, 571, 22, 14, 209, kDecreaseScaling),
                             &button("Random Settings Generator. Primary tool for all marbleloom filters.", 643, 558,
                                     22, 22, 211, kRandomSettings),
                             &button("Random Patterns", 669, 558, 22, 22, 226, kRandomPatterns),
                             &button("Random Variations", 695, 561, 22, 16, 227, kRandomVariations),
                             &button("Reset All", 727, 558, 22, 22, 212, kResetAll)})
        d.main.push_back(e);
    for (int index = 0; index < 4; ++index)
        d.main.push_back(&button("Reset the Layer Settings", 792, kGroupTop[index] - 4, 18, 18, 229,
                                 index < 3 ? kResetLayer1 + index : kResetBase));
    for (fw::UiElement* e : {&button("Previous Page", 613, 22, 22, 22, 224, kPreviousPage),
                             &button("Next Page", 639, 22, 22, 22, 225, kNextPage)})
        d.pages.push_back(e);

    d.thumbnail = &m.create<EditorThumbnail>(kEditorThumbAt);
    d.shiftX = &m.create<fw::UiSlider>("Thumbnail Shift", ui::Rect{645, 252, 689, 252}, kFixedText | kCentred,
                                       fw::textPosition(60, 6), "", fw::textPosition(0, 0));
    d.shiftY = &m.create<fw::UiSlider>("Thumbnail Shift", ui::Rect{697, 195, 697, 239}, kFixedText | kCentred,
                                       fw::textPosition(10, -16), "", fw::textPosition(0, 0));
    d.scaling = &m.create<fw::UiSlider>("Thumbnail Scaling", ui::Rect{645, 282, 745, 282}, kFixedText,
                                        fw::textPosition(108, 6), "Scaling", fw::textPosition(0, 18));
    for (fw::UiSlider* s : {d.shiftX, d.shiftY, d.scaling}) s->command = kEditorThumbnail;
    d.shiftX->setValue(22);
    d.shiftY->setValue(22);
    d.scaling->setValue(0);
    d.editor = {d.thumbnail, d.shiftX, d.shiftY, d.scaling,
                &button("Add the Pattern to collection. New file will be created.", 645, 304, 22, 22, 220,
                        kAddPattern),
                &button("Remove the Pattern from collection", 671, 304, 22, 22, 219, kRemovePattern),
                &button("Back to Patterns Viewer", 697, 304, 22, 22, 221, kBackToViewer),
                &button("Load pattern from disk (Import JPEG file)", 723, 304, 22, 22, 222, kImport),
                &button("Export the Pattern to JPEG", 749, 304, 22, 22, 223, kExport)};

    d.grid = &m.create<PatternGrid>(kDialogPlaces.preview, kInfoStrip, kHintAt, sessionOf(b).library);
    for (fw::UiElement* e : d.editor) e->visible = e->enabled = false;
    for (fw::UiElement* e : d.pages) e->visible = e->enabled = false;
}

// ---- the states --------------------------------------------------------------

ui::Window* nameBox(fw::DialogBuilder& b) {
    ui::Window* w = b.window();
    if (!w) return nullptr;
    if (ui::Window* box = ui::dialogItem(*w, kNameBoxId)) return box;
    ui::Window& box = ui::createControl(*w, ui::ItemKind::Edit, kNameBoxId, kNameBox, "", ui::kItemHidden);
    if (ui::EditBox* e = ui::EditBox::of(&box)) e->setLimit(kNameLength);
    return &box;
}

std::string nameBoxText(fw::DialogBuilder& b) {
    ui::EditBox* e = ui::EditBox::of(nameBox(b));
    return e ? e->text() : std::string();
}

void setNameBoxText(fw::DialogBuilder& b, std::string_view text) {
    if (ui::EditBox* e = ui::EditBox::of(nameBox(b))) e->setText(text.substr(0, std::min(text.size(), kNameLength)));
}

// Hidden ones go first: an element hidden after another was shown over the
// same place would erase it.
void applyVisibility(fw::ControlManager& m, const std::vector<std::pair<fw::UiElement*, bool>>& wanted) {
    for (bool showing : {false, true})
        for (auto [e, on] : wanted) {
            if (on != showing || e->visible == on) continue;
            e->visible = e->enabled = on;
            e->frozen = false;
            m.redrawElement(*e);
        }
}

void enterView(fw::DialogBuilder& b, DialogView view) {
    TextureDialog& d = stateOf(b);
    TextureSession& ts = sessionOf(b);
    ts.view = view;
    const bool mainShown = view != DialogView::PatternEditor;
    std::vector<std::pair<fw::UiElement*, bool>> wanted;
    for (fw::UiElement* e : d.main) wanted.emplace_back(e, mainShown);
    wanted.emplace_back(d.backgroundWell, d.backgroundWellWanted());
    for (fw::UiElement* e : d.editor) wanted.emplace_back(e, view == DialogView::PatternEditor);
    for (fw::UiElement* e : d.pages) wanted.emplace_back(e, view != DialogView::Preview);
    wanted.emplace_back(d.grid, view == DialogView::PatternViewer);
    if (fw::UiPreview* p = b.preview()) wanted.emplace_back(p, view != DialogView::PatternViewer);
    applyVisibility(b.manager(), wanted);
    if (ui::Window* box = nameBox(b)) box->show(view == DialogView::PatternEditor);
    // The preview shows the edited pattern in the editor and the image
    // otherwise: either change needs a render.
    const bool tiled = view == DialogView::PatternEditor;
    if (view != DialogView::PatternViewer && tiled != d.tiled) {
        d.tiled = tiled;
        b.forceRender();
    }
}

void closeViewer(fw::DialogBuilder& b) {
    if (sessionOf(b).view == DialogView::PatternViewer) enterView(b, DialogView::Preview);
}

void redrawThumbnail(fw::DialogBuilder& b) {
    TextureDialog& d = stateOf(b);
    d.thumbnail->pixels = editorThumbnail(sessionOf(b).editor.pixels(), d.scaling->getValue(), d.shiftX->getValue(),
                                          d.shiftY->getValue());
    b.manager().redrawElement(*d.thumbnail);
}

// ---- the commands ------------------------------------------------------------

PixelView previewSource(fw::DialogBuilder& b) {
    const fw::PreviewBuffers* p = b.session().preview;
    if (!p || p->copy.empty()) return {};
    return PixelView{p->copy.data(), p->copyWidth, p->copyHeight, p->planes, static_cast<ptrdiff_t>(p->width) * p->planes};
}

int activeEyedropper(fw::DialogBuilder& b) {
    for (int index = 0; index < 3; ++index)
        if (b.manager().element(static_cast<size_t>(kEyedropper1 + index)).getValue() >= fw::UiSelector::kOn)
            return index;
    return -1;
}

void pickColour(fw::DialogBuilder& b) {
    const int index = activeEyedropper(b);
    const PixelView source = previewSource(b);
    const ui::Point p = b.commandPoint();
    if (index < 0 || source.empty() || p.x < 0 || p.y < 0 || p.x >= source.width || p.y >= source.height) return;
    const uint8_t* px = source.at(p.x, p.y);
    fw::ValueSlots v = b.values();
    v[static_cast<size_t>(layerSlot(index, layer::kColour))] = static_cast<int32_t>(colourWord(px[0], px[1], px[2], kFixed));
    b.setValues(v);
}

void changeScaling(fw::DialogBuilder& b, int step) {
    fw::ValueSlots v = b.values();
    for (int index = 0; index < 4; ++index)
        if (v[static_cast<size_t>(visibleSlot(index))] != 0)
            v[static_cast<size_t>(scalingSlot(index))] = std::clamp(v[static_cast<size_t>(scalingSlot(index))] + step, 0, 100);
    b.setValues(v);
}

void randomise(fw::DialogBuilder& b, bool settings, bool visibility, bool patterns) {
    TextureSession& ts = sessionOf(b);
    fw::ValueSlots v = b.values();
    if (settings && !randomSettings(v, previewSource(b), ts.library.count(), visibility)) return;
    if (patterns) randomPatterns(v, ts.library);
    b.setValues(v);
}

void reset(fw::DialogBuilder& b, int k) {
    fw::ValueSlots v = b.values();
    if (k < 0)
        resetAll(v);
    else
        resetLayer(v, k);
    b.setValues(v);
}

void choosePattern(fw::DialogBuilder& b) {
    TextureDialog& d = stateOf(b);
    TextureSession& ts = sessionOf(b);
    const int position = d.grid->positionAt(b.commandPoint());
    enterView(b, DialogView::Preview);
    if (position < 0) return;
    fw::ValueSlots v = b.values();
    v[static_cast<size_t>(patternSlot(d.current))] =
        static_cast<int32_t>(ts.library.entry(ts.library.orderAt(position)).header.identity);
    b.setValues(v);
}

void editPattern(fw::DialogBuilder& b) {
    TextureDialog& d = stateOf(b);
    TextureSession& ts = sessionOf(b);
    const int position = d.grid->positionAt(b.commandPoint());
    if (position < 0) return;
    PatternEntry& e = ts.library.entry(ts.library.orderAt(position));
    ts.editor.load(e, slotContext(b.session(), b.session().planes));
    if (e.header.identity == 0) return;
    d.edited = position;
    setNameBoxText(b, e.isVirtual() ? std::string("Untitled") : e.header.nameText());
    enterView(b, DialogView::PatternEditor);
    redrawThumbnail(b);
}

// The viewer after a change of the library, at the page of `index`.
void viewerAt(fw::DialogBuilder& b, int index) {
    TextureDialog& d = stateOf(b);
    const PatternLibrary& library = sessionOf(b).library;
    for (int position = 0; index >= 0 && position < library.count(); ++position)
        if (library.orderAt(position) == index) d.grid->setPage(position / PatternLibrary::kPageEntries);
    // The grid limits its page to the library's when it draws (a removal may shrink it).
    enterView(b, DialogView::PatternViewer);
    b.manager().redrawElement(*d.grid);
}

void addPattern(fw::DialogBuilder& b) {
    TextureDialog& d = stateOf(b);
    TextureSession& ts = sessionOf(b);
    uint8_t thumb[kThumbBytes];
    for (int y = 0; y < kThumbSide; ++y)
        std::copy_n(d.thumbnail->pixels.data() + (static_cast<size_t>(y + 2) * kDisplayThumbSide + 2) * 3,
                    kThumbSide * 3, thumb + static_cast<size_t>(y) * kThumbSide * 3);
    const int index = addToCollection(ts.library, ts.editor, nameBoxText(b), thumb);
    if (index < 0) {
        // Nothing reports a failed write on its own; the user would believe
        // the pattern was kept.
        ui::messageBox(b.window(),
                       "The pattern could not be added to the collection: no new pattern file could be written in\n" +
                           ts.library.pluginFolder(),
                       "Error", ui::kMbOk | ui::kMbIconError);
        return;
    }
    viewerAt(b, index);
}

void removePattern(fw::DialogBuilder& b) {
    TextureDialog& d = stateOf(b);
    TextureSession& ts = sessionOf(b);
    if (removeFromCollection(ts.library, ts.editor, d.edited, b.window()) == RemoveResult::Removed) viewerAt(b, -1);
}

void importFile(fw::DialogBuilder& b) {
    TextureSession& ts = sessionOf(b);
    const ImportOutcome out = importPattern(ts, b.window(), slotContext(b.session(), b.session().planes));
    if (out.name.empty()) return;
    setNameBoxText(b, out.name);
    redrawThumbnail(b);
    b.forceRender();
}

void exportFile(fw::DialogBuilder& b) {
    if (exportPattern(sessionOf(b), nameBoxText(b), b.window()) == ExportResult::Written) viewerAt(b, -1);
}

void eyedropperCursor(fw::DialogBuilder& b) {
    if (activeEyedropper(b) >= 0) ui::setCursor(ui::Cursor::eyedropper());
}

}  // namespace

const fw::ShellPlaces kDialogPlaces{
    .client = {965, 643},
    .preview = {5, 21, 605, 621},
    .meter = {5, 625, 35, 640},
    .status = {45, 626, 605, 640},
    .presetList = {613, 612},
    .strip = {613, 594, 760, 594},
    .undo = {765, 558},
    .redo = {791, 558},
    .help = {938, 4},
    .link = {780, 8},
    .apply = {885, 604},
    .cancel = {927, 604},
};

void createDialogControls(fw::DialogBuilder& b) {
    DialogParts parts;
    makeSettingControls(b, parts);
    makeButtons(b, parts);
    TextureSession& ts = sessionOf(b);
    parts.backgroundWell->visible = parts.backgroundWell->enabled = false;
    b.redrawWithPreview(b.manager().create<TextureDialog>(std::move(parts), ts));
    ts.view = DialogView::Preview;
    // The editor's "Input Image" is the preview's copy, as the layers' are.
    ts.editor.thumbnailButton = 0;
}

bool interceptDialogCommand(fw::DialogBuilder& b, int c) {
    const DialogView view = sessionOf(b).view;
    ui::Window* w = b.window();
    // Posted, so that the shell renders after them as after a click.
    auto repost = [&](int as) {
        if (w) w->post(ui::kWmPrivate, static_cast<ui::WParam>(as), 0);
        return true;
    };
    switch (c) {
        case fw::kDialogOkKey: return view == DialogView::PatternViewer && repost(command::kSelectPattern1 + 3);
        case fw::kDialogCancelKey: return view == DialogView::PatternEditor && repost(command::kBackToViewer);
        case command::kUndo:
        case command::kRedo: return view != DialogView::Preview;
        default: return false;
    }
}

bool dialogCommand(fw::DialogBuilder& b, int c) {
    using namespace command;
    TextureDialog& d = stateOf(b);
    const DialogView view = sessionOf(b).view;
    switch (c) {
        case fw::kSettingChangedCommand:
            closeViewer(b);
            d.showBackgroundWell();
            return true;
        case kPickColour1:
        case kPickColour1 + 1:
        case kPickColour1 + 2: closeViewer(b); return true;
        case kSelectPattern1:
        case kSelectPattern1 + 1:
        case kSelectPattern1 + 2:
        case kSelectPattern1 + 3:
            d.current = c - kSelectPattern1;
            if (view == DialogView::PatternViewer)
                enterView(b, DialogView::Preview);
            else
                enterView(b, DialogView::PatternViewer);
            return true;
        case kPreviewLeftUp:
        case kPreviewRightDown:
            if (view == DialogView::Preview)
                pickColour(b);
            else if (view == DialogView::PatternViewer)
                c == kPreviewLeftUp ? choosePattern(b) : editPattern(b);
            return true;
        case kPreviewMove:
            if (view == DialogView::Preview) eyedropperCursor(b);
            return true;
        case kPreviewOutside: return true;
        case kIncreaseScaling:
        case kDecreaseScaling:
            closeViewer(b);
            changeScaling(b, c == kIncreaseScaling ? kScalingStep : -kScalingStep);
            return true;
        case kRandomSettings: closeViewer(b); randomise(b, true, true, true); return true;
        case kRandomPatterns: closeViewer(b); randomise(b, false, false, true); return true;
        case kRandomVariations: closeViewer(b); randomise(b, true, false, false); return true;
        case kResetAll: closeViewer(b); reset(b, -1); return true;
        case kResetBase: closeViewer(b); reset(b, 0); return true;
        case kResetLayer1:
        case kResetLayer1 + 1:
        case kResetLayer1 + 2: closeViewer(b); reset(b, c - kResetLayer1 + 1); return true;
        case kPreviousPage:
        case kNextPage:
            if (view == DialogView::PatternViewer) {
                if (d.grid->setPage(d.grid->page() + (c == kNextPage ? 1 : -1))) b.manager().redrawElement(*d.grid);
            } else if (view == DialogView::PatternEditor) {
                enterView(b, DialogView::PatternViewer);
            }
            return true;
        case kBackToViewer:
            if (view == DialogView::PatternEditor) enterView(b, DialogView::PatternViewer);
            return true;
        case kAddPattern: if (view == DialogView::PatternEditor) addPattern(b); return true;
        case kRemovePattern: if (view == DialogView::PatternEditor) removePattern(b); return true;
        case kImport: if (view == DialogView::PatternEditor) importFile(b); return true;
        case kExport: if (view == DialogView::PatternEditor) exportFile(b); return true;
        case kEditorThumbnail: redrawThumbnail(b); return true;
        default: return false;
    }
}

}  // namespace qm::marbleloom
