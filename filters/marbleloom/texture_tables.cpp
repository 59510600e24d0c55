#include "filters/marbleloom/texture_tables.h"

#include <immintrin.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <numbers>

namespace qm::marbleloom {
namespace {

constexpr double kPi = std::numbers::pi;

// 255 x^e, truncated; x in 0..1.
uint8_t scaledPower(double x, double e) { return static_cast<uint8_t>(std::clamp(255.0 * std::pow(x, e), 0.0, 255.0)); }

// (100 - Brightness) x 0.02, squared when above 1.
double brightnessTerm(int brightness) {
    const double m = (100 - brightness) * 0.02;
    return m > 1 ? m * m : m;
}

int64_t signedPower(int64_t v) {
    const auto magnitude = static_cast<int64_t>(std::pow(static_cast<double>(std::llabs(v)), 1.1));
    return v < 0 ? -magnitude : magnitude;
}

}  // namespace

ReliefKernel makeReliefKernel(int reliefSmoothness) {
    ReliefKernel k;
    const int a = std::max(2, (reliefSmoothness + 4) / 2);
    k.rings = a / 5 + 4;
    const double sigma = (a / 3 + 1) * 0.3003866304256165;
    int ringSum = 0, firstSum = 0, secondSum = 0;
    for (int j = 1; j < k.rings; ++j) {
        const double fall = std::exp(-static_cast<double>((j - 1) * (j - 1)) / (2 * sigma * sigma));
        const int c = static_cast<int>(1000 * fall / std::sqrt(2 * kPi * sigma));
        for (int d = 0; d < 8; ++d) {
            const double theta = d * kPi / 8 + kPi / 2;
            ReliefTap t;
            t.dy = static_cast<int>(1000 * std::cos(theta)) * j / 1000;
            t.dx = static_cast<int>(1000 * std::sin(theta)) * j / 1000;
            t.ring = c;
            t.first = d == 5 ? c : (d == 4 || d == 6) ? c / 2 : 0;
            t.second = d == 1 ? c : (d == 0 || d == 2) ? c / 2 : 0;
            ringSum += t.ring;
            firstSum += t.first;
            secondSum += t.second;
            k.taps.push_back(t);
        }
    }
    k.ringSum = std::max(ringSum, 1);
    k.firstSum = std::max(firstSum, 1);
    k.secondSum = std::max(secondSum, 1);
    return k;
}

ReliefCell reliefAt(const ReliefKernel& k, const uint16_t* luminance, int width, int height, int x, int y,
                    bool clampAlways) {
    const auto& roots = fourthRoots();
    int64_t ring = 0, first = 0, second = 0;
    auto sum = [&](auto difference) {
        for (const ReliefTap& t : k.taps) {
            const int diff = difference(t);
            ring += int64_t{t.ring} * roots[static_cast<size_t>(std::abs(diff) & 0x3FFF)];
            first += int64_t{diff} * t.first;
            second += int64_t{diff} * t.second;
        }
    };
    // Taps reach rings - 1 pixels.
    const int reach = k.rings - 1;
    if (!clampAlways && x >= reach && y >= reach && x < width - reach && y < height - reach) {
        const uint16_t* centre = luminance + static_cast<ptrdiff_t>(y) * width + x;
        sum([&](const ReliefTap& t) {
            const ptrdiff_t offset = static_cast<ptrdiff_t>(t.dy) * width + t.dx;
            return static_cast<int>(centre[offset]) - static_cast<int>(centre[-offset]);
        });
    } else {
        auto at = [&](int yy, int xx) {
            return static_cast<int>(luminance[static_cast<size_t>(std::clamp(yy, 0, height - 1)) *
                                                  static_cast<size_t>(width) +
                                              static_cast<size_t>(std::clamp(xx, 0, width - 1))]);
        };
        sum([&](const ReliefTap& t) { return at(y + t.dy, x + t.dx) - at(y - t.dy, x - t.dx); });
    }
    ReliefCell cell;
    cell.texture = static_cast<int16_t>(50 * ring / k.ringSum);
    cell.first = static_cast<int16_t>(first / k.firstSum);
    cell.second = static_cast<int16_t>(second / k.secondSum);
    return cell;
}

namespace {

// The sums of eight cells side by side in 32-bit lanes, every tap inside the
// map; reliefRow checks that the kernel's weights keep them in range.
__attribute__((target("avx2"))) void reliefEight(const ReliefKernel& k, const uint16_t* centre, int width,
                                                 int32_t (&sums)[3][8]) {
    const auto* roots = reinterpret_cast<const int*>(fourthRoots().data());
    const __m256i indexBits = _mm256_set1_epi32(0x3FFF), byte = _mm256_set1_epi32(0xFF);
    __m256i ring = _mm256_setzero_si256(), first = ring, second = ring;
    for (const ReliefTap& t : k.taps) {
        const ptrdiff_t offset = static_cast<ptrdiff_t>(t.dy) * width + t.dx;
        const __m256i a = _mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(centre + offset)));
        const __m256i b = _mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(centre - offset)));
        const __m256i diff = _mm256_sub_epi32(a, b);
        const __m256i index = _mm256_and_si256(_mm256_abs_epi32(diff), indexBits);
        const __m256i root = _mm256_and_si256(_mm256_i32gather_epi32(roots, index, 1), byte);
        ring = _mm256_add_epi32(ring, _mm256_mullo_epi32(root, _mm256_set1_epi32(t.ring)));
        if (t.first) first = _mm256_add_epi32(first, _mm256_mullo_epi32(diff, _mm256_set1_epi32(t.first)));
        if (t.second) second = _mm256_add_epi32(second, _mm256_mullo_epi32(diff, _mm256_set1_epi32(t.second)));
    }
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(sums[0]), ring);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(sums[1]), first);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(sums[2]), second);
}

