// How a filter describes itself to the framework: one constant per plug-in.
// Each deliverable's main hands it to the entry point.
#pragma once

#include <cstdint>

#include "framework/settings/record_format.h"
#include "framework/settings/setting_table.h"

namespace qm::fw {

struct FilterSession;
struct RenderState;

enum class FrameworkVariant { Later, Earlier };

// A setting's name in factory preset sources.
struct SlotName {
    int slot;
    const char* name;
};

// When the dialog opens: after the parameters selector (and, in the later
// variant, when scripting asks), or at every run.
enum class DialogPolicy { AfterParameters, EveryRun };

struct FilterDescription {
    const char* name;         // the PiPL name, "Keenwright HD"
    RecordFormat format;      // id, version, L, FieldTable
    const char* registryKey;  // "Software\\Quillmere\\KeenwrightHD"
    int defaultPosition;      // D, counted from the end of the preset list
    int passCount;
    FrameworkVariant variant;
    DialogPolicy dialogPolicy;
    int minimumSide;          // earlier variant: images below it are refused (0: none)
    const char* modeMessage;  // later variant: the unsupported-mode warning

    // Once per render: may change the region's size; 0 success, -1 failure.
    int (*prepare)(RenderState& state);
    // Once per pixel and pass, at state.row, state.column, state.pass.
    void (*renderPass)(RenderState& state);

    // Optional. At continue, after the geometry and before the render state:
    // false ends the call with memFullErr. The earlier variant's filters
    // allocate their own working buffers here.
    bool (*beginSession)(FilterSession& session) = nullptr;
    void (*endSession)(FilterSession& session) = nullptr;
    // Optional: brings every valid record that enters the session up to
    // date (older format versions, repairs); it checks the version itself.
    void (*upgradeRecord)(uint8_t* record) = nullptr;

    // Every setting, in record order: names, ranges, resets.
    SettingTable settings{};
    // The names factory preset sources give the settings.
    const SlotName* slotNames = nullptr;
    int slotNameCount = 0;
};

// Each filter defines this once; its plug-in's entry point and its preset
// compiler both take the filter from it.
const FilterDescription& filterDescription();

}  // namespace qm::fw
