#include "filters/keenwright/sharpen_kernel.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>

#include <immintrin.h>

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

SharpenKernel::Thresholds SharpenKernel::thresholds(int32_t r0, int32_t g0, int32_t b0) const {
    const double u = static_cast<double>(r0 + g0 + b0) / 98301.0;
    double tone;
    if (inputs_.halo != 0) {
        const double t = 4.0 * u * (1.0 - u);
        const double t2 = t * t;
        tone = t2 * t2;
    } else {
        tone = u * u * u;
    }
    Thresholds t;
    t.edge = static_cast<int64_t>(tone * 255.0) * 3686400 + flatThreshold_;
    t.budget = (static_cast<int64_t>(inputs_.budget) + 4) * (t.edge / 50000);
    return t;
}

SmoothedPixel SharpenKernel::finish(int64_t flatSum, int64_t sumR, int64_t sumG, int64_t sumB, int64_t total,
                                    int32_t r0, int32_t g0, int32_t b0) const {
    SmoothedPixel out;
    const auto flatness = static_cast<int>(static_cast<double>(flatSum) / (16.0 * q_) * 255.0);
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

template <bool Border>
SmoothedPixel SharpenKernel::smooth(const int16_t* work, int column, int row) const {
    const int width = inputs_.width, height = inputs_.height;
    const int16_t* centre = work + 3 * (static_cast<std::ptrdiff_t>(row) * width + column);
    const int32_t r0 = centre[0], g0 = centre[1], b0 = centre[2];
    const Thresholds limits = thresholds(r0, g0, b0);
    const int64_t flat = flatThreshold_;
    const int64_t edge = limits.edge;
    const int64_t startBudget = limits.budget;

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

    return finish(flatSum, sumR, sumG, sumB, total, r0, g0, b0);
}


// smooth<false> for four neighbours in the lanes of AVX2 registers. Every
// lane walks to the ring where its own walk ends, so a lane that has ended
// goes on computing (its samples stay inside the image) and keeps nothing.
// The squared differences fit 32 bits (at most 32767^2), three of them
// unsigned 32 bits; their sum, the budget and the thresholds are 64-bit.
template <bool RowsClamped>
__attribute__((target("avx2"))) void SharpenKernel::smoothFour(const int16_t* work, int column, int row,
                                                                SmoothedPixel* out) const {
    const int width = inputs_.width, height = inputs_.height;
    const int16_t* centre = work + 3 * (static_cast<std::ptrdiff_t>(row) * width + column);
    // As smooth<true> clamps rows; its columns stay inside here.
    auto clampY = [&](int y) { return std::max(std::min(y, height - 2), 0); };
    auto at = [&](int x, int y) { return work + 3 * (static_cast<std::ptrdiff_t>(y) * width + x); };
    alignas(32) int64_t edgeL[4], budgetL[4];
    int32_t r0[4], g0[4], b0[4];
    for (int l = 0; l < 4; ++l) {
        r0[l] = centre[3 * l];
        g0[l] = centre[3 * l + 1];
        b0[l] = centre[3 * l + 2];
        const Thresholds t = thresholds(r0[l], g0[l], b0[l]);
        edgeL[l] = t.edge;
        budgetL[l] = t.budget;
    }
    const __m128i cr = _mm_loadu_si128(reinterpret_cast<const __m128i*>(r0));
    const __m128i cg = _mm_loadu_si128(reinterpret_cast<const __m128i*>(g0));
    const __m128i cb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b0));
    const __m256i edge = _mm256_load_si256(reinterpret_cast<const __m256i*>(edgeL));
    const __m256i startBudget = _mm256_load_si256(reinterpret_cast<const __m256i*>(budgetL));
    const __m256i flat = _mm256_set1_epi64x(flatThreshold_);
    const __m256i zero = _mm256_setzero_si256();
    const int* radii = radii_.data();
    const int* weights = weights_.data();
    const int rings = ringCount_;

    __m256i flatSum = zero;
    int64_t sumR[4] = {}, sumG[4] = {}, sumB[4] = {}, total[4] = {};
    alignas(16) int32_t pairs[kMaxRings][3][4];
    struct Channels {
        __m128i c[3];
        const __m128i& operator[](int i) const { return c[i]; }
    };
    auto lanes = [](const int16_t* p) {
        return Channels{{_mm_setr_epi32(p[0], p[3], p[6], p[9]), _mm_setr_epi32(p[1], p[4], p[7], p[10]),
                         _mm_setr_epi32(p[2], p[5], p[8], p[11])}};
    };
    for (int k = 0; k < kDirections; ++k) {
        __m256i budget = startBudget;
        __m256i walking = _mm256_set1_epi64x(-1);
        __m256i stop = zero;
        for (int j = 0;; ++j) {
            const size_t e = static_cast<size_t>(j * kDirections + k);
            const int16_t* plusAt;
            const int16_t* minusAt;
            if constexpr (RowsClamped) {
                const RingEntry& entry = entries_[e];
                plusAt = at(column + entry.dx, clampY(row + entry.dy));
                minusAt = at(column - entry.dx, clampY(row - entry.dy));
            } else {
                plusAt = centre + sampleOffsets_[e];
                minusAt = centre - sampleOffsets_[e];
            }
            const auto plus = lanes(plusAt);
            const auto minus = lanes(minusAt);
            const __m128i dpr = _mm_sub_epi32(plus[0], cr), dpg = _mm_sub_epi32(plus[1], cg),
                          dpb = _mm_sub_epi32(plus[2], cb);
            const __m128i dmr = _mm_sub_epi32(minus[0], cr), dmg = _mm_sub_epi32(minus[1], cg),
                          dmb = _mm_sub_epi32(minus[2], cb);
            const __m128i d0 = _mm_mullo_epi32(dpr, dpr), d1 = _mm_mullo_epi32(dpg, dpg),
                          d2 = _mm_mullo_epi32(dpb, dpb);
            const __m128i d3 = _mm_mullo_epi32(dmr, dmr), d4 = _mm_mullo_epi32(dmg, dmg),
                          d5 = _mm_mullo_epi32(dmb, dmb);
            const __m128i largest32 =
                _mm_max_epi32(_mm_max_epi32(_mm_max_epi32(d0, d1), _mm_max_epi32(d2, d3)), _mm_max_epi32(d4, d5));
            const __m256i largest = _mm256_cvtepi32_epi64(largest32);
            const __m128i plusSum = _mm_add_epi32(_mm_add_epi32(d0, d1), d2);  // unsigned
            const __m128i minusSum = _mm_add_epi32(_mm_add_epi32(d3, d4), d5);
            const __m256i sum = _mm256_add_epi64(_mm256_cvtepu32_epi64(plusSum), _mm256_cvtepu32_epi64(minusSum));
            const __m256i w = _mm256_set1_epi64x(weights[j]);
            const __m256i cost = _mm256_mul_epu32(_mm256_srli_epi64(sum, 10), w);
            const __m256i withinEdge = _mm256_andnot_si256(_mm256_cmpgt_epi64(largest, edge), walking);
            const __m256i after = _mm256_sub_epi64(budget, cost);
            const __m256i passed = _mm256_andnot_si256(_mm256_cmpgt_epi64(zero, after), withinEdge);
            budget = _mm256_blendv_epi8(budget, after, withinEdge);
            flatSum = _mm256_add_epi64(flatSum, _mm256_and_si256(_mm256_and_si256(passed, _mm256_cmpgt_epi64(flat, largest)), w));
            _mm_store_si128(reinterpret_cast<__m128i*>(pairs[j][0]), _mm_add_epi32(plus[0], minus[0]));
            _mm_store_si128(reinterpret_cast<__m128i*>(pairs[j][1]), _mm_add_epi32(plus[1], minus[1]));
            _mm_store_si128(reinterpret_cast<__m128i*>(pairs[j][2]), _mm_add_epi32(plus[2], minus[2]));
            const bool lastRing = j + 1 >= rings;
            const __m256i goesOn = lastRing ? zero : passed;
            const __m256i ends = _mm256_andnot_si256(goesOn, walking);
            stop = _mm256_blendv_epi8(stop, _mm256_set1_epi64x(j), ends);
            walking = goesOn;
            if (_mm256_testz_si256(walking, walking)) break;
        }
        alignas(32) int64_t stopL[4];
        _mm256_store_si256(reinterpret_cast<__m256i*>(stopL), stop);
        for (int l = 0; l < 4; ++l) {
            const int s = static_cast<int>(stopL[l]);
            const int64_t u = radii[s];
            for (int i = 0; i < s; ++i) {
                const int64_t e = weights[i] * (u - radii[i]);
                sumR[l] += e * pairs[i][0][l];
                sumG[l] += e * pairs[i][1][l];
                sumB[l] += e * pairs[i][2][l];
                total[l] += 2 * e;
            }
        }
    }
    alignas(32) int64_t flatL[4];
    _mm256_store_si256(reinterpret_cast<__m256i*>(flatL), flatSum);
    for (int l = 0; l < 4; ++l) out[l] = finish(flatL[l], sumR[l], sumG[l], sumB[l], total[l], r0[l], g0[l], b0[l]);
}

void SharpenKernel::smoothRow(const int16_t* work, int row, SmoothedPixel* out) const {
    static const bool fourAtOnce = __builtin_cpu_supports("avx2");
    const int width = inputs_.width, height = inputs_.height, q = q_;
    // The interior columns, where no sample needs clamping (as smoothPixel
    // decides); none in the rows of the border band.
    const int first = q, last = width - q - 2;  // inclusive
    const bool bandRow = row < q || row > height - q - 2;
    int x = 0;
    for (; x < std::min(first, width); ++x) out[x] = smooth<true>(work, x, row);
    if (fourAtOnce)
        for (; x + 3 <= last; x += 4)
            bandRow ? smoothFour<true>(work, x, row, out + x) : smoothFour<false>(work, x, row, out + x);
    for (; x <= last; ++x) out[x] = bandRow ? smooth<true>(work, x, row) : smooth<false>(work, x, row);
    for (; x < width; ++x) out[x] = smooth<true>(work, x, row);
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
