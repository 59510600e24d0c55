// Plaitwork 2000 on the framework's earlier variant: its description, and the
// preparation and pass the render loop calls.
#pragma once

#include <memory>

#include "filters/plaitwork/strip_pass.h"
#include "framework/host/filter_description.h"

namespace qm::fw {
struct FilterSession;
struct RenderState;
}  // namespace qm::fw

namespace qm::plaitwork {

constexpr int kMinimumSide = 25;
constexpr int kPassCount = 2;

// The filter's own state for one filter session.
struct PlaitworkSession : fw::FilterData {
    StripRender render;
    StripTarget target;
    // An odd curve shape keeps the table the session's previous render built
    // (all zero before the first).
    CurveTable curve{};
};

std::unique_ptr<fw::FilterData> beginSession(fw::FilterSession& session);
int prepare(fw::RenderState& state);
void renderPass(fw::RenderState& state);

}  // namespace qm::plaitwork
