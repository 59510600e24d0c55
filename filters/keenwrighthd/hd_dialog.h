// KeenwrightHD's part of the sharpening dialog.
#pragma once

namespace qm::fw {
class DialogBuilder;
}

namespace qm::khd {

// Radius, the shell's view controls, then Brightness, Contrast, Mask
// (hidden) and Edge Softness: the order gives the value slots.
void createDialogControls(fw::DialogBuilder& builder);

}  // namespace qm::khd
