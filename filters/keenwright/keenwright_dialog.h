// Keenwright's part of the sharpening dialog.
#pragma once

namespace qm::fw {
class DialogBuilder;
}

namespace qm::keenwright {

// Radius, the shell's view controls, then Amount, Mask, Blur (hidden), Halo
// and Balance (hidden): the order gives the value slots.
void createDialogControls(fw::DialogBuilder& builder);

}  // namespace qm::keenwright
