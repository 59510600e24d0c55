// KeenwrightHD's filter description (qm::fw::filterDescription()) lives in
// keenwrighthd_filter.cpp; this gives tests the kernel it keeps.
#pragma once

#include "filters/keenwrighthd/hd_kernel.h"

namespace qm::khd {

// One kernel per loaded library, kept between renders: its dirty flag carries
// the cached smoothing from one render of a filter session to the next.
HdKernel& hdKernel();

}  // namespace qm::khd
