// How a filter describes itself to the framework: one constant per plug-in.
// Each deliverable's main hands it to the entry point.
#pragma once

#include <cstdint>
#include <memory>

#include "framework/host/variant_policy.h"
#include "framework/settings/record_format.h"
#include "framework/settings/setting_table.h"

namespace qm::fw {

struct FilterSession;
struct RenderState;

// The filter's own state of one session (buffers, kernels, tables); the
// session owns it and frees it when it closes.
class FilterData {
public:
    virtual ~FilterData() = default;
};

struct FilterDescription {
    const char* name;         // the PiPL name, "Keenwright HD"
    RecordFormat format;      // id, version, L, FieldTable
    const char* registryKey;  // "Software\\Quillmere\\KeenwrightHD"
    int defaultPosition;      // D, counted from the end of the preset list
    int passCount;
    VariantPolicy variant;

    // Once per render: may change the region's size; 0 success, -1 failure.
    int (*prepare)(RenderState& state);
    // Once per pixel and pass, at state.row, state.column, state.pass.
    void (*renderPass)(RenderState& state);

    // Optional. At continue, after the geometry and before the render state:
    // the filter's state for this session; null ends the call with memFullErr.
    std::unique_ptr<FilterData> (*beginSession)(FilterSession& session) = nullptr;
    // Optional: brings every valid record that enters the session up to
    // date (older format versions, repairs); it checks the version itself.
    void (*upgradeRecord)(uint8_t* record) = nullptr;

    // Every setting, in record order: names (of preset texts), ranges, resets.
    SettingTable settings{};
};

// Each filter defines this once; its plug-in's entry point and its preset
// compiler both take the filter from it.
const FilterDescription& filterDescription();

}  // namespace qm::fw
