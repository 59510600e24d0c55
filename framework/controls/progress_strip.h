// The strip of cells above the preview that fills while a preview renders.
// Not a registered control: the render pass drives it (through the dialog),
// and the dialog's 50 ms timer clears it after a render.
#pragma once

#include "framework/controls/skin.h"
#include "platform/ui/geometry.h"

namespace qm::fw {

class ControlManager;

constexpr uint32_t kProgressCellSkinId = 130;

class ProgressStrip {
public:
    // The bottom is top plus the cell skin's height.
    ProgressStrip(ControlManager& manager, int left, int top, int right);
    ProgressStrip(const ProgressStrip&) = delete;
    ProgressStrip& operator=(const ProgressStrip&) = delete;

    // One step of `total` (raised to at least the cell count): draws the
    // cell the counter has reached when it is a new one; the cells drawn
    // before stay.
    void progressStep(int total);
    // Erases the strip; the next render starts from the first cell.
    void progressClear();

    ui::Rect rect() const { return {left_, top_, right_, top_ + cell_.height()}; }
    ui::Rect cellRect(int cell) const;
    int cellCount() const { return cellCount_; }
    int counter() const { return counter_; }
    int lastCell() const { return lastCell_; }

private:
    ui::Surface* windowSurface() const;

    ControlManager& manager_;
    int left_, top_, right_;
    Skin cell_;
    int cellCount_ = 0;
    int counter_ = 0;
    int lastCell_ = -1;
};

}  // namespace qm::fw
