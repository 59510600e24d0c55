#include "framework/host/render_state.h"

#include <exception>

namespace qm::fw {

bool RenderState::allocateWorkingBuffers(size_t pixels) {
    try {
        workBuffer.assign(pixels * 3, 0);
        smoothBuffer.assign(pixels * 3, 0);
        maskBuffer.assign(pixels, 0);
    } catch (const std::exception&) {  // bad_alloc, or a size beyond max_size
        workBuffer.clear();
        smoothBuffer.clear();
        maskBuffer.clear();
        return false;
    }
    return true;
}

}  // namespace qm::fw
