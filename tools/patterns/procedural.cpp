#include "tools/patterns/procedural.h"

#include <algorithm>
#include <cmath>

namespace qm::patterns {

Vec3 rgb(uint32_t hex) {
    return {((hex >> 16) & 0xFF) / 255.0, ((hex >> 8) & 0xFF) / 255.0, (hex & 0xFF) / 255.0};
}

Vec3 mix(const Vec3& a, const Vec3& b, double t) { return a + (b - a) * t; }

static uint32_t hashInts(int x, int y, uint32_t seed) {
    uint32_t h = seed * 0x9E3779B1u;
    h ^= static_cast<uint32_t>(x) * 0x85EBCA77u;
    h = (h << 13) | (h >> 19);
    h ^= static_cast<uint32_t>(y) * 0xC2B2AE3Du;
    h ^= h >> 16;
    h *= 0x7FEB352Du;
    h ^= h >> 15;
    h *= 0x846CA68Bu;
    h ^= h >> 16;
    return h;
}

double hash01(int x, int y, uint32_t seed) { return hashInts(x, y, seed) / 4294967296.0; }

double smoothstep(double a, double b, double x) {
    const double t = std::clamp((x - a) / (b - a), 0.0, 1.0);
    return t * t * (3 - 2 * t);
}

double fract(double x) { return x - std::floor(x); }

static int wrap(int i, int period) { return ((i % period) + period) % period; }

static double gradDot(int ix, int iy, int px, int py, uint32_t seed, double dx, double dy) {
    const double a = hash01(wrap(ix, px), wrap(iy, py), seed) * 6.283185307179586;
    return std::cos(a) * dx + std::sin(a) * dy;
}

double noise(double x, double y, int period, uint32_t seed) { return noise(x, y, period, period, seed); }

double noise(double x, double y, int px, int py, uint32_t seed) {
    const double fx = std::floor(x), fy = std::floor(y);
    const int ix = static_cast<int>(fx), iy = static_cast<int>(fy);
    const double tx = x - fx, ty = y - fy;
    const double sx = tx * tx * tx * (tx * (tx * 6 - 15) + 10);
    const double sy = ty * ty * ty * (ty * (ty * 6 - 15) + 10);
    const double a = gradDot(ix, iy, px, py, seed, tx, ty);
    const double b = gradDot(ix + 1, iy, px, py, seed, tx - 1, ty);
    const double c = gradDot(ix, iy + 1, px, py, seed, tx, ty - 1);
    const double d = gradDot(ix + 1, iy + 1, px, py, seed, tx - 1, ty - 1);
    return 1.4142 * ((a + (b - a) * sx) + ((c + (d - c) * sx) - (a + (b - a) * sx)) * sy);
}

double fbm(double u, double v, int frequency, int octaves, uint32_t seed, double gain) {
    double sum = 0, amp = 1, norm = 0;
    int f = frequency;
    for (int o = 0; o < octaves; ++o) {
        sum += amp * noise(u * f, v * f, f, seed + static_cast<uint32_t>(o) * 1013u);
        norm += amp;
        amp *= gain;
        f *= 2;
    }
    return sum / norm;
}

double fbmXY(double u, double v, int fx, int fy, int octaves, uint32_t seed, double gain) {
    double sum = 0, amp = 1, norm = 0;
    for (int o = 0; o < octaves; ++o) {
        sum += amp * noise(u * fx, v * fy, fx, fy, seed + static_cast<uint32_t>(o) * 1013u);
        norm += amp;
        amp *= gain;
        fx *= 2;
        fy *= 2;
    }
    return sum / norm;
}

double ridged(double u, double v, int frequency, int octaves, uint32_t seed) {
    double sum = 0, amp = 1, norm = 0;
    int f = frequency;
    for (int o = 0; o < octaves; ++o) {
        const double n = 1 - std::fabs(noise(u * f, v * f, f, seed + static_cast<uint32_t>(o) * 7919u));
        sum += amp * n * n;
        norm += amp;
        amp *= 0.5;
        f *= 2;
    }
    return sum / norm;
}

Cell worley(double u, double v, int cells, uint32_t seed, double jitter) {
    Cell out;
    const double x = u * cells, y = v * cells;
    const int ix = static_cast<int>(std::floor(x)), iy = static_cast<int>(std::floor(y));
    for (int dy = -2; dy <= 2; ++dy)
        for (int dx = -2; dx <= 2; ++dx) {
            const int cx = ix + dx, cy = iy + dy;
            const int wx = wrap(cx, cells), wy = wrap(cy, cells);
            const double px = cx + 0.5 + (hash01(wx, wy, seed) - 0.5) * jitter;
            const double py = cy + 0.5 + (hash01(wx, wy, seed ^ 0xA5A5A5A5u) - 0.5) * jitter;
            const double ddx = x - px, ddy = y - py;
            const double d = std::sqrt(ddx * ddx + ddy * ddy);
            if (d < out.f1) {
                out.f2 = out.f1;
                out.f1 = d;
                out.dx = ddx;
                out.dy = ddy;
                out.id = static_cast<uint32_t>(wy * cells + wx) * 2654435761u + seed;
                out.cx = px / cells;
                out.cy = py / cells;
            } else if (d < out.f2) {
                out.f2 = d;
            }
        }
    return out;
}

Ramp::Ramp(std::initializer_list<uint32_t> hex) {
    for (uint32_t h : hex) stops.push_back(rgb(h));
}

Vec3 Ramp::at(double t) const {
    t = std::clamp(t, 0.0, 1.0) * static_cast<double>(stops.size() - 1);
    const size_t i = std::min(static_cast<size_t>(t), stops.size() - 2);
    return mix(stops[i], stops[i + 1], t - static_cast<double>(i));
}

double shade(const HeightFn& h, double u, double v, double texel, double strength) {
    const double hx = h(u + texel, v) - h(u - texel, v);
    const double hy = h(u, v + texel) - h(u, v - texel);
    double nx = -hx * strength, ny = -hy * strength, nz = 1;
    const double len = std::sqrt(nx * nx + ny * ny + nz * nz);
    nx /= len;
    ny /= len;
    nz /= len;
    const double lx = -0.5, ly = -0.5, lz = 0.707;
    const double lambert = std::max(0.0, nx * lx + ny * ly + nz * lz);
    return 0.45 + 0.8 * lambert;
}

std::vector<uint8_t> render(const PixelFn& f, int n) {
    std::vector<uint8_t> out(static_cast<size_t>(n) * static_cast<size_t>(n) * 3);
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            const Vec3 c = f((x + 0.5) / n, (y + 0.5) / n);
            uint8_t* p = out.data() + (static_cast<size_t>(y) * static_cast<size_t>(n) + static_cast<size_t>(x)) * 3;
            p[0] = static_cast<uint8_t>(std::lround(std::clamp(c.r, 0.0, 1.0) * 255));
            p[1] = static_cast<uint8_t>(std::lround(std::clamp(c.g, 0.0, 1.0) * 255));
            p[2] = static_cast<uint8_t>(std::lround(std::clamp(c.b, 0.0, 1.0) * 255));
        }
    return out;
}

}  // namespace qm::patterns
