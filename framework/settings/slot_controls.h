// The dialog's controls as the settings code sees them: control i owns value
// slot i. The dialog milestone implements this over its UiElements.
#pragma once

#include <cstdint>

namespace qm::fw {

class SlotControls {
public:
    virtual ~SlotControls() = default;
    virtual bool hasControl(int slot) const = 0;
    virtual int32_t getValue(int slot) const = 0;      // the control's value getter
    virtual void setValue(int slot, int32_t value) = 0;  // its setter; controls clamp
};

}  // namespace qm::fw
