#include "platform/ui/surface.h"

#include <algorithm>
#include <cstring>

#include "platform/ui/font.h"

namespace qm::ui {

Surface::Surface(int width, int height, Colour fill)
    : width_(std::max(width, 0)), height_(std::max(height, 0)) {
    stride_ = (width_ * 3 + 3) & ~3;
    bytes_.assign(static_cast<size_t>(stride_) * static_cast<size_t>(height_), 0);
    this->fill(bounds(), fill);
    changed_ = {};
}

std::span<uint8_t> Surface::pixels() {
    markChanged(bounds());
    return bytes_;
}

std::span<const uint8_t> Surface::row(int y) const {
    if (y < 0 || y >= height_) return {};
    return std::span<const uint8_t>(bytes_).subspan(static_cast<size_t>(y) * stride_,
                                                     static_cast<size_t>(width_) * 3);
}

std::span<uint8_t> Surface::row(int y) {
    if (y < 0 || y >= height_) return {};
    markChanged({0, y, width_, y + 1});
    return std::span<uint8_t>(bytes_).subspan(static_cast<size_t>(y) * stride_,
                                               static_cast<size_t>(width_) * 3);
}

Colour Surface::pixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return kInvalidColour;
    const uint8_t* p = &bytes_[static_cast<size_t>(y) * stride_ + static_cast<size_t>(x) * 3];
    return rgb(p[2], p[1], p[0]);
}

void Surface::setPixel(int x, int y, Colour c) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
    uint8_t* p = &bytes_[static_cast<size_t>(y) * stride_ + static_cast<size_t>(x) * 3];
    p[0] = static_cast<uint8_t>(blueOf(c));
    p[1] = static_cast<uint8_t>(greenOf(c));
    p[2] = static_cast<uint8_t>(redOf(c));
    markChanged({x, y, x + 1, y + 1});
}

const std::shared_ptr<const Font>& Surface::font() const {
    if (!font_) font_ = Font::interfaceFont();
    return font_;
}

void Surface::fill(const Rect& r, Colour c) {
    Rect clip = r.intersection(bounds());
    if (clip.isEmpty()) return;
    const uint8_t b = static_cast<uint8_t>(blueOf(c)), g = static_cast<uint8_t>(greenOf(c)),
                  rd = static_cast<uint8_t>(redOf(c));
    for (int y = clip.top; y < clip.bottom; ++y) {
        uint8_t* p = &bytes_[static_cast<size_t>(y) * stride_ + static_cast<size_t>(clip.left) * 3];
        for (int x = clip.left; x < clip.right; ++x, p += 3) {
            p[0] = b;
            p[1] = g;
            p[2] = rd;
        }
    }
    markChanged(clip);
}

void Surface::frame(const Rect& r, Colour c) {
    if (r.isEmpty()) return;
    fill({r.left, r.top, r.right, r.top + 1}, c);
    fill({r.left, r.bottom - 1, r.right, r.bottom}, c);
    fill({r.left, r.top, r.left + 1, r.bottom}, c);
    fill({r.right - 1, r.top, r.right, r.bottom}, c);
}

void Surface::rectangle(const Rect& r) {
    if (r.isEmpty()) return;
    if (brush_) fill(pen_ ? r.inflatedBy(-1, -1) : r, *brush_);
    if (pen_) frame(r, *pen_);
}

void Surface::blit(int x, int y, int w, int h, const Surface& src, int sx, int sy) {
    // Clip against the source, then the destination, moving both origins.
    if (sx < 0) { x -= sx; w += sx; sx = 0; }
    if (sy < 0) { y -= sy; h += sy; sy = 0; }
    if (x < 0) { sx -= x; w += x; x = 0; }
    if (y < 0) { sy -= y; h += y; y = 0; }
    w = std::min({w, src.width_ - sx, width_ - x});
    h = std::min({h, src.height_ - sy, height_ - y});
    if (w <= 0 || h <= 0) return;
    const size_t bytes = static_cast<size_t>(w) * 3;
    if (&src == this) {
        // Overlapping copy within one surface: go in the safe direction.
        if (y > sy) {
            for (int r = h - 1; r >= 0; --r)
                std::memmove(&bytes_[static_cast<size_t>(y + r) * stride_ + static_cast<size_t>(x) * 3],
                             &bytes_[static_cast<size_t>(sy + r) * stride_ + static_cast<size_t>(sx) * 3], bytes);
        } else {
            for (int r = 0; r < h; ++r)
                std::memmove(&bytes_[static_cast<size_t>(y + r) * stride_ + static_cast<size_t>(x) * 3],
                             &bytes_[static_cast<size_t>(sy + r) * stride_ + static_cast<size_t>(sx) * 3], bytes);
        }
    } else {
        for (int r = 0; r < h; ++r)
            std::memcpy(&bytes_[static_cast<size_t>(y + r) * stride_ + static_cast<size_t>(x) * 3],
                        &src.bytes_[static_cast<size_t>(sy + r) * src.stride_ + static_cast<size_t>(sx) * 3],
                        bytes);
    }
    markChanged({x, y, x + w, y + h});
}

void Surface::drawText(int x, int y, std::string_view utf8) {
    const std::shared_ptr<const Font>& f = font();
    if (!f || utf8.empty()) return;
    if (backgroundMode_ == BackgroundMode::Opaque) {
        Size e = f->extent(utf8);
        fill(Rect::ofSize(x, y, e.width, e.height), backgroundColour_);
    }
    Size drawn = f->draw(*this, x, y, utf8, textColour_);
    markChanged(Rect::ofSize(x, y, drawn.width, drawn.height));
}

Size Surface::textExtent(std::string_view utf8) const {
    const std::shared_ptr<const Font>& f = font();
    return f ? f->extent(utf8) : Size{};
}

Rect Surface::takeChanged() {
    Rect r = changed_;
    changed_ = {};
    return r;
}

}  // namespace qm::ui
