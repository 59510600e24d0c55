// One strip stage at one point: which of the four strip pieces the point lies
// on, its light, shade and strip coordinates, and (with remapping) the point
// moved into the strip's own picture coordinates.
#pragma once

#include "filters/plaitwork/stage_geometry.h"
#include "filters/plaitwork/stage_params.h"

namespace qm::plaitwork {

// The point shared by both stages of a pixel, and its light accumulator.
struct StagePoint {
    float X = 0, Y = 0;
    float light = 0.75f;  // Λ
};

enum class Piece { A, B, C, D };

struct StageResult {
    float L = 1, Sd = 1;  // light and shade, biases applied
    float su = 0, sv = 0; // strip coordinates
    Piece piece = Piece::A;
};

StageResult evaluateStage(const StageGeometry& g, const StageParams& p, StagePoint& point, bool remap);

// ⌊v⌋ as the filter takes it: truncation, minus 1 for negative values (so a
// negative whole number lands one lower).
int stripFloor(float v);

// Truncation toward zero; NaN and values beyond the int range give INT_MIN,
// the x86 conversion's answer, which the pixel reads then clamp.
int truncToInt(float v);

}  // namespace qm::plaitwork
