// The plug-in's entry point: the selectors of the filter interface.
#pragma once

#include <cstdint>

#include "framework/host/filter_description.h"

namespace qm::fw {

void handleSelector(const FilterDescription& filter, int16_t selector, void* record,
                    intptr_t* data, int16_t* result);

}  // namespace qm::fw

// Each deliverable's main: the exported entry point handing the filter over.
#define QM_DEFINE_ENTRYPOINT()                                                          \
    extern "C" __attribute__((visibility("default"))) void ENTRYPOINT(                  \
        int16_t selector, void* record, intptr_t* data, int16_t* result) {             \
        qm::fw::handleSelector(qm::fw::filterDescription(), selector, record, data, result); \
    }
