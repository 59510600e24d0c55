// The texture renderer as the render loop drives it: four passes (nothing,
// luminance, relief analysis, composite) over the region, or the edited
// pattern itself while the pattern editor is open.
#pragma once

#include <memory>

namespace qm::fw {
struct RenderState;
class RowScratch;
}

namespace qm::marbleloom {

// Settings, pattern slots, tables and maps for one rendering; 0, or -1 when
// the session is missing or memory runs out.
int prepareTexture(fw::RenderState& state);
void renderTexturePass(fw::RenderState& state);
// The same by rows on several threads: the passes' rows, a worker's scratch,
// and what the per-pixel step did at a pass's first pixel.
void renderTextureRows(fw::RenderState& state, fw::RowScratch* scratch, int pass, int first, int last);
std::unique_ptr<fw::RowScratch> makeTextureScratch(const fw::RenderState& state);
void beginTexturePass(fw::RenderState& state, int pass);

}  // namespace qm::marbleloom
