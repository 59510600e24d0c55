// Lumivex's part of the dialog: its controls in record order, the angle
// ring and mask thumbnail, its random and reset commands, its places.
#pragma once

#include "filters/lumivex/lens_settings.h"
#include "framework/host/filter_description.h"

namespace qm::fw {
class DialogBuilder;
}

namespace qm::lumivex {

void createDialogControls(fw::DialogBuilder& builder);
bool dialogCommand(fw::DialogBuilder& builder, int command);

// The random generators on the settings; hostMask: the host gave a selection.
void randomMask(LensSettings& s, bool hostMask);
void randomSettings(LensSettings& s, bool hostMask);
void randomVariations(LensSettings& s);

extern const fw::ShellPlaces kDialogPlaces;

}  // namespace qm::lumivex
