#include "tools/skins/artwork.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <numbers>

#include "tools/skins/canvas.h"

namespace qm::skins {
namespace {

constexpr double kPi = std::numbers::pi;

// The palette.
const Rgb kPaper{224, 215, 200};       // the texture's mean: what edges blend into
const Rgb kInk{70, 58, 49};
const Rgb kRim{124, 108, 92};
const Rgb kFaceTop{250, 246, 238};
const Rgb kFaceBottom{216, 206, 190};
const Rgb kDrop{86, 66, 50};
const Rgb kGreen{48, 118, 66};
const Rgb kRed{166, 56, 44};
const Rgb kAmber{224, 136, 40};
const Rgb kAmberLight{250, 200, 120};
const Rgb kAmberDark{176, 92, 24};

// ---- background --------------------------------------------------------------

// Deterministic hash noise, the same on every machine.
double hash01(uint32_t x, uint32_t y, uint32_t seed) {
    uint32_t h = x * 0x8DA6B343u ^ y * 0xD8163841u ^ seed * 0xCB1AB31Fu;
    h ^= h >> 13;
    h *= 0x5BD1E995u;
    h ^= h >> 15;
    return (h & 0xFFFFFF) / double(0xFFFFFF);
}

// Smooth value noise on a lattice of cellsX x cellsY cells over the tile,
// wrapping so that the 300 x 300 texture tiles without a seam.
double tiledNoise(double u, double v, int cellsX, int cellsY, uint32_t seed) {
    const double x = u * cellsX, y = v * cellsY;
    const int x0 = static_cast<int>(std::floor(x)), y0 = static_cast<int>(std::floor(y));
    const double fx = x - x0, fy = y - y0;
    auto at = [&](int i, int j) {
        return hash01(static_cast<uint32_t>((i % cellsX + cellsX) % cellsX),
                      static_cast<uint32_t>((j % cellsY + cellsY) % cellsY), seed);
    };
    auto smooth = [](double t) { return t * t * (3 - 2 * t); };
    const double sx = smooth(fx), sy = smooth(fy);
    const double top = at(x0, y0) + (at(x0 + 1, y0) - at(x0, y0)) * sx;
    const double bottom = at(x0, y0 + 1) + (at(x0 + 1, y0 + 1) - at(x0, y0 + 1)) * sx;
    return top + (bottom - top) * sy - 0.5;
}

ui::Surface background() {
    constexpr int kSide = 300;
    Canvas c(kSide, kSide);
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x) {
            const double u = x / double(kSide), v = y / double(kSide);
            // Soft clouds, then fibres (long across, short down), then grain.
            const double cloud = tiledNoise(u, v, 5, 5, 1) * 3.0 + tiledNoise(u, v, 12, 12, 2) * 2.0;
            const double fibre = tiledNoise(u, v, 30, 150, 3) * 2.6 + tiledNoise(u, v, 60, 300, 4) * 1.6;
            const double grain = (hash01(static_cast<uint32_t>(x), static_cast<uint32_t>(y), 5) - 0.5) * 2.2;
            const double d = cloud + fibre + grain;
            c.set(x, y, {kPaper.r + d, kPaper.g + d * 0.95, kPaper.b + d * 0.85});
        }
    return c.toSurface(kPaper);
}

// ---- buttons -----------------------------------------------------------------

// A raised tile filling the picture but for its soft shadow one pixel below.
void tileFace(Canvas& c, const Rgb& top = kFaceTop, const Rgb& bottom = kFaceBottom) {
    const double w = c.width(), h = c.height();
    const double radius = std::min(w, h) >= 26 ? 5.0 : 3.5;
    c.fill(roundedBox(0.5, 1.5, w - 0.5, h - 0.3, radius), kDrop, 0.30);
    c.fill(roundedBox(0.5, 0.5, w - 0.5, h - 1.5, radius), kRim);
    c.fill(roundedBox(1.5, 1.5, w - 1.5, h - 2.5, radius - 1),
           [&](double, double y) { return mix(top, bottom, std::clamp((y - 1.5) / (h - 4), 0.0, 1.0)); });
    // A light edge along the top catches the light.
    c.fill(segment(radius, 2.0, w - radius, 2.0, 0.8), Rgb{255, 253, 248}, 0.8);
}

struct Glyph {
    double cx, cy;  // the face's centre
    double s;       // half the room for a glyph
};

Glyph glyphRoom(const Canvas& c) {
    const double h = c.height() - 2.0;
    return {c.width() / 2.0, h / 2.0 + 0.5, std::min<double>(c.width(), h) * 0.30};
}

// An arrow head whose tip is at (x, y), pointing along (dx, dy).
Shape arrowHead(double x, double y, double dx, double dy, double length, double width) {
    const double n = std::hypot(dx, dy);
    dx /= n, dy /= n;
    const double bx = x - dx * length, by = y - dy * length;
    return triangle(x, y, bx - dy * width / 2, by + dx * width / 2, bx + dy * width / 2, by - dx * width / 2);
}

// A stroke along an arc from a0 to a1 with a head at the a1 end.
Shape curvedArrow(double cx, double cy, double r, double a0, double a1, double stroke) {
    const double ex = cx + r * std::cos(a1), ey = cy - r * std::sin(a1);
    const double tx = -std::sin(a1), ty = -std::cos(a1);  // onward, on screen
    const double head = stroke * 2.4;
    return unite(arc(cx, cy, r, a0, a1 - 0.2, stroke),
                 arrowHead(ex + tx * head * 0.7, ey + ty * head * 0.7, tx, ty, head, head * 1.5));
}

// An arc over the top that comes down into an arrow head on one side.
void undoGlyph(Canvas& c, bool redo) {
    const Glyph g = glyphRoom(c);
    const double r = g.s * 0.95, cy = g.cy + g.s * 0.3;
    const double side = redo ? 1 : -1;
    c.fill(unite(arc(g.cx, cy, r, 0, kPi, 1.9), arrowHead(g.cx + side * r, cy + 4.4, 0, 1, 4.4, 5.6)), kInk);
}

void checkGlyph(Canvas& c) {
    const Glyph g = glyphRoom(c);
    const double s = g.s;
    c.fill(unite(segment(g.cx - s * 0.85, g.cy + s * 0.05, g.cx - s * 0.25, g.cy + s * 0.65, 3.0),
                 segment(g.cx - s * 0.25, g.cy + s * 0.65, g.cx + s * 0.9, g.cy - s * 0.7, 3.0)),
           kGreen);
}

void crossGlyph(Canvas& c, const Rgb& colour, double stroke, double reach = 0.7) {
    const Glyph g = glyphRoom(c);
    const double s = g.s * reach;
    c.fill(unite(segment(g.cx - s, g.cy - s, g.cx + s, g.cy + s, stroke),
                 segment(g.cx - s, g.cy + s, g.cx + s, g.cy - s, stroke)),
           colour);
}

void textGlyph(Canvas& c, const ui::Font& font, const std::string& text, const Rgb& colour) {
    const Glyph g = glyphRoom(c);
    const ui::Size size = font.extent(text);
    c.text(font, g.cx - size.width / 2.0, g.cy - font.cellHeight() / 2.0, text, colour);
}

void plusGlyph(Canvas& c, bool minus, double reach = 1.0) {
    const Glyph g = glyphRoom(c);
    const double s = std::min(g.s, (c.height() - 2) * 0.28) * reach + 1;
    Shape bar = segment(g.cx - s, g.cy, g.cx + s, g.cy, 2.0);
    if (!minus) bar = unite(bar, segment(g.cx, g.cy - s, g.cx, g.cy + s, 2.0));
    c.fill(bar, kInk);
}

// A die face of side `side` centred at (x, y) with the pips of `n`.
void die(Canvas& c, double x, double y, double side, int n) {
    c.fill(roundedBox(x - side / 2, y - side / 2, x + side / 2, y + side / 2, side * 0.22), kInk);
    c.fill(roundedBox(x - side / 2 + 1, y - side / 2 + 1, x + side / 2 - 1, y + side / 2 - 1, side * 0.18),
           Rgb{252, 249, 243});
    const double o = side * 0.25, r = std::max(0.9, side * 0.1);
    const int pips[7][9] = {{}, {0, 0, 0, 0, 1, 0, 0, 0, 0}, {1, 0, 0, 0, 0, 0, 0, 0, 1},
                            {1, 0, 0, 0, 1, 0, 0, 0, 1}, {1, 0, 1, 0, 0, 0, 1, 0, 1},
                            {1, 0, 1, 0, 1, 0, 1, 0, 1}, {1, 0, 1, 1, 0, 1, 1, 0, 1}};
    for (int i = 0; i < 9; ++i)
        if (pips[n][i]) c.fill(circle(x + (i % 3 - 1) * o, y + (i / 3 - 1) * o, r), kInk);
}

// Four corner marks around the glyph room: "the mask".
void cornerMarks(Canvas& c, double reach) {
    const Glyph g = glyphRoom(c);
    const double s = g.s * reach, l = s * 0.45;
    for (int sx : {-1, 1})
        for (int sy : {-1, 1}) {
            const double x = g.cx + sx * s, y = g.cy + sy * s;
            c.fill(unite(segment(x, y, x - sx * l, y, 1.3), segment(x, y, x, y - sy * l, 1.3)), kInk);
        }
}

void resetGlyph(Canvas& c, double scale) {
    const Glyph g = glyphRoom(c);
    c.fill(curvedArrow(g.cx, g.cy + 0.5, g.s * 0.85 * scale, 0.85 * kPi, 2.2 * kPi, 1.8), kInk);
}

void paletteGlyph(Canvas& c) {
    const Glyph g = glyphRoom(c);
    const double r = g.s * 0.48, o = g.s * 0.45;
    const Rgb colours[3] = {{196, 72, 56}, {70, 140, 88}, {64, 104, 170}};
    const double angles[3] = {kPi / 2, kPi * 7 / 6, kPi * 11 / 6};
    for (int i = 0; i < 3; ++i) {
        const double x = g.cx + o * std::cos(angles[i]), y = g.cy - o * std::sin(angles[i]);
        c.fill(circle(x, y, r + 0.9), kInk);
        c.fill(circle(x, y, r), colours[i]);
    }
}

void mosaicGlyph(Canvas& c) {
    const Glyph g = glyphRoom(c);
    const double s = g.s * 0.95, gap = 1.0;
    const Rgb tones[4] = {{150, 116, 84}, {214, 178, 120}, {108, 126, 110}, {182, 96, 70}};
    for (int i = 0; i < 4; ++i) {
        const double x = g.cx + (i % 2 ? gap / 2 : -s), y = g.cy + (i / 2 ? gap / 2 : -s);
        c.fill(roundedBox(x, y, x + s - gap / 2, y + s - gap / 2, 1.0), kInk);
        c.fill(roundedBox(x + 0.9, y + 0.9, x + s - gap / 2 - 0.9, y + s - gap / 2 - 0.9, 0.5), tones[i]);
    }
}

void gridGlyph(Canvas& c) {
    const Glyph g = glyphRoom(c);
    const double cell = g.s * 0.62, step = cell + 1.4;
    for (int j = -1; j <= 1; ++j)
        for (int i = -1; i <= 1; ++i) {
            const double x = g.cx + i * step - cell / 2, y = g.cy + j * step - cell / 2;
            c.fill(roundedBox(x, y, x + cell, y + cell, 0.6), kInk);
        }
}

void flipGlyph(Canvas& c) {
    const Glyph g = glyphRoom(c);
    const double s = g.s * 0.95;
    // The square's outline, its diagonal and arrows at both ends of it.
    c.fill(subtract(roundedBox(g.cx - s, g.cy - s, g.cx + s, g.cy + s, 1.0),
                    roundedBox(g.cx - s + 1.2, g.cy - s + 1.2, g.cx + s - 1.2, g.cy + s - 1.2, 0.5)),
           kInk, 0.55);
    const double a = s * 0.55;
    c.fill(unite(segment(g.cx - a, g.cy + a, g.cx + a, g.cy - a, 1.7),
                 unite(arrowHead(g.cx + s, g.cy - s, 1, -1, 4.0, 4.6), arrowHead(g.cx - s, g.cy + s, -1, 1, 4.0, 4.6))),
           kInk);
}

// A tray with an arrow going in (import) or out of it (export).
void trayGlyph(Canvas& c, bool out) {
    const Glyph g = glyphRoom(c);
    const double s = g.s;
    const double base = g.cy + s * 0.95;
    c.fill(unite(segment(g.cx - s, base - s * 0.55, g.cx - s, base, 1.7),
                 unite(segment(g.cx - s, base, g.cx + s, base, 1.7), segment(g.cx + s, base, g.cx + s, base - s * 0.55, 1.7))),
           kInk);
    const double top = g.cy - s * 1.0, bottom = g.cy + s * 0.35;
    if (out)
        c.fill(unite(segment(g.cx, bottom, g.cx, top + 3.5, 1.9), arrowHead(g.cx, top, 0, -1, 4.2, 5.6)), kInk);
    else
        c.fill(unite(segment(g.cx, top, g.cx, bottom - 3.5, 1.9), arrowHead(g.cx, bottom, 0, 1, 4.2, 5.6)), kInk);
}

void pageGlyph(Canvas& c, bool next) {
    const Glyph g = glyphRoom(c);
    const double s = g.s * 0.8, k = next ? 1 : -1;
    c.fill(triangle(g.cx + k * s, g.cy, g.cx - k * s * 0.7, g.cy - s, g.cx - k * s * 0.7, g.cy + s), kInk);
}

// A pattern tile with a plus (add) or a minus (remove) beside it.
void collectionGlyph(Canvas& c, bool add) {
    const Glyph g = glyphRoom(c);
    const double s = g.s;
    const double x0 = g.cx - s * 1.05, y0 = g.cy - s * 0.55;
    c.fill(roundedBox(x0, y0, x0 + s * 1.25, y0 + s * 1.25, 1.0), kInk);
    c.fill(roundedBox(x0 + 1, y0 + 1, x0 + s * 1.25 - 1, y0 + s * 1.25 - 1, 0.5), Rgb{206, 170, 116});
    const double px = g.cx + s * 0.55, py = g.cy - s * 0.45, a = s * 0.5;
    Shape sign = segment(px - a, py, px + a, py, 1.8);
    if (add) sign = unite(sign, segment(px, py - a, px, py + a, 1.8));
    c.fill(grow(sign, 0.9), Rgb{250, 246, 238});
    c.fill(sign, add ? kGreen : kRed);
}

ui::Surface button(int w, int h, const std::function<void(Canvas&)>& glyph) {
    Canvas c(w, h);
    tileFace(c);
    glyph(c);
    return c.toSurface(kPaper);
}

// ---- small parts ---------------------------------------------------------------

ui::Surface thumb() {
    Canvas c(11, 11);
    c.fill(circle(5.5, 6.0, 5.2), kDrop, 0.25);
    c.fill(circle(5.5, 5.5, 5.0), Rgb{92, 76, 62});
    c.fill(circle(5.5, 5.5, 4.0), [](double x, double y) {
        const double t = std::clamp(((x - 2.5) + (y - 2.5)) / 8.0, 0.0, 1.0);
        return mix(Rgb{253, 249, 242}, Rgb{196, 184, 166}, t);
    });
    c.fill(circle(5.5, 5.5, 1.2), kAmber);
    return c.toSurface(kPaper);
}

// Frames of 13 x 13, opaque: off, off pressed, on, on pressed.
ui::Surface selectorStrip() {
    Canvas c(52, 13);
    for (int frame = 0; frame < 4; ++frame) {
        const double x = frame * 13.0;
        const bool pressed = frame % 2 == 1, on = frame >= 2;
        // A small sunken well: dark above and left, light below and right.
        c.fill(roundedBox(x, 0, x + 13, 13, 0.01), Rgb{252, 248, 240});
        c.fill(roundedBox(x, 0, x + 12, 12, 0.01), Rgb{146, 132, 114});
        const double shade = pressed ? -14 : 0;
        c.fill(roundedBox(x + 1, 1, x + 12, 12, 0.01), [&](double, double y) {
            const Rgb w = mix(Rgb{214, 205, 190}, Rgb{238, 232, 221}, std::clamp((y - 1) / 10, 0.0, 1.0));
            return Rgb{w.r + shade, w.g + shade, w.b + shade};
        });
        const double cx = x + 6.5 + (pressed ? 0.5 : 0), cy = 6.5 + (pressed ? 0.5 : 0);
        if (on) {
            c.fill(circle(cx, cy, 3.6), kAmberDark);
            c.fill(circle(cx, cy, 2.7), [&](double px, double py) {
                return mix(kAmberLight, kAmber, std::clamp(std::hypot(px - cx + 0.8, py - cy + 0.8) / 3.0, 0.0, 1.0));
            });
        } else {
            c.fill(circle(cx, cy, 3.3), Rgb{150, 136, 120});
            c.fill(circle(cx, cy, 2.4), Rgb{200, 190, 174});
        }
    }
    return c.toSurface(kPaper);
}

// A well as the selector frames have it, pressed or not; its inside centre.
void well(Canvas& c, double x, bool pressed) {
    c.fill(roundedBox(x, 0, x + 13, 13, 0.01), Rgb{252, 248, 240});
    c.fill(roundedBox(x, 0, x + 12, 12, 0.01), Rgb{146, 132, 114});
    const double shade = pressed ? -14 : 0;
    c.fill(roundedBox(x + 1, 1, x + 12, 12, 0.01), [&](double, double y) {
        const Rgb w = mix(Rgb{214, 205, 190}, Rgb{238, 232, 221}, std::clamp((y - 1) / 10, 0.0, 1.0));
        return Rgb{w.r + shade, w.g + shade, w.b + shade};
    });
}

// Plaitwork's curve shapes, a frame a state (0, 2, 4, 6 and their pressed
// frames): each shape's curve drawn as a little graph.
ui::Surface curveShapeStrip() {
    auto curve = [&](int shape, double z) {
        switch (shape) {
        case 0: return z * z;
        case 1: return (std::cos((z + 1) * 4.71238898038469) + 1) * 0.4;
        case 2: return (std::cos(z * 2 * kPi) + 1) * 0.4;
        default: {
            const double a = (std::sin(-0.6283185307179586) + 1) * 0.5, b = (std::sin(0.6283185307179586) + 1) * 0.5;
            if (z >= 0.3 && z < 0.4) return a * (1 - 10 * (z - 0.3));
            if (z >= 0.4 && z < 0.6) return (z - 0.4) * 5;
            if (z >= 0.6 && z < 0.7) return a * (0.7 - z) * 10 + b;
            return (std::sin(z * kPi - kPi / 2) + 1) * 0.5;
        }
        }
    };
    Canvas c(104, 13);
    for (int frame = 0; frame < 8; ++frame) {
        const double x = frame * 13.0, d = frame % 2 == 1 ? 0.5 : 0;
        well(c, x, frame % 2 == 1);
        const int shape = frame / 2;
        const int steps = 24;
        for (int i = 0; i < steps; ++i) {
            const double z0 = static_cast<double>(i) / steps, z1 = static_cast<double>(i + 1) / steps;
            c.fill(segment(x + 2.5 + z0 * 8 + d, 10.5 - curve(shape, z0) * 8 + d, x + 2.5 + z1 * 8 + d,
                           10.5 - curve(shape, z1) * 8 + d, 1.1),
                   kAmberDark);
        }
    }
    return c.toSurface(kPaper);
}

// Plaitwork's strip orientations (0, 2, 4 and their pressed frames): the
// side shading falling to the left, to the right, or to both sides.
ui::Surface orientationStrip() {
    Canvas c(78, 13);
    for (int frame = 0; frame < 6; ++frame) {
        const double x = frame * 13.0, d = frame % 2 == 1 ? 0.5 : 0;
        well(c, x, frame % 2 == 1);
        const int orientation = frame / 2;
        const double cx = x + 6.5 + d, cy = 6.5 + d;
        if (orientation != 1) c.fill(triangle(cx - 4, cy, cx - 0.5, cy - 3.5, cx - 0.5, cy + 3.5), kAmberDark);
        if (orientation != 0) c.fill(triangle(cx + 4, cy, cx + 0.5, cy - 3.5, cx + 0.5, cy + 3.5), kAmberDark);
    }
    return c.toSurface(kPaper);
}

// Marbleloom's pattern rotations, a frame a state 0 to 7: an arrow turned
// by 45 degrees a state, counter-clockwise from pointing right.
ui::Surface rotationStrip() {
    Canvas c(104, 13);
    for (int frame = 0; frame < 8; ++frame) {
        const double x = frame * 13.0;
        well(c, x, false);
        const double a = frame * kPi / 4, dx = std::cos(a), dy = -std::sin(a);
        const double cx = x + 6.5, cy = 6.5;
        c.fill(segment(cx - dx * 3.8, cy - dy * 3.8, cx + dx * 1.5, cy + dy * 1.5, 1.3), kAmberDark);
        c.fill(arrowHead(cx + dx * 4.4, cy + dy * 4.4, dx, dy, 3.4, 4.6), kAmberDark);
    }
    return c.toSurface(kPaper);
}

// Marbleloom's eyedropper toggles: off, off pressed, on, on pressed; a
// pipette slanting down to the left, its bulb amber when on.
ui::Surface eyedropperStrip() {
    Canvas c(52, 13);
    for (int frame = 0; frame < 4; ++frame) {
        const double x = frame * 13.0, d = frame % 2 == 1 ? 0.5 : 0;
        const bool on = frame >= 2;
        well(c, x, frame % 2 == 1);
        const Rgb ink = on ? kAmberDark : kInk;
        c.fill(segment(x + 2.6 + d, 10.4 + d, x + 7.2 + d, 5.8 + d, 1.2), ink);
        c.fill(segment(x + 6.0 + d, 4.6 + d, x + 8.4 + d, 7.0 + d, 1.4), ink);
        c.fill(circle(x + 9.0 + d, 4.0 + d, 2.1), on ? kAmber : kRim);
    }
    return c.toSurface(kPaper);
}

// One cell of the progress strip: an amber bar with a transparent gap after it.
ui::Surface progressCell() {
    Canvas c(12, 5);
    c.fill(roundedBox(0.2, 0.2, 10.8, 4.8, 1.4), kAmberDark);
    c.fill(roundedBox(1.0, 1.0, 10.0, 4.0, 0.8), [](double, double y) {
        return mix(kAmberLight, kAmber, std::clamp((y - 1) / 2.5, 0.0, 1.0));
    });
    return c.toSurface(kPaper);
}

// '#' outline, '.' fill, anything else transparent; hot spot at the tip.
constexpr const char* kHand[] = {
    "      ##          ",
    "     #..#         ",
    "     #..#         ",
    "     #..#         ",
    "     #..#         ",
    "     #..####      ",
    "     #..#..####   ",
    "     #..#..#..### ",
    "     #..#..#..#.# ",
    "  ## #..#..#..#.# ",
    " #..##..........# ",
    " #...#..........# ",
    "  #.............# ",
    "   #............# ",
    "   #...........#  ",
    "    #..........#  ",
    "    #.........#   ",
    "     #........#   ",
    "     #........#   ",
    "     ##########   ",
};

}  // namespace

