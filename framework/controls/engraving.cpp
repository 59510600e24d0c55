#include "framework/controls/engraving.h"

#include <cstdlib>

namespace qm::fw {

void engravedLine(ui::Surface& target, int x0, int y0, int x1, int y1) {
    const int dx = x1 - x0, dy = y1 - y0;
    const bool horizontal = std::abs(dx) >= std::abs(dy);
    const int steps = horizontal ? std::abs(dx) : std::abs(dy);
    for (int i = 0; i < steps; ++i) {
        // Integer interpolation of the shorter axis, truncating toward zero.
        const int x = horizontal ? x0 + (dx > 0 ? i : -i) : x0 + dx * i / steps;
        const int y = horizontal ? y0 + dy * i / steps : y0 + (dy > 0 ? i : -i);
        const int ax = horizontal ? 0 : 1, ay = horizontal ? 1 : 0;
        target.setPixel(x + ax, y + ay, kEngraveHighlight);
        target.setPixel(x, y, kEngraveMidTone);
        target.setPixel(x - ax, y - ay, kEngraveShadow);
    }
}

namespace {

// One ring around r: top and left in `lead`, right and bottom in `trail`.
void ring(ui::Surface& target, const ui::Rect& r, ui::Colour lead, ui::Colour trail) {
    target.fill({r.left, r.top, r.right, r.top + 1}, lead);
    target.fill({r.left, r.top, r.left + 1, r.bottom}, lead);
    target.fill({r.left + 1, r.bottom - 1, r.right, r.bottom}, trail);
    target.fill({r.right - 1, r.top + 1, r.right, r.bottom}, trail);
}

}  // namespace

void bevelFrame(ui::Surface& target, int left, int top, int right, int bottom) {
    const ui::Rect inside{left, top, right, bottom};
    ring(target, inside.inflatedBy(2, 2), kEngraveHighlight, ui::kBlack);
    ring(target, inside.inflatedBy(1, 1), ui::kBlack, kEngraveHighlight);
}

}  // namespace qm::fw
