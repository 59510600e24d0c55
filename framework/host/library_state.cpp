#include "framework/host/filter_session.h"

namespace qm::fw {

LibraryState& libraryState() {
    static LibraryState state;
    return state;
}

}  // namespace qm::fw
