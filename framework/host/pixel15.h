// A pixel on the 15-bit sample scale (0 ... 32767) with its selection value:
// what a render reads from its source.
#pragma once

#include <cstdint>

namespace qm::fw {

inline constexpr int16_t kOpaque15 = 32767;  // a missing transparency plane
inline constexpr int kNoMask = -1;

struct Pixel15 {
    int32_t r = 0, g = 0, b = 0;
    int32_t a = kOpaque15;
    int32_t mask = kNoMask;  // 0 ... 255, or kNoMask: treat as fully selected
};

}  // namespace qm::fw
