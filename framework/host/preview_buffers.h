// The preview control's buffers and state, as the render loop and the
// transfer use them. The dialog's UiPreview owns one; the framework core and
// its tests use it directly.
#pragma once

#include <cstdint>
#include <vector>

namespace qm::fw {

struct PreviewBuffers {
    // Allocates for an area of width x height (each rounded down to a multiple
    // of 4) and P planes; false (and failed set) when memory runs out.
    bool allocate(int areaWidth, int areaHeight, int planes, bool withMask);

    int width = 0, height = 0;  // the area: previewWidth x 600, or 600 x 600
    int planes = 3;             // P
    std::vector<uint8_t> copy;      // P x width x height, stride width x P
    std::vector<uint8_t> maskCopy;  // width x height, only with a host mask
    std::vector<uint8_t> display;   // P x width x height; converted in place to BGR
    int copyWidth = 0, copyHeight = 0;  // the part of the copy holding image data
    int renderedWidth = 0, renderedHeight = 0;  // the region the last render covered
    bool transferred = false;   // the copy has been made
    bool dirty = false;         // new settings loaded, render before showing
    bool displayValid = true;   // false: display holds fresh pixels to convert
    bool failed = false;        // a buffer could not be allocated; never draws
    bool sixteenBit = false;
    uint32_t renderStartTime = 0;  // tick count at render start; 0 none pending
};

}  // namespace qm::fw
