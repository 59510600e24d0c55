// Surfaces: 24-bit top-down BGR bitmaps with the drawing state of a memory
// device context (pen, brush, text colour, background mode, font).
//
// A window's client area is a Surface too (Window::surface()); what is drawn
// there reaches the screen at the next look at the message queue.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "platform/ui/geometry.h"

namespace qm::ui {

class Font;

// 0x00BBGGRR, as Windows stores a COLORREF.
using Colour = uint32_t;
constexpr Colour rgb(int r, int g, int b) {
    return static_cast<Colour>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}
constexpr int redOf(Colour c) { return static_cast<int>(c & 0xFF); }
constexpr int greenOf(Colour c) { return static_cast<int>((c >> 8) & 0xFF); }
constexpr int blueOf(Colour c) { return static_cast<int>((c >> 16) & 0xFF); }
constexpr Colour kBlack = 0x000000;
constexpr Colour kWhite = 0xFFFFFF;
// What pixel() answers outside the surface (CLR_INVALID).
constexpr Colour kInvalidColour = 0xFFFFFFFF;

enum class BackgroundMode { Transparent, Opaque };

class Surface {
public:
    Surface() = default;
    // Filled with `fill`.
    Surface(int width, int height, Colour fill = kWhite);

    int width() const { return width_; }
    int height() const { return height_; }
    Size size() const { return {width_, height_}; }
    Rect bounds() const { return {0, 0, width_, height_}; }
    bool isEmpty() const { return width_ <= 0 || height_ <= 0; }
    // Bytes of a row: width * 3 rounded up to a multiple of 4, as in a DIB.
    int stride() const { return stride_; }

    // Raw rows (B, G, R per pixel). Writing through these marks the whole
    // surface as changed.
    std::span<const uint8_t> pixels() const { return bytes_; }
    std::span<uint8_t> pixels();
    std::span<const uint8_t> row(int y) const;
    std::span<uint8_t> row(int y);

    Colour pixel(int x, int y) const;  // kInvalidColour outside
    void setPixel(int x, int y, Colour c);  // ignored outside

    // Drawing state.
    void setPen(std::optional<Colour> c) { pen_ = c; }      // none: no outline
    void setBrush(std::optional<Colour> c) { brush_ = c; }  // none: hollow
    std::optional<Colour> pen() const { return pen_; }
    std::optional<Colour> brush() const { return brush_; }
    void setTextColour(Colour c) { textColour_ = c; }
    Colour textColour() const { return textColour_; }
    void setBackgroundMode(BackgroundMode m) { backgroundMode_ = m; }
    BackgroundMode backgroundMode() const { return backgroundMode_; }
    void setBackgroundColour(Colour c) { backgroundColour_ = c; }
    // The font for text; none selects the default interface font.
    void selectFont(std::shared_ptr<const Font> font) { font_ = std::move(font); }
    const std::shared_ptr<const Font>& font() const;

    // Every drawing operation clips to the surface.
    void fill(const Rect& r, Colour c);       // FillRect with a solid brush
    void frame(const Rect& r, Colour c);      // FrameRect: one pixel inside r
    // Rectangle(): outline with the pen, inside with the brush.
    void rectangle(const Rect& r);
    // Copies w x h pixels of src from (sx, sy) to (x, y); both sides clipped.
    void blit(int x, int y, int w, int h, const Surface& src, int sx, int sy);
    void blit(int x, int y, const Surface& src) { blit(x, y, src.width(), src.height(), src, 0, 0); }

    // TextOut: (x, y) is the top-left corner of the first character cell.
    // Transparent mode leaves the pixels between the strokes; opaque mode
    // fills the text's extent with the background colour first.
    void drawText(int x, int y, std::string_view utf8);
    Size textExtent(std::string_view utf8) const;

    // The bounding box of what changed since the last takeChanged().
    Rect takeChanged();
    void markChanged(const Rect& r) { changed_ = changed_.united(r.intersection(bounds())); }

private:
    int width_ = 0;
    int height_ = 0;
    int stride_ = 0;
    std::vector<uint8_t> bytes_;
    std::optional<Colour> pen_ = kBlack;
    std::optional<Colour> brush_ = kWhite;
    Colour textColour_ = kBlack;
    Colour backgroundColour_ = kWhite;
    BackgroundMode backgroundMode_ = BackgroundMode::Opaque;
    mutable std::shared_ptr<const Font> font_;
    Rect changed_;
};

}  // namespace qm::ui
