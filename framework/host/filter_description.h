// How a filter describes itself to the framework: one constant per plug-in.
// Each deliverable's main hands it to the entry point.
#pragma once

#include <cstdint>
#include <memory>

#include "framework/host/row_renderer.h"
#include "framework/host/variant_policy.h"
#include "platform/ui/geometry.h"
#include "framework/settings/record_format.h"
#include "framework/settings/setting_table.h"

namespace qm::fw {

struct FilterSession;
struct RenderState;
class DialogBuilder;

// Where a dialog of fixed size puts the shell's parts (client coordinates).
struct ShellPlaces {
    ui::Size client;
    ui::Rect preview;   // 600 x 600
    ui::Rect meter;
    ui::Rect status;
    ui::Point presetList;
    ui::Rect strip;     // left, top, right (the bottom follows the cell skin)
    ui::Point undo, redo, help, link;
    ui::Point apply, cancel;  // 30 x 30 each
};

// The filter's dialog: the shell that runs it and the filter's part of it.
struct DialogSpec {
    // Runs the modal dialog; its result (noErr apply, userCanceledErr
    // cancel, memFullErr a failed preview render) goes to result. False when
    // the dialog cannot be created. Null: the filter has no dialog.
    bool (*run)(FilterSession& session, RenderState& state, int16_t& result) = nullptr;
    // Creates the filter's controls in slot order, calling the builder for
    // the shell's controls where the filter's order places them.
    void (*createControls)(DialogBuilder& builder) = nullptr;
    // The caption: title, version, the build's word size, extra text.
    const char* title = "";
    const char* version = "";
    const char* captionExtra = "";
    // The HTML help page among the plug-in's resources (type "HTML").
    const char* helpPage = nullptr;
    // Null: the sharpening layout, made for the image. Else fixed places.
    const ShellPlaces* places = nullptr;
    // Optional: the filter's own commands (random, reset, ...). True when it
    // handled one and the preview is to render.
    bool (*command)(DialogBuilder& dialog, int command) = nullptr;
    // Optional: the dialog's keys (kDialogOkKey, kDialogCancelKey), undo and
    // redo reach the filter first; true when it took them.
    bool (*intercept)(DialogBuilder& dialog, int command) = nullptr;
    // The preview posts its mouse commands (2001 on) with their points.
    bool previewMouse = false;
};

// Enter and Escape, as the intercept hook sees them (the apply and cancel
// buttons end the dialog without it).
constexpr int kDialogOkKey = -1;
constexpr int kDialogCancelKey = -2;

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
    // Optional: the same passes by row ranges on every core, byte for byte
    // what renderPass gives. Without it the loop calls renderPass on the
    // host's thread.
    RowRenderer rows{};

    // Optional. At continue, after the geometry and before the render state:
    // the filter's state for this session; null ends the call with memFullErr.
    std::unique_ptr<FilterData> (*beginSession)(FilterSession& session) = nullptr;
    // Optional: brings every valid record that enters the session up to
    // date (older format versions, repairs); it checks the version itself.
    void (*upgradeRecord)(uint8_t* record) = nullptr;

    // Every setting, in record order: names (of preset texts), ranges, resets.
    SettingTable settings{};

    DialogSpec dialog{};
};

// Each filter defines this once; its plug-in's entry point and its preset
// compiler both take the filter from it.
const FilterDescription& filterDescription();

}  // namespace qm::fw
