#include "tools/patterns/kinds.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace qm::patterns::kinds {
namespace {

constexpr double kTau = 6.283185307179586;

double clamp01(double x) { return std::clamp(x, 0.0, 1.0); }

// Distance of u to the nearest multiple of 1/n, in units of 1/n (0 .. 0.5).
double gridDistance(double u, int n) {
    const double f = fract(u * n);
    return std::min(f, 1 - f);
}

Vec3 tint(const Vec3& c, double k) { return c * k; }

double lightFrom(double nx, double ny) {
    // nx, ny: surface slope; light from the upper left.
    const double len = std::sqrt(nx * nx + ny * ny + 1);
    return std::max(0.0, (-0.5 * nx - 0.5 * ny + 0.707) / len);
}

}  // namespace

PixelFn marble(Ramp ramp, int kx, int ky, double turbulence, double sharpness, uint32_t seed) {
    return [=](double u, double v) {
        const double t = fbm(u, v, 2, 6, seed);
        const double w = fbm(u, v, 3, 4, seed + 99);
        const double phase = kTau * (kx * u + ky * v) + turbulence * (t * 5 + w * 2);
        double s = 0.5 + 0.5 * std::sin(phase);
        s = std::pow(s, sharpness);
        const double cloud = 0.5 + 0.5 * fbm(u, v, 4, 5, seed + 7);
        Vec3 c = ramp.at(clamp01(0.15 + 0.55 * cloud * 0.6 + 0.7 * s));
        return tint(c, 0.94 + 0.1 * cloud);
    };
}

PixelFn wood(Ramp ramp, int rings, double warp, double grain, uint32_t seed, bool planks) {
    return [=](double u, double v) {
        double x = u, y = v;
        double plankShade = 1;
        if (planks) {
            const int plank = static_cast<int>(std::floor(u * 4));
            y = fract(v + hash01(plank, 0, seed) * 0.7);
            plankShade = 0.88 + 0.16 * hash01(plank, 1, seed) - 0.35 * (1 - smoothstep(0, 0.02, gridDistance(u, 4)));
        }
        const double w = fbm(x, y, 2, 5, seed) * warp;
        const double ringPos = fract(y * rings + w * rings * 0.35 + 0.3 * std::sin(kTau * x));
        double ring = smoothstep(0.0, 0.75, ringPos) * (1 - smoothstep(0.85, 1.0, ringPos));
        const double fine = fbmXY(x, y, 48, 3, 3, seed + 5);
        double t = clamp01(0.25 + 0.55 * ring + grain * fine);
        return tint(ramp.at(t), plankShade);
    };
}

PixelFn granite(Ramp base, Ramp specks, int cells, double speckDensity, uint32_t seed) {
    return [=](double u, double v) {
        const double n = 0.5 + 0.5 * fbm(u, v, 8, 4, seed);
        Vec3 c = base.at(n);
        const Cell w = worley(u, v, cells, seed + 3, 1.0);
        const double pick = hash01(static_cast<int>(w.id), 1, seed);
        if (pick < speckDensity) {
            const double edge = smoothstep(0.55, 0.35, w.f1);
            c = mix(c, specks.at(hash01(static_cast<int>(w.id), 2, seed)), edge);
        }
        const double grainNoise = fbm(u, v, 32, 2, seed + 11);
        return tint(c, 0.92 + 0.12 * grainNoise);
    };
}

PixelFn cellStones(Ramp ramp, uint32_t mortar, int cells, double gap, double bump, uint32_t seed, double jitter,
                   double roughness) {
    const Vec3 m = rgb(mortar);
    return [=](double u, double v) {
        const Cell w = worley(u, v, cells, seed, jitter);
        const double edge = w.f2 - w.f1;
        const double inside = smoothstep(gap * 0.5, gap * 1.6, edge);
        // A dome over each stone, roughened, for the light.
        const double rough = fbm(u, v, 16, 3, seed + 1);
        const double dome = std::sqrt(clamp01(edge * 1.6));
        const double slopeX = -w.dx * bump * (1 - dome) + rough * roughness;
        const double slopeY = -w.dy * bump * (1 - dome) + fbm(u, v, 16, 3, seed + 2) * roughness;
        const double light = 0.55 + 0.75 * lightFrom(-slopeX, -slopeY);
        Vec3 stone = ramp.at(hash01(static_cast<int>(w.id), 3, seed));
        stone = tint(stone, light * (0.9 + 0.15 * rough));
        Vec3 mort = tint(m, 0.85 + 0.2 * fbm(u, v, 24, 2, seed + 4));
        return mix(mort, stone, inside);
    };
}

PixelFn stainedGlass(int cells, uint32_t seed) {
    return [=](double u, double v) {
        const Cell w = worley(u, v, cells, seed, 0.85);
        const double hue = hash01(static_cast<int>(w.id), 5, seed);
        static const Vec3 glass[] = {rgb(0xC0392B), rgb(0x2E86C1), rgb(0xF1C40F), rgb(0x27AE60), rgb(0x8E44AD),
                                     rgb(0xE67E22), rgb(0x16A085), rgb(0x1F3A93), rgb(0xD35400), rgb(0xA93226)};
        Vec3 c = glass[static_cast<int>(hue * 10) % 10];
        const double ripple = 0.85 + 0.25 * fbm(u, v, 12, 3, seed + 1) - 0.25 * w.f1;
        c = tint(c, ripple + 0.15);
        const double lead = smoothstep(0.05, 0.11, w.f2 - w.f1);
        const Vec3 leadColour = tint(rgb(0x2B2B2B), 0.8 + 0.6 * smoothstep(0.11, 0.0, w.f2 - w.f1) * 0.3);
        return mix(leadColour, c, lead);
    };
}

