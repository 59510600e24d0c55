// Marbleloom 3D's dialog: the four layer groups and the global controls
// beside the preview, the pattern viewer that takes the preview's place, the
// pattern editor, the eyedroppers and the random generators.
#pragma once

#include "framework/host/filter_description.h"

namespace qm::fw {
class DialogBuilder;
}

namespace qm::marbleloom {

// Commands of the controls that hold no setting.
namespace command {
constexpr int kIncreaseScaling = 208, kDecreaseScaling = 209, kRandomSettings = 211, kResetAll = 212;
constexpr int kRemovePattern = 219, kAddPattern = 220, kBackToViewer = 221, kImport = 222, kExport = 223;
constexpr int kPreviousPage = 224, kNextPage = 225, kRandomPatterns = 226, kRandomVariations = 227;
constexpr int kResetBase = 229, kResetLayer1 = 1228;  // .. 1230 for layer 3
constexpr int kPreviewLeftUp = 2001, kPreviewRightDown = 2002, kPreviewMove = 2003, kPreviewOutside = 2004;
constexpr int kPickColour1 = 2055;  // the eyedroppers, .. 2057
constexpr int kSelectPattern1 = 2058;  // the pattern selectors, .. 2061 (the base's)
constexpr int kEditorThumbnail = 2100;
constexpr int kUndo = 191, kRedo = 192;
}  // namespace command

extern const fw::ShellPlaces kDialogPlaces;

void createDialogControls(fw::DialogBuilder& dialog);
// The command table; true when the command was the filter's.
bool dialogCommand(fw::DialogBuilder& dialog, int command);
// Enter, Escape, undo and redo as the dialog's state wants them.
bool interceptDialogCommand(fw::DialogBuilder& dialog, int command);

}  // namespace qm::marbleloom
