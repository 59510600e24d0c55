// The per-pixel pass of Plaitwork 2000 and the render state it works from.
#pragma once

#include <cstdint>
#include <vector>

#include "filters/plaitwork/evaluate_stage.h"
#include "filters/plaitwork/render_values.h"
#include "filters/plaitwork/stage_geometry.h"
#include "filters/plaitwork/stage_params.h"
#include "filters/plaitwork/strip_settings.h"

namespace qm::plaitwork {

// An 8-bit interleaved render target (the earlier framework variant has no
// 16-bit path).
struct StripTarget {
    const uint8_t* source = nullptr;
    int32_t sourceStride = 0;
    uint8_t* destination = nullptr;
    int32_t destinationStride = 0;
    const uint8_t* mask = nullptr;  // null: no selection
    int32_t maskStride = 0;
    int planes = 3;
    int width = 0, height = 0;
};

// The mesh box's running sums of R + G + B. They carry from pixel to pixel
// of one render, so pixels must be visited row by row, left to right.
struct MeshSums {
    std::vector<int64_t> columns;  // per column: the sum over the box's rows
    int64_t box = 0;               // the sum over the box around the last pixel
    int builtRow = -1;             // the row the column sums are for
};

struct StripRender {
    StripSettings settings;
    StageParams stage1, stage2;
    StageGeometry geometry1, geometry2;
    RenderValues values;
    const CurveTable* curve = nullptr;
    std::vector<double> rowFraction;  // y / H as the loop accumulates it
    MeshSums mesh;
};

// Builds everything a render needs (the prepare step). settings are already
// limited. False when the buffers cannot be allocated.
bool prepareStripRender(StripRender& render, const StripSettings& settings, const StripTarget& target,
                        float scale, CurveTable& curve);

// Pass 1 at (x, y).
void renderStripPixel(StripRender& render, const StripTarget& target, int x, int y);
// The same with the mesh sums of the caller's own (one set per thread; rows
// in any order, each row left to right).
void renderStripPixel(const StripRender& render, MeshSums& mesh, const StripTarget& target, int x, int y);

// The mesh box's brightness h at (x, y) for a box of m + 1 pixels: the mean
// of R + G + B over the box, less 128. Updates the running sums.
int meshHeight(MeshSums& mesh, const StripTarget& target, int m, int x, int y);

// The saturation step: rescales the saturation of (r, g, b) by (a + 100) / 100.
void saturate(int64_t& r, int64_t& g, int64_t& b, int amount);

}  // namespace qm::plaitwork
