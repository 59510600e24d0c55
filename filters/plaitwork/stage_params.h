// The integer parameters of one strip stage, derived from the settings at the
// start of a render.
#pragma once

#include "filters/plaitwork/strip_settings.h"

namespace qm::plaitwork {

struct StageParams {
    int Sv = 2, Sh = 2;  // spacings at the render's scale
    int K = 0, J = 0;    // stretch, -49..49
    int gy = 0, gx = 0;  // gradient shadow depth, -25..25
    int q = 0;           // side shading, -75..75
    int lightExit = 0;
    float blur = 0;
    int orient = 0;      // 0, 1 or 2
    int offY = 0, offX = 0;
    float moireX = 0, moireY = 0;  // first stage only
};

// stage is 1 or 2; s is the render's scale; planes is P.
StageParams makeStageParams(const StripSettings& settings, int stage, float s, int planes);

}  // namespace qm::plaitwork
