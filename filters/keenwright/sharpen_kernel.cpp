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

    // The lanes' budgets: the largest start budget (at the largest edge
    // threshold) less the dearest step cost, (6 x 32767^2) / 1024 times the
    // widest ring, must stay within 32 bits.
    releasePlanes();  // they belong to the last region's colours
    const int64_t largestEdge = int64_t{255} * 3686400 + flatThreshold_;
    const int64_t largestBudget = (static_cast<int64_t>(inputs_.budget) + 4) * (largestEdge / 50000);
    const int64_t dearestStep = 6 * int64_t{kFullScale} * kFullScale / 1024;
    const int widest = weights_.empty() ? 0 : *std::max_element(weights_.begin(), weights_.end());
    lanesApply_ = inputs_.budget >= 0 && largestBudget + dearestStep * widest < INT32_MAX;
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

namespace {

__attribute__((target("avx2"))) inline __m256i loadEight(const int16_t* at) {
    return _mm256_cvtepi16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at)));
}

__attribute__((target("avx2"))) inline __m256i lanes(const int32_t* values) {
    return _mm256_load_si256(reinterpret_cast<const __m256i*>(values));
}

__attribute__((target("avx2"))) inline __m256i squaredDifference(__m256i sample, __m256i centre) {
    const __m256i d = _mm256_sub_epi32(sample, centre);
    return _mm256_mullo_epi32(d, d);
}

}  // namespace

void SharpenKernel::loadPlanes(const int16_t* work) {
    if (!lanesApply_) return releasePlanes();
    planes_.load(work, inputs_.width, inputs_.height);
}

void SharpenKernel::releasePlanes() { planes_.release(); }

