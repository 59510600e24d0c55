#include "filters/keenwright/sharpen_kernel.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>

namespace qm::keenwright {

int stepCount(int reach) { return std::max(std::max(reach / 3, 6) / 4, 3); }

std::vector<int> ringRadii(int q) {
    std::vector<int64_t> raw;
    for (int i = 0; i < kMaxRings; ++i) {
        const auto r = static_cast<int64_t>(std::pow(1.3, i) + i);
        raw.push_back(r);
        if (r >= q) break;
    }
    // r[0] = 1 < q always, so at least one ring lies below q.
    const size_t below = raw.size() - 1;
    const int64_t largest = raw[below - 1];
    std::vector<int> radii(raw.size());
    for (size_t i = 0; i < below; ++i) radii[i] = static_cast<int>((q - 1) * raw[i] / largest);
    radii[below] = static_cast<int>(std::min<int64_t>(raw[below], INT32_MAX));
    return radii;
}

int buildEntries(std::span<const int> radii, int ringCount, int q, int width, int cap,
                 std::vector<RingEntry>& entries) {
    entries.assign(static_cast<size_t>(ringCount) * kDirections, RingEntry{});
    int count = 0;
    for (int j = 0; j < ringCount && count < cap; ++j)
        for (int k = 0; k < kDirections && count < cap; ++k) {
            const double theta = (k + 0.5) * std::numbers::pi / 16;
            const double r = radii[static_cast<size_t>(j)];
            RingEntry& e = entries[static_cast<size_t>(j * kDirections + k)];
            e.dx = std::clamp(static_cast<int>(std::lround(std::sin(theta) * r)), 1 - q, q - 1);
            e.dy = std::clamp(static_cast<int>(std::lround(std::cos(theta) * r)), 1 - q, q - 1);
            e.offset = e.dx + static_cast<std::ptrdiff_t>(width) * e.dy;
            ++count;
        }
    return count;
}

void SharpenKernel::prepare(const KernelInputs& inputs) {
    if (!prepared_ || !(inputs == inputs_)) dirty_ = true;
    inputs_ = inputs;
    prepared_ = true;

    q_ = stepCount(inputs.reach);
    radii_ = ringRadii(q_);
    ringCount_ = static_cast<int>(radii_.size()) - 1;
    weights_.resize(static_cast<size_t>(ringCount_));
    for (int j = 0; j < ringCount_; ++j)
        weights_[static_cast<size_t>(j)] =
            j == 0 ? radii_[0] : radii_[static_cast<size_t>(j)] - radii_[static_cast<size_t>(j - 1)];
    entryCount_ = buildEntries(radii_, ringCount_, q_, inputs.width, kEntryCap, entries_);
    sampleOffsets_.resize(entries_.size());
    for (size_t i = 0; i < entries_.size(); ++i) sampleOffsets_[i] = 3 * entries_[i].offset;
    const int64_t base = 20 * static_cast<int64_t>(q_) + 4096;
    flatThreshold_ = base * base;
}

SmoothedPixel SharpenKernel::smoothPixel(const int16_t* work, int column, int row) const {
    const int q = q_;
    // Near the border the samples come from clamped coordinates.
    const bool border = column < q || row < q || column > inputs_.width - q - 2 ||
                        row > inputs_.height - q - 2;
    return border ? smooth<true>(work, column, row) : smooth<false>(work, column, row);
}

template <bool Border>
SmoothedPixel SharpenKernel::smooth(const int16_t* work, int column, int row) const {
    const int width = inputs_.width, height = inputs_.height, q = q_;
    const int16_t* centre = work + 3 * (static_cast<std::ptrdiff_t>(row) * width + column);
    const int32_t r0 = centre[0], g0 = centre[1], b0 = centre[2];

    const double u = static_cast<double>(r0 + g0 + b0) / 98301.0;
    double tone;
    if (inputs_.halo != 0) {
        const double t = 4.0 * u * (1.0 - u);
        const double t2 = t * t;
        tone = t2 * t2;
    } else {
        tone = u * u * u;
    }
    const int64_t flat = flatThreshold_;
    const int64_t edge = static_cast<int64_t>(tone * 255.0) * 3686400 + flat;
    const int64_t startBudget = (static_cast<int64_t>(inputs_.budget) + 4) * (edge / 50000);

    // The last column and row are never sampled in the border band.
    auto clampX = [&](int x) { return std::max(std::min(x, width - 2), 0); };
    auto clampY = [&](int y) { return std::max(std::min(y, height - 2), 0); };
    auto at = [&](int x, int y) { return work + 3 * (static_cast<std::ptrdiff_t>(y) * width + x); };

    const int* radii = radii_.data();
    const int* weights = weights_.data();
    const int rings = ringCount_;
    int64_t flatSum = 0;
    int64_t sumR = 0, sumG = 0, sumB = 0, total = 0;
    // Per direction: the sample pair sums of the rings passed (walk scratch).
    int32_t pairs[kMaxRings * 3];
    for (int k = 0; k < kDirections; ++k) {
        int64_t budget = startBudget;
        int j = 0;
        for (;; ++j) {
            const size_t e = static_cast<size_t>(j * kDirections + k);
            const int16_t* plus;
            const int16_t* minus;
            if constexpr (Border) {
                const RingEntry& entry = entries_[e];
                plus = at(clampX(column + entry.dx), clampY(row + entry.dy));
                minus = at(clampX(column - entry.dx), clampY(row - entry.dy));
            } else {
                plus = centre + sampleOffsets_[e];
                minus = centre - sampleOffsets_[e];
            }
            const int32_t pr = plus[0], pg = plus[1], pb = plus[2];
            const int32_t mr = minus[0], mg = minus[1], mb = minus[2];
            const int64_t d0 = static_cast<int64_t>(pr - r0) * (pr - r0);
            const int64_t d1 = static_cast<int64_t>(pg - g0) * (pg - g0);
            const int64_t d2 = static_cast<int64_t>(pb - b0) * (pb - b0);
            const int64_t d3 = static_cast<int64_t>(mr - r0) * (mr - r0);
            const int64_t d4 = static_cast<int64_t>(mg - g0) * (mg - g0);
            const int64_t d5 = static_cast<int64_t>(mb - b0) * (mb - b0);
            const int64_t largest = std::max(std::max(std::max(d0, d1), std::max(d2, d3)), std::max(d4, d5));
            if (largest > edge) break;
            const int64_t w = weights[j];
            budget -= (d0 + d1 + d2 + d3 + d4 + d5) / 1024 * w;
            if (budget < 0) break;
            if (largest < flat) flatSum += w;
            pairs[3 * j] = pr + mr;
            pairs[3 * j + 1] = pg + mg;
            pairs[3 * j + 2] = pb + mb;
            if (j + 1 >= rings) break;
        }
        // The walk stopped at ring j (passed or not): its radius is the
        // stopping radius U, and ring i < j weighs w[i] (U - r[i]); ring j
        // itself weighs 0.
        const int64_t stop = radii[j];
        for (int i = 0; i < j; ++i) {
            const int64_t e = weights[i] * (stop - radii[i]);
            sumR += e * pairs[3 * i];
            sumG += e * pairs[3 * i + 1];
            sumB += e * pairs[3 * i + 2];
            total += 2 * e;
        }
    }

    SmoothedPixel out;
    const auto flatness = static_cast<int>(static_cast<double>(flatSum) / (16.0 * q) * 255.0);
    out.mask = static_cast<uint8_t>(255 - std::clamp(flatness, 0, 255));
    if (total > 0) {
        out.r = static_cast<int32_t>(sumR / total);
        out.g = static_cast<int32_t>(sumG / total);
        out.b = static_cast<int32_t>(sumB / total);
    } else {
        out.r = r0;
        out.g = g0;
        out.b = b0;
    }
    return out;
}

Sharpening::Sharpening(int amount, int radius, bool maskOn) {
    k_ = std::pow(static_cast<long double>(amount) / 150.0L, 1.5L) * 150.0L * 40.0L /
         static_cast<long double>(2 * radius + 100);
    for (int mask = 0; mask < 256; ++mask) {
        const long double flatness = static_cast<long double>(255 - mask) / 255.0L;
        const long double m = maskOn ? 0.25L + 0.75L * flatness : 0.75L + 0.25L * flatness;
        strength_[static_cast<size_t>(mask)] = k_ * m;
    }
}

int32_t Sharpening::apply(int32_t source, int32_t smoothed, long double v) {
    const long double x = static_cast<long double>(source) / 32767.0L;
    const long double s = static_cast<long double>(smoothed) / 32767.0L;
    const long double result = (x + v * (x - s)) * 32767.0L;
    // Truncation toward zero followed by the limits, without converting a
    // value that does not fit.
    if (result <= 0) return 0;
    if (result >= kFullScale) return kFullScale;
    return static_cast<int32_t>(result);
}

}  // namespace qm::keenwright
