// The texture renderer as the render loop drives it: four passes (nothing,
// luminance, relief analysis, composite) over the region, or the edited
// pattern itself while the pattern editor is open.
#pragma once

namespace qm::fw {
struct RenderState;
}

namespace qm::marbleloom {

// Settings, pattern slots, tables and maps for one rendering; 0, or -1 when
// the session is missing or memory runs out.
int prepareTexture(fw::RenderState& state);
void renderTexturePass(fw::RenderState& state);

}  // namespace qm::marbleloom
