// KeenwrightHD's filter description (qm::fw::filterDescription()) lives in
// keenwrighthd_filter.cpp; this gives tests the state a session keeps.
#pragma once

#include "filters/keenwrighthd/hd_kernel.h"
#include "framework/host/filter_description.h"

namespace qm::fw {
struct FilterSession;
}

namespace qm::khd {

// One filter session's state: the kernel, whose dirty flag carries the
// cached smoothing from one render of the session to the next, and what the
// preparation step decided for the current render.
struct HdSession : fw::FilterData {
    HdKernel kernel;
    bool showSource = false;  // the dialog's preview with Preview off
};
HdSession& hdSessionOf(const fw::FilterSession& session);

}  // namespace qm::khd
