// The state of the render loop for one filter session: the decoded settings,
// the history, the region being rendered and the loop's position in it.
#pragma once

#include <cstdint>
#include <vector>

#include "framework/settings/history.h"
#include "framework/settings/record.h"

namespace qm::fw {

struct FilterSession;

// Where a render's source pixels come from (the preparation step chooses).
struct SourceView {
    enum class Kind { Final, Fit, Zoom };
    Kind kind = Kind::Final;
    int zoom = 100;  // 100, 200 or 50
    int offX = 0, offY = 0;  // the navigator's offsets in image pixels
};

// The scale of a view relative to its region, for lengths that follow the
// image: the whole image and the 100 % zoom at previewScale, 200 % twice and
// 50 % half of it, Fit 1 (the preview copy is already reduced).
double viewFactor(const SourceView& view, double previewScale);

struct RenderRegion {
    int planes = 3;  // P
    const uint8_t* source = nullptr;
    int32_t sourceStride = 0;
    bool sourceSixteenBit = false;
    uint8_t* destination = nullptr;
    int32_t destinationStride = 0;
    bool destinationSixteenBit = false;
    const uint8_t* mask = nullptr;  // null: no selection
    int32_t maskStride = 0;
    int width = 0, height = 0;
};

struct RenderState {
    RenderState(FilterSession& owner, int passes, int recordLength)
        : history(recordLength), passCount(passes), session(&owner) {}

    ValueSlots values{};
    History history;
    RenderRegion region;
    SourceView view;
    int row = 0, column = 0, pass = 0;
    int passCount;
    FilterSession* session;

    // The later variant's working buffers, indexed by row x region width + column.
    std::vector<int16_t> workBuffer;    // A x 3 (R, G, B on the 15-bit scale)
    std::vector<int16_t> smoothBuffer;  // A x 3
    std::vector<uint8_t> maskBuffer;    // A
    // False when memory runs out (the caller answers memFullErr).
    bool allocateWorkingBuffers(size_t pixels);
};

}  // namespace qm::fw
