// The dialog's preview: the filtered picture of the image, set into the
// background with a bevel, and the drawing time of the last render. It owns
// the buffers the render loop reads and writes (PreviewBuffers) and links
// them into the session while it lives. Its first draw makes the reduced
// copy of the image and the first render, so the dialog shows before the
// image is read.
#pragma once

#include <cstdint>
#include <string>

#include "framework/controls/ui_element.h"
#include "framework/host/preview_buffers.h"
#include "framework/host/transfer.h"
#include "platform/ui/geometry.h"
#include "platform/ui/surface.h"

namespace qm::fw {

class UiPreview : public UiElement {
public:
    static constexpr int kCommand = 2001;
    // Posted with command + 0 .. + 3.
    static constexpr int kLeftUp = 0, kRightDown = 1, kMove = 2, kOutside = 3;
    static constexpr int kMaxSide = 4092;
    static constexpr const char* kTransferText = "DATA TRANSFER ... PLEASE WAIT";

    // `area` is rounded down to multiples of 4 (at most kMaxSide a side);
    // an empty `meter` shows no drawing time. Created disabled: a dialog that
    // wants the mouse in the preview enables it.
    UiPreview(ControlManager& manager, const ui::Rect& area, const ui::Rect& meter);
    ~UiPreview() override;

    int handleMouse(ui::Window& window, uint32_t message, ui::WParam wParam, ui::LParam lParam) override;
    void draw(ui::Surface& target) override;

    const ui::Rect& area() const { return area_; }
    const ui::Rect& meter() const { return meter_; }
    PreviewBuffers& buffers() { return buffers_; }
    const PreviewBuffers& buffers() const { return buffers_; }
    bool failed() const { return buffers_.failed; }
    // The last composed picture (display bitmap and bevel).
    const ui::Surface& picture() const { return picture_; }

    // Outside the rendered size; with 4 planes a top byte other than 0xFF
    // shows the checkerboard there instead.
    uint32_t background = kPreviewBackground;

    // "%.4i " of the low 14 bits of the milliseconds.
    static std::string meterText(uint32_t elapsedMs);

private:
    void transfer(ui::Surface& target);
    void renderNow();
    void showMeter(ui::Surface& target);

    ui::Rect area_;
    ui::Rect meter_;
    PreviewBuffers buffers_;
    ui::Surface picture_;
};

}  // namespace qm::fw
