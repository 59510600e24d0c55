// Drawing a skin into a surface: tiled as a background, transparently (white
// shows what is below), or as opaque pieces of a strip.
#pragma once

#include "framework/controls/skin.h"
#include "platform/ui/surface.h"

namespace qm::fw {

// The pure white that drawTransparent leaves out.
constexpr ui::Colour kTransparentColour = 0xFFFFFF;

// Fills [left, right) x [top, bottom) with copies of the skin laid edge to
// edge from the target's origin, so neighbouring controls line up.
void tile(const Skin& skin, ui::Surface& target, int left, int top, int right, int bottom);

// The skin at (x + dx, y + dy) without its white pixels. Columns go from the
// middle outward, alternately left and right; a skin without an image draws a
// black block of its size.
void drawTransparent(const Skin& skin, ui::Surface& target, int x, int y, int dx, int dy);

// Skin columns [firstColumn, endColumn), full height, opaque at (x, y).
void copyColumns(const Skin& skin, ui::Surface& target, int firstColumn, int x, int y, int endColumn);

// The target rectangle [x, right) x [y, bottom) from the skin at
// (sourceX, sourceY); the transposed form reads rows as columns, so a
// horizontal strip serves a vertical control.
void copyRegion(const Skin& skin, ui::Surface& target, int x, int y, int right, int bottom,
                int sourceX, int sourceY);
void copyRegionTransposed(const Skin& skin, ui::Surface& target, int x, int y, int right,
                          int bottom, int sourceX, int sourceY);

}  // namespace qm::fw
