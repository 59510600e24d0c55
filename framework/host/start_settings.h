// The settings a run starts from and what it keeps after applying, through
// the registry and the host's scripting descriptor.
#pragma once

#include "platform/os/resources.h"

namespace qm::fw {

struct FilterSession;

// At the start of a run: the host's descriptor record, else "Last Used", else
// the default factory preset becomes the session's record. A session that
// keeps no settings (earlier variant) always starts on the default factory
// preset. Expects the session's format, registry key, default position and
// FilterRecord (may be null) to be set.
void chooseStartSettings(FilterSession& session, const os::ResourceModule& resources);

// After a run that applied the filter: seals the record with the pinned
// flag, writes "Last Used" and hands the record back to the host as a new
// descriptor when it offers write procedures.
void storeLastUsed(FilterSession& session);

}  // namespace qm::fw
