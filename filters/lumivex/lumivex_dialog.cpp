#include "filters/lumivex/lumivex_dialog.h"

#include <algorithm>

#include "filters/lumivex/height_buffers.h"
#include "filters/lumivex/lens_controls.h"
#include "framework/controls/control_manager.h"
#include "framework/controls/ui_button.h"
#include "framework/controls/ui_selector.h"
#include "framework/controls/ui_slider.h"
#include "framework/host/filter_dialog.h"
#include "framework/host/filter_session.h"
#include "framework/settings/random_source.h"

namespace qm::lumivex {
namespace {

using namespace fw::slider_style;

enum Command : int {
    kRandomMask = 197, kRandomSettings = 198, kRandomVariations = 199, kResetAll = 212, kResetMaskCommand = 213,
};

const fw::Setting& settingOf(int slot) { return *fw::findSetting(kSettings, slot); }
const char* statusOf(int slot) { return settingOf(slot).status ? settingOf(slot).status : ""; }
const char* nameOf(int slot) { return settingOf(slot).label ? settingOf(slot).label : ""; }

// The name above the track's start, the value just right of its end.
fw::UiSlider& horizontal(fw::ControlManager& m, int slot, int x, int y, int length, uint32_t style = 0) {
    return m.create<fw::UiSlider>(statusOf(slot), ui::Rect{x, y, x + length, y}, kFixedText | style,
                                  fw::textPosition(length + 10, 5), nameOf(slot), fw::textPosition(0, 20));
}

// A knob on a square, both coordinates from the middle; the name above, no
// numbers (the status line names it).
fw::UiSlider& square(fw::ControlManager& m, int slot, int x, int y) {
    return m.create<fw::UiSlider>(statusOf(slot), ui::Rect{x, y, x + 60, y + 60}, kCentred | kNoTextCopy,
                                  fw::textPosition(0, 0), nameOf(slot), fw::textPosition(0, 16));
}

bool hostHasMask(fw::DialogBuilder& d) {
    const FilterRecord* fr = d.session().record;
    return fr && fr->haveMask;
}

}  // namespace

const fw::ShellPlaces kDialogPlaces{
    .client = {905, 643},
    .preview = {5, 21, 605, 621},
    .meter = {5, 625, 35, 640},
    .status = {55, 626, 505, 640},
    .presetList = {620, 601},
    .strip = {6, 9, 606, 9},
    .undo = {624, 561},
    .redo = {652, 561},
    .help = {848, 4},
    .link = {697, 8},
    .apply = {799, 594},
    .cancel = {847, 594},
};

void createDialogControls(fw::DialogBuilder& b) {
    fw::ControlManager& m = b.manager();
    horizontal(m, kSmoothing, 655, 81, 60);
    m.create<fw::UiSlider>(statusOf(kMaskRightLeft), ui::Rect{655, 281, 815, 281}, kFixedText | kTwoThumbs,
                           fw::textPosition(142, -8), "", fw::textPosition(0, 0))
        .secondTextX = 25;
    m.create<AngleRing>(statusOf(kRefractionAngle), ui::Point{730, 375}, nameOf(kRefractionAngle));
    horizontal(m, kDeformation, 630, 471, 150);
    square(m, kLensShift, 820, 371);
    horizontal(m, kMaskInclusion, 685, 311, 100, kCentred);
    // Bottom's value beside the track's foot, top's beside its head.
    fw::UiSlider& bottomTop =
        m.create<fw::UiSlider>(statusOf(kMaskBottomTop), ui::Rect{835, 101, 835, 261}, kFixedText | kTwoThumbs,
                               fw::textPosition(12, -155), "", fw::textPosition(0, 0));
    bottomTop.secondTextX = 37;
    bottomTop.secondTextY = -160;
    fw::UiSelector& toggle = m.create<fw::UiSelector>(statusOf(kPreviewOn), ui::Rect::ofSize(808, 564, 13, 13),
                                                      fw::captionOffset(21, 0), nameOf(kPreviewOn), 2300, 0);
    b.setPreviewToggle(toggle);
    square(m, kLensSkew, 630, 371);

    // The thumbnail the first pass of every preview render writes.
    if (auto* lens = b.session().dataAs<LensSession>())
        b.redrawWithPreview(m.create<MaskThumbnail>(ui::Point{655, 101}, lens->thumbnail));
    m.create<fw::UiButton>("Random Mask", ui::Rect::ofSize(620, 231, 22, 22), 197, 197, kRandomMask);
    m.create<fw::UiButton>("Random Settings", ui::Rect::ofSize(703, 559, 22, 22), 211, 211, kRandomSettings);
    m.create<fw::UiButton>("Random Variations", ui::Rect::ofSize(620, 325, 22, 16), 227, 227, kRandomVariations);
    m.create<fw::UiButton>("Reset All Settings", ui::Rect::ofSize(753, 558, 22, 22), 212, 212, kResetAll);
    m.create<fw::UiButton>("Reset Mask", ui::Rect::ofSize(853, 276, 22, 22), 213, 213, kResetMaskCommand);
}

void randomMask(LensSettings& s, bool hostMask) {
    if (hostMask) {
        // The host's selection is the mask: the rectangle covers everything.
        s.inclusion = 100;
        s.maskRight = 160;
        s.maskLeft = 0;
        s.maskBottom = 160;
        s.maskTop = 0;
        return;
    }
    s.inclusion = fw::randomInt(75, 100);
    s.maskLeft = fw::randomInt(0, 70);
    s.maskRight = fw::randomInt(90, 160);
    s.maskTop = fw::randomInt(0, 70);
    s.maskBottom = fw::randomInt(90, 160);
}

void randomVariations(LensSettings& s) {
    if (fw::randomInt(0, 100) < 30) {
        s.shiftX = fw::randomInt(0, 60);
        s.shiftY = fw::randomInt(0, 60);
    }
    s.skewX = s.skewY = 30;
    if (fw::randomInt(0, 100) < 60) s.skewY = fw::randomInt(0, 60);
    if (fw::randomInt(0, 100) < 30) s.skewX = fw::randomInt(15, 45);
    // Anywhere in the box: the ring snaps it onto its circle.
    s.angle.x = fw::randomInt(0, 50);
    s.angle.y = fw::randomInt(0, 50);
}

void randomSettings(LensSettings& s, bool hostMask) {
    randomMask(s, hostMask);
    s.deformation = std::max(s.deformation, 30);
    s.smoothing = 60;
    randomVariations(s);
}

bool dialogCommand(fw::DialogBuilder& d, int command) {
    fw::ValueSlots v = d.values();
    if (command == kResetAll || command == kResetMaskCommand) {
        if (command == kResetAll) resetAllSettings(v);
        else resetMask(v);
        d.setValues(v);
        return true;
    }
    if (command != kRandomMask && command != kRandomSettings && command != kRandomVariations) return false;
    LensSettings s = decodeLensSettings(v);
    s.angle = {v[kRefractionAngle] & 0x7F, v[kRefractionAngle] >> 7 & 0x7F};
    if (command == kRandomMask) randomMask(s, hostHasMask(d));
    else if (command == kRandomSettings) randomSettings(s, hostHasMask(d));
    else randomVariations(s);
    encodeLensSettings(s, v);
    d.setValues(v);
    return true;
}

}  // namespace qm::lumivex
