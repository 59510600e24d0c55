#include "tools/skins/canvas.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace qm::skins {

Rgb mix(const Rgb& a, const Rgb& b, double t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Canvas::Canvas(int width, int height)
    : width_(width), height_(height), colour_(static_cast<size_t>(width * height)),
      alpha_(static_cast<size_t>(width * height), 0.0) {}

void Canvas::blend(int x, int y, const Rgb& c, double coverage) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_ || coverage <= 0) return;
    const size_t i = static_cast<size_t>(y * width_ + x);
    Rgb& p = colour_[i];
    p = {p.r * (1 - coverage) + c.r * coverage, p.g * (1 - coverage) + c.g * coverage,
         p.b * (1 - coverage) + c.b * coverage};
    alpha_[i] = alpha_[i] * (1 - coverage) + coverage;
}

void Canvas::fill(const Shape& shape, const Paint& paint, double opacity) {
    constexpr int kSamples = 4;
    for (int y = 0; y < height_; ++y)
        for (int x = 0; x < width_; ++x) {
            int inside = 0;
            for (int j = 0; j < kSamples; ++j)
                for (int i = 0; i < kSamples; ++i)
                    inside += shape(x + (i + 0.5) / kSamples, y + (j + 0.5) / kSamples) < 0;
            if (inside)
                blend(x, y, paint(x + 0.5, y + 0.5),
                      opacity * inside / static_cast<double>(kSamples * kSamples));
        }
}

void Canvas::fill(const Shape& shape, const Rgb& colour, double opacity) {
    fill(shape, [colour](double, double) { return colour; }, opacity);
}

void Canvas::text(const ui::Font& font, double x, double y, std::string_view utf8, const Rgb& colour) {
    // The font draws black on white; its darkness is the coverage.
    const ui::Size size = font.extent(utf8);
    ui::Surface ink(size.width + 2, size.height + 2, ui::kWhite);
    font.draw(ink, 1, 1, utf8, ui::kBlack);
    const int ox = static_cast<int>(std::lround(x)) - 1, oy = static_cast<int>(std::lround(y)) - 1;
    for (int v = 0; v < ink.height(); ++v)
        for (int u = 0; u < ink.width(); ++u)
            blend(ox + u, oy + v, colour, (255 - ui::greenOf(ink.pixel(u, v))) / 255.0);
}

void Canvas::set(int x, int y, const Rgb& colour) { blend(x, y, colour, 1.0); }

bool Canvas::covered(int x, int y) const {
    return alpha_[static_cast<size_t>(y * width_ + x)] >= 0.5 / 255;
}

ui::Surface Canvas::toSurface(const Rgb& under) const {
    ui::Surface out(width_, height_, ui::kWhite);
    for (int y = 0; y < height_; ++y)
        for (int x = 0; x < width_; ++x) {
            if (!covered(x, y)) continue;
            const size_t i = static_cast<size_t>(y * width_ + x);
            const double a = alpha_[i];
            auto channel = [&](double premultiplied, double below) {
                return std::clamp(static_cast<int>(std::lround(premultiplied + below * (1 - a))), 0, 255);
            };
            ui::Colour c = ui::rgb(channel(colour_[i].r, under.r), channel(colour_[i].g, under.g),
                                   channel(colour_[i].b, under.b));
            if (c == ui::kWhite) c = ui::rgb(254, 254, 254);
            out.setPixel(x, y, c);
        }
    out.takeChanged();
    return out;
}

Shape circle(double cx, double cy, double r) {
    return [=](double x, double y) { return std::hypot(x - cx, y - cy) - r; };
}

Shape roundedBox(double left, double top, double right, double bottom, double radius) {
    const double cx = (left + right) / 2, cy = (top + bottom) / 2;
    const double hx = (right - left) / 2 - radius, hy = (bottom - top) / 2 - radius;
    return [=](double x, double y) {
        const double qx = std::abs(x - cx) - hx, qy = std::abs(y - cy) - hy;
        return std::hypot(std::max(qx, 0.0), std::max(qy, 0.0)) + std::min(std::max(qx, qy), 0.0) -
               radius;
    };
}

Shape segment(double x0, double y0, double x1, double y1, double w) {
    return [=](double x, double y) {
        const double dx = x1 - x0, dy = y1 - y0;
        const double len2 = dx * dx + dy * dy;
        const double t = len2 > 0 ? std::clamp(((x - x0) * dx + (y - y0) * dy) / len2, 0.0, 1.0) : 0.0;
        return std::hypot(x - (x0 + t * dx), y - (y0 + t * dy)) - w / 2;
    };
}

Shape arc(double cx, double cy, double r, double a0, double a1, double w) {
    return [=](double x, double y) {
        // Screen y points down; angles count as on paper.
        double a = std::atan2(cy - y, x - cx);
        const double turn = 2 * std::numbers::pi;
        while (a < a0) a += turn;
        while (a > a0 + turn) a -= turn;
        if (a <= a1) return std::abs(std::hypot(x - cx, y - cy) - r) - w / 2;
        // Outside the sweep: the distance to the nearer end cap.
        auto end = [&](double t) {
            return std::hypot(x - (cx + r * std::cos(t)), y - (cy - r * std::sin(t))) - w / 2;
        };
        return std::min(end(a0), end(a1));
    };
}

Shape triangle(double x0, double y0, double x1, double y1, double x2, double y2) {
    return [=](double x, double y) {
        // Largest signed edge distance: negative only inside (either winding).
        auto edge = [&](double ax, double ay, double bx, double by) {
            const double ex = bx - ax, ey = by - ay;
            return (ex * (y - ay) - ey * (x - ax)) / std::hypot(ex, ey);
        };
        const double area = (x1 - x0) * (y2 - y0) - (y1 - y0) * (x2 - x0);
        const double s = area > 0 ? -1.0 : 1.0;
        return std::max({s * edge(x0, y0, x1, y1), s * edge(x1, y1, x2, y2), s * edge(x2, y2, x0, y0)});
    };
}

Shape unite(Shape a, Shape b) {
    return [a, b](double x, double y) { return std::min(a(x, y), b(x, y)); };
}

Shape subtract(Shape a, Shape b) {
    return [a, b](double x, double y) { return std::max(a(x, y), -b(x, y)); };
}

Shape grow(Shape a, double by) {
    return [a, by](double x, double y) { return a(x, y) - by; };
}

}  // namespace qm::skins