PixelFn weave(uint32_t warpColour, uint32_t weftColour, int threads, int kind, double fuzz, uint32_t seed) {
    const Vec3 a = rgb(warpColour), b = rgb(weftColour);
    return [=](double u, double v) {
        const int i = static_cast<int>(std::floor(u * threads));
        const int j = static_cast<int>(std::floor(v * threads));
        const double fu = fract(u * threads), fv = fract(v * threads);
        bool warpOver;
        switch (kind) {
            case 0: warpOver = ((i + j) & 1) == 0; break;                 // plain
            case 1: warpOver = (((i + j) % 4) + 4) % 4 < 2; break;        // twill
            case 2: warpOver = (((i / 2) + (j / 2)) & 1) == 0; break;     // basket
            default: {                                                    // herringbone twill
                const int band = (i / 8) & 1;
                const int k = band ? (i - j) : (i + j);
                warpOver = ((k % 4) + 4) % 4 < 2;
                break;
            }
        }
        // Across a thread its surface rounds off to the sides.
        const double across = warpOver ? fu : fv;
        const double along = warpOver ? fv : fu;
        const double round = std::sin(across * kTau / 2);
        const double fibre = fbmXY(u, v, warpOver ? threads * 6 : threads, warpOver ? threads : threads * 6, 2,
                                   seed + (warpOver ? 1u : 2u));
        const double dip = 0.85 + 0.15 * std::sin(along * kTau / 2);
        Vec3 c = warpOver ? a : b;
        const double k = (0.45 + 0.6 * round) * dip * (1 + fuzz * fibre);
        return tint(c, k);
    };
}

PixelFn checker(uint32_t ca, uint32_t cb, int squares, double bevel, double grain, uint32_t seed) {
    const Vec3 a = rgb(ca), b = rgb(cb);
    return [=](double u, double v) {
        const int i = static_cast<int>(std::floor(u * squares));
        const int j = static_cast<int>(std::floor(v * squares));
        const bool dark = ((i + j) & 1) != 0;
        Vec3 c = dark ? b : a;
        const double g = fbmXY(u, v, squares * 8, squares, 3, seed + (dark ? 1u : 0u));
        c = tint(c, 1 + grain * g);
        const double fu = fract(u * squares), fv = fract(v * squares);
        double k = 1;
        if (fu < bevel) k *= 1.12;
        if (fv < bevel) k *= 1.12;
        if (fu > 1 - bevel) k *= 0.82;
        if (fv > 1 - bevel) k *= 0.82;
        return tint(c, k);
    };
}

PixelFn stripes(Ramp ramp, int kx, int ky, double wobble, uint32_t seed) {
    return [=](double u, double v) {
        const double phase = kx * u + ky * v + wobble * fbm(u, v, 2, 3, seed);
        const double s = fract(phase);
        const double t = (s < 0.5 ? smoothstep(0.0, 0.08, s) * smoothstep(0.5, 0.42, s) : 0.0);
        return tint(ramp.at(t * 0.999 + (s >= 0.5 ? 0.0 : 0.0)), 0.95 + 0.08 * fbm(u, v, 32, 2, seed + 1));
    };
}

PixelFn zigzag(Ramp ramp, int count, int teeth, uint32_t seed) {
    return [=](double u, double v) {
        const double tri = std::fabs(fract(u * teeth) - 0.5) * 2;  // 0..1
        const double band = fract(v * count + tri * 0.5 * count / teeth);
        const int idx = static_cast<int>(std::floor(v * count + tri * 0.5 * count / teeth));
        const double shadeEdge = smoothstep(0.0, 0.1, band) * smoothstep(1.0, 0.9, band);
        const double pick = static_cast<double>(((idx % 4) + 4) % 4) / 3.0;
        return tint(ramp.at(pick), 0.75 + 0.25 * shadeEdge + 0.05 * fbm(u, v, 32, 2, seed));
    };
}

PixelFn waves(Ramp ramp, int count, int waveCount, double amplitude, uint32_t seed) {
    return [=](double u, double v) {
        const double y = v * count + amplitude * std::sin(kTau * u * waveCount) + 0.3 * fbm(u, v, 3, 3, seed);
        const double s = 0.5 + 0.5 * std::sin(kTau * y);
        const double highlight = std::pow(s, 8);
        return ramp.at(clamp01(0.1 + 0.7 * s + 0.2 * highlight));
    };
}

PixelFn dots(uint32_t background, uint32_t dot, int count, double radius, bool staggered, double relief) {
    const Vec3 bg = rgb(background), dc = rgb(dot);
    return [=](double u, double v) {
        double x = u * count, y = v * count;
        if (staggered && (static_cast<int>(std::floor(y)) & 1)) x += 0.5;
        const double dx = fract(x) - 0.5, dy = fract(y) - 0.5;
        const double d = std::sqrt(dx * dx + dy * dy);
        const double inside = smoothstep(radius + 0.02, radius - 0.02, d);
        const double z = std::sqrt(std::max(0.0, radius * radius - d * d)) / radius;
        const double light = relief > 0 ? 0.6 + relief * lightFrom(dx / radius * 2 / std::max(z, 0.2), dy / radius * 2 / std::max(z, 0.2)) : 1;
        const double shadow = relief > 0 ? 1 - 0.35 * smoothstep(radius + 0.12, radius, std::sqrt((dx - 0.06) * (dx - 0.06) + (dy - 0.06) * (dy - 0.06))) * (1 - inside) : 1;
        return mix(tint(bg, shadow), tint(dc, light), inside);
    };
}

