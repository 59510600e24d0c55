#include "filters/lumivex/blur_kernel.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace qm::lumivex {

double BlurKernel::sigmaFor(int n) { return (0.2 * n + 1) * 0.3003866304256165; }

void BlurKernel::buildBoxes() {
    boxes_.clear();
    useBoxes_ = false;
    // Each level must be one run of taps: the weights rise to the centre and
    // fall after it (a Gaussian's do; checked, not assumed).
    const int top = weights_[kCentre];
    for (int i = 0; i < kTaps; ++i) {
        const int32_t next = i + 1 < kTaps ? weights_[static_cast<size_t>(i) + 1] : 0;
        if (i < kCentre ? next < weights_[static_cast<size_t>(i)] : next > weights_[static_cast<size_t>(i)]) return;
    }
    // Whichever is less work (both give the same bytes): measured, a box
    // costs about two taps, and a pixel's tap sum some 90 taps on top.
    const int taps = kTaps - 2 * first_;
    if (!narrowSum_ || top <= 0 || 2 * top > taps + 90) return;
    boxes_.reserve(static_cast<size_t>(top));
    int lo = first_, hi = kTaps - 1 - first_;
    for (int level = 1; level <= top; ++level) {
        while (weights_[static_cast<size_t>(lo)] < level) ++lo;
        while (weights_[static_cast<size_t>(hi)] < level) --hi;
        boxes_.push_back(Box{lo - kCentre, hi - kCentre});
    }
    useBoxes_ = true;
}

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
    buildBoxes();
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

void BlurScratch::reserve(int length) {
    prefix.resize(static_cast<size_t>(std::max(length, 0)) + 2 * BlurKernel::kCentre + 3);  // blurLine's room
    sums.resize(kBlurBlock);
}

// The box sums and divisions run side by side across a block: wider registers help.
__attribute__((target_clones("avx2", "default"))) void BlurKernel::blurLine(const int16_t* line, int length,
                                                                             int from, int to, int16_t* out,
                                                                             ptrdiff_t outStep,
                                                                             BlurScratch& scratch) const {
    const size_t room = static_cast<size_t>(std::max(length, 0)) + 2 * kCentre + 3;
    if (!useBoxes_ || scratch.prefix.size() < room || scratch.sums.size() < static_cast<size_t>(kBlurBlock)) {
        for (int p = from; p < to; ++p) out[(p - from) * outStep] = static_cast<int16_t>(blurAt(line, length, p));
        return;
    }
    // sums[m + pad] = line[0] + ... + line[m - 1], the ends held beyond the
    // line, so a box cut off by an end sums just its taps on the line. The
    // sums wrap at 32 bits, which a difference undoes: every box sum, and the
    // level total (the tap sum), stays below 2^31 in size.
    constexpr int pad = kCentre + 1;
    uint32_t* sums = scratch.prefix.data() + pad;
    std::fill(sums - pad, sums + 1, 0u);
    uint32_t running = 0;
    for (int m = 0; m < length; ++m) sums[m + 1] = running += static_cast<uint32_t>(line[m]);
    std::fill(sums + length + 1, sums + length + pad + 1, running);

    const int reach = kCentre - first_;
    const double whole = static_cast<double>(prefix_[kTaps] + 1);
    uint32_t* block = scratch.sums.data();
    for (int start = from; start < to; start += kBlurBlock) {
        const int count = std::min(kBlurBlock, to - start);
        std::fill(block, block + count, 0u);
        for (const Box& b : boxes_) {
            const uint32_t* high = sums + start + b.hi + 1;
            const uint32_t* low = sums + start + b.lo;
            for (int t = 0; t < count; ++t) block[t] += high[t] - low[t];
        }
        for (int t = 0; t < count; ++t) {
            const int p = start + t;
            double divisor = whole;
            if (p < reach || p >= length - reach) {
                const int lo = std::max(first_, kCentre - p), hi = std::min(kTaps - 1 - first_, kCentre - p + length - 1);
                divisor = static_cast<double>(prefix_[static_cast<size_t>(hi) + 1] - prefix_[static_cast<size_t>(lo)] + 1);
            }
            // Below 2^35 over at most 65536: the double quotient never rounds
            // across an integer, so truncating it is the integer division.
            const double tapSum = static_cast<double>(static_cast<int32_t>(block[t]));
            out[(p - from) * outStep] = static_cast<int16_t>(static_cast<int32_t>(6 * tapSum / divisor));
        }
    }
}

}  // namespace qm::lumivex
