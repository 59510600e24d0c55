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

double viewFactor(const SourceView& view, double previewScale) {
    switch (view.kind) {
        case SourceView::Kind::Fit:
            return 1.0;
        case SourceView::Kind::Zoom:
            if (view.zoom == 200) return 2 * previewScale;
            if (view.zoom == 50) return 0.5 * previewScale;
            return previewScale;
        case SourceView::Kind::Final:
            break;
    }
    return previewScale;
}

}  // namespace qm::fw