// Every ring sum (roots up to 11) and gradient sum (differences up to 65535)
// within 32 bits: the weights are not negative, so their totals bound them.
bool fitsLanes(const ReliefKernel& k) {
    constexpr int64_t limit = int64_t{1} << 31;
    for (const ReliefTap& t : k.taps)
        if (t.ring < 0 || t.first < 0 || t.second < 0) return false;
    return int64_t{k.ringSum} * 12 < limit && int64_t{k.firstSum} * 65536 < limit &&
           int64_t{k.secondSum} * 65536 < limit;
}

}  // namespace

int64_t reliefRow(const ReliefKernel& k, const uint16_t* luminance, int width, int height, int y, ReliefCell* cells) {
    static const bool eightAtOnce = __builtin_cpu_supports("avx2");
    const int reach = k.rings - 1;
    int64_t textures = 0;
    int x = 0;
    if (eightAtOnce && y >= reach && y < height - reach && fitsLanes(k)) {
        for (; x < std::min(reach, width); ++x)
            textures += (cells[x] = reliefAt(k, luminance, width, height, x, y)).texture;
        const uint16_t* row = luminance + static_cast<ptrdiff_t>(y) * width;
        for (; x + 8 <= width - reach; x += 8) {
            int32_t sums[3][8];
            reliefEight(k, row + x, width, sums);
            for (int i = 0; i < 8; ++i) {
                ReliefCell& cell = cells[x + i];
                cell.texture = static_cast<int16_t>(50 * int64_t{sums[0][i]} / k.ringSum);
                cell.first = static_cast<int16_t>(int64_t{sums[1][i]} / k.firstSum);
                cell.second = static_cast<int16_t>(int64_t{sums[2][i]} / k.secondSum);
                textures += cell.texture;
            }
        }
    }
    for (; x < width; ++x) textures += (cells[x] = reliefAt(k, luminance, width, height, x, y)).texture;
    return textures;
}

const std::array<uint8_t, kFourthRoots + 3>& fourthRoots() {
    static const std::array<uint8_t, kFourthRoots + 3> table = [] {
        std::array<uint8_t, kFourthRoots + 3> t{};
        for (size_t k = 0; k < kFourthRoots; ++k) t[k] = static_cast<uint8_t>(std::pow(static_cast<double>(k), 0.25));
        return t;
    }();
    return table;
}

const std::array<int32_t, 2048>& weightCurve() {
    static const std::array<int32_t, 2048> table = [] {
        std::array<int32_t, 2048> t{};
        for (int32_t l = 0; l < 2048; ++l) t[static_cast<size_t>(l)] = l + ((l * l / 64) * l / 64) / 64;
        return t;
    }();
    return table;
}

SelectionTable makeSelectionTable(int widthOfSelection) {
    const double e = (100 - widthOfSelection) * 0.05;
    const double p = e * e + 1;
    SelectionTable table{};
    for (int h = 0; h < 765; ++h) {
        double t = std::sin(kPi / 2 * std::pow(1 - h / 765.0, p));
        if (t < 0.5) t = t - (0.5 - t) * 0.5;
        if (t < 0) t = 0;
        table[static_cast<size_t>(h)] = static_cast<uint8_t>(255 * t);
    }
    return table;
}

