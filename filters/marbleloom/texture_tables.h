// The lookup tables of a texture rendering: those built from the settings
// before each rendering, and the 256 x 256 power tables that are built a few
// rows at a time while the dialog's preview renders.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "filters/marbleloom/texture_settings.h"

namespace qm::marbleloom {

// Tap pairs of the relief analysis: the point at (dy, dx) from the pixel
// against the point at (-dy, -dx), with a ring weight and the weights of the
// two gradients.
struct ReliefTap {
    int dy = 0, dx = 0;
    int ring = 0, first = 0, second = 0;
};

struct ReliefKernel {
    std::vector<ReliefTap> taps;
    int rings = 4;  // n: taps reach n - 1 pixels
    int ringSum = 1, firstSum = 1, secondSum = 1;
};
ReliefKernel makeReliefKernel(int reliefSmoothness);

struct ReliefCell {
    int16_t texture = 0;  // trunc(50 T)
    int16_t first = 0, second = 0;
};
// The relief at (x, y) of a width x height luminance map (R + G + B), its
// taps clamped to the map. Pixels whose taps all stay inside skip the clamps
// unless clampAlways (the plain path, for comparison).
ReliefCell reliefAt(const ReliefKernel& k, const uint16_t* luminance, int width, int height, int x, int y,
                    bool clampAlways = false);

// The relief of row y into cells[0 .. width - 1], as reliefAt gives it, with
// eight cells at a time where the taps stay inside; answers the sum of the
// row's textures.
int64_t reliefRow(const ReliefKernel& k, const uint16_t* luminance, int width, int height, int y, ReliefCell* cells);

// trunc(k^0.25) for k = 0..16383, and three spare zeros: a 32-bit gather at
// the last entry stays inside.
constexpr size_t kFourthRoots = 16384;
const std::array<uint8_t, kFourthRoots + 3>& fourthRoots();
// l + ((l^2 / 64) l / 64) / 64 for l = 0..2047.
const std::array<int32_t, 2048>& weightCurve();

// Indexed by a colour distance |dR| + |dG| + |dB|.
using SelectionTable = std::array<uint8_t, 765>;
SelectionTable makeSelectionTable(int widthOfSelection);

using Curve = std::array<uint8_t, 256>;
Curve makeLayerBrightnessCurve(int brightness, int highlight, int shapeness);
Curve makeBaseBrightnessCurve(int brightness);

// Where a layer samples its pattern.
struct LayerGeometry {
    int cos = 1024, sin = 0;  // x 1024
    int64_t step = 65536;     // S, 16.16
    int64_t dX = 0, dY = 0;   // displacement offsets
};
// inputImage: the layer's slot holds "Input Image", which is never turned
// or scaled.
LayerGeometry makeLayerGeometry(const LayerSettings& layer, const TextureSettings& s, bool inputImage,
                                int imageSizeFactor);

struct RenderTables {
    ReliefKernel kernel;
    std::array<SelectionTable, 3> selection{};
    std::array<Curve, 3> brightness{};
    Curve baseBrightness{};
    std::array<LayerGeometry, 3> geometry{};
    LayerGeometry baseGeometry;
    int64_t kX = 0, kY = 0;  // refraction factors
    int64_t lightX = 0, lightY = 0;
};
// inputImage[0..2]: layers 1..3, [3]: the base. width and height are those
// of the image being rendered; F comes from the whole image.
RenderTables makeRenderTables(const TextureSettings& s, const std::array<bool, 4>& inputImage, int width,
                              int height, int imageSizeFactor);

// A 256 x 256 table computed row by row; current once all rows are done.
struct PowerTable {
    std::vector<uint8_t> cells = std::vector<uint8_t>(256 * 256);
    int rowsDone = 0;
    int setting = -1;  // what the rows were computed for

    uint8_t at(int i, int j) const { return cells[static_cast<size_t>(i) * 256 + static_cast<size_t>(j)]; }
    bool current() const { return rowsDone == 256; }
};

// The value tables of layers 1..3 (their setting: Shapeness) and the shading
// table (fixed strength).
struct ProgressiveTables {
    std::array<PowerTable, 3> value;
    PowerTable shading;

    // Computes up to `rows` further rows of each table; a table whose
    // setting changed starts again from row 0.
    void advance(const TextureSettings& s, int rows);
    // The share of rows a rendering of that height computes per image row.
    static int rowsPerImageRow(int imageHeight);
};

}  // namespace qm::marbleloom
