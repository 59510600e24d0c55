#include "framework/controls/skin_drawing.h"

namespace qm::fw {

void tile(const Skin& skin, ui::Surface& target, int left, int top, int right, int bottom) {
    const ui::Surface* image = skin.image();
    if (!image || image->isEmpty()) return;
    const ui::Rect area = ui::Rect{left, top, right, bottom}.intersection(target.bounds());
    if (area.isEmpty()) return;
    const int w = image->width(), h = image->height();
    // The first copy at or before the area's corner, counted from (0, 0).
    const int startX = area.left - area.left % w;
    const int startY = area.top - area.top % h;
    for (int ty = startY; ty < area.bottom; ty += h)
        for (int tx = startX; tx < area.right; tx += w) {
            const ui::Rect piece = ui::Rect::ofSize(tx, ty, w, h).intersection(area);
            target.blit(piece.left, piece.top, piece.width(), piece.height(), *image,
                        piece.left - tx, piece.top - ty);
        }
}

void drawTransparent(const Skin& skin, ui::Surface& target, int x, int y, int dx, int dy) {
    const int left = x + dx, top = y + dy;
    const ui::Surface* image = skin.image();
    if (!image) {
        target.fill(ui::Rect::ofSize(left, top, skin.width(), skin.height()), ui::kBlack);
        return;
    }
    const int w = image->width(), h = image->height();
    const int middle = w / 2;
    // middle, middle - 1, middle + 1, middle - 2, ...: 2 * w steps cover every column.
    for (int step = 0; step < 2 * w; ++step) {
        const int column = step % 2 == 0 ? middle + step / 2 : middle - (step + 1) / 2;
        if (column < 0 || column >= w) continue;
        for (int row = 0; row < h; ++row) {
            const ui::Colour c = image->pixel(column, row);
            if (c != kTransparentColour) target.setPixel(left + column, top + row, c);
        }
    }
}

void copyColumns(const Skin& skin, ui::Surface& target, int firstColumn, int x, int y, int endColumn) {
    const ui::Surface* image = skin.image();
    if (!image || endColumn <= firstColumn) return;
    target.blit(x, y, endColumn - firstColumn, image->height(), *image, firstColumn, 0);
}

void copyRegion(const Skin& skin, ui::Surface& target, int x, int y, int right, int bottom,
                int sourceX, int sourceY) {
    const ui::Surface* image = skin.image();
    if (!image || right <= x || bottom <= y) return;
    target.blit(x, y, right - x, bottom - y, *image, sourceX, sourceY);
}

void copyRegionTransposed(const Skin& skin, ui::Surface& target, int x, int y, int right,
                          int bottom, int sourceX, int sourceY) {
    const ui::Surface* image = skin.image();
    if (!image) return;
    for (int ty = y; ty < bottom; ++ty)
        for (int tx = x; tx < right; ++tx) {
            const ui::Colour c = image->pixel(sourceX + (ty - y), sourceY + (tx - x));
            if (c != ui::kInvalidColour) target.setPixel(tx, ty, c);
        }
}

}  // namespace qm::fw