Curve makeLayerBrightnessCurve(int brightness, int highlight, int shapeness) {
    const double h = highlight / 100.0, sh = (100 - shapeness) / 100.0;
    const double exponent = brightnessTerm(brightness) + 1.6 * h * h * sh * sh;
    Curve c{};
    for (int j = 0; j < 256; ++j) c[static_cast<size_t>(j)] = scaledPower(j / 255.0, exponent);
    return c;
}

Curve makeBaseBrightnessCurve(int brightness) {
    const double m = brightnessTerm(brightness);
    Curve c{};
    for (int j = 0; j < 256; ++j) c[static_cast<size_t>(j)] = scaledPower(j / 255.0, m * m);
    return c;
}

LayerGeometry makeLayerGeometry(const LayerSettings& layer, const TextureSettings& s, bool inputImage,
                                int imageSizeFactor) {
    LayerGeometry g;
    if (!inputImage) {
        const double angle = layer.rotation * kPi / 4;
        g.cos = static_cast<int>(1024 * std::cos(angle));
        g.sin = static_cast<int>(1024 * std::sin(angle));
        g.step = static_cast<int64_t>(65536 / std::pow(2.0, (layer.scaling - 50) / 25.0));
    }
    const int64_t r = 2 * s.refract - 50;
    const int64_t dx0 = 25 - s.displacementX, dy0 = 25 - s.displacementY;
    g.dX = ((dx0 + r) * g.step / 256) * imageSizeFactor / 1024;
    g.dY = ((dy0 + r) * g.step / 256) * imageSizeFactor / 1024;
    return g;
}

RenderTables makeRenderTables(const TextureSettings& s, const std::array<bool, 4>& inputImage, int width,
                              int height, int imageSizeFactor) {
    RenderTables t;
    t.kernel = makeReliefKernel(s.reliefSmoothness);
    for (size_t k = 0; k < 3; ++k) {
        const LayerSettings& l = s.layers[k];
        t.selection[k] = makeSelectionTable(l.width);
        t.brightness[k] = makeLayerBrightnessCurve(l.brightness, l.highlight, l.shapeness);
        t.geometry[k] = makeLayerGeometry(l, s, inputImage[k], imageSizeFactor);
    }
    t.baseBrightness = makeBaseBrightnessCurve(s.base.brightness);
    t.baseGeometry = makeLayerGeometry(s.base, s, inputImage[3], imageSizeFactor);

    const int64_t r = 2 * s.refract - 50;
    const int64_t w = std::max(width, 1), h = std::max(height, 1);
    t.kX = ((r * -1048576 / w) / 131) * imageSizeFactor / 1024;
    t.kY = ((r * -1048576 / h) / 131) * imageSizeFactor / 1024;

    const int64_t q = s.reliefSmoothness + 20;
    t.lightX = signedPower((s.reliefX - 25) * q);
    t.lightY = signedPower((s.reliefY - 25) * q);
    return t;
}

void ProgressiveTables::advance(const TextureSettings& s, int rows) {
    auto step = [rows](PowerTable& table, int setting, auto&& cell) {
        if (table.setting != setting) {
            table.setting = setting;
            table.rowsDone = 0;
        }
        for (int n = 0; n < rows && table.rowsDone < 256; ++n, ++table.rowsDone) {
            const int i = table.rowsDone;
            for (int j = 0; j < 256; ++j) table.cells[static_cast<size_t>(i) * 256 + static_cast<size_t>(j)] = cell(i, j);
        }
    };
    for (size_t k = 0; k < 3; ++k) {
        const double shape = s.layers[k].shapeness / 100.0;
        const double p = shape * shape * 10 + 1;
        step(value[k], s.layers[k].shapeness,
             [p](int i, int j) { return scaledPower(i / 255.0, 1 - std::pow(j / 255.0, p)); });
    }
    step(shading, 100, [](int i, int j) {
        double g = 2 * (1 - j / 270.0);
        if (g > 1) g *= g;
        return scaledPower(i / 255.0, g);
    });
}

int ProgressiveTables::rowsPerImageRow(int imageHeight) { return std::max(1, 512 / std::max(imageHeight, 1)); }

}  // namespace qm::marbleloom