PixelFn hexagons(Ramp ramp, uint32_t border, int columns, double borderWidth, double bump, uint32_t seed) {
    const Vec3 bc = rgb(border);
    // Staggered rows, an even number of them so that the stagger repeats;
    // as many as keep the cells closest to regular on the square tile.
    int rows = 2 * static_cast<int>(std::lround(columns / 0.866 / 2));
    if (rows < 2) rows = 2;
    const double rowStep = static_cast<double>(columns) / rows;
    return [=](double u, double v) {
        const double x = u * columns, y = v * columns;
        double best = 9, second = 9;
        int bi = 0, bj = 0;
        const int ci = static_cast<int>(std::floor(x)), cj = static_cast<int>(std::floor(y / rowStep));
        for (int dj = -2; dj <= 2; ++dj)
            for (int di = -2; di <= 2; ++di) {
                const int j = cj + dj, i = ci + di;
                const double px = i + 0.5 + ((j & 1) ? 0.5 : 0.0);
                const double py = (j + 0.5) * rowStep;
                const double d = std::hypot(x - px, y - py);
                if (d < best) {
                    second = best;
                    best = d;
                    bi = ((i % columns) + columns) % columns;
                    bj = ((j % rows) + rows) % rows;
                } else if (d < second) {
                    second = d;
                }
            }
        const double edge = second - best;
        const double inside = smoothstep(borderWidth, borderWidth + 0.04, edge);
        Vec3 c = ramp.at(hash01(bi, bj, seed));
        const double b = 1 - bump * (1 - smoothstep(0.0, 0.25, edge));
        return mix(bc, tint(c, b * (0.95 + 0.1 * fbm(u, v, 16, 2, seed + 1))), inside);
    };
}

PixelFn scales(Ramp ramp, uint32_t edge, int columns, int rows, uint32_t seed) {
    const Vec3 ec = rgb(edge);
    return [=](double u, double v) {
        const double x = u * columns, y = v * rows;
        // The scale below overlaps the one above: test rows bottom-up.
        for (int dj = 1; dj >= -1; --dj) {
            const int j = static_cast<int>(std::floor(y)) + dj;
            for (int di = -1; di <= 1; ++di) {
                const double offset = (j & 1) ? 0.5 : 0.0;
                const int i = static_cast<int>(std::floor(x - offset)) + di;
                const double cx = i + 0.5 + offset, cy = j - 0.2;
                const double dx = (x - cx), dy = (y - cy);
                const double d = std::sqrt(dx * dx + dy * dy * 1.0);
                if (d < 0.62 && dy > -0.1) {
                    const double t = d / 0.62;
                    const int wi = ((i % columns) + columns) % columns, wj = ((j % rows) + rows) % rows;
                    Vec3 c = ramp.at(0.3 + 0.5 * hash01(wi, wj, seed) * 0.5 + 0.4 * (1 - t));
                    const double rim = smoothstep(0.85, 1.0, t);
                    return mix(tint(c, 0.7 + 0.5 * (1 - t)), ec, rim);
                }
            }
        }
        return ec;
    };
}

PixelFn bricks(Ramp brick, uint32_t mortar, int rows, int columns, double gap, uint32_t seed) {
    const Vec3 m = rgb(mortar);
    return [=](double u, double v) {
        const double y = v * rows;
        const int row = static_cast<int>(std::floor(y));
        const double x = u * columns + ((row & 1) ? 0.5 : 0.0);
        const int col = static_cast<int>(std::floor(x));
        const double fx = fract(x), fy = fract(y);
        const double ex = std::min(fx, 1 - fx) * 2.0, ey = std::min(fy, 1 - fy) / columns * rows * 2.0;
        const double e = std::min(ex / 1.0, ey);
        const double inside = smoothstep(gap, gap + 0.03, e);
        const int wc = ((col % columns) + columns) % columns;
        Vec3 c = brick.at(hash01(wc, ((row % rows) + rows) % rows, seed));
        const double rough = fbm(u, v, 16, 4, seed + 1);
        c = tint(c, 0.85 + 0.25 * rough + 0.15 * (fy < 0.2 ? 1 : 0) * inside - 0.2 * (fy > 0.85 ? 1 : 0));
        return mix(tint(m, 0.8 + 0.25 * fbm(u, v, 32, 2, seed + 2)), c, inside);
    };
}

PixelFn tiles(Ramp ramp, uint32_t grout, int count, double gap, double variation, uint32_t seed) {
    const Vec3 g = rgb(grout);
    return [=](double u, double v) {
        const int i = static_cast<int>(std::floor(u * count)), j = static_cast<int>(std::floor(v * count));
        const double fx = fract(u * count), fy = fract(v * count);
        const double e = std::min({fx, 1 - fx, fy, 1 - fy});
        const double inside = smoothstep(gap, gap + 0.02, e);
        Vec3 c = ramp.at(0.5 + variation * (hash01(i, j, seed) - 0.5));
        double k = 1;
        if (e < gap + 0.07) k = (fx < 0.5 && fx < fy && fx < 1 - fy) || (fy < 0.5 && fy < fx && fy < 1 - fx) ? 1.15 : 0.8;
        const double glaze = 0.96 + 0.08 * fbm(u, v, 8, 3, seed + 1);
        return mix(g, tint(c, k * glaze), inside);
    };
}

PixelFn orbs(Ramp ramp, uint32_t background, int count, double radius, bool staggered, uint32_t seed) {
    const Vec3 bg = rgb(background);
    return [=](double u, double v) {
        double x = u * count, y = v * count;
        if (staggered && (static_cast<int>(std::floor(y)) & 1)) x += 0.5;
        const double dx = (fract(x) - 0.5) / radius, dy = (fract(y) - 0.5) / radius;
        const double d2 = dx * dx + dy * dy;
        const double ground = 0.6 + 0.25 * fbm(u, v, 8, 3, seed);
        if (d2 >= 1) {
            // Soft shadow to the lower right.
            const double sx = dx - 0.25, sy = dy - 0.25;
            const double sd = std::sqrt(sx * sx + sy * sy);
            return tint(bg, ground * (1 - 0.5 * smoothstep(1.3, 0.9, sd)));
        }
        const double nz = std::sqrt(1 - d2);
        const double diffuse = std::max(0.0, -0.45 * dx - 0.45 * dy + 0.77 * nz);
        // Reflection of the light.
        const double hx = -0.35, hy = -0.35, hz = 0.87;
        const double shine = std::pow(std::max(0.0, dx * hx + dy * hy + nz * hz), 40);
        Vec3 c = ramp.at(clamp01(0.15 + 0.75 * diffuse));
        c = c + Vec3{1, 1, 0.9} * (shine * 0.8);
        const double rim = smoothstep(0.92, 1.0, std::sqrt(d2));
        return mix(c, tint(bg, ground * 0.5), rim * 0.6);
    };
}

