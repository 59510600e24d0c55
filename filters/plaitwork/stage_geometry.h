// The floating-point geometry of one strip stage: the skewed cell, the
// shading widths, the zoom and the corner shades.
#pragma once

#include "filters/plaitwork/stage_params.h"

namespace qm::plaitwork {

struct StageGeometry {
    float alpha = 0, beta = 0, ab = 0;
    float c0 = 0, c4 = 0, c8 = 0, c12 = 0, c16 = 0, c20 = 0, c24 = 0, c28 = 0, c36 = 0, c40 = 0;
    float cellV = 0, cellV2 = 0, cellH = 0, cellH2 = 0;  // Sv, 2Sv, Sh, 2Sh
    float ratio = 1;
    float la = 0, lb = 0;
    float sideWidth = 2, width2 = 2;
    float zoom = 1;
    float shiftX = 0, shiftY = 0;
    float shade[4] = {1, 1, 1, 1};  // s0..s3
    float lightBias = 0, shadeBias = 0, lightExitGain = 0;
};

// W0 x H0 is the render target's size.
StageGeometry makeStageGeometry(const StageParams& p, int W0, int H0);

}  // namespace qm::plaitwork
