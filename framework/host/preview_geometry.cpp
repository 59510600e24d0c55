#include "framework/host/preview_geometry.h"

#include <algorithm>
#include <cmath>

namespace qm::fw {

PreviewGeometry laterPreviewGeometry(int32_t width, int32_t height) {
    PreviewGeometry g;
    const double aspect = height > 0 ? static_cast<double>(width) / height : 1.0;
    int64_t candidate = aspect > 1 ? std::llround(aspect * 600) : 600;
    if (width < candidate) candidate = width;
    candidate = std::clamp<int64_t>(candidate, 600, 900);
    g.previewWidth = static_cast<int>(candidate / 4 * 4);
    g.previewScale = aspect > 1 ? static_cast<double>(width) / g.previewWidth : height / 600.0;
    if (g.previewScale < 1) g.previewScale = 1;
    return g;
}

PreviewGeometry earlierPreviewGeometry(int32_t width, int32_t height) {
    PreviewGeometry g;
    const double m = std::max(width, height) / 600.0;
    g.previewScale = m >= 1 ? m : 1.0;
    g.imageSizeFactor = m >= 1 ? 1024 : static_cast<int>(m * 1024);
    return g;
}

}  // namespace qm::fw
