// The values a render derives from its settings once, before its passes.
#pragma once

#include <cstdint>
#include <vector>

#include "filters/lumivex/lens_sampling.h"
#include "filters/lumivex/lens_settings.h"

namespace qm::fw {
struct RenderState;
}

namespace qm::lumivex {

struct LensParams {
    int width = 0, height = 0;  // W, H of the render target
    float scale = 1.0f;         // s
    double strength = 0;        // a
    double blur = 0;            // b
    int kernelKey = 0;          // n
    double baseAngle = 0;       // theta
    int amplitude = 0;          // G
    int32_t shiftX = 0, shiftY = 0;  // 1/64 pixel
    MaskRect mask;
    int longSide = 0;           // M
    double fingerprint = 0;     // F
    int32_t slopeStep = 64;     // d = trunc(s x 64)

    // The skew's bend of the angle, one term a row and one a column (they
    // depend only on the accumulated row and column fractions).
    std::vector<double> rowBend, columnBend;
    // When one axis has no skew, the displacement vector depends only on the
    // other: (cx, cy) a row or a column; empty otherwise.
    std::vector<int32_t> rowCx, rowCy, columnCx, columnCy;
};

// Everything but the bend tables, for a W x H target at scale s.
LensParams deriveParams(const LensSettings& settings, int width, int height, float scale);
// The bend tables and the displacement tables where one axis is unbent.
void deriveBend(const LensSettings& settings, LensParams& params);
// phi for a row's and a column's bend terms.
double refractionAngle(const LensParams& params, double rowTerm, double columnTerm);

// The filter's preparation step: decodes the settings, derives the values,
// makes sure the kernel fits (n, W) and marks the height map dirty when the
// fingerprint changed. Fails only when the session's buffers are missing or
// too small for the region.
int prepareLens(fw::RenderState& state);

}  // namespace qm::lumivex
