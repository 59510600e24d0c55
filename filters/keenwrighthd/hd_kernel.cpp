#include "filters/keenwrighthd/hd_kernel.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>

#include <immintrin.h>

namespace qm::khd {
namespace {

// The reserved coefficients: kept so that a kernel that never prepared
// differs from every prepared one (its stored fingerprint is -1).
constexpr std::array<double, 16> kReservedCoefficients{};

// Reciprocals of 4a + 100 for every asymmetry a.
const std::array<Reciprocal, kMaxAsymmetry + 1>& stepDivisors() {
    static const auto table = [] {
        std::array<Reciprocal, kMaxAsymmetry + 1> t{};
        for (uint32_t a = 0; a < t.size(); ++a) t[a] = reciprocalOf(4 * a + 100);
        return t;
    }();
    return table;
}

}  // namespace

Reciprocal reciprocalOf(uint32_t divisor) {
    // With 2^l >= divisor and k = 31 + l, m = ceil(2^k / divisor) errs by less
    // than 2^31 / 2^k <= 1 / divisor for numerators below 2^31: never enough
    // to reach the next integer.
    int l = 0;
    while ((uint64_t{1} << l) < divisor) ++l;
    const int k = 31 + l;
    Reciprocal r;
    r.multiplier = ((uint64_t{1} << k) + divisor - 1) / divisor;
    r.shift = k;
    return r;
}

double reservedFingerprint() {
    double sum = 0;
    for (size_t i = 0; i < kReservedCoefficients.size(); ++i)
        sum += static_cast<double>(i + 1) * kReservedCoefficients[i];
    return sum;
}

int reachFor(double x) { return static_cast<int>(500.0 * x); }

int effectiveRadiusLow(int radiusHigh, int radiusLow) { return std::min(radiusLow, radiusHigh + 49); }

int32_t costEntry(int v, int s, int radiusHigh, int radiusLow, int q) {
    const double h = radiusHigh;
    const double l = effectiveRadiusLow(radiusHigh, radiusLow);
    const double u = v / 255.0;
    const double g = 4.0 * u * (1.0 - u);
    const double e = 1.0 - g * g * g * g;
    const double tolerance = h / 200.0 * 0.8 * (1.0 - 0.7 * e) + 0.1;
    const double d = std::abs(v - s) / 255.0;
    const double rho = d / tolerance;
    const double rho2 = rho * rho;
    return static_cast<int32_t>(37.0 / q * ((e + 1.0) * (l / (h - l + 50.0) * 50.0 + 10.0) + rho2 * rho2 * 1000.0));
}

std::vector<int> ringRadii(int q) {
    std::vector<int> r;
    for (int i = 0;; ++i) {
        const double v = std::floor(std::pow(kRingGrowth, i) + i);
        // The ending radius only needs to be >= q; keep it representable.
        r.push_back(v >= q ? static_cast<int>(std::min(v, 2147483647.0)) : static_cast<int>(v));
        if (r.back() >= q) break;
    }
    // r[0] = 1 < q (q >= 3), so there is a largest radius below q.
    const int64_t largest = r[r.size() - 2];
    for (size_t i = 0; i + 1 < r.size(); ++i)
        r[i] = static_cast<int>(static_cast<int64_t>(q - 1) * r[i] / largest);
    return r;
}

Rings buildRings(int q) {
    Rings rings;
    rings.radius = ringRadii(q);
    const size_t n = rings.radius.size();
    rings.walkRings = static_cast<int>(n - 1);
    rings.width.resize(n);
    rings.weight.resize(n);
    for (size_t j = 0; j < n; ++j) {
        const int previous = j == 0 ? 0 : rings.radius[j - 1];
        rings.width[j] = rings.radius[j] - previous;
        const double p = std::clamp(previous, 0, q);
        const double t = (q - p) * 0.5 / q;
        const double f = 4.0 * t * (1.0 - t);
        const double falloff = std::clamp(f * f * f, 0.0, 1.0);
        rings.weight[j] = static_cast<int>(40.0 * falloff) * rings.width[j];
    }
    return rings;
}

std::vector<Entry> buildEntries(const Rings& rings, int q, int regionWidth) {
    std::vector<Entry> entries;
    entries.reserve(std::min<size_t>(static_cast<size_t>(rings.walkRings) * kDirections, kMaxEntries));
    for (int j = 0; j < rings.walkRings; ++j) {
        const double r = rings.radius[static_cast<size_t>(j)];
        for (int k = 0; k < kDirections; ++k) {
            if (entries.size() >= static_cast<size_t>(kMaxEntries)) return entries;
            const double theta = -k * std::numbers::pi / 16.0;
            Entry e;
            e.dx = std::clamp(static_cast<int>(std::lround(std::sin(theta) * r)), 1 - q, q - 1);
            e.dy = std::clamp(static_cast<int>(std::lround(std::cos(theta) * r)), 1 - q, q - 1);
            e.offset = e.dx + static_cast<std::ptrdiff_t>(regionWidth) * e.dy;
            entries.push_back(e);
        }
    }
    return entries;
}

ToneParams toneParams(const HdSettings& s) {
    ToneParams p;
    p.beta = (s.contrast - 50) / 150.0L;
    p.strength = p.beta < 0 ? 3.0L * p.beta * p.beta : 8.0L * std::pow(p.beta, 1.75L);
    p.highlights = s.highlights;
    p.shadows = s.shadows;
    p.softness = s.softness;
    return p;
}

template <typename T>
T signedPowerIn(T base, T exponent) {
    if (exponent == 1) return base;  // the neutral tone, exactly
    if (base > 0) return std::pow(base, exponent);
    if (base < 0) return -std::pow(-base, exponent);
    return exponent > 0 ? T(0) : T(1);
}

long double signedPower(long double base, long double exponent) { return signedPowerIn(base, exponent); }

namespace {

// Pass 2's values before the limits, in the precision T, with the bases and
// exponent of the power (the fast path's checks need them).
template <typename T>
struct ToneValues {
    std::array<T, 3> out{}, base{};
    T exponent = 1;
    bool power = false;
};

template <typename T>
ToneValues<T> toneIn(const ToneParams& p, const std::array<int32_t, 3>& source,
                     const std::array<int32_t, 3>& smoothed, int mask) {
    const T beta = static_cast<T>(p.beta), strength = static_cast<T>(p.strength);
    const T mu = static_cast<T>(mask);
    const T sigma = std::clamp(
        T(1) - (T(1) - mu / T(255)) * ((static_cast<T>(p.softness) + T(30)) * T(460) / T(100)) / T(230), T(0.3L),
        T(0.85L));
    const T m = strength * sigma;

    std::array<T, 3> x{}, s{}, y{};
    for (size_t c = 0; c < 3; ++c) {
        x[c] = static_cast<T>(source[c]) / T(32767);
        s[c] = static_cast<T>(smoothed[c]) / T(32767);
        const T d = m * (x[c] - s[c]);
        T a = x[c] + d;
        // Darkening detail divides instead of subtracting: no hard black edges.
        const T alt = d < 0 ? x[c] / (T(1) + T(2) * std::sqrt(std::fabs(d))) : a;
        a = std::clamp(a, T(0), T(1));
        const T kappa = a > T(0.5L) ? T(1) : std::max(T(4) * a * (T(1) - a), T(0.5L));
        y[c] = (T(1) - kappa) * alt + kappa * a;
    }

    ToneValues<T> v;
    v.base = y;
    if (beta >= 0) {
        T shadowSum = 0, highlightSum = 0;
        for (size_t c = 0; c < 3; ++c) {
            const T g = T(4) * x[c] * (T(1) - x[c]);
            const T weight = T(1) - g * g;
            (x[c] > T(0.5L) ? highlightSum : shadowSum) += weight;
        }
        const T sh = shadowSum / T(3), hi = highlightSum / T(3);
        v.exponent = T(1) - sh * (static_cast<T>(p.shadows) * beta / T(150)) +
                     hi * ((T(200) - static_cast<T>(p.highlights)) * beta / T(30));
        v.power = true;
        for (size_t c = 0; c < 3; ++c) v.out[c] = signedPowerIn(y[c], v.exponent) * T(32767);
    } else {
        const T lambda = T(-2) * beta * sigma;
        for (size_t c = 0; c < 3; ++c) v.out[c] = (y[c] * (T(1) - lambda) + lambda * s[c]) * T(32767);
    }
    return v;
}

}  // namespace

std::array<int32_t, 3> tonePixelExtended(const ToneParams& p, const std::array<int32_t, 3>& source,
                                         const std::array<int32_t, 3>& smoothed, int mask) {
    const ToneValues<long double> v = toneIn<long double>(p, source, smoothed, mask);
    std::array<int32_t, 3> result{};
    for (size_t c = 0; c < 3; ++c) {
        // Limiting before the conversion is the same as truncating first, and
        // keeps the conversion defined for any value.
        const long double out = std::isnan(v.out[c]) ? 0.0L : std::clamp(v.out[c], 0.0L, 32767.0L);
        result[c] = static_cast<int32_t>(out);
    }
    return result;
}

std::array<int32_t, 3> tonePixel(const ToneParams& p, const std::array<int32_t, 3>& source,
                                 const std::array<int32_t, 3>& smoothed, int mask) {
    // The same steps in doubles. The inputs are exact, the bases of the power
    // are sums of non-negative terms, and every step errs by a few units in
    // 2^-53 relative to its value; differences of the 15-bit inputs are at
    // least 1/32767 or exactly 0. A base is exactly 0 in both precisions
    // where the source channel is 0, and at least 2^-19 otherwise. The
    // exponent, a sum of a few terms below 10, errs by less than 2^-45, which
    // moves a power of a base of 2^-19 or more by a factor within 13.2 x 2^-45
    // of 1. So (with, to be safe, tiny non-zero bases left out) the result is
    // within 32767 x 2^-40 of the long double one, far inside the margin
    // below: a value whose margin band holds no integer truncates, and
    // limits, alike. Only the sign of the exponent must be sure as well,
    // since 0 to a power is 0 or 1 by that sign alone.
    constexpr double kMargin = 1.0 / 4096;
    const ToneValues<double> v = toneIn<double>(p, source, smoothed, mask);
    bool sure = !v.power || std::fabs(v.exponent) >= 0x1p-30;
    std::array<int32_t, 3> result{};
    for (size_t c = 0; c < 3 && sure; ++c) {
        const double out = v.out[c];
        if (v.power && v.base[c] > 0 && v.base[c] < 0x1p-20) sure = false;
        else if (out + kMargin < 1) result[c] = 0;  // also below 0
        else if (out - kMargin >= 32767) result[c] = 32767;
        else if (std::floor(out - kMargin) == std::floor(out + kMargin)) result[c] = static_cast<int32_t>(out);
        else sure = false;  // also NaN
    }
    return sure ? result : tonePixelExtended(p, source, smoothed, mask);
}

HdKernel::HdKernel() : cost_(256 * 256, 0) {}

void HdKernel::prepare(const HdSettings& settings, int q0, int regionWidth, int regionHeight,
                       const fw::SourceView& view) {
    SmoothingKey key;
    key.q0 = q0;
    key.radiusHigh = settings.radiusHigh;
    key.radiusLow = settings.radiusLow;
    key.width = regionWidth;
    key.height = regionHeight;
    key.viewKind = view.kind;
    // The navigator and the zoom move the source under the region.
    if (view.kind == fw::SourceView::Kind::Zoom) {
        key.zoom = view.zoom;
        key.offX = view.offX;
        key.offY = view.offY;
    }
    key.fingerprint = reservedFingerprint();
    if (!(key == last_)) dirty_ = 1;
    last_ = key;

    releasePlanes();  // they belong to the last region's colours
    q_ = std::max(q0, 3);
    width_ = regionWidth;
    height_ = regionHeight;
    for (int v = 0; v < 256; ++v)
        for (int s = 0; s < 256; ++s)
            cost_[static_cast<size_t>(v) * 256 + static_cast<size_t>(s)] =
                costEntry(v, s, settings.radiusHigh, settings.radiusLow, q_);
    rings_ = buildRings(q_);
    entries_ = buildEntries(rings_, q_, regionWidth);
    tone_ = toneParams(settings);

    // The reciprocal table needs numerators below 2^31: budgets stay within
    // 0..1000 when no step cost is negative.
    const int maxWeight = *std::max_element(rings_.weight.begin(), rings_.weight.end());
    const int32_t minCost = *std::min_element(cost_.begin(), cost_.end());
    reciprocalsApply_ = minCost >= 0 && static_cast<int64_t>(maxWeight) * kBudget < (int64_t{1} << 31);

    // The lanes keep 32-bit values. A step's weight is at most w[j] x 1000 /
    // 100, so a direction's plus and minus colour sums together stay below
    // 2 x 255 x the sum of 10 w[j]. Step costs are capped at kBudget + 1:
    // one such cost already ends a walk whose budget is at most kBudget, and
    // six capped costs times a ring width, summed over all rings, stay small.
    int64_t weightBound = 0, widthSum = 0;
    for (int j = 0; j < rings_.walkRings; ++j) {
        weightBound += 10 * static_cast<int64_t>(rings_.weight[static_cast<size_t>(j)]);
        widthSum += rings_.width[static_cast<size_t>(j)];
    }
    lanesApply_ = reciprocalsApply_ && 2 * 255 * weightBound < (int64_t{1} << 31) &&
                  static_cast<int64_t>(maxWeight) * kBudget / 100 < (int64_t{1} << 20) &&
                  6 * (kBudget + 1) * widthSum + kBudget < (int64_t{1} << 30);
    cappedCost_.resize(cost_.size());
    std::transform(cost_.begin(), cost_.end(), cappedCost_.begin(),
                   [](int32_t c) { return std::min<int32_t>(c, kBudget + 1); });
    // How far a sample may lie from each centre value and still cost what
    // the centre value itself costs.
    for (int v = 0; v < 256; ++v) {
        const int32_t* row = cappedCost_.data() + static_cast<size_t>(v) * 256;
        int d = 0;
        while (d < 255 && (v - d - 1 < 0 || row[v - d - 1] == row[v]) &&
               (v + d + 1 > 255 || row[v + d + 1] == row[v]))
            ++d;
        flatReach_[static_cast<size_t>(v)] = d;
    }
}

template <typename Sample>
Smoothed HdKernel::walkWith(const int16_t* work, std::size_t centre, Sample sample) const {
    return reciprocalsApply_ ? walk<true>(work, centre, sample) : walk<false>(work, centre, sample);
}

template <bool Reciprocals, typename Sample>
Smoothed HdKernel::walk(const int16_t* work, std::size_t centre, Sample sample) const {
    [[maybe_unused]] const Reciprocal* divisors = stepDivisors().data();
    const int16_t* c = work + centre * 3;
    const int32_t* costR = cost_.data() + static_cast<size_t>(c[0]) * 256;
    const int32_t* costG = cost_.data() + static_cast<size_t>(c[1]) * 256;
    const int32_t* costB = cost_.data() + static_cast<size_t>(c[2]) * 256;
    const size_t count = entries_.size();

    int64_t totalR = 0, totalG = 0, totalB = 0;
    int64_t asymR = 0, asymG = 0, asymB = 0;
    int64_t omegaSum = 0;
    for (size_t k = 0; k < static_cast<size_t>(kDirections); ++k) {
        int64_t budget = kBudget;
        int64_t weightSum = 0;
        int64_t plusR = 0, plusG = 0, plusB = 0, minusR = 0, minusG = 0, minusB = 0;
        for (size_t i = k; i < count; i += kDirections) {
            const size_t j = i / kDirections;
            const auto [plusAt, minusAt] = sample(entries_[i]);
            const int16_t* p = work + plusAt * 3;
            const int16_t* m = work + minusAt * 3;
            const int64_t asymmetry = std::abs((p[0] + p[1] + p[2]) - (m[0] + m[1] + m[2]));
            int64_t omega;
            if constexpr (Reciprocals)
                omega = divideBy(static_cast<uint32_t>(rings_.weight[j] * budget), divisors[asymmetry]);
            else
                omega = rings_.weight[j] * budget / (4 * asymmetry + 100);
            const int64_t stepCost = static_cast<int64_t>(costR[p[0]]) + costR[m[0]] + costG[p[1]] +
                                     costG[m[1]] + costB[p[2]] + costB[m[2]];
            budget -= stepCost * rings_.width[j];
            if (budget < kBudgetFloor) break;
            weightSum += omega;
            plusR += omega * p[0];
            plusG += omega * p[1];
            plusB += omega * p[2];
            minusR += omega * m[0];
            minusG += omega * m[1];
            minusB += omega * m[2];
        }
        totalR += plusR + minusR;
        totalG += plusG + minusG;
        totalB += plusB + minusB;
        asymR += std::abs(plusR - minusR);
        asymG += std::abs(plusG - minusG);
        asymB += std::abs(plusB - minusB);
        omegaSum += weightSum;
    }

    WalkSums sums;
    sums.total[0] = totalR;
    sums.total[1] = totalG;
    sums.total[2] = totalB;
    sums.asymmetry[0] = asymR;
    sums.asymmetry[1] = asymG;
    sums.asymmetry[2] = asymB;
    sums.weight = omegaSum;
    return finishWalk(sums, c);
}

Smoothed finishWalk(const WalkSums& sums, const int16_t* centre) {
    Smoothed out;
    if (sums.weight <= 0) {
        for (size_t ch = 0; ch < 3; ++ch) out.colour[ch] = static_cast<int16_t>(centre[ch] * 128);
        out.mask = 0;
        return out;
    }
    // Two 8-bit samples a weight: x 64 gives the 15-bit scale.
    for (size_t ch = 0; ch < 3; ++ch) out.colour[ch] = static_cast<int16_t>(sums.total[ch] * 64 / sums.weight);
    const double chi = std::clamp(static_cast<double>(sums.asymmetry[0] + sums.asymmetry[1] + sums.asymmetry[2]) *
                                      0.01 / static_cast<double>(sums.weight),
                                  0.0, 1.0);
    out.mask = static_cast<uint8_t>((1.0 - chi) * 255.0);
    return out;
}

Smoothed HdKernel::smoothPixel(const int16_t* work, int column, int row) const {
    const int w = width_, h = height_, q = q_;
    const std::ptrdiff_t centre = static_cast<std::ptrdiff_t>(row) * w + column;
    struct Pair {
        size_t plus, minus;
    };
    if (column < q || row < q || column > w - q - 2 || row > h - q - 2) {
        // Near the border: positions from clamped coordinates, never outside.
        auto clampX = [w](int x) { return std::max(std::min(x, w - 2), 0); };
        auto clampY = [h](int y) { return std::max(std::min(y, h - 2), 0); };
        auto at = [w](int x, int y) { return static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x); };
        return walkWith(work, static_cast<size_t>(centre), [&](const Entry& e) {
            return Pair{at(clampX(column + e.dx), clampY(row + e.dy)),
                        at(clampX(column - e.dx), clampY(row - e.dy))};
        });
    }
    return walkWith(work, static_cast<size_t>(centre), [centre](const Entry& e) {
        return Pair{static_cast<size_t>(centre + e.offset), static_cast<size_t>(centre - e.offset)};
    });
}

