// The five passes of a Lumivex render, one call a pixel:
//   0  in the dialog: the mask thumbnail, or a plain copy with the preview off
//   1  height from the shifted brightness, the masks and the inclusion
//   2  horizontal blur of the height map into the transposed scratch buffer
//   3  vertical blur back into the height map, walked column-major
//   4  refraction: the source sampled at the displacement of the local slope
// Passes 1 to 3 run only while the height map is dirty.
#pragma once

#include <memory>

namespace qm::fw {
struct RenderState;
class RowScratch;
}

namespace qm::lumivex {

struct LensSession;

// Each at the loop's (x, y); pass 3's names the i-th pixel in column-major
// order (i = y x width + x). Pixels of one pass are independent.
void maskThumbnailPass(const fw::RenderState& state, LensSession& lens, int x, int y);
void copyPass(const fw::RenderState& state, int x, int y);
void heightPass(const fw::RenderState& state, LensSession& lens, int x, int y);
void horizontalBlurPass(const fw::RenderState& state, LensSession& lens, int x, int y);
void verticalBlurPass(const fw::RenderState& state, LensSession& lens, int x, int y);
void refractionPass(const fw::RenderState& state, LensSession& lens, int x, int y);

// The filter's renderPass: the pass of state.pass at (state.column, state.row).
void renderLensPass(fw::RenderState& state);
// The same by rows, on several threads at once, and what the first pixel of
// a pass did.
void renderLensRows(fw::RenderState& state, fw::RowScratch* scratch, int pass, int first, int last);
// A worker's blur buffers, for lines as long as the region's longer side.
std::unique_ptr<fw::RowScratch> makeLensScratch(const fw::RenderState& state);
void beginLensPass(fw::RenderState& state, int pass);

}  // namespace qm::lumivex
