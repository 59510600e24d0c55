// Seamless procedural pictures for the factory pattern databases. Every
// function of (u, v) is periodic with period 1 in both, so a picture made
// from one tiles without a seam. Nothing depends on the clock: the same
// seed gives the same picture.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <vector>

namespace qm::patterns {

struct Vec3 {
    double r = 0, g = 0, b = 0;
    Vec3 operator+(const Vec3& o) const { return {r + o.r, g + o.g, b + o.b}; }
    Vec3 operator-(const Vec3& o) const { return {r - o.r, g - o.g, b - o.b}; }
    Vec3 operator*(double k) const { return {r * k, g * k, b * k}; }
    Vec3 operator*(const Vec3& o) const { return {r * o.r, g * o.g, b * o.b}; }
};

// 0xRRGGBB to 0..1 channels.
Vec3 rgb(uint32_t hex);
Vec3 mix(const Vec3& a, const Vec3& b, double t);

double hash01(int x, int y, uint32_t seed);
double smoothstep(double a, double b, double x);
double fract(double x);

// Gradient noise in about -1..1 with an integer lattice period.
double noise(double x, double y, int period, uint32_t seed);
double noise(double x, double y, int periodX, int periodY, uint32_t seed);
// Octaves of noise over the unit torus, starting at an integer frequency.
double fbm(double u, double v, int frequency, int octaves, uint32_t seed, double gain = 0.5);
// Stretched: different frequencies along u and v.
double fbmXY(double u, double v, int fx, int fy, int octaves, uint32_t seed, double gain = 0.5);
// 1 - |noise| summed: sharp ridges.
double ridged(double u, double v, int frequency, int octaves, uint32_t seed);

struct Cell {
    double f1 = 9, f2 = 9;  // distances to the nearest and second point, in cells
    double dx = 0, dy = 0;  // from the nearest point
    uint32_t id = 0;        // of the nearest cell
    double cx = 0, cy = 0;  // nearest point, in torus units (may lie outside 0..1)
};
// Periodic cellular noise over cells x cells with jittered points.
Cell worley(double u, double v, int cells, uint32_t seed, double jitter = 0.9);

// A colour ramp of evenly spaced stops.
struct Ramp {
    std::vector<Vec3> stops;
    Ramp(std::initializer_list<uint32_t> hex);
    Vec3 at(double t) const;
};

using PixelFn = std::function<Vec3(double u, double v)>;
using HeightFn = std::function<double(double u, double v)>;

// Lambert shading of a height field, light from the upper left; the result
// scales a colour (about 0.55 .. 1.25).
double shade(const HeightFn& h, double u, double v, double texel, double strength);

// One picture of side n: pixel (x, y) is f at the centre of that pixel.
std::vector<uint8_t> render(const PixelFn& f, int n);

}  // namespace qm::patterns
