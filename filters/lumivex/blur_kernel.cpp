#include "filters/lumivex/blur_kernel.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace qm::lumivex {

double BlurKernel::sigmaFor(int n) { return (0.2 * n + 1) * 0.3003866304256165; }

bool BlurKernel::ensure(int n, int width) {
    if (n == builtN_ && width == builtWidth_) return false;
    const double sigma = sigmaFor(n);
    // The square root of 2 pi sigma, not sigma times the root of 2 pi.
    const double norm = std::sqrt(2 * std::numbers::pi * sigma);
    first_ = kCentre;
    bool found = false;
    for (int i = 0; i < kTaps; ++i) {
        const double d = i - kCentre;
        const int32_t k = static_cast<int32_t>(400 * std::exp(-(d * d) / (2 * sigma * sigma)) / norm);
        weights_[static_cast<size_t>(i)] = k;
        narrow_[static_cast<size_t>(i)] = static_cast<int16_t>(std::min<int32_t>(k, 32767));
        if (k != 0 && !found) {
            first_ = i;
            found = true;
        }
        prefix_[static_cast<size_t>(i) + 1] = prefix_[static_cast<size_t>(i)] + k;
    }
    narrowSum_ = prefix_[kTaps] <= 65535 && weights_[kCentre] <= 32767;
    builtN_ = n;
    builtWidth_ = width;
    return true;
}

// Up to 1023 taps a pixel, twice: worth the wider registers where there are
// any (integer sums, so the same result in any order).
__attribute__((target_clones("avx2", "default"))) int32_t BlurKernel::blurAt(const int16_t* line, int length,
                                                                              int p) const {
    // Tap i reads line[p + i - 511]; keep the taps in use that land on the line.
    const int lo = std::max(first_, kCentre - p);
    const int hi = std::min(kTaps - 1 - first_, kCentre - p + length - 1);
    if (lo > hi) return 0;
    const int16_t* v = line + (p + lo - kCentre);
    const int count = hi - lo + 1;
    int64_t sum = 0;
    if (narrowSum_) {
        // 16-bit products into a 32-bit sum: the loop the compiler vectorises.
        const int16_t* k = narrow_.data() + lo;
        int32_t narrowSum = 0;
        for (int i = 0; i < count; ++i) narrowSum += k[i] * v[i];
        sum = narrowSum;
    } else {
        const int32_t* k = weights_.data() + lo;
        for (int i = 0; i < count; ++i) sum += static_cast<int64_t>(k[i]) * v[i];
    }
    const int64_t wsum = prefix_[static_cast<size_t>(hi) + 1] - prefix_[static_cast<size_t>(lo)];
    return static_cast<int32_t>((6 * sum) / (wsum + 1));
}

}  // namespace qm::lumivex
