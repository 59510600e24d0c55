// The settings code's view of a dialog's controls: control i, the i-th the
// dialog created, owns value slot i and carries its value both ways through
// its getValue and setValue.
#pragma once

#include <cstdint>

#include "framework/controls/control_manager.h"
#include "framework/settings/slot_controls.h"

namespace qm::fw {

class ControlSlots : public SlotControls {
public:
    explicit ControlSlots(ControlManager& manager) : manager_(manager) {}

    bool hasControl(int slot) const override;
    int32_t getValue(int slot) const override;
    // The control limits what it takes; the dialog repaints after a load.
    void setValue(int slot, int32_t value) override;

private:
    ControlManager& manager_;
};

}  // namespace qm::fw
