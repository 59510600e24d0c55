// The size of the dialog's preview for an image, and how many image pixels
// one preview pixel stands for.
#pragma once

#include <cstdint>

namespace qm::fw {

struct PreviewGeometry {
    int previewWidth = 600;   // later variant: 600..900, a multiple of 4; earlier: 600
    double previewScale = 1.0;  // >= 1
    int imageSizeFactor = 1024;  // earlier variant: F
};

// Later variant: previewWidth x 600, wider for wide images.
PreviewGeometry laterPreviewGeometry(int32_t width, int32_t height);
// Earlier variant: a fixed 600 x 600 area.
PreviewGeometry earlierPreviewGeometry(int32_t width, int32_t height);

}  // namespace qm::fw