void HdKernel::loadPlanes(const int16_t* work) {
    if (!lanesApply_) return releasePlanes();
    planes_.load(work, width_, height_);
}

void HdKernel::releasePlanes() { planes_.release(); }

namespace {

// What the lanes read: the planes, the row's steps and the kernel's tables.
struct LaneInputs {
    const LanePlanes* planes;
    const LanePlanes::Step* steps;
    const int32_t* cost;       // capped, 256 x 256
    const int32_t* flatReach;  // by centre value
    const int* weight;         // by ring
    const int* width;          // by ring
    int rings;
};
using Planes = LanePlanes;

}  // namespace

// The walk in eight 32-bit lanes of AVX2 registers. Every function of the
// set carries the set's target (both compilers honour the attribute).
#define QM_LANES __attribute__((target("avx2")))
namespace avx2 {
namespace {

using Lanes = __m256i;
using Mask = __m256i;  // all ones in the lanes it holds
constexpr int kLanes = 8;

QM_LANES inline Lanes bytes(const uint8_t* at) { return _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(at))); }
QM_LANES inline Lanes ints(const int32_t* at) { return _mm256_load_si256(reinterpret_cast<const __m256i*>(at)); }
QM_LANES inline void store(int32_t* at, Lanes v) { _mm256_store_si256(reinterpret_cast<__m256i*>(at), v); }
QM_LANES inline Lanes splat(int v) { return _mm256_set1_epi32(v); }
QM_LANES inline Lanes add(Lanes a, Lanes b) { return _mm256_add_epi32(a, b); }
QM_LANES inline Lanes sub(Lanes a, Lanes b) { return _mm256_sub_epi32(a, b); }
QM_LANES inline Lanes mul(Lanes a, Lanes b) { return _mm256_mullo_epi32(a, b); }
QM_LANES inline Lanes absolute(Lanes a) { return _mm256_abs_epi32(a); }
QM_LANES inline Lanes times4(Lanes a) { return _mm256_slli_epi32(a, 2); }
QM_LANES inline Lanes times256(Lanes a) { return _mm256_slli_epi32(a, 8); }
QM_LANES inline Mask allLanes() { return _mm256_set1_epi32(-1); }
QM_LANES inline Mask greater(Lanes a, Lanes b) { return _mm256_cmpgt_epi32(a, b); }
QM_LANES inline Mask either(Mask a, Mask b) { return _mm256_or_si256(a, b); }
QM_LANES inline Mask both(Mask a, Mask b) { return _mm256_and_si256(a, b); }
QM_LANES inline bool anyOf(Mask m) { return !_mm256_testz_si256(m, m); }
QM_LANES inline Lanes keep(Mask m, Lanes v) { return _mm256_and_si256(m, v); }
QM_LANES inline Lanes costOf(const int32_t* table, Lanes index) { return _mm256_i32gather_epi32(table, index, 4); }
// Lanes whose sample differs from the centre by more than the reach.
QM_LANES inline Mask beyondReach(Lanes sample, Lanes centre, Lanes reach) { return greater(absolute(sub(sample, centre)), reach); }
// numerator / divisor rounded down, for numerators below 2^31 and divisors
// of 1 .. 2^24 whose quotients stay below 2^20: the float quotient is then
// off by less than 1, and one step either way puts it right.
QM_LANES inline Lanes divide(Lanes numerator, Lanes divisor) {
    Lanes q = _mm256_cvttps_epi32(_mm256_div_ps(_mm256_cvtepi32_ps(numerator), _mm256_cvtepi32_ps(divisor)));
    const Lanes rest = sub(numerator, mul(q, divisor));
    q = add(q, greater(splat(0), rest));               // rest < 0: one less
    return sub(q, greater(rest, sub(divisor, splat(1))));  // rest >= divisor: one more
}
// The lanes added to kLanes 64-bit sums.
QM_LANES inline void accumulate(int64_t* sums, Lanes v) {
    auto* at = reinterpret_cast<__m256i*>(sums);
    _mm256_store_si256(at, _mm256_add_epi64(_mm256_load_si256(at), _mm256_cvtepi32_epi64(_mm256_castsi256_si128(v))));
    _mm256_store_si256(at + 1, _mm256_add_epi64(_mm256_load_si256(at + 1),
                                                _mm256_cvtepi32_epi64(_mm256_extracti128_si256(v, 1))));
}

