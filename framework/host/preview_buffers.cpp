#include "framework/host/preview_buffers.h"

#include <cstddef>
#include <exception>

namespace qm::fw {

bool PreviewBuffers::allocate(int areaWidth, int areaHeight, int planeCount, bool withMask) {
    width = areaWidth / 4 * 4;
    height = areaHeight / 4 * 4;
    planes = planeCount;
    const size_t pixels = static_cast<size_t>(width) * static_cast<size_t>(height);
    try {
        copy.assign(pixels * static_cast<size_t>(planes), 0);
        display.assign(pixels * static_cast<size_t>(planes), 0);
        maskCopy.assign(withMask ? pixels : 0, 0);
    } catch (const std::exception&) {  // bad_alloc, or a size beyond max_size
        copy.clear();
        display.clear();
        maskCopy.clear();
        failed = true;
        return false;
    }
    return true;
}

}  // namespace qm::fw
