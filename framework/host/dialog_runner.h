// Running the filter's modal dialog.
#pragma once

#include <cstdint>

namespace qm::fw {

struct FilterSession;
struct RenderState;

// Runs the dialog; its result (noErr for apply, userCanceledErr for cancel,
// memFullErr when a preview render failed) goes to result. Answers false when
// the dialog cannot be created.
bool runFilterDialog(FilterSession& session, RenderState& state, int16_t& result);

}  // namespace qm::fw
