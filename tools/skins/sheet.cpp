#include "tools/skins/sheet.h"

#include <algorithm>

namespace qm::skins {

ui::Surface contactSheet(const std::vector<SkinPicture>& skins, const CursorPicture& cursor, int zoom) {
    const ui::Surface* paper = nullptr;
    for (const auto& s : skins)
        if (s.id == 117) paper = &s.pixels;
    constexpr int kWidth = 1200, kGap = 12;
    // Lay the small skins out in rows; the texture itself is shown unscaled.
    int x = kGap, y = kGap, rowHeight = 0;
    struct Placed {
        const ui::Surface* image;
        const CursorPicture* cursor;
        int x, y;
    };
    std::vector<Placed> placed;
    auto place = [&](const ui::Surface* image, const CursorPicture* c, int w, int h) {
        if (x + w + kGap > kWidth) {
            x = kGap;
            y += rowHeight + kGap;
            rowHeight = 0;
        }
        placed.push_back({image, c, x, y});
        x += w + kGap;
        rowHeight = std::max(rowHeight, h);
    };
    for (const auto& s : skins)
        if (s.id != 117) place(&s.pixels, nullptr, s.pixels.width() * zoom, s.pixels.height() * zoom);
    place(nullptr, &cursor, 20 * zoom, 21 * zoom);
    ui::Surface out(kWidth, y + rowHeight + kGap, ui::kWhite);
    for (int ty = 0; paper && ty < out.height(); ty += paper->height())
        for (int tx = 0; tx < out.width(); tx += paper->width()) out.blit(tx, ty, *paper);
    for (const Placed& p : placed) {
        const ui::Surface& image = p.image ? *p.image : p.cursor->pixels;
        const int w = p.image ? image.width() : 20, h = p.image ? image.height() : 21;
        for (int v = 0; v < h * zoom; ++v)
            for (int u = 0; u < w * zoom; ++u) {
                const int sx = u / zoom, sy = v / zoom;
                const ui::Colour c = image.pixel(sx, sy);
                const bool shows = p.image ? c != ui::kWhite : p.cursor->opaque[static_cast<size_t>(sy * 32 + sx)];
                if (shows) out.setPixel(p.x + u, p.y + v, c);
            }
    }
    return out;
}

}  // namespace qm::skins
