// The render loop: a filter's passes over a region, row by row, column by
// column. With a preview control it renders the dialog's preview (skipping
// unchanged settings, restarting when the user moves a control, recording
// the history); without one, the final pass over the whole image with the
// host's abort and progress callbacks.
#pragma once

#include <cstdint>

namespace qm::fw {

struct RenderState;

// noErr, memFullErr (preparation failed) or userCanceledErr (host abort).
int16_t render(RenderState& state);

}  // namespace qm::fw