PixelFn worms(Ramp ramp, uint32_t background, int frequency, double thickness, uint32_t seed) {
    const Vec3 bg = rgb(background);
    return [=](double u, double v) {
        auto height = [=](double a, double b) {
            const double n = noise(a * frequency, b * frequency, frequency, seed) +
                             0.35 * noise(a * frequency * 2, b * frequency * 2, frequency * 2, seed + 1);
            const double r = 1 - std::fabs(n) / thickness;
            return r > 0 ? std::sqrt(r) : 0.0;
        };
        const double h = height(u, v);
        if (h <= 0) return tint(bg, 0.7 + 0.3 * fbm(u, v, 16, 2, seed + 5));
        const double light = shade(height, u, v, 1.0 / 256, 0.04);
        Vec3 c = ramp.at(clamp01(light - 0.3));
        return tint(c, 0.6 + 0.45 * h);
    };
}

PixelFn hair(Ramp ramp, int strands, int waviness, double contrast, uint32_t seed) {
    return [=](double u, double v) {
        // Strands run along v, bending with a slow warp.
        const double bend = 0.08 * fbm(u, v, waviness, 3, seed) + 0.03 * std::sin(kTau * (v * 2 + u));
        const double x = u + bend;
        const double fine = fbmXY(x, v, strands, 2, 4, seed + 1, 0.6);
        const double coarse = fbmXY(x, v, strands / 8, 1, 3, seed + 2);
        const double sheen = 0.5 + 0.5 * std::sin(kTau * (v * 3 + coarse));
        const double t = clamp01(0.5 + contrast * (fine * 0.9 + coarse * 0.6) + 0.2 * (sheen - 0.5));
        return ramp.at(t);
    };
}

PixelFn brush(Ramp ramp, int cells, double streaks, uint32_t seed) {
    return [=](double u, double v) {
        // Overlapping elongated dabs, one or two a cell; the one painted last
        // (highest z) shows, its bristles streaking along its direction.
        const double x = u * cells, y = v * cells;
        const int ix = static_cast<int>(std::floor(x)), iy = static_cast<int>(std::floor(y));
        double bestZ = -1, bristle = 0, paint = 0.5, cover = 0;
        for (int dy = -2; dy <= 2; ++dy)
            for (int dx = -2; dx <= 2; ++dx)
                for (int k = 0; k < 2; ++k) {
                    const int wx = ((ix + dx) % cells + cells) % cells, wy = ((iy + dy) % cells + cells) % cells;
                    const uint32_t s = seed + 977u * static_cast<uint32_t>(k);
                    const double px = ix + dx + hash01(wx, wy, s), py = iy + dy + hash01(wx, wy, s + 1);
                    const double angle = 0.6 + 0.9 * hash01(wx, wy, s + 2);
                    const double ca = std::cos(angle), sa = std::sin(angle);
                    const double ox = x - px, oy = y - py;
                    const double along = ox * ca + oy * sa, across = -ox * sa + oy * ca;
                    const double e = along * along / 1.1 + across * across / 0.09;
                    const double ragged = 0.15 * std::sin(across * streaks * 7 + 5 * hash01(wx, wy, s + 3));
                    if (e > 1 + ragged) continue;
                    const double z = hash01(wx, wy, s + 4);
                    if (z > bestZ) {
                        bestZ = z;
                        paint = hash01(wx, wy, s + 5);
                        bristle = std::sin(across * streaks * kTau + 3 * z) * (0.6 + 0.4 * std::cos(along * 4));
                        cover = smoothstep(1 + ragged, 0.7, e);
                    }
                }
        const Vec3 canvas = tint(ramp.at(0.55), 0.92 + 0.06 * fbm(u, v, 32, 2, seed + 9));
        if (bestZ < 0) return canvas;
        const Vec3 c = tint(ramp.at(clamp01(paint)), 0.9 + 0.12 * bristle);
        return mix(canvas, c, 0.35 + 0.65 * cover);
    };
}

PixelFn melon(uint32_t light, uint32_t dark, int stripeCount, double warp, uint32_t seed) {
    const Vec3 l = rgb(light), d = rgb(dark);
    return [=](double u, double v) {
        const double w = warp * fbm(u, v, 2, 4, seed) + 0.04 * std::sin(kTau * v * 3);
        const double s = 0.5 + 0.5 * std::sin(kTau * (u * stripeCount + w * stripeCount * 0.4));
        const double jag = 0.15 * fbm(u, v, 24, 3, seed + 1);
        const double stripe = smoothstep(0.45, 0.6, s + jag);
        Vec3 c = mix(l, d, stripe);
        const double speck = smoothstep(0.55, 0.8, fbm(u, v, 32, 2, seed + 2));
        c = mix(c, tint(l, 1.2), speck * 0.35);
        return tint(c, 0.9 + 0.15 * fbm(u, v, 6, 3, seed + 3));
    };
}

PixelFn lumps(Ramp ramp, int cells, double gloss, uint32_t seed) {
    return [=](double u, double v) {
        const Cell w = worley(u, v, cells, seed, 1.0);
        // Faceted: each lump has a few flat faces.
        const Cell facet = worley(u, v, cells * 3, seed + 1, 1.0);
        const double fa = hash01(static_cast<int>(facet.id), 2, seed) * kTau;
        const double facetLight = 0.5 + 0.5 * std::cos(fa);
        const double edge = smoothstep(0.02, 0.15, w.f2 - w.f1);
        const double glint = std::pow(facetLight, 12) * gloss;
        Vec3 c = ramp.at(clamp01(0.15 + 0.45 * facetLight * edge + 0.1 * fbm(u, v, 16, 3, seed + 2)));
        return c + Vec3{1, 1, 1} * (glint * edge * 0.6);
    };
}

PixelFn clouds(Ramp ramp, int frequency, int octaves, double gain, uint32_t seed) {
    return [=](double u, double v) {
        const double wx = fbm(u, v, frequency, 3, seed + 1) * 0.15;
        const double wy = fbm(u, v, frequency, 3, seed + 2) * 0.15;
        const double n = fbm(fract(u + wx), fract(v + wy), frequency, octaves, seed, gain);
        return ramp.at(clamp01(0.5 + 0.85 * n));
    };
}

