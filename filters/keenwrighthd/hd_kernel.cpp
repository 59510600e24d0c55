#include "filters/keenwrighthd/hd_kernel.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>

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

long double signedPower(long double base, long double exponent) {
    if (exponent == 1) return base;  // the neutral tone, exactly
    if (base > 0) return std::pow(base, exponent);
    if (base < 0) return -std::pow(-base, exponent);
    return exponent > 0 ? 0.0L : 1.0L;
}

std::array<int32_t, 3> tonePixel(const ToneParams& p, const std::array<int32_t, 3>& source,
                                 const std::array<int32_t, 3>& smoothed, int mask) {
    const long double mu = mask;
    const long double sigma = std::clamp(
        1.0L - (1.0L - mu / 255.0L) * ((p.softness + 30.0L) * 460.0L / 100.0L) / 230.0L, 0.3L, 0.85L);
    const long double m = p.strength * sigma;

    std::array<long double, 3> x{}, s{}, y{};
    for (size_t c = 0; c < 3; ++c) {
        x[c] = source[c] / 32767.0L;
        s[c] = smoothed[c] / 32767.0L;
        const long double d = m * (x[c] - s[c]);
        long double a = x[c] + d;
        // Darkening detail divides instead of subtracting: no hard black edges.
        const long double alt = d < 0 ? x[c] / (1.0L + 2.0L * std::sqrt(std::fabs(d))) : a;
        a = std::clamp(a, 0.0L, 1.0L);
        const long double kappa = a > 0.5L ? 1.0L : std::max(4.0L * a * (1.0L - a), 0.5L);
        y[c] = (1.0L - kappa) * alt + kappa * a;
    }

    std::array<long double, 3> out{};
    if (p.beta >= 0) {
        long double shadowSum = 0, highlightSum = 0;
        for (size_t c = 0; c < 3; ++c) {
            const long double g = 4.0L * x[c] * (1.0L - x[c]);
            const long double weight = 1.0L - g * g;
            (x[c] > 0.5L ? highlightSum : shadowSum) += weight;
        }
        const long double sh = shadowSum / 3.0L, hi = highlightSum / 3.0L;
        const long double epsilon =
            1.0L - sh * (p.shadows * p.beta / 150.0L) + hi * ((200.0L - p.highlights) * p.beta / 30.0L);
        for (size_t c = 0; c < 3; ++c) out[c] = signedPower(y[c], epsilon) * 32767.0L;
    } else {
        const long double lambda = -2.0L * p.beta * sigma;
        for (size_t c = 0; c < 3; ++c) out[c] = (y[c] * (1.0L - lambda) + lambda * s[c]) * 32767.0L;
    }

    std::array<int32_t, 3> result{};
    for (size_t c = 0; c < 3; ++c) {
        // Limiting before the conversion is the same as truncating first, and
        // keeps the conversion defined for any value.
        const long double v = std::isnan(out[c]) ? 0.0L : std::clamp(out[c], 0.0L, 32767.0L);
        result[c] = static_cast<int32_t>(v);
    }
    return result;
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

    Smoothed out;
    if (omegaSum <= 0) {
        for (size_t ch = 0; ch < 3; ++ch) out.colour[ch] = static_cast<int16_t>(c[ch] * 128);
        out.mask = 0;
        return out;
    }
    // Two 8-bit samples a weight: x 64 gives the 15-bit scale.
    out.colour[0] = static_cast<int16_t>(totalR * 64 / omegaSum);
    out.colour[1] = static_cast<int16_t>(totalG * 64 / omegaSum);
    out.colour[2] = static_cast<int16_t>(totalB * 64 / omegaSum);
    const double chi = std::clamp(static_cast<double>(asymR + asymG + asymB) * 0.01 /
                                      static_cast<double>(omegaSum),
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

}  // namespace qm::khd
