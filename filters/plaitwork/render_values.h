// The values shared by every pixel of one render: rotation, curve and bend,
// the mesh box, the saturation gain, the brightness and curve tables and the
// five colours.
#pragma once

#include <array>
#include <cstdint>

#include "filters/plaitwork/stage_params.h"
#include "filters/plaitwork/strip_settings.h"

namespace qm::plaitwork {

constexpr int kCurveEntries = 2000;
using CurveTable = std::array<float, kCurveEntries>;

// The curve of an even curve shape (0, 2, 4, 6) at z in 0..1.
float curveValue(int shape, float z);

// Entry i at z = i x 0.0005 for an even shape; an odd shape (a pressed
// selector state) leaves the table as it was.
void buildCurveTable(CurveTable& table, int shape);

// A colour as the layers use it: alpha 0 is transparent (mode 3 on a
// 4-plane image), 255 opaque.
struct LayerColour {
    uint8_t r = 0, g = 0, b = 0, alpha = 255;
};
LayerColour layerColour(const StripColour& c, int planes);

enum ColourIndex { kShadow1, kSideShadow1, kShadow2, kSideShadow2, kBackground, kColourCount };

struct RenderValues {
    float cosRho = 1, sinRho = 0;
    float viewK = 0;  // the perspective's k
    float curveX = 0, curveY = 0;
    float kb = 0, bend = 0;
    float scaleX = 1, scaleY = 1, offsetX = 0, offsetY = 0;
    int meshX = 0, meshY = 0;
    int meshBox = 0;  // m: the box is m + 1 pixels square
    float saturationGain = 0;
    std::array<uint8_t, 256> brightness{};
    LayerColour colours[kColourCount];
    bool remapFirstStage = false;  // backgroundDeformation is not 0
};

// stage2 supplies the spacings the curve is measured in; W0 x H0 is the
// render target's size and s its scale.
RenderValues makeRenderValues(const StripSettings& settings, const StageParams& stage2, int W0,
                              int H0, float s, int planes);

// T[i] = min(255, trunc(i (255 - B) / 255 + B)); all 255 on a white canvas.
std::array<uint8_t, 256> brightnessTable(int brightnessRatio, int whiteCanvas);

}  // namespace qm::plaitwork
