#include "filters/plaitwork/stage_geometry.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace qm::plaitwork {
namespace {

float limitSkew(float v) {
    if (v > 0.999f) return 0.9999f;
    if (v < -0.999f) return -0.9999f;
    return v;
}

}  // namespace

StageGeometry makeStageGeometry(const StageParams& p, int W0, int H0) {
    StageGeometry g;
    const float Sv = static_cast<float>(p.Sv), Sh = static_cast<float>(p.Sh);
    g.alpha = limitSkew(static_cast<float>(p.K) * 0.02f);
    g.beta = limitSkew(static_cast<float>(p.J) * 0.02f);
    g.ab = g.alpha * g.beta;
    const float ab = g.ab;

    g.c0 = Sv * (1 + ab);
    g.c4 = Sv * (1 - ab);
    g.c8 = 2 * Sv * g.alpha;
    g.c12 = 2 * Sv * ab;
    g.c16 = Sh * (1 + ab);
    g.c20 = Sh * (1 - ab);
    g.c24 = 2 * Sh * g.beta;
    g.c28 = 2 * Sh * ab;
    g.c36 = -2 * Sh * g.beta;
    g.c40 = 2 * Sv * g.alpha;
    g.cellV = Sv;
    g.cellV2 = 2 * Sv;
    g.cellH = Sh;
    g.cellH2 = 2 * Sh;

    g.ratio = (1 + ab) / (1 - ab);
    g.la = static_cast<float>(p.gy) * 1.5f / (g.c0 * 50);
    g.lb = static_cast<float>(p.gx) * 1.5f / (g.c16 * 50);

    const float blurred = p.blur * std::min(g.c0, g.c16) * 0.02f;
    g.sideWidth = std::max(2.0f, blurred / g.ratio);
    g.width2 = std::max(2.0f, blurred);

    const float w0 = static_cast<float>(W0), h0 = static_cast<float>(H0);
    g.zoom = ((1 - ab) / (1 + ab) + 1) * 0.5f *
             std::max(w0 / (w0 - Sv * std::fabs(g.alpha)), h0 / (h0 - Sh * std::fabs(g.beta)));
    g.shiftX = (1 + ab) * g.zoom * p.moireX;
    g.shiftY = (1 + ab) * g.zoom * p.moireY;

    const float d = 1 - static_cast<float>(p.q) * 0.01f;
    switch (p.orient) {
        case 0: g.shade[0] = g.shade[1] = d; break;
        case 1: g.shade[1] = g.shade[3] = d; break;
        case 2: g.shade[1] = g.shade[2] = d; break;
        default: break;
    }
    g.lightBias = static_cast<float>(std::min(0, p.gy)) * 0.03f + static_cast<float>(std::min(0, p.gx)) * 0.03f;
    g.shadeBias = static_cast<float>(std::min(0, p.q)) * 0.01f;
    g.lightExitGain = (static_cast<float>(std::abs(p.gx) + std::abs(p.gy)) * 0.03f +
                       static_cast<float>(std::abs(p.q)) * 0.01f) *
                      static_cast<float>(p.lightExit) * 0.005f;
    return g;
}

}  // namespace qm::plaitwork
