// The preset dialog ("SAVE"): a name box over the user presets, and save,
// delete, export and cancel buttons drawn with the control toolkit.
#pragma once

#include <string>

#include "platform/ui/window.h"

namespace qm::fw {

struct FilterSession;

constexpr int kPresetNameLimit = 22;
constexpr const char* kPresetDialogText = "Enter Preset Name:";
constexpr const char* kNoSuchPresetText = "Unable to locate User Preset";

struct PresetDialogOutcome {
    enum Kind { Nothing, Saved, Deleted } kind = Nothing;
    std::string name;  // the preset saved
};

// A list entry's text as a preset name: one leading "#", ">" or "?" and the
// trailing blanks removed.
std::string presetNameOf(std::string_view entryText);

// Runs the dialog over `owner` with the name box holding `currentEntry` as a
// name, then saves the session's record (sealed unpinned; the caller has
// encoded it from the controls) or deletes the named value. Export runs
// from inside the dialog.
PresetDialogOutcome runPresetDialog(ui::Window& owner, FilterSession& session,
                                    const std::string& currentEntry);

}  // namespace qm::fw
