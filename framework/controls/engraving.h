// Lines and frames cut into the background: the slider tracks and the frames
// around pictures.
#pragma once

#include "platform/ui/surface.h"

namespace qm::fw {

// Written as the system stores colours, blue in the high byte.
constexpr ui::Colour kEngraveHighlight = 0xE3F4FF;
constexpr ui::Colour kEngraveMidTone = 0xA0ABB3;
constexpr ui::Colour kEngraveShadow = 0x060652;

// A line three pixels wide from (x0, y0) towards (x1, y1), the end excluded,
// stepping along the longer axis: shadow above (left of) the line, mid tone
// on it, highlight below (right of) it.
void engravedLine(ui::Surface& target, int x0, int y0, int x1, int y1);

// Two rings just outside [left, right) x [top, bottom): on the left and top
// highlight outside and black inside, on the right and bottom black outside
// and highlight inside, so the rectangle looks set into the surface.
void bevelFrame(ui::Surface& target, int left, int top, int right, int bottom);

}  // namespace qm::fw
