#include "filters/keenwright/keenwright_dialog.h"

#include "filters/keenwright/keenwright_settings.h"
#include "framework/controls/control_manager.h"
#include "framework/controls/ui_selector.h"
#include "framework/controls/ui_slider.h"
#include "framework/host/filter_dialog.h"

namespace qm::keenwright {
namespace {

const fw::Setting& settingOf(int slot) { return *fw::findSetting(kSettings, slot); }
const char* statusOf(int slot) { return settingOf(slot).status ? settingOf(slot).status : ""; }

fw::UiSlider& slider(fw::ControlManager& m, int slot, int x, int y) {
    return m.create<fw::UiSlider>(statusOf(slot), ui::Rect{x, y, x + 150, y}, settingOf(slot).label);
}

fw::UiSelector& selector(fw::ControlManager& m, int slot, int x, int y) {
    fw::UiSelector& s = m.create<fw::UiSelector>(statusOf(slot), ui::Rect::ofSize(x, y, 13, 13), 0x80158000u,
                                                 settingOf(slot).label, fw::kSettingChangedCommand, 0);
    s.maximum = settingOf(slot).maximum;
    return s;
}

}  // namespace

void createDialogControls(fw::DialogBuilder& builder) {
    fw::ControlManager& m = builder.manager();
    const fw::ShellLayout& L = builder.layout();
    slider(m, kRadius, L.x1, 437);
    builder.addViewControls();
    slider(m, kAmount, L.x1, 467);
    selector(m, kMask, L.x0 + 203, 461);
    selector(m, kBlur, L.x0 + 233, 307).visible = false;
    selector(m, kHalo, L.x0 + 203, 431);
    slider(m, kBalance, L.x1, 407).visible = false;
}

}  // namespace qm::keenwright