PixelFn flames(Ramp ramp, int frequency, double sharpness, uint32_t seed) {
    return [=](double u, double v) {
        const double r = ridged(u, v, frequency, 5, seed);
        return ramp.at(clamp01(std::pow(r, sharpness) * 1.2));
    };
}

PixelFn leather(Ramp ramp, int cells, double crease, double bump, uint32_t seed) {
    return [=](double u, double v) {
        auto height = [=](double a, double b) {
            const Cell w = worley(a, b, cells, seed, 1.0);
            return std::sqrt(clamp01((w.f2 - w.f1) * crease)) + 0.15 * fbm(a, b, cells * 2, 2, seed + 1);
        };
        const double h = height(u, v);
        const double light = shade(height, u, v, 1.0 / 512, bump);
        const Cell w = worley(u, v, cells, seed, 1.0);
        const double tone = 0.4 + 0.3 * hash01(static_cast<int>(w.id), 1, seed) + 0.3 * h;
        return tint(ramp.at(clamp01(tone)), light);
    };
}

PixelFn crackle(Ramp base, uint32_t crack, int cells, double width, uint32_t seed) {
    const Vec3 cc = rgb(crack);
    return [=](double u, double v) {
        const Cell w = worley(u, v, cells, seed, 1.0);
        const Cell fine = worley(u, v, cells * 3, seed + 1, 1.0);
        const double line = 1 - smoothstep(width * 0.3, width, w.f2 - w.f1);
        const double fineLine = 1 - smoothstep(width * 0.2, width * 0.6, fine.f2 - fine.f1);
        Vec3 c = base.at(clamp01(0.5 + 0.6 * fbm(u, v, 4, 5, seed + 2)));
        // Each plate curls a little: lighter at its middle.
        c = tint(c, 0.85 + 0.25 * smoothstep(0.0, 0.4, w.f2 - w.f1));
        c = mix(c, cc, fineLine * 0.35);
        return mix(c, cc, line);
    };
}

PixelFn leopard(uint32_t base, uint32_t ring, uint32_t centre, int cells, uint32_t seed) {
    const Vec3 b = rgb(base), r = rgb(ring), ce = rgb(centre);
    return [=](double u, double v) {
        const double wobble = 0.12 * fbm(u, v, cells, 3, seed + 1);
        const Cell w = worley(u, v, cells, seed, 0.8);
        const double d = w.f1 + wobble;
        const double angle = std::atan2(w.dy, w.dx);
        const double gaps = 0.5 + 0.5 * std::sin(angle * 3 + 6 * hash01(static_cast<int>(w.id), 1, seed));
        Vec3 c = tint(b, 0.9 + 0.15 * fbm(u, v, 16, 3, seed + 2));
        if (d < 0.28) c = mix(c, ce, smoothstep(0.28, 0.2, d));
        const double ringMask = smoothstep(0.22, 0.27, d) * smoothstep(0.42, 0.36, d) * smoothstep(0.15, 0.35, gaps);
        return mix(c, r, ringMask);
    };
}

PixelFn animalStripes(uint32_t base, uint32_t stripe, int count, double warp, double width, uint32_t seed) {
    const Vec3 b = rgb(base), s = rgb(stripe);
    return [=](double u, double v) {
        const double w = warp * fbm(u, v, 2, 5, seed);
        const double taper = 0.15 * fbm(u, v, 3, 3, seed + 1);
        const double p = fract(u * count + w * count + 0.2 * std::sin(kTau * v * 2));
        const double d = std::fabs(p - 0.5) * 2;
        const double m = smoothstep(width + taper + 0.05, width + taper - 0.05, 1 - d);
        Vec3 c = tint(b, 0.92 + 0.12 * fbm(u, v, 24, 2, seed + 2));
        return mix(c, s, m);
    };
}

PixelFn caustics(Ramp ramp, int frequency, uint32_t seed) {
    return [=](double u, double v) {
        double sum = 0;
        for (int k = 0; k < 3; ++k) {
            const uint32_t s = seed + static_cast<uint32_t>(k) * 31u;
            const double wx = u + 0.05 * fbm(u, v, frequency, 2, s);
            const double wy = v + 0.05 * fbm(u, v, frequency, 2, s + 1);
            const Cell c = worley(fract(wx), fract(wy), frequency + k, s + 2, 1.0);
            sum += std::pow(1 - smoothstep(0.0, 0.25, c.f2 - c.f1), 2);
        }
        return ramp.at(clamp01(0.25 + 0.35 * sum + 0.1 * fbm(u, v, 3, 3, seed + 9)));
    };
}

PixelFn bubbles(Ramp ramp, uint32_t background, int cells, double radius, uint32_t seed) {
    const Vec3 bg = rgb(background);
    return [=](double u, double v) {
        Vec3 c = tint(bg, 0.85 + 0.2 * fbm(u, v, 4, 3, seed + 3));
        for (int layer = 0; layer < 2; ++layer) {
            const Cell w = worley(u, v, cells * (layer + 1), seed + static_cast<uint32_t>(layer), 0.7);
            const double r = radius * (0.5 + 0.5 * hash01(static_cast<int>(w.id), 1, seed));
            if (w.f1 < r) {
                const double t = w.f1 / r;
                const double rimLight = smoothstep(0.7, 0.98, t) * 0.8;
                const double hx = w.dx / r + 0.35, hy = w.dy / r + 0.35;
                const double spot = smoothstep(0.25, 0.05, std::sqrt(hx * hx + hy * hy));
                c = mix(c, ramp.at(0.3 + 0.7 * t), 0.45) + Vec3{1, 1, 1} * (rimLight * 0.4 + spot * 0.7);
            }
        }
        return c;
    };
}

