#include "filters/lumivex/lens_prepare.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "filters/lumivex/height_buffers.h"
#include "filters/lumivex/lumivex_filter.h"
#include "framework/host/filter_session.h"
#include "framework/host/render_state.h"

namespace qm::lumivex {

LensParams deriveParams(const LensSettings& s, int width, int height, float scale) {
    LensParams p;
    p.width = width;
    p.height = height;
    p.scale = scale;
    p.strength = std::pow((s.smoothing + 20) * 0.0125, 1.4);
    p.blur = static_cast<double>(scale) * p.strength * 400;
    p.kernelKey = static_cast<int>(p.blur);
    p.baseAngle = std::atan2(static_cast<double>(25 * (s.angle.x - 25)),
                             static_cast<double>(25 * (s.angle.y - 25)));
    p.amplitude = static_cast<int>(p.strength * s.deformation * 70);
    // Integer products can pass 32 bits at large scales.
    const int64_t e = static_cast<int64_t>(p.blur * 20);
    p.shiftX = static_cast<int32_t>(e * (s.shiftX - 30) / 100);
    p.shiftY = static_cast<int32_t>(e * (s.shiftY - 30) / 100);
    p.mask.left = static_cast<int>(int64_t{s.maskLeft} * width / 160);
    p.mask.right = static_cast<int>(int64_t{s.maskRight} * width / 160);
    p.mask.top = static_cast<int>(int64_t{s.maskTop} * height / 160);
    p.mask.bottom = static_cast<int>(int64_t{s.maskBottom} * height / 160);
    p.longSide = std::max(width, height);
    p.fingerprint = s.inclusion * 6.789 + s.packedMaskRightLeft() * 3.456 +
                    s.packedMaskBottomTop() * 2.345 + s.packedShift() * 5.678 + p.blur * 1.234;
    p.slopeStep = static_cast<int32_t>(scale * 64);
    return p;
}

double refractionAngle(const LensParams& p, double rowTerm, double columnTerm) {
    return p.baseAngle + 4 * (rowTerm + columnTerm) + std::numbers::pi / 4;
}

void deriveBend(const LensSettings& s, LensParams& p) {
    constexpr double pi = std::numbers::pi;
    // The fractions accumulate 1/H a row and 1/W a pixel, as the loop adds them.
    p.rowBend.resize(static_cast<size_t>(std::max(p.height, 0)));
    double rowFraction = 0;
    for (double& term : p.rowBend) {
        term = std::sin(pi * (rowFraction - 0.5)) * (s.skewY - 30) / 30;
        rowFraction += 1.0 / p.height;
    }
    p.columnBend.resize(static_cast<size_t>(std::max(p.width, 0)));
    double columnFraction = 0;
    for (double& term : p.columnBend) {
        term = std::sin(pi * (columnFraction - 0.5)) * (s.skewX - 30) / 30;
        columnFraction += 1.0 / p.width;
    }

    // An unbent axis adds a zero term, so the angle (and the vector) follows
    // the other axis alone.
    p.rowCx.clear();
    p.rowCy.clear();
    p.columnCx.clear();
    p.columnCy.clear();
    auto vector = [&](double phi, int32_t& cx, int32_t& cy) {
        cx = static_cast<int32_t>(p.amplitude * std::sin(phi));
        cy = static_cast<int32_t>(p.amplitude * std::cos(phi));
    };
    if (s.skewX == 30) {
        p.rowCx.resize(p.rowBend.size());
        p.rowCy.resize(p.rowBend.size());
        for (size_t y = 0; y < p.rowBend.size(); ++y)
            vector(refractionAngle(p, p.rowBend[y], 0.0), p.rowCx[y], p.rowCy[y]);
    } else if (s.skewY == 30) {
        p.columnCx.resize(p.columnBend.size());
        p.columnCy.resize(p.columnBend.size());
        for (size_t x = 0; x < p.columnBend.size(); ++x)
            vector(refractionAngle(p, 0.0, p.columnBend[x]), p.columnCx[x], p.columnCy[x]);
    }
}

int prepareLens(fw::RenderState& state) {
    auto* lens = lensSessionOf(*state.session);
    if (!lens) return -1;
    const fw::RenderRegion& r = state.region;
    if (r.width < 0 || r.height < 0 ||
        static_cast<size_t>(r.width) * static_cast<size_t>(r.height) > lens->heightMap.size())
        return -1;

    lens->settings = decodeLensSettings(state.values);
    // The preview renders its reduced copy at scale 1; the final image at the
    // session's preview scale.
    lens->dialogOpen = state.session->preview != nullptr;
    const float scale = lens->dialogOpen ? 1.0f : state.session->previewScale;
    lens->params = deriveParams(lens->settings, r.width, r.height, scale);
    deriveBend(lens->settings, lens->params);
    lens->previewOff = lens->dialogOpen && lens->settings.previewOn == 0;

    lens->kernel.ensure(lens->params.kernelKey, r.width);
    if (lens->params.fingerprint != lens->lastFingerprint) {
        lens->lastFingerprint = lens->params.fingerprint;
        lens->heightDirty = true;
    }
    return 0;
}

}  // namespace qm::lumivex
