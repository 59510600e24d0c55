// A small anti-aliased painter for the skins: shapes are signed distance
// functions (negative inside), sampled 4 x 4 times per pixel, and painted
// over a canvas that starts fully transparent.
#pragma once

#include <functional>
#include <string_view>
#include <vector>

#include "platform/ui/font.h"
#include "platform/ui/surface.h"

namespace qm::skins {

struct Rgb {
    double r = 0, g = 0, b = 0;
};
Rgb mix(const Rgb& a, const Rgb& b, double t);

// Distance to a shape's edge at a point; negative inside.
using Shape = std::function<double(double x, double y)>;
// A colour by position (for gradients).
using Paint = std::function<Rgb(double x, double y)>;

class Canvas {
public:
    Canvas(int width, int height);
    int width() const { return width_; }
    int height() const { return height_; }

    void fill(const Shape& shape, const Paint& paint, double opacity = 1.0);
    void fill(const Shape& shape, const Rgb& colour, double opacity = 1.0);
    // Text in the interface font family, its cell's top-left at (x, y).
    void text(const ui::Font& font, double x, double y, std::string_view utf8, const Rgb& colour);
    // Opaque pixels straight from a function (the background texture).
    void set(int x, int y, const Rgb& colour);

    // The finished picture: transparent pixels become pure white; partly
    // covered ones are blended over `under`, the colour expected beneath
    // them, so edges show no white fringe. Painted pure white is kept off
    // white by one step.
    ui::Surface toSurface(const Rgb& under) const;
    // Which pixels are covered at all (for a cursor's mask).
    bool covered(int x, int y) const;

private:
    void blend(int x, int y, const Rgb& c, double coverage);
    int width_, height_;
    std::vector<Rgb> colour_;     // premultiplied by alpha_
    std::vector<double> alpha_;
};

// Shapes.
Shape circle(double cx, double cy, double r);
Shape roundedBox(double left, double top, double right, double bottom, double radius);
// A stroke of width w from (x0, y0) to (x1, y1) with round caps.
Shape segment(double x0, double y0, double x1, double y1, double w);
// A stroke of width w along a circle's arc from angle a0 to a1 (radians,
// counter-clockwise from the positive x axis, y pointing down on screen).
Shape arc(double cx, double cy, double r, double a0, double a1, double w);
Shape triangle(double x0, double y0, double x1, double y1, double x2, double y2);
Shape unite(Shape a, Shape b);
Shape subtract(Shape a, Shape b);
Shape grow(Shape a, double by);

}  // namespace qm::skins
