// Where presets live and how a run's settings are chosen and kept.
//
// User presets are REG_BINARY values of the plug-in key under
// HKEY_CURRENT_USER, named by the preset; "Last Used" among them holds the
// settings of the last successful run (pinned flag set, later variant only).
// Factory presets are resources of type 2000 named in upper case, "_" for a
// blank. The preset list is kept here as data; the dialog shows it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "framework/settings/preset_context.h"
#include "platform/os/resources.h"

namespace qm::fw {

constexpr uint32_t kFactoryPresetType = 2000;
constexpr int kMaxUserPresets = 1000;
constexpr uint32_t kPresetNameBuffer = 64;   // the names a record value may have: up to 63 characters
constexpr uint32_t kLongNameBuffer = 16384;  // what a registry value name can be at most
constexpr const char* kLastUsedName = "Last Used";
constexpr const char* kSavePresetEntry = "SAVE USER PRESET";
constexpr const char* kNotValidPresetText = "Not Valid Preset         ";

// "X-NOISE_REDUCTION" -> "X-Noise Reduction".
std::string presetDisplayName(std::string_view resourceName);
// The way back: upper case, every blank but one in the last place as "_".
std::string presetResourceName(std::string_view entryText);

// Value number index of the plug-in key. A value that is not a record (a
// string, another length, a failed check, a name of 64 or more characters)
// answers success with valid false; result is the registry's answer
// otherwise (kNoMoreItems past the last value).
struct PresetValue {
    long result = 2;
    std::string name;
    bool valid = false;
    RecordBuffer data{};  // the first L bytes of the value, zero beyond it
};
PresetValue presetValueAt(const PresetContext& session, uint32_t index);

struct PresetList {
    // User presets ("?" invalid, "#" pinned, ">" otherwise, then the name),
    // factory presets by display name, then kSavePresetEntry.
    std::vector<std::string> entries;
    int count = 0;     // the entries before kSavePresetEntry
    int current = 0;   // the entry last loaded
    int selected = 0;  // the entry the drop-down shows
    int listId = 0;    // the control last filled (its first fill chooses the start entry)
};

// The list of the session's plug-in key and the module's factory presets.
PresetList buildPresetList(const PresetContext& session, const os::ResourceModule& resources);

// count - D, or count - 2 when that is negative (may still be negative).
int defaultPresetIndex(int count, int defaultPosition);
// The entry a dialog's first fill loads: "#Last Used" when listed (later
// variant), else the default index clamped to 0.
int firstPresetIndex(const PresetList& list, const PresetContext& session);

enum class PresetLoad {
    Nothing,               // no user preset there and no dialog (or no such index)
    UserPreset,            // loaded into the session
    InvalidUserPreset,     // "Not Valid Preset" shown, settings unchanged
    FactoryPreset,         // loaded (dialog open only)
    InvalidFactoryPreset,  // ignored silently (dialog open only)
    PresetDialog,          // the save entry: the caller runs the preset dialog
};

// Loads entry index of the list (-1: the default index) into the session:
// value number index of the plug-in key when there is one, otherwise (with a
// dialog open) the factory preset the entry's text names. Accepted records
// are shown through session.showRecord().
PresetLoad loadPresetAt(PresetContext& session, PresetList& list,
                        const os::ResourceModule& resources, int index);

// A record entering the session: copied, then brought up to date by the
// session's upgrade hook.
void acceptRecord(PresetContext& session, const uint8_t* record);
// The D-th factory preset from the end (the first when there are fewer),
// copied into the session; a session without factory presets starts zeroed.
void startOnDefaultFactoryPreset(PresetContext& session, const os::ResourceModule& resources);
// "Last Used" of the plug-in key, when it is a valid record.
bool readLastUsed(const PresetContext& session, RecordBuffer& record);
// Write failures are not reported.
void writeLastUsed(const PresetContext& session, const uint8_t* record);

}  // namespace qm::fw
