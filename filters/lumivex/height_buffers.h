// The working buffers of one filter session: the height map, its transposed
// scratch copy, the mask thumbnail, the kernel and the fingerprint that lets
// a render reuse the height map of the one before.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "filters/lumivex/blur_kernel.h"
#include "filters/lumivex/lens_prepare.h"
#include "framework/host/filter_description.h"

namespace qm::lumivex {

constexpr int kThumbnailSide = 160;
// The dialog's background colour behind the thumbnail.
constexpr uint8_t kThumbnailR = 227, kThumbnailG = 217, kThumbnailB = 203;

struct LensSession : fw::FilterData {
    // Both W x H of the whole image; a render uses the first
    // regionWidth x regionHeight values.
    std::vector<int16_t> heightMap;      // index y x W + x
    std::vector<int16_t> heightScratch;  // transposed: index x x H + y
    // 160 x 160, 3 bytes a pixel in B, G, R order (a top-down surface row).
    std::vector<uint8_t> thumbnail;
    BlurKernel kernel;
    double lastFingerprint = -1.0;
    bool heightDirty = false;

    // Of the current render, set by its preparation.
    LensSettings settings;
    LensParams params;
    bool dialogOpen = false;
    bool previewOff = false;  // in the dialog with the preview switched off

    // Allocates for a width x height image; null when memory runs out.
    static std::unique_ptr<LensSession> create(int32_t width, int32_t height);
    void clearThumbnail();
};

}  // namespace qm::lumivex
