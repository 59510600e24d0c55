#include "filters/plaitwork/render_values.h"

#include <algorithm>
#include <cmath>

namespace qm::plaitwork {

float curveValue(int shape, float z) {
    switch (shape) {
        case 0:
            return z * z;
        case 2:
            return static_cast<float>((std::cos((z + 1) * 4.71238898038469) + 1) * 0.4);
        case 4:
            return static_cast<float>((std::cos(z * 6.283185307179586) + 1) * 0.4);
        case 6: {
            // A bell with a notch at its top.
            const double a = (std::sin(-0.6283185307179586) + 1) * 0.5;
            const double b = (std::sin(0.6283185307179586) + 1) * 0.5;
            if (z >= 0.3 && z < 0.4) return static_cast<float>(a * (1 - 10 * (z - 0.3)));
            if (z >= 0.4 && z < 0.6) return static_cast<float>((z - 0.4) * 5);
            if (z >= 0.6 && z < 0.7) return static_cast<float>(a * (0.7 - z) * 10 + b);
            return static_cast<float>((std::sin(z * 3.141592653589793 - 1.5707963267948966) + 1) * 0.5);
        }
        default:
            return 0;
    }
}

void buildCurveTable(CurveTable& table, int shape) {
    if (shape % 2 != 0) return;
    for (int i = 0; i < kCurveEntries; ++i)
        table[static_cast<size_t>(i)] = curveValue(shape, static_cast<float>(i) * 0.0005f);
}

LayerColour layerColour(const StripColour& c, int planes) {
    return {c.r, c.g, c.b, static_cast<uint8_t>(c.mode == 3 && planes == 4 ? 0 : 255)};
}

std::array<uint8_t, 256> brightnessTable(int B, int whiteCanvas) {
    std::array<uint8_t, 256> t{};
    for (int i = 0; i < 256; ++i) {
        const int v = whiteCanvas != 0
                          ? 255
                          : std::min(255, static_cast<int>(static_cast<float>(i * (255 - B)) * 0.003921569f +
                                                           static_cast<float>(B)));
        t[static_cast<size_t>(i)] = static_cast<uint8_t>(v);
    }
    return t;
}

RenderValues makeRenderValues(const StripSettings& st, const StageParams& stage2, int W0, int H0,
                              float s, int planes) {
    RenderValues v;
    const double rho = (st.rotate - 50) * 0.015707963267948967;
    v.cosRho = static_cast<float>(std::cos(rho));
    v.sinRho = static_cast<float>(std::sin(rho));
    v.viewK = static_cast<float>(st.viewAngle) * 0.014285714f;

    v.curveX = static_cast<float>((st.curvedDeformation.x - 25) * stage2.Sv) * 0.04f;
    v.curveY = static_cast<float>((st.curvedDeformation.y - 25) * stage2.Sh) * 0.04f;

    const float deformation = static_cast<float>(st.backgroundDeformation) * 0.01f;
    v.kb = deformation * deformation;
    v.bend = std::sin(v.kb * 2.5f) + (st.backgroundDeformation != 0 ? 0.4f : 0.0f);
    v.scaleX = std::fabs(v.curveX / static_cast<float>(W0)) * v.bend + 1;
    v.scaleY = std::fabs(v.curveY / static_cast<float>(H0)) * v.bend + 1;
    v.offsetX = v.curveX < 0 ? v.curveX * v.bend : 0;
    v.offsetY = v.curveY < 0 ? v.curveY * v.bend : 0;
    if (st.curveShape == 2 || st.curveShape == 4) {
        v.offsetX *= 0.8f;
        v.offsetY *= 0.8f;
        v.scaleX = (v.scaleX - 1) * 0.8f + 1;
        v.scaleY = (v.scaleY - 1) * 0.8f + 1;
    }

    v.meshX = static_cast<int>(static_cast<float>(25 - st.meshDisplacement.x) * s);
    v.meshY = static_cast<int>(static_cast<float>(25 - st.meshDisplacement.y) * s);
    const int m = st.meshSmoothness < 20 ? st.meshSmoothness : 3 * st.meshSmoothness - 40;
    v.meshBox = static_cast<int>(static_cast<float>(m) * s);

    v.saturationGain = static_cast<float>(st.saturation) * 0.033333335f;
    v.brightness = brightnessTable(st.brightnessRatio, st.whiteCanvas);

    v.colours[kShadow1] = layerColour(st.shadowColour1, planes);
    v.colours[kSideShadow1] = layerColour(st.sideShadowColour1, planes);
    v.colours[kShadow2] = layerColour(st.shadowColour2, planes);
    v.colours[kSideShadow2] = layerColour(st.sideShadowColour2, planes);
    v.colours[kBackground] = layerColour(st.backgroundColour, planes);
    v.remapFirstStage = st.backgroundDeformation != 0;
    return v;
}

}  // namespace qm::plaitwork
