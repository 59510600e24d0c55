// Kept apart from resources.cpp: only modules that call thisModule() need to
// define the generated table, so programs without one still link.
#include "platform/os/resources.h"

extern "C" const QmResourceTable quillmere_resources;

namespace qm::os {

const ResourceModule& thisModule() {
    static const ResourceModule module(&quillmere_resources);
    return module;
}

}  // namespace qm::os
