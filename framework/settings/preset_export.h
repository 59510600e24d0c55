// Exporting a plug-in's presets: every value of its registry key (the user
// presets and "Last Used") as a REGEDIT4 script that the system's registry
// editor imports on another machine.
#pragma once

#include <string>
#include <string_view>

#include "framework/settings/preset_context.h"

namespace qm::fw {

constexpr const char* kExportDirValue = "PresetsExportDir";
constexpr const char* kExportTitle = "Export User Presets. Choose a Filename.";
constexpr const char* kReplaceQuestion = "This file already exists. Replace existing file?";

// The file's bytes: the header, then one line a value with its L bytes in
// lower-case hex; CRLF line ends. Quotes and backslashes in a name are
// escaped as the format requires, so that the file imports again.
std::string presetExportText(const PresetContext& session);

// "KeenwrightHD Presets" for "Software\Quillmere\KeenwrightHD"; "Presets"
// when the key has no backslash after its first character.
std::string defaultExportName(std::string_view keyPath);

enum class ExportOutcome { Written, Cancelled, Failed };

// The save-file dialog (starting in the remembered folder), the replace
// question, the file, then the folder remembered as "PresetsExportDir". A
// file that cannot be written is reported in a message box.
ExportOutcome exportPresets(void* owner, const PresetContext& session);

}  // namespace qm::fw
