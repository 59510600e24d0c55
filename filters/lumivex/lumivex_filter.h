// The Lumivex filter as the framework sees it; its session hooks are exposed
// for the tests that drive the final pass directly.
#pragma once

#include <memory>

#include "filters/lumivex/height_buffers.h"
#include "framework/host/filter_description.h"
#include "framework/host/filter_session.h"

namespace qm::lumivex {

// The session's buffers for the record's image size (null when memory runs
// out).
std::unique_ptr<fw::FilterData> beginLensSession(fw::FilterSession& session);

// The session's buffers while a filter session is open, else null.
inline LensSession* lensSessionOf(const fw::FilterSession& session) { return session.dataAs<LensSession>(); }

}  // namespace qm::lumivex
