// The Lumivex filter as the framework sees it; its session hooks are exposed
// for the tests that drive the final pass directly.
#pragma once

#include "framework/host/filter_description.h"

namespace qm::fw {
struct FilterSession;
}

namespace qm::lumivex {

struct LensSession;

// Allocates the session's buffers for the record's image size into
// session.filterData (false when memory runs out) and frees them again.
bool beginLensSession(fw::FilterSession& session);
void endLensSession(fw::FilterSession& session);

// The session's buffers while a filter session is open, else null.
LensSession* lensSessionOf(const fw::FilterSession& session);

}  // namespace qm::lumivex