#include "filters/keenwrighthd/hd_walk_lanes.inc"

}  // namespace
}  // namespace avx2
#undef QM_LANES

// The same walk in sixteen lanes of AVX-512 registers, with masks in mask
// registers. GCC 12 warns about the undefined registers inside its own
// AVX-512 headers.
#define QM_LANES __attribute__((target("avx512f")))
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
namespace avx512 {
namespace {

using Lanes = __m512i;
using Mask = __mmask16;
constexpr int kLanes = 16;

QM_LANES inline Lanes bytes(const uint8_t* at) { return _mm512_cvtepu8_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at))); }
QM_LANES inline Lanes ints(const int32_t* at) { return _mm512_load_si512(at); }
QM_LANES inline void store(int32_t* at, Lanes v) { _mm512_store_si512(at, v); }
QM_LANES inline Lanes splat(int v) { return _mm512_set1_epi32(v); }
QM_LANES inline Lanes add(Lanes a, Lanes b) { return _mm512_add_epi32(a, b); }
QM_LANES inline Lanes sub(Lanes a, Lanes b) { return _mm512_sub_epi32(a, b); }
QM_LANES inline Lanes mul(Lanes a, Lanes b) { return _mm512_mullo_epi32(a, b); }
QM_LANES inline Lanes absolute(Lanes a) { return _mm512_abs_epi32(a); }
QM_LANES inline Lanes times4(Lanes a) { return _mm512_slli_epi32(a, 2); }
QM_LANES inline Lanes times256(Lanes a) { return _mm512_slli_epi32(a, 8); }
QM_LANES inline Mask allLanes() { return 0xFFFF; }
QM_LANES inline Mask greater(Lanes a, Lanes b) { return _mm512_cmpgt_epi32_mask(a, b); }
QM_LANES inline Mask either(Mask a, Mask b) { return static_cast<Mask>(a | b); }
QM_LANES inline Mask both(Mask a, Mask b) { return static_cast<Mask>(a & b); }
QM_LANES inline bool anyOf(Mask m) { return m != 0; }
QM_LANES inline Lanes keep(Mask m, Lanes v) { return _mm512_maskz_mov_epi32(m, v); }
QM_LANES inline Lanes costOf(const int32_t* table, Lanes index) { return _mm512_i32gather_epi32(index, table, 4); }
QM_LANES inline Mask beyondReach(Lanes sample, Lanes centre, Lanes reach) { return greater(absolute(sub(sample, centre)), reach); }
// As the eight lanes divide (see there).
QM_LANES inline Lanes divide(Lanes numerator, Lanes divisor) {
    Lanes q = _mm512_cvttps_epi32(_mm512_div_ps(_mm512_cvtepi32_ps(numerator), _mm512_cvtepi32_ps(divisor)));
    const Lanes rest = sub(numerator, mul(q, divisor));
    q = _mm512_mask_sub_epi32(q, greater(splat(0), rest), q, splat(1));
    return _mm512_mask_add_epi32(q, greater(rest, sub(divisor, splat(1))), q, splat(1));
}
QM_LANES inline void accumulate(int64_t* sums, Lanes v) {
    _mm512_store_si512(sums, _mm512_add_epi64(_mm512_load_si512(sums), _mm512_cvtepi32_epi64(_mm512_castsi512_si256(v))));
    _mm512_store_si512(sums + 8, _mm512_add_epi64(_mm512_load_si512(sums + 8),
                                                  _mm512_cvtepi32_epi64(_mm512_extracti64x4_epi64(v, 1))));
}

