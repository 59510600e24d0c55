#include "framework/controls/control_slots.h"

namespace qm::fw {

bool ControlSlots::hasControl(int slot) const {
    return slot >= 0 && static_cast<size_t>(slot) < manager_.count();
}

int32_t ControlSlots::getValue(int slot) const {
    return hasControl(slot) ? manager_.element(static_cast<size_t>(slot)).getValue() : 0;
}

void ControlSlots::setValue(int slot, int32_t value) {
    if (hasControl(slot)) manager_.element(static_cast<size_t>(slot)).setValue(value);
}

}  // namespace qm::fw