PixelFn truchet(uint32_t background, uint32_t line, int count, double width, uint32_t seed) {
    const Vec3 bg = rgb(background), lc = rgb(line);
    return [=](double u, double v) {
        const int i = static_cast<int>(std::floor(u * count)), j = static_cast<int>(std::floor(v * count));
        double fx = fract(u * count), fy = fract(v * count);
        if (hash01(i, j, seed) < 0.5) fx = 1 - fx;
        const double d1 = std::fabs(std::sqrt(fx * fx + fy * fy) - 0.5);
        const double d2 = std::fabs(std::sqrt((1 - fx) * (1 - fx) + (1 - fy) * (1 - fy)) - 0.5);
        const double d = std::min(d1, d2);
        const double m = smoothstep(width, width - 0.04, d);
        const double tube = std::sqrt(clamp01(1 - d / width));
        return mix(tint(bg, 0.9 + 0.1 * fbm(u, v, 16, 2, seed + 1)), tint(lc, 0.5 + 0.6 * tube), m);
    };
}

PixelFn brushedMetal(Ramp ramp, int streaks, double sheen, uint32_t seed) {
    return [=](double u, double v) {
        const double s = fbmXY(u, v, 2, streaks, 4, seed, 0.6);
        const double band = 0.5 + 0.5 * std::sin(kTau * (v * 2 + 0.3 * fbm(u, v, 1, 2, seed + 1)));
        return ramp.at(clamp01(0.45 + 0.35 * s + sheen * (band - 0.5)));
    };
}

PixelFn hammered(Ramp ramp, int cells, double depth, uint32_t seed) {
    return [=](double u, double v) {
        auto height = [=](double a, double b) {
            const Cell w = worley(a, b, cells, seed, 0.9);
            return w.f1 * w.f1 * depth;
        };
        const double light = shade(height, u, v, 1.0 / 512, 1.0);
        const double shine = std::pow(clamp01(light - 0.4), 3) * 2;
        return ramp.at(clamp01(light * 0.75 - 0.1 + shine));
    };
}

PixelFn diamondPlate(Ramp ramp, int count, uint32_t seed) {
    return [=](double u, double v) {
        auto height = [=](double a, double b) {
            const double x = fract(a * count), y = fract(b * count);
            const int parity = ((static_cast<int>(std::floor(a * count)) + static_cast<int>(std::floor(b * count))) & 1);
            // A raised bar along one diagonal of each cell, alternating.
            const double d = parity ? std::fabs(x - y) : std::fabs(x + y - 1);
            const double len = parity ? std::fabs(x + y - 1) : std::fabs(x - y);
            return smoothstep(0.16, 0.08, d) * smoothstep(0.75, 0.55, len);
        };
        const double light = shade(height, u, v, 1.0 / 512, 6.0);
        const double s = fbmXY(u, v, 3, 48, 3, seed, 0.6);
        return ramp.at(clamp01(light * 0.7 + 0.08 * s));
    };
}

PixelFn corrosion(Ramp metal, Ramp rust, int frequency, double amount, uint32_t seed) {
    return [=](double u, double v) {
        const double n = 0.5 + 0.5 * fbm(u, v, frequency, 6, seed);
        const double m = smoothstep(1 - amount - 0.08, 1 - amount + 0.08, n);
        const Vec3 base = metal.at(0.5 + 0.5 * fbmXY(u, v, 2, 32, 3, seed + 1));
        const Vec3 r = rust.at(clamp01(0.5 + 0.9 * fbm(u, v, frequency * 4, 4, seed + 2)));
        const double pits = smoothstep(0.6, 0.8, 0.5 + 0.5 * fbm(u, v, 32, 2, seed + 3));
        return tint(mix(base, r, m), 1 - 0.3 * pits * m);
    };
}

PixelFn plaid(Ramp ramp, int count, const int* bands, int bandCount, double weaveTexture, uint32_t seed) {
    std::vector<int> pattern(bands, bands + bandCount);
    int total = 0;
    for (int b : pattern) total += b;
    return [=](double u, double v) {
        auto colourAt = [&](double t) {
            int pos = static_cast<int>(std::floor(fract(t * count) * total));
            for (size_t k = 0; k < pattern.size(); ++k) {
                if (pos < pattern[k]) return static_cast<double>(k % 4) / 3.0;
                pos -= pattern[k];
            }
            return 0.0;
        };
        const Vec3 a = ramp.at(colourAt(u)), b = ramp.at(colourAt(v));
        // Twill: the warp or the weft shows in diagonal lines.
        const int i = static_cast<int>(std::floor(u * 128)), j = static_cast<int>(std::floor(v * 128));
        const bool warp = (((i + j) % 4) + 4) % 4 < 2;
        Vec3 c = mix(a, b, warp ? 0.3 : 0.7);
        return tint(c, 1 - weaveTexture * (warp ? 0.1 : 0.0) + 0.05 * fbm(u, v, 64, 1, seed));
    };
}

PixelFn houndstooth(uint32_t ca, uint32_t cb, int count) {
    const Vec3 a = rgb(ca), b = rgb(cb);
    // One repeat of the check, 8 x 8 threads.
    static const char* const motif[8] = {"11110000", "11100001", "11000011", "10000111",
                                         "11111000", "01111000", "00111000", "00011000"};
    return [=](double u, double v) {
        const int x = static_cast<int>(std::floor(fract(u * count) * 8));
        const int y = static_cast<int>(std::floor(fract(v * count) * 8));
        return motif[y][x] == '1' ? b : a;
    };
}

PixelFn argyle(uint32_t ca, uint32_t cb, uint32_t line, int count) {
    const Vec3 a = rgb(ca), b = rgb(cb), l = rgb(line);
    return [=](double u, double v) {
        const double x = fract(u * count) - 0.5, y = fract(v * count) - 0.5;
        const bool inner = std::fabs(x) + std::fabs(y) < 0.5;
        const int i = static_cast<int>(std::floor(u * count)), j = static_cast<int>(std::floor(v * count));
        Vec3 c = inner ? (((i + j) & 1) ? a : b) : (((i + j) & 1) ? b : a);
        const double dl = std::min(gridDistance(u * count + v * count, 1), gridDistance(u * count - v * count, 1));
        return mix(c, l, smoothstep(0.035, 0.015, dl) * 0.9);
    };
}

