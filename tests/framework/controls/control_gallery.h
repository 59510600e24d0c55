// One of each control and style on a dialog with the shared skins, over the
// bundled photograph rendered by the framework's test filter: for looking
// at the controls together, and for driving them in a real window.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "framework/controls/control_manager.h"
#include "framework/controls/progress_strip.h"
#include "framework/controls/ui_ancor.h"
#include "framework/controls/ui_button.h"
#include "framework/controls/ui_navigator.h"
#include "framework/controls/ui_preview.h"
#include "framework/controls/ui_selector.h"
#include "framework/controls/ui_slider.h"
#include "framework/host/dialog_link.h"
#include "platform/ui/dialog.h"
#include "tests/framework/controls/controls_test_support.h"
#include "tests/support/fake_host.h"

namespace qm::fw::testing {

class Gallery : public DialogLink {
public:
    static constexpr int kWidth = 880, kHeight = 640;

    Gallery();
    ~Gallery() override;

    // The modal dialog; `onTimer` runs at every tick of timer 7 (every 20 ms).
    intptr_t run(std::function<void(ui::Window&)> onTimer = {});

    // Private commands as they arrived.
    std::vector<int> commands;

    UiPreview* preview = nullptr;
    UiNavigator* navigator = nullptr;
    UiSlider *radius = nullptr, *pair = nullptr, *contrast = nullptr, *softness = nullptr, *pad = nullptr,
             *vertical = nullptr;
    UiSelector *toggle = nullptr, *stepper = nullptr;
    std::vector<UiSelector*> zoom;
    UiButton *undo = nullptr, *apply = nullptr;
    UiAncor* link = nullptr;
    std::unique_ptr<ProgressStrip> strip;
    ControlManager& manager() { return manager_; }

    // DialogLink
    // The preview renders the test filter at gain 100, offset 128: the photo as it is.
    SlotControls& controls() override { return filterKnobs_; }
    bool pollMouse() override { return false; }
    void clearProgress() override { strip->progressClear(); }
    void advanceProgress(int total) override { strip->progressStep(total); }
    void startProgressTimer() override { strip->progressClear(); }
    void restorePreviewToggleIfRequested() override {}
    void enableZoomButtons() override {}
    void redrawPreview() override { manager_.redrawElement(*preview); }
    void requestRedraw() override {}

private:
    void create(ui::Window& window);
    intptr_t procedure(ui::Window& window, uint32_t message, ui::WParam w, ui::LParam l);

    TestResources resources_;
    std::optional<test::FakeHost> host_;
    ControlManager manager_;
    class FilterKnobs : public SlotControls {
    public:
        bool hasControl(int slot) const override { return slot >= 0 && slot < 3; }
        int32_t getValue(int slot) const override { return slot == 0 ? 100 : slot == 1 ? 128 : 0; }
        void setValue(int, int32_t) override {}
    } filterKnobs_;
    std::function<void(ui::Window&)> onTimer_;
};

}  // namespace qm::fw::testing