std::vector<SkinPicture> drawSkins() {
    const auto font = ui::Font::interfaceFont();
    const auto bold = ui::Font::create({17, false, true});
    std::vector<SkinPicture> out;
    auto add = [&out](uint32_t id, std::string purpose, ui::Surface pixels) {
        out.push_back({id, "skin" + std::to_string(id) + ".bmp", std::move(purpose), std::move(pixels)});
    };
    auto textButton = [&](const char* text) {
        return button(56, 20, [&](Canvas& c) { textGlyph(c, *font, text, kInk); });
    };

    add(117, "background texture, tiled behind every control", background());
    add(121, "slider thumb", thumb());
    add(128, "selector frames: off, off pressed, on, on pressed", selectorStrip());
    add(130, "progress strip cell", progressCell());
    add(131, "curve shapes, a frame a state", curveShapeStrip());
    add(132, "strip orientations, a frame a state", orientationStrip());
    add(133, "pattern rotations, a frame a state", rotationStrip());
    add(134, "eyedropper: off, off pressed, on, on pressed", eyedropperStrip());
    add(197, "random mask", button(22, 22, [](Canvas& c) {
            cornerMarks(c, 1.15);
            const Glyph g = glyphRoom(c);
            die(c, g.cx, g.cy, 9, 3);
        }));
    add(200, "undo", button(22, 22, [](Canvas& c) { undoGlyph(c, false); }));
    add(201, "redo", button(22, 22, [](Canvas& c) { undoGlyph(c, true); }));
    add(202, "apply the filter", button(30, 30, checkGlyph));
    add(203, "preset dialog: cancel", textButton("Cancel"));
    add(204, "preset dialog: delete", textButton("Delete"));
    add(205, "preset dialog: save", textButton("Save"));
    add(208, "increase (spacing, scaling)", button(22, 14, [](Canvas& c) { plusGlyph(c, false); }));
    add(209, "decrease (spacing, scaling)", button(22, 14, [](Canvas& c) { plusGlyph(c, true); }));
    add(210, "diagonal flip", button(22, 22, flipGlyph));
    add(211, "random settings", button(22, 22, [](Canvas& c) {
            const Glyph g = glyphRoom(c);
            die(c, g.cx, g.cy, 13, 5);
        }));
    add(212, "reset all settings", button(22, 22, [](Canvas& c) { resetGlyph(c, 1.0); }));
    add(213, "reset mask", button(22, 22, [](Canvas& c) {
            cornerMarks(c, 1.15);
            resetGlyph(c, 0.62);
        }));
    add(215, "help", button(22, 22, [&](Canvas& c) { textGlyph(c, bold ? *bold : *font, "?", kInk); }));
    add(218, "random colours", button(22, 22, paletteGlyph));
    add(219, "remove the pattern from the collection", button(22, 22, [](Canvas& c) { collectionGlyph(c, false); }));
    add(220, "add the pattern to the collection", button(22, 22, [](Canvas& c) { collectionGlyph(c, true); }));
    add(221, "back to the pattern viewer", button(22, 22, gridGlyph));
    add(222, "import a pattern", button(22, 22, [](Canvas& c) { trayGlyph(c, false); }));
    add(223, "export the pattern", button(22, 22, [](Canvas& c) { trayGlyph(c, true); }));
    add(224, "previous page", button(22, 22, [](Canvas& c) { pageGlyph(c, false); }));
    add(225, "next page", button(22, 22, [](Canvas& c) { pageGlyph(c, true); }));
    add(226, "random patterns", button(22, 22, mosaicGlyph));
    add(227, "random variations", button(22, 16, [](Canvas& c) {
            const Glyph g = glyphRoom(c);
            die(c, g.cx - 4.5, g.cy, 8, 2);
            die(c, g.cx + 4.5, g.cy, 8, 4);
        }));
    add(230, "pattern selector", button(22, 13, gridGlyph));
    add(229, "reset one layer", button(18, 18, [](Canvas& c) { resetGlyph(c, 1.0); }));
    add(235, "cancel the filter", button(30, 30, [](Canvas& c) { crossGlyph(c, kRed, 3.0); }));
    add(237, "preset dialog: export", textButton("Export"));
    return out;
}

CursorPicture drawLinkCursor() {
    CursorPicture p;
    p.pixels = ui::Surface(32, 32, ui::kBlack);
    p.opaque.assign(32 * 32, false);
    for (int y = 0; y < static_cast<int>(std::size(kHand)); ++y)
        for (int x = 0; kHand[y][x]; ++x) {
            const char ch = kHand[y][x];
            if (ch != '#' && ch != '.') continue;
            p.pixels.setPixel(x, y, ch == '#' ? ui::kBlack : ui::kWhite);
            p.opaque[static_cast<size_t>(y * 32 + x)] = true;
        }
    p.hotSpot = {6, 0};
    return p;
}

}  // namespace qm::skins
