// The five passes of a Lumivex render, one call a pixel:
//   0  in the dialog: the mask thumbnail, or a plain copy with the preview off
//   1  height from the shifted brightness, the masks and the inclusion
//   2  horizontal blur of the height map into the transposed scratch buffer
//   3  vertical blur back into the height map, walked column-major
//   4  refraction: the source sampled at the displacement of the local slope
// Passes 1 to 3 run only while the height map is dirty.
#pragma once

namespace qm::fw {
struct RenderState;
}

namespace qm::lumivex {

struct LensSession;

void maskThumbnailPass(const fw::RenderState& state, LensSession& lens);
void copyPass(const fw::RenderState& state);
void heightPass(const fw::RenderState& state, LensSession& lens);
void horizontalBlurPass(const fw::RenderState& state, LensSession& lens);
void verticalBlurPass(const fw::RenderState& state, LensSession& lens);
void refractionPass(const fw::RenderState& state, LensSession& lens);

// The filter's renderPass: the pass of state.pass at (state.column, state.row).
void renderLensPass(fw::RenderState& state);

}  // namespace qm::lumivex
