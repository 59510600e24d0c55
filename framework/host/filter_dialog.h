// The sharpening filters' dialog: a large preview on the left, the filter's
// controls on the right, a navigator with zoom buttons, the preset list,
// undo and redo, help, apply and cancel, a progress strip and a meter.
#pragma once

#include <cstdint>
#include <string>

#include "framework/host/transfer.h"
#include "platform/ui/geometry.h"

namespace qm::fw {

class ControlManager;
struct DialogSpec;
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

// Title, version, " (32-bit)" or " (64-bit)", the extra text, then
// "      RGB/16" or "      RGB/8".
std::string dialogCaption(const DialogSpec& spec, bool sixteenBit);
// The warning for a screen smaller than 1000 x 740, else empty.
std::string resolutionWarning(ui::Size screen);

// What a filter's control creation sees of the dialog being made.
class DialogBuilder {
public:
    virtual ControlManager& manager() = 0;
    virtual const ShellLayout& layout() const = 0;
    // The preview toggle, the navigator and the zoom buttons, at the place
    // the filter's order gives them (their slots follow the filter's
    // controls made before).
    virtual void addViewControls() = 0;

protected:
    ~DialogBuilder() = default;
};

// The modal dialog of the session (DialogSpec::run of the sharpening filters).
bool runSharpeningDialog(FilterSession& session, RenderState& state, int16_t& result);

}  // namespace qm::fw
