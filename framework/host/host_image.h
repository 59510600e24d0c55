// The host's image as the framework reads it: the FilterRecord's buffers for
// the whole image rectangle.
#pragma once

#include <cstdint>

namespace qm::fw {

struct HostImage {
    const uint8_t* data = nullptr;  // inData: planes interleaved, R G B (A)
    int32_t stride = 0;             // inRowBytes
    int32_t width = 0, height = 0;
    int planes = 3;                 // P, as decided at start (3 or 4)
    int hostPlanes = 3;             // the host's planes (the thumbnail steps by it)
    bool sixteenBit = false;        // two bytes a sample, low first, 0..32768
    const uint8_t* mask = nullptr;  // maskData, or null
    int32_t maskStride = 0;
};

}  // namespace qm::fw
