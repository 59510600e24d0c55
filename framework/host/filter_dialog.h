// The filters' dialog shell: a large preview, the filter's controls, the
// preset list, undo and redo, help, apply and cancel, a progress strip and a
// meter; the sharpening filters' also a navigator with zoom buttons, laid out
// for the image, the others' at fixed places of their own.
#pragma once

#include <cstdint>
#include <string>

#include "framework/host/transfer.h"
#include "framework/settings/record.h"
#include "platform/ui/geometry.h"

namespace qm::ui {
class Window;
}

namespace qm::fw {

class ControlManager;
class UiElement;
class UiPreview;
class UiSelector;
struct DialogSpec;
struct ShellPlaces;
struct FilterSession;
struct RenderState;

// Where the shell puts things for an image: pw = previewWidth, x0 = pw + 5,
// x1 = x0 + 20; the navigator's thumbnail; the zoom layout z (2: no zoom
// buttons, 1: Fit and 100 %, 0: Fit, 50 % and 100 %).
struct ShellLayout {
    int pw = 600, x0 = 605, x1 = 625;
    ThumbnailSize thumbnail;
    int zoomLayout = 2;
};
ShellLayout shellLayout(int previewWidth, int32_t imageWidth, int32_t imageHeight);
// The shell's parts in the sharpening layout.
ShellPlaces sharpeningPlaces(const ShellLayout& layout);

// Title and version; with suffixes also " (32-bit)" or " (64-bit)", the
// extra text, then "      RGB/16" or "      RGB/8".
std::string dialogCaption(const DialogSpec& dialog, bool suffixes, bool sixteenBit);
// The warning for a screen smaller than 1000 x 740, else empty.
std::string resolutionWarning(ui::Size screen);

// What a filter's dialog code sees of the dialog: while it creates its
// controls, and when its own commands arrive.
class DialogBuilder {
public:
    virtual ControlManager& manager() = 0;
    virtual FilterSession& session() = 0;
    virtual const ShellLayout& layout() const = 0;
    // The preview toggle, the navigator and the zoom buttons, at the place
    // the filter's order gives them (their slots follow the filter's
    // controls made before).
    virtual void addViewControls() = 0;
    // A filter's own preview toggle (the switch-back rule applies to it).
    virtual void setPreviewToggle(UiSelector& toggle) = 0;
    // Redrawn with the preview after every completed render.
    virtual void redrawWithPreview(UiElement& element) = 0;
    // The controls' values by slot, and new values for them (each control
    // limits what it takes and is redrawn).
    virtual ValueSlots values() = 0;
    virtual void setValues(const ValueSlots& values) = 0;
    // The dialog's window and its preview (null while the controls are made).
    virtual ui::Window* window() = 0;
    virtual UiPreview* preview() = 0;
    // The point the command now handled came with (the preview's commands:
    // relative to the preview area).
    virtual ui::Point commandPoint() const = 0;
    // The next render runs even with unchanged settings (what the preview
    // shows changed).
    virtual void forceRender() = 0;

protected:
    ~DialogBuilder() = default;
};

// The modal dialog of the session (every filter's DialogSpec::run).
bool runFilterDialog(FilterSession& session, RenderState& state, int16_t& result);

}  // namespace qm::fw