PixelFn concentric(Ramp ramp, int cells, int ringsPerCell, uint32_t seed) {
    return [=](double u, double v) {
        const double x = fract(u * cells) - 0.5, y = fract(v * cells) - 0.5;
        const double d = std::sqrt(x * x + y * y);
        const int i = static_cast<int>(std::floor(u * cells)), j = static_cast<int>(std::floor(v * cells));
        const double phase = hash01(i, j, seed) * 0.5;
        const double s = 0.5 + 0.5 * std::cos(kTau * (d * ringsPerCell * 2 + phase));
        return ramp.at(clamp01(s * smoothstep(0.75, 0.45, d) + 0.1 * ((i + j) & 1)));
    };
}

PixelFn crystals(Ramp ramp, int cells, uint32_t seed) {
    return [=](double u, double v) {
        const Cell w = worley(u, v, cells, seed, 1.0);
        const double a = hash01(static_cast<int>(w.id), 1, seed) * kTau;
        // Flat facets: brightness from the facet's tilt and the position on it.
        const double facet = 0.5 + 0.35 * std::cos(a) + 0.9 * (w.dx * std::cos(a) + w.dy * std::sin(a));
        const double edge = smoothstep(0.0, 0.06, w.f2 - w.f1);
        const double t = clamp01(facet * (0.8 + 0.2 * edge) + 0.08 * fbm(u, v, 8, 3, seed + 2));
        return ramp.at(t) + Vec3{1, 1, 1} * (0.25 * (1 - edge));
    };
}

PixelFn banded(Ramp ramp, int frequency, double bands, double warp, uint32_t seed) {
    return [=](double u, double v) {
        const double n = fbm(u, v, frequency, 5, seed) + warp * fbm(u, v, frequency * 2, 3, seed + 1);
        const double s = 0.5 + 0.5 * std::sin(n * bands);
        return ramp.at(clamp01(s * 0.85 + 0.15 * (0.5 + 0.5 * n)));
    };
}

PixelFn layers(Ramp ramp, int count, double warp, uint32_t seed) {
    return [=](double u, double v) {
        const double y = v + warp * fbm(u, v, 2, 4, seed) + 0.03 * std::sin(kTau * u);
        const int layer = static_cast<int>(std::floor(y * count));
        const double tone = hash01(((layer % count) + count) % count, 0, seed);
        const double grain = fbm(u, v, 24, 3, seed + 1);
        return tint(ramp.at(tone), 0.88 + 0.15 * grain + 0.1 * smoothstep(0.9, 1.0, fract(y * count)));
    };
}

PixelFn ribs(Ramp ramp, int count, double softness, uint32_t seed) {
    return [=](double u, double v) {
        const double x = fract(u * count);
        const double rib = std::pow(std::sin(x * kTau / 2), softness);
        const double pile = fbmXY(u, v, count * 4, 16, 2, seed);
        return ramp.at(clamp01(0.15 + 0.7 * rib + 0.12 * pile));
    };
}

PixelFn knit(uint32_t colour, int columns, int rows, uint32_t seed) {
    const Vec3 c = rgb(colour);
    return [=](double u, double v) {
        const double x = fract(u * columns), y = fract(v * rows);
        // Each stitch is a V of two slanted loops.
        const double side = x < 0.5 ? x * 2 : (1 - x) * 2;  // 0 at the edge, 1 in the middle
        const double slant = y - (1 - side) * 0.5;
        const double loop = std::sin(clamp01(fract(slant + 0.25)) * kTau / 2);
        const double gap = smoothstep(0.0, 0.12, std::fabs(x - 0.5));
        const double fibre = fbmXY(u, v, columns * 4, rows * 4, 2, seed);
        return tint(c, (0.35 + 0.75 * loop) * (0.65 + 0.35 * gap) * (0.95 + 0.12 * fibre));
    };
}

PixelFn chainmail(Ramp ramp, uint32_t background, int count) {
    const Vec3 bg = rgb(background);
    return [=](double u, double v) {
        const double x = u * count, y = v * count;
        double best = 0;
        bool found = false;
        for (int pass = 0; pass < 2; ++pass) {
            const double ox = pass ? 0.5 : 0.0, oy = pass ? 0.5 : 0.0;
            const double fx = fract(x + ox) - 0.5, fy = fract(y + oy) - 0.5;
            const double d = std::sqrt(fx * fx + fy * fy);
            const double ring = 1 - std::fabs(d - 0.36) / 0.09;
            if (ring > 0) {
                const double lit = 0.5 + 0.5 * (-(fx + fy) / std::max(d, 1e-6)) * 0.7;
                best = std::max(best, std::sqrt(ring) * (0.4 + 0.6 * lit));
                found = true;
            }
        }
        return found ? ramp.at(clamp01(best)) : bg;
    };
}

PixelFn stalks(Ramp ramp, int count, int nodes, uint32_t seed) {
    return [=](double u, double v) {
        const int i = static_cast<int>(std::floor(u * count));
        const double x = fract(u * count);
        const double round = std::sin(x * kTau / 2);
        const double y = fract(v * nodes + hash01(((i % count) + count) % count, 0, seed));
        const double node = smoothstep(0.04, 0.0, std::fabs(y - 0.5)) ;
        const double fibre = fbmXY(u, v, count * 8, 2, 3, seed + 1);
        Vec3 c = ramp.at(clamp01(0.3 + 0.6 * round + 0.1 * fibre));
        c = tint(c, 1 - 0.35 * node + 0.15 * smoothstep(0.1, 0.0, std::fabs(y - 0.55)));
        return tint(c, 0.35 + 0.65 * smoothstep(0.0, 0.08, std::min(x, 1 - x)));
    };
}