// smooth<true> for eight neighbours in the lanes of AVX2 registers, from the
// planes. Every lane walks to the ring where its own walk ends; a lane that
// has ended goes on with the others and keeps nothing. The values fit 32
// bits: squared differences are at most 32767^2, the three of one sample
// are summed unsigned, and the sum of all six over 1024 is put together from
// the two halves; thresholds above every squared difference are limited to
// the largest int32, which compares alike; budgets and costs stay within
// the bound prepare checks.
__attribute__((target("avx2"))) void SharpenKernel::smoothEight(const int16_t* work, const Planes::Step* steps, int column,
                                                                int row, SmoothedPixel* out) const {
    const int width = inputs_.width;
    const int16_t* planeR = planes_.plane(0);
    const int16_t* planeG = planes_.plane(1);
    const int16_t* planeB = planes_.plane(2);
    const int16_t* centre = work + 3 * (static_cast<std::ptrdiff_t>(row) * width + column);
    alignas(32) int32_t centres[3][8], edges[8], budgets[8];
    for (int l = 0; l < 8; ++l) {
        for (int c = 0; c < 3; ++c) centres[c][l] = centre[3 * l + c];
        const Thresholds t = thresholds(centres[0][l], centres[1][l], centres[2][l]);
        edges[l] = static_cast<int32_t>(std::min<int64_t>(t.edge, INT32_MAX));
        budgets[l] = static_cast<int32_t>(t.budget);
    }
    const __m256i cr = lanes(centres[0]), cg = lanes(centres[1]), cb = lanes(centres[2]);
    const __m256i edge = lanes(edges), startBudget = lanes(budgets);
    const __m256i flat = _mm256_set1_epi32(static_cast<int32_t>(std::min<int64_t>(flatThreshold_, INT32_MAX)));
    const __m256i zero = _mm256_setzero_si256(), low10 = _mm256_set1_epi32(1023);
    const int* radii = radii_.data();
    const int* weights = weights_.data();
    const int rings = ringCount_;

    __m256i flatSum = zero;
    // R, G, B and the weights' sum, in 64 bits: lanes 0, 2, 4, 6 and 1, 3, 5, 7.
    __m256i evenSums[4] = {zero, zero, zero, zero}, oddSums[4] = {zero, zero, zero, zero};
    const __m256i lowHalves = _mm256_set1_epi64x(0xFFFFFFFF);
    alignas(32) int32_t pairs[kMaxRings][3][8];
    for (int k = 0; k < kDirections; ++k) {
        __m256i budget = startBudget;
        __m256i walking = _mm256_set1_epi32(-1);
        __m256i stop = zero;
        for (int j = 0;; ++j) {
            const Planes::Step& e = steps[static_cast<size_t>(j * kDirections + k)];
            const auto [plusAt, minusAt] = planes_.places(e, column);
            const __m256i pr = loadEight(planeR + plusAt), pg = loadEight(planeG + plusAt),
                          pb = loadEight(planeB + plusAt);
            const __m256i mr = loadEight(planeR + minusAt), mg = loadEight(planeG + minusAt),
                          mb = loadEight(planeB + minusAt);
            const __m256i d0 = squaredDifference(pr, cr), d1 = squaredDifference(pg, cg),
                          d2 = squaredDifference(pb, cb);
            const __m256i d3 = squaredDifference(mr, cr), d4 = squaredDifference(mg, cg),
                          d5 = squaredDifference(mb, cb);
            const __m256i largest = _mm256_max_epi32(_mm256_max_epi32(_mm256_max_epi32(d0, d1), _mm256_max_epi32(d2, d3)),
                                                     _mm256_max_epi32(d4, d5));
            const __m256i plusSum = _mm256_add_epi32(_mm256_add_epi32(d0, d1), d2);  // unsigned
            const __m256i minusSum = _mm256_add_epi32(_mm256_add_epi32(d3, d4), d5);
            const __m256i scaled = _mm256_add_epi32(
                _mm256_add_epi32(_mm256_srli_epi32(plusSum, 10), _mm256_srli_epi32(minusSum, 10)),
                _mm256_srli_epi32(_mm256_add_epi32(_mm256_and_si256(plusSum, low10), _mm256_and_si256(minusSum, low10)),
                                  10));
            const __m256i w = _mm256_set1_epi32(weights[j]);
            const __m256i withinEdge = _mm256_andnot_si256(_mm256_cmpgt_epi32(largest, edge), walking);
            const __m256i after = _mm256_sub_epi32(budget, _mm256_mullo_epi32(scaled, w));
            const __m256i passed = _mm256_andnot_si256(_mm256_cmpgt_epi32(zero, after), withinEdge);
            budget = _mm256_blendv_epi8(budget, after, withinEdge);
            flatSum = _mm256_add_epi32(flatSum, _mm256_and_si256(_mm256_and_si256(passed, _mm256_cmpgt_epi32(flat, largest)), w));
            _mm256_store_si256(reinterpret_cast<__m256i*>(pairs[j][0]), _mm256_add_epi32(pr, mr));
            _mm256_store_si256(reinterpret_cast<__m256i*>(pairs[j][1]), _mm256_add_epi32(pg, mg));
            _mm256_store_si256(reinterpret_cast<__m256i*>(pairs[j][2]), _mm256_add_epi32(pb, mb));
            const __m256i goesOn = j + 1 >= rings ? zero : passed;
            stop = _mm256_blendv_epi8(stop, _mm256_set1_epi32(j), _mm256_andnot_si256(goesOn, walking));
            walking = goesOn;
            if (_mm256_testz_si256(walking, walking)) break;
        }
        // The weighted average of the rings passed, lane by lane: ring i below
        // the lane's stop ring weighs w[i] (r[stop] - r[i]). Weights and pair
        // sums are non-negative 32-bit values, so their products are taken
        // unsigned into 64-bit sums, the even lanes and the odd ones apart.
        alignas(32) int32_t stops[8], stopRadii[8];
        _mm256_store_si256(reinterpret_cast<__m256i*>(stops), stop);
        int longest = 0;
        for (int l = 0; l < 8; ++l) {
            stopRadii[l] = radii[stops[l]];
            longest = std::max(longest, stops[l]);
        }
        const __m256i u = lanes(stopRadii);
        for (int i = 0; i < longest; ++i) {
            const __m256i e = _mm256_and_si256(
                _mm256_mullo_epi32(_mm256_set1_epi32(weights[i]), _mm256_sub_epi32(u, _mm256_set1_epi32(radii[i]))),
                _mm256_cmpgt_epi32(stop, _mm256_set1_epi32(i)));
            const __m256i eOdd = _mm256_srli_epi64(e, 32);
            for (int c = 0; c < 3; ++c) {
                const __m256i pair = _mm256_load_si256(reinterpret_cast<const __m256i*>(pairs[i][c]));
                evenSums[c] = _mm256_add_epi64(evenSums[c], _mm256_mul_epu32(e, pair));
                oddSums[c] = _mm256_add_epi64(oddSums[c], _mm256_mul_epu32(eOdd, _mm256_srli_epi64(pair, 32)));
            }
            evenSums[3] = _mm256_add_epi64(evenSums[3], _mm256_and_si256(e, lowHalves));
            oddSums[3] = _mm256_add_epi64(oddSums[3], eOdd);
        }
    }
    alignas(32) int64_t even[4][4], odd[4][4];
    for (int c = 0; c < 4; ++c) {
        _mm256_store_si256(reinterpret_cast<__m256i*>(even[c]), evenSums[c]);
        _mm256_store_si256(reinterpret_cast<__m256i*>(odd[c]), oddSums[c]);
    }
    auto sum = [&](int c, int l) { return l % 2 == 0 ? even[c][l / 2] : odd[c][l / 2]; };
    alignas(32) int32_t flats[8];
    _mm256_store_si256(reinterpret_cast<__m256i*>(flats), flatSum);
    for (int l = 0; l < 8; ++l)
        out[l] = finish(flats[l], sum(0, l), sum(1, l), sum(2, l), 2 * sum(3, l), centres[0][l], centres[1][l],
                        centres[2][l]);
}

void SharpenKernel::smoothRow(const int16_t* work, int row, SmoothedPixel* out) const {
    static const bool eightAtOnce = __builtin_cpu_supports("avx2");
    const int width = inputs_.width;
    int x = 0;
    if (eightAtOnce && !planes_.empty()) {
        // Where each entry's samples lie in the planes for this row.
        std::vector<Planes::Step> steps;
        planes_.stepsFor(entries_, row, steps);
        for (; x + 8 <= width; x += 8) smoothEight(work, steps.data(), x, row, out + x);
    }
    for (; x < width; ++x) out[x] = smoothPixel(work, x, row);
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
