#include "filters/keenwrighthd/hd_dialog.h"

#include "filters/keenwrighthd/hd_settings.h"
#include "framework/controls/control_manager.h"
#include "framework/controls/ui_selector.h"
#include "framework/controls/ui_slider.h"
#include "framework/host/filter_dialog.h"

namespace qm::khd {
namespace {

using namespace fw::slider_style;

const fw::Setting& settingOf(int slot) { return *fw::findSetting(kSettings, slot); }
const char* statusOf(int slot) { return settingOf(slot).status ? settingOf(slot).status : ""; }

// The value at (188, 22) and the name at (60, 22) of the track's start.
fw::UiSlider& slider(fw::ControlManager& m, int slot, int left, int right, int y, uint32_t style,
                     uint32_t valueText = 0x80bc8016u, uint32_t nameText = 0x803c8016u) {
    return m.create<fw::UiSlider>(statusOf(slot), ui::Rect{left, y, right, y}, style, valueText,
                                  settingOf(slot).label, nameText);
}

}  // namespace

void createDialogControls(fw::DialogBuilder& builder) {
    fw::ControlManager& m = builder.manager();
    const fw::ShellLayout& L = builder.layout();
    // The second value of a pair sits just left of the track.
    slider(m, kSlotRadius, L.x1 + 10, L.x1 + 210, 327, kFixedText | kTwoThumbs).secondTextX = 19;
    builder.addViewControls();
    slider(m, kSlotBrightness, L.x1 + 10, L.x1 + 210, 399, kFixedText | kTwoThumbs).secondTextX = 19;
    slider(m, kSlotContrast, L.x1 + 10, L.x1 + 210, 433, kFixedText | kQuarterOrigin);
    fw::UiSelector& mask =
        m.create<fw::UiSelector>(statusOf(kSlotMask), ui::Rect::ofSize(L.x0 + 203, 537, 13, 13), 0x80158000u,
                                 settingOf(kSlotMask).label, fw::kSettingChangedCommand, 0);
    // Hidden, it still carries whatever the record holds.
    mask.maximum = settingOf(kSlotMask).maximum;
    mask.visible = false;
    slider(m, kSlotSoftness, L.x1 + 110, L.x1 + 210, 365, kFixedText | kCentred, 0x805b8016u, 0x801c8016u);
}

}  // namespace qm::khd