PixelFn fibres(Ramp ramp, int frequency, double fibreAmount, uint32_t seed) {
    return [=](double u, double v) {
        const double base = fbm(u, v, frequency, 5, seed);
        const double f1 = fbmXY(u, v, 64, 4, 2, seed + 1);
        const double f2 = fbmXY(u, v, 4, 64, 2, seed + 2);
        const double fibre = std::max(std::fabs(f1), std::fabs(f2));
        return ramp.at(clamp01(0.55 + 0.4 * base - fibreAmount * fibre));
    };
}

PixelFn triangles(Ramp ramp, int count, uint32_t seed) {
    return [=](double u, double v) {
        const int i = static_cast<int>(std::floor(u * count)), j = static_cast<int>(std::floor(v * count));
        const double fx = fract(u * count), fy = fract(v * count);
        const bool upper = fx > fy;
        const double pick = hash01(i * 2 + (upper ? 1 : 0), j, seed);
        const double edge = std::min({fx, fy, 1 - fx, 1 - fy, std::fabs(fx - fy) * 0.7});
        return tint(ramp.at(pick), 0.75 + 0.25 * smoothstep(0.0, 0.06, edge));
    };
}

PixelFn lace(uint32_t background, uint32_t thread, int count) {
    const Vec3 bg = rgb(background), th = rgb(thread);
    return [=](double u, double v) {
        const double x = fract(u * count) - 0.5, y = fract(v * count) - 0.5;
        const double d = std::sqrt(x * x + y * y);
        const double petals = 0.3 + 0.08 * std::cos(std::atan2(y, x) * 6);
        const double flower = smoothstep(0.03, 0.0, std::fabs(d - petals)) + smoothstep(0.06, 0.03, d);
        const double net = smoothstep(0.03, 0.0, std::min(gridDistance(u * count * 3 + v * count * 3, 1),
                                                          gridDistance(u * count * 3 - v * count * 3, 1)));
        const double m = clamp01(flower + net * 0.8 * smoothstep(0.25, 0.3, d));
        return mix(bg, th, m);
    };
}

PixelFn feathers(Ramp ramp, int columns, int rows, uint32_t seed) {
    return [=](double u, double v) {
        const double y = v * rows;
        const int row = static_cast<int>(std::floor(y));
        const double x = u * columns + ((row & 1) ? 0.5 : 0.0);
        const double fx = fract(x) - 0.5, fy = fract(y);
        // A shaft in the middle, barbs slanting away from it.
        const double shaft = smoothstep(0.03, 0.0, std::fabs(fx));
        const double barbs = 0.5 + 0.5 * std::sin(kTau * (fy * 14 + std::fabs(fx) * 10));
        const double width = 0.5 * std::sin(clamp01(fy) * kTau / 2 * 0.9 + 0.3);
        const double inside = smoothstep(width, width - 0.05, std::fabs(fx));
        const int i = static_cast<int>(std::floor(x));
        const double tone = hash01(((i % columns) + columns) % columns, ((row % rows) + rows) % rows, seed);
        Vec3 c = ramp.at(clamp01(0.3 + 0.4 * tone + 0.25 * barbs * inside));
        return tint(c, (0.55 + 0.45 * inside) * (1 + 0.3 * shaft) * (0.75 + 0.25 * fy));
    };
}

PixelFn sponge(Ramp ramp, uint32_t hole, int cells, double holes, uint32_t seed) {
    const Vec3 h = rgb(hole);
    return [=](double u, double v) {
        const Cell a = worley(u, v, cells, seed, 1.0);
        const Cell b = worley(u, v, cells * 2, seed + 1, 1.0);
        const double r1 = holes * (0.6 + 0.4 * hash01(static_cast<int>(a.id), 1, seed));
        const double r2 = holes * 0.8 * (0.5 + 0.5 * hash01(static_cast<int>(b.id), 1, seed));
        const double m = std::max(smoothstep(r1, r1 - 0.08, a.f1), smoothstep(r2, r2 - 0.08, b.f1));
        const Vec3 c = ramp.at(clamp01(0.5 + 0.6 * fbm(u, v, 8, 4, seed + 2)));
        return mix(c, tint(h, 0.7 + 0.3 * (1 - m)), m);
    };
}

PixelFn terrazzo(uint32_t base, Ramp chips, int cells, double size, uint32_t seed) {
    const Vec3 b = rgb(base);
    return [=](double u, double v) {
        Vec3 c = tint(b, 0.95 + 0.08 * fbm(u, v, 16, 3, seed));
        for (int layer = 0; layer < 2; ++layer) {
            const Cell w = worley(u, v, cells * (layer + 1), seed + 10u * static_cast<uint32_t>(layer), 1.0);
            const double r = size * (0.5 + 0.5 * hash01(static_cast<int>(w.id), 2, seed)) / (layer + 1);
            // Angular chips: distance in a rotated square metric.
            const double a = hash01(static_cast<int>(w.id), 3, seed) * kTau;
            const double px = w.dx * std::cos(a) - w.dy * std::sin(a), py = w.dx * std::sin(a) + w.dy * std::cos(a);
            const double d = std::max(std::fabs(px), std::fabs(py)) * 0.8 + 0.2 * std::sqrt(px * px + py * py);
            if (d < r) c = chips.at(hash01(static_cast<int>(w.id), 4, seed));
        }
        return c;
    };
}

PixelFn mesh(Ramp ramp, uint32_t background, int count, double wire) {
    const Vec3 bg = rgb(background);
    return [=](double u, double v) {
        const double gx = gridDistance(u, count), gy = gridDistance(v, count);
        const int i = static_cast<int>(std::floor(u * count + 0.5)), j = static_cast<int>(std::floor(v * count + 0.5));
        const bool xOver = ((i + j) & 1) == 0;
        const double wx = 1 - gx / wire, wy = 1 - gy / wire;
        double t = -1;
        if (wx > 0 && wy > 0) t = xOver ? wx : wy;
        else if (wx > 0) t = wx;
        else if (wy > 0) t = wy;
        if (t < 0) return bg;
        return ramp.at(clamp01(0.2 + 0.8 * std::sqrt(t)));
    };
}

}  // namespace qm::patterns::kinds
