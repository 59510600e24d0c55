#include "host/contact_sheet.h"

#include <algorithm>
#include <cctype>
#include <cstdint>

namespace qm::host {
namespace {

constexpr int kGlyphWidth = 5, kGlyphHeight = 7, kScale = 2, kMargin = 12;
constexpr int kLineHeight = kGlyphHeight * kScale + 4;
constexpr int kCaptionHeight = 2 * kLineHeight + 6;  // two lines

// A 5 x 7 face, one row a string, '#' set.
struct Glyph {
    char c;
    const char* rows[kGlyphHeight];
};
constexpr Glyph kGlyphs[] = {
    {'A', {".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
    {'B', {"####.", "#...#", "#...#", "####.", "#...#", "#...#", "####."}},
    {'C', {".###.", "#...#", "#....", "#....", "#....", "#...#", ".###."}},
    {'D', {"####.", "#...#", "#...#", "#...#", "#...#", "#...#", "####."}},
    {'E', {"#####", "#....", "#....", "####.", "#....", "#....", "#####"}},
    {'F', {"#####", "#....", "#....", "####.", "#....", "#....", "#...."}},
    {'G', {".###.", "#...#", "#....", "#.###", "#...#", "#...#", ".####"}},
    {'H', {"#...#", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
    {'I', {".###.", "..#..", "..#..", "..#..", "..#..", "..#..", ".###."}},
    {'J', {"..###", "...#.", "...#.", "...#.", "...#.", "#..#.", ".##.."}},
    {'K', {"#...#", "#..#.", "#.#..", "##...", "#.#..", "#..#.", "#...#"}},
    {'L', {"#....", "#....", "#....", "#....", "#....", "#....", "#####"}},
    {'M', {"#...#", "##.##", "#.#.#", "#.#.#", "#...#", "#...#", "#...#"}},
    {'N', {"#...#", "#...#", "##..#", "#.#.#", "#..##", "#...#", "#...#"}},
    {'O', {".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
    {'P', {"####.", "#...#", "#...#", "####.", "#....", "#....", "#...."}},
    {'Q', {".###.", "#...#", "#...#", "#...#", "#.#.#", "#..#.", ".##.#"}},
    {'R', {"####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"}},
    {'S', {".####", "#....", "#....", ".###.", "....#", "....#", "####."}},
    {'T', {"#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."}},
    {'U', {"#...#", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
    {'V', {"#...#", "#...#", "#...#", "#...#", "#...#", ".#.#.", "..#.."}},
    {'W', {"#...#", "#...#", "#...#", "#.#.#", "#.#.#", "#.#.#", ".#.#."}},
    {'X', {"#...#", "#...#", ".#.#.", "..#..", ".#.#.", "#...#", "#...#"}},
    {'Y', {"#...#", "#...#", ".#.#.", "..#..", "..#..", "..#..", "..#.."}},
    {'Z', {"#####", "....#", "...#.", "..#..", ".#...", "#....", "#####"}},
    {'0', {".###.", "#...#", "#..##", "#.#.#", "##..#", "#...#", ".###."}},
    {'1', {"..#..", ".##..", "..#..", "..#..", "..#..", "..#..", ".###."}},
    {'2', {".###.", "#...#", "....#", "...#.", "..#..", ".#...", "#####"}},
    {'3', {"#####", "...#.", "..#..", "...#.", "....#", "#...#", ".###."}},
    {'4', {"...#.", "..##.", ".#.#.", "#..#.", "#####", "...#.", "...#."}},
    {'5', {"#####", "#....", "####.", "....#", "....#", "#...#", ".###."}},
    {'6', {"..##.", ".#...", "#....", "####.", "#...#", "#...#", ".###."}},
    {'7', {"#####", "....#", "...#.", "..#..", ".#...", ".#...", ".#..."}},
    {'8', {".###.", "#...#", "#...#", ".###.", "#...#", "#...#", ".###."}},
    {'9', {".###.", "#...#", "#...#", ".####", "....#", "...#.", ".##.."}},
    {'-', {".....", ".....", ".....", "#####", ".....", ".....", "....."}},
    {'.', {".....", ".....", ".....", ".....", ".....", ".##..", ".##.."}},
    {',', {".....", ".....", ".....", ".....", ".##..", "..#..", ".#..."}},
    {':', {".....", ".##..", ".##..", ".....", ".##..", ".##..", "....."}},
    {'!', {"..#..", "..#..", "..#..", "..#..", "..#..", ".....", "..#.."}},
    {'\'', {"..#..", "..#..", ".#...", ".....", ".....", ".....", "....."}},
    {'(', {"...#.", "..#..", ".#...", ".#...", ".#...", "..#..", "...#."}},
    {')', {".#...", "..#..", "...#.", "...#.", "...#.", "..#..", ".#..."}},
    {'/', {".....", "....#", "...#.", "..#..", ".#...", "#....", "....."}},
};

const Glyph* glyphOf(char c) {
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    for (const Glyph& g : kGlyphs)
        if (g.c == c) return &g;
    return nullptr;  // a blank
}

struct Canvas {
    Image& image;
    void set(int x, int y, uint8_t r, uint8_t g, uint8_t b) {
        if (x < 0 || y < 0 || x >= image.width || y >= image.height) return;
        uint8_t* p = image.pixels.data() + (static_cast<size_t>(y) * static_cast<size_t>(image.width) + static_cast<size_t>(x)) * 3;
        p[0] = r;
        p[1] = g;
        p[2] = b;
    }
    // Broken after ", " onto a second line when it does not fit on one.
    void caption(const std::string& s, int x, int y, int maxWidth) {
        const size_t fits = static_cast<size_t>(std::max(maxWidth / ((kGlyphWidth + 1) * kScale), 0));
        const size_t comma = s.find(", ");
        if (s.size() <= fits || comma == std::string::npos) return text(s, x, y, maxWidth);
        text(s.substr(0, comma + 1), x, y, maxWidth);
        text(s.substr(comma + 2), x, y + kLineHeight, maxWidth);
    }
    void text(const std::string& s, int x, int y, int maxWidth) {
        const int advance = (kGlyphWidth + 1) * kScale;
        const size_t fits = static_cast<size_t>(std::max(maxWidth / advance, 0));
        for (size_t i = 0; i < s.size() && i < fits; ++i, x += advance) {
            const Glyph* g = glyphOf(s[i]);
            if (!g) continue;
            for (int row = 0; row < kGlyphHeight; ++row)
                for (int col = 0; col < kGlyphWidth; ++col)
                    if (g->rows[row][col] == '#')
                        for (int dy = 0; dy < kScale; ++dy)
                            for (int dx = 0; dx < kScale; ++dx) set(x + col * kScale + dx, y + row * kScale + dy, 30, 30, 30);
        }
    }
};

// The sample of (x, y) as 8-bit RGB.
void rgbAt(const Image& image, int32_t x, int32_t y, uint32_t out[3]) {
    const int shift = image.depth == 16 ? 8 : 0;
    for (int c = 0; c < 3; ++c) {
        const int channel = image.colour == ColourSpace::Grey ? 0 : c;
        out[c] = image.sample(x, y, channel) >> shift;
    }
    if (image.colour == ColourSpace::CMYK) {
        const uint32_t k = image.sample(x, y, 3) >> shift;
        for (int c = 0; c < 3; ++c) out[c] = (255 - out[c]) * (255 - k) / 255;
    }
}

}  // namespace

Image contactSheet(const std::vector<SheetEntry>& entries, int columns, int cellWidth) {
    columns = std::max(1, std::min(columns, static_cast<int>(entries.size())));
    const int rows = (static_cast<int>(entries.size()) + columns - 1) / columns;
    // Cells as high as the highest reduced picture.
    int cellHeight = 1;
    for (const SheetEntry& e : entries)
        if (e.image->width > 0 && e.image->height > 0)
            cellHeight = std::max(cellHeight, static_cast<int>(e.image->height /
                                                                std::max({static_cast<double>(e.image->width) / cellWidth,
                                                                          static_cast<double>(e.image->height) / cellWidth, 1.0})));
    Image sheet;
    sheet.colour = ColourSpace::RGB;
    sheet.width = kMargin + columns * (cellWidth + kMargin);
    sheet.height = kMargin + rows * (cellHeight + kCaptionHeight + kMargin);
    sheet.pixels.assign(sheet.rowBytes() * static_cast<size_t>(sheet.height), 235);
    Canvas canvas{sheet};
    for (size_t n = 0; n < entries.size(); ++n) {
        const Image& im = *entries[n].image;
        const int cx = kMargin + static_cast<int>(n % static_cast<size_t>(columns)) * (cellWidth + kMargin);
        const int cy = kMargin + static_cast<int>(n / static_cast<size_t>(columns)) * (cellHeight + kCaptionHeight + kMargin);
        if (im.width > 0 && im.height > 0) {
            // One reduction for both sides keeps the proportions.
            const double scale = std::max({static_cast<double>(im.width) / cellWidth, static_cast<double>(im.height) / cellWidth, 1.0});
            const int w = std::max(1, static_cast<int>(im.width / scale)), h = std::max(1, static_cast<int>(im.height / scale));
            const int ox = cx + (cellWidth - w) / 2, oy = cy + (cellHeight - h);
            for (int y = 0; y < h; ++y) {
                const int32_t y0 = static_cast<int32_t>(y * scale), y1 = std::max(y0 + 1, static_cast<int32_t>((y + 1) * scale));
                for (int x = 0; x < w; ++x) {
                    const int32_t x0 = static_cast<int32_t>(x * scale), x1 = std::max(x0 + 1, static_cast<int32_t>((x + 1) * scale));
                    uint64_t sum[3] = {0, 0, 0}, n2 = 0;
                    for (int32_t sy = y0; sy < y1 && sy < im.height; ++sy)
                        for (int32_t sx = x0; sx < x1 && sx < im.width; ++sx) {
                            uint32_t rgb[3];
                            rgbAt(im, sx, sy, rgb);
                            for (int c = 0; c < 3; ++c) sum[c] += rgb[c];
                            ++n2;
                        }
                    if (n2 == 0) continue;
                    canvas.set(ox + x, oy + y, static_cast<uint8_t>(sum[0] / n2), static_cast<uint8_t>(sum[1] / n2),
                               static_cast<uint8_t>(sum[2] / n2));
                }
            }
        }
        canvas.caption(entries[n].caption, cx, cy + cellHeight + 6, cellWidth);
    }
    return sheet;
}

}  // namespace qm::host
