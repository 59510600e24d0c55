// Plaitwork's part of the dialog: its 33 controls in record order, its
// buttons and places, the spacing, flip, random and reset commands and the
// rules that enable two of its controls.
#pragma once

#include <cstdint>

#include "framework/host/filter_description.h"
#include "framework/settings/record.h"

namespace qm::fw {
class DialogBuilder;
}

namespace qm::plaitwork {

enum DialogCommand : int {
    kIncreaseSpacing = 208, kDecreaseSpacing = 209, kDiagonalFlip = 210, kRandomSettings = 211,
    kResetSlidersCommand = 212, kRandomColours = 218, kRandomVariations = 618, kWhiteCanvasChanged = 1037,
};

void createDialogControls(fw::DialogBuilder& builder);
bool dialogCommand(fw::DialogBuilder& builder, int command);

// The commands on the slots (the controls' values).
void increaseSpacing(fw::ValueSlots& v);
void decreaseSpacing(fw::ValueSlots& v);
void diagonalFlip(fw::ValueSlots& v);
void randomSettings(fw::ValueSlots& v);
void randomVariations(fw::ValueSlots& v);
void randomColours(fw::ValueSlots& v);
// A colour drawn for one control (mode 2), brighter on a white canvas.
int32_t randomColour(bool whiteCanvas);
// Hue 0..1535 (wrapped), saturation and value 0..255 as that colour in mode 2.
int32_t hsvColour(int hue, int saturation, int value);

extern const fw::ShellPlaces kDialogPlaces;

}  // namespace qm::plaitwork