#include "filters/keenwrighthd/hd_walk_lanes.inc"

}  // namespace
}  // namespace avx512
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif
#undef QM_LANES

namespace {

// The widest lanes this processor has: 16, 8 or none.
int laneCount() {
    static const int lanes = __builtin_cpu_supports("avx512f") ? 16 : __builtin_cpu_supports("avx2") ? 8 : 0;
    return lanes;
}

}  // namespace

bool divideInLanes(int lanes, const int32_t* numerators, const int32_t* divisors, int32_t* quotients) {
    if (lanes > laneCount()) return false;
    if (lanes == 16) avx512::divideInLanes(numerators, divisors, quotients);
    else if (lanes == 8) avx2::divideInLanes(numerators, divisors, quotients);
    else return false;
    return true;
}

void HdKernel::smoothRow(const int16_t* work, int row, Smoothed* out) const {
    const int lanes = laneCount();
    const int16_t* line = work + static_cast<size_t>(row) * static_cast<size_t>(width_) * 3;
    int x = 0;
    if (lanes > 0 && !planes_.empty()) {
        // Where each entry's samples lie in the planes for this row.
        std::vector<Planes::Step> steps;
        planes_.stepsFor(entries_, row, steps);
        const LaneInputs in{&planes_,           steps.data(),         cappedCost_.data(),
                            flatReach_.data(), rings_.weight.data(), rings_.width.data(),
                            static_cast<int>(entries_.size() / kDirections)};
        WalkSums sums[16];
        auto finish = [&](int count) {
            for (int l = 0; l < count; ++l) out[x + l] = finishWalk(sums[l], line + 3 * (x + l));
        };
        if (lanes == 16)
            for (; x + 16 <= width_; x += 16) {
                avx512::walkLanes(in, x, line + 3 * x, sums);
                finish(16);
            }
        for (; x + 8 <= width_; x += 8) {
            avx2::walkLanes(in, x, line + 3 * x, sums);
            finish(8);
        }
    }
    for (; x < width_; ++x) out[x] = smoothPixel(work, x, row);
}

}  // namespace qm::khd
