#include "framework/controls/progress_strip.h"

#include <algorithm>

#include "framework/controls/control_manager.h"
#include "framework/controls/skin_drawing.h"
#include "platform/ui/window.h"

namespace qm::fw {

ProgressStrip::ProgressStrip(ControlManager& manager, int left, int top, int right)
    : manager_(manager), left_(left), top_(top), right_(right),
      cell_(loadSkin(manager.module(), kProgressCellSkinId)) {
    cellCount_ = cell_.width() > 0 ? std::max(right_ - left_, 0) / cell_.width() : 0;
}

ui::Rect ProgressStrip::cellRect(int cell) const {
    return ui::Rect::ofSize(left_ + cell * cell_.width(), top_, cell_.width(), cell_.height());
}

ui::Surface* ProgressStrip::windowSurface() const {
    if (ui::Surface* paint = manager_.paintContext()) return paint;
    return manager_.window() ? &manager_.window()->surface() : nullptr;
}

void ProgressStrip::progressStep(int total) {
    total = std::max(total, cellCount_);
    // No cells: nothing to fill (and nothing to divide by).
    if (total <= 0) return;
    const int cell = static_cast<int>(int64_t{cellCount_} * counter_ / total);
    ui::Surface* window = windowSurface();
    if (cell != lastCell_ && window) {
        lastCell_ = cell;
        const ui::Rect r = cellRect(cell);
        ui::Surface& off = manager_.offscreen();
        off.blit(r.left, r.top, r.width(), r.height(), *window, r.left, r.top);
        drawTransparent(cell_, off, r.left, r.top, 0, 0);
        manager_.copyOut(*window, r);
    }
    counter_ = std::min(counter_ + 1, total - 1);
}

void ProgressStrip::progressClear() {
    if (ui::Surface* window = windowSurface()) {
        const ui::Rect r = rect();
        tile(manager_.background(), *window, r.left, r.top, r.right, r.bottom);
    }
    counter_ = 0;
    lastCell_ = -1;
}

}  // namespace qm::fw
