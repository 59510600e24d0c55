#include "filters/plaitwork/stage_params.h"

#include <algorithm>

namespace qm::plaitwork {

StageParams makeStageParams(const StripSettings& st, int stage, float s, int planes) {
    const bool first = stage == 1;
    const int vSpacing = first ? st.vSpacing1 : st.vSpacing2;
    const int hSpacing = first ? st.hSpacing1 : st.hSpacing2;
    const Pad stretch = first ? st.stretch1 : st.stretch2;
    const Pad depth = first ? st.shadowDepth1 : st.shadowDepth2;
    const int shading = first ? st.sideShading1 : st.sideShading2;
    const StripColour shadow = first ? st.shadowColour1 : st.shadowColour2;

    StageParams p;
    p.Sv = std::max(2, static_cast<int>(static_cast<float>(vSpacing) * s));
    p.Sh = std::max(2, static_cast<int>(static_cast<float>(hSpacing) * s));
    p.K = std::clamp(50 - 2 * stretch.x, -49, 49);
    p.J = std::clamp(2 * stretch.y - 50, -49, 49);
    p.gy = depth.y - 25;
    p.gx = depth.x - 25;
    p.q = (3 * shading - 150) / 2;
    p.lightExit = shadow.mode == 3 && planes == 4 ? 0 : st.lightExiting;
    p.blur = static_cast<float>(first ? st.sideBlur1 : st.sideBlur2);
    p.orient = (first ? st.orientation1 : st.orientation2) / 2;
    p.offY = std::max(-p.J, 0) * p.Sh / 50;
    p.offX = std::max(p.K, 0) * p.Sv / 50;
    if (first) {
        p.moireX = static_cast<float>(-(p.Sh * (st.moireH - 50))) * 0.02f;
        p.moireY = static_cast<float>(-(p.Sv * (st.moireV - 50))) * 0.02f;
    }
    return p;
}

}  // namespace qm::plaitwork
