// KeenwrightHD's sharpening: an edge-preserving smoothing found by walking 16
// pairs of opposite directions from each pixel (step costs from a table shaped
// by the radius pair, step weights falling with the asymmetry of the pair),
// a symmetry mask, and a tone stage that sharpens against the smoothing or,
// below the neutral contrast, reduces noise towards it.
//
// Everything a pixel needs is passed in or read from the kernel's tables,
// which only the preparation step writes, so pixels can be computed in any
// order and on any number of threads with the same result.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "framework/host/clamped_planes.h"
#include "framework/host/render_state.h"
#include "filters/keenwrighthd/hd_settings.h"
#include "framework/settings/record.h"

namespace qm::khd {

constexpr int kDirections = 16;
constexpr int kMaxEntries = 160000;
constexpr int kBudget = 1000;
constexpr int kBudgetFloor = 10;
constexpr double kRingGrowth = 1.3;

// Reach q0 = integer part of 500 x for view factor x.
int reachFor(double viewFactor);

// The Radius Low the cost formula uses. Its denominator h - l + 50 reaches
// zero at l = h + 50 and turns negative beyond; such pairs cost what the
// steepest pair that still has a positive denominator (l = h + 49) costs.
int effectiveRadiusLow(int radiusHigh, int radiusLow);

// One cost table entry T[v][s] for centre v and sample s (8-bit scale).
int32_t costEntry(int v, int s, int radiusHigh, int radiusLow, int q);

// Ring radii for q steps: every radius below q (the largest rescaled to q - 1),
// then the first value >= q that ends the walks.
std::vector<int> ringRadii(int q);
struct Rings {
    std::vector<int> radius, width, weight;  // one per ring, the ending ring last
    int walkRings = 0;                       // rings with radius < q
};
Rings buildRings(int q);

struct Entry {
    int dx = 0, dy = 0;
    std::ptrdiff_t offset = 0;  // dx + regionWidth x dy
};
// Ring-major (ring j, direction k at index 16 j + k), at most kMaxEntries.
std::vector<Entry> buildEntries(const Rings& rings, int q, int regionWidth);

// The tone stage's constants for one render.
struct ToneParams {
    long double beta = 0, strength = 0;  // beta, m0
    long double highlights = 200, shadows = 0, softness = 0;
};
ToneParams toneParams(const HdSettings& s);

// x^e with the sign kept for a negative base. A zero base with e <= 0 gives 1:
// for such exponents every positive base in (0, 1] gives at least 1, which the
// output clamp makes white, so a zero base joins its neighbours instead of
// producing infinity.
long double signedPower(long double base, long double exponent);

// Pass 2 for one pixel: source and smoothed colours on the 15-bit scale and
// the mask; the result on the 15-bit scale, truncated and limited to 0..32767.
// Computed in long double.
std::array<int32_t, 3> tonePixelExtended(const ToneParams& p, const std::array<int32_t, 3>& source,
                                         const std::array<int32_t, 3>& smoothed, int mask);
// The same result, from doubles wherever they decide it.
std::array<int32_t, 3> tonePixel(const ToneParams& p, const std::array<int32_t, 3>& source,
                                 const std::array<int32_t, 3>& smoothed, int mask);

struct Smoothed {
    std::array<int16_t, 3> colour{};  // 15-bit scale
    uint8_t mask = 0;                 // 255 symmetric, 0 one-sided
};

// A walk's sums over its 16 directions, and the smoothed colour and mask they
// give for a centre of 8-bit colours.
struct WalkSums {
    int64_t total[3] = {}, asymmetry[3] = {}, weight = 0;
};
Smoothed finishWalk(const WalkSums& sums, const int16_t* centre);

// The parameters a cached smoothing depends on.
struct SmoothingKey {
    int q0 = -1, radiusHigh = -1, radiusLow = -1, width = -1, height = -1;
    fw::SourceView::Kind viewKind = fw::SourceView::Kind::Final;
    int zoom = 0, offX = 0, offY = 0;
    double fingerprint = -1;
    bool operator==(const SmoothingKey&) const = default;
};

// The planes the lanes read; groups of up to 16 lanes.
using LanePlanes = fw::ClampedPlanes<uint8_t, 16>;

class HdKernel {
public:
    HdKernel();

    // The preparation step: compares the parameters, rebuilds the tables.
    void prepare(const HdSettings& settings, int q0, int regionWidth, int regionHeight,
                 const fw::SourceView& view);

    bool dirty() const { return dirty_ != 0; }
    void clearDirty() { dirty_ = 0; }
    int q() const { return q_; }
    const Rings& rings() const { return rings_; }
    const std::vector<Entry>& entries() const { return entries_; }
    int32_t cost(int v, int s) const { return cost_[static_cast<size_t>(v) * 256 + static_cast<size_t>(s)]; }
    const ToneParams& tone() const { return tone_; }

    // Pass 1 for the pixel at (column, row) of a region whose 8-bit colours
    // (0..255) are in work, 3 values a pixel, row-major.
    Smoothed smoothPixel(const int16_t* work, int column, int row) const;

    // The same for every pixel of a row, into out[0 .. width). After
    // loadPlanes(work), on processors with AVX-512 or AVX2, sixteen or eight
    // neighbours at a time walk in the lanes of a register, each as
    // smoothPixel would.
    void smoothRow(const int16_t* work, int row, Smoothed* out) const;
    // The planes the lanes read: the colours of work once more, a byte each,
    // R, G, B apart, every row widened by clamped columns. releasePlanes()
    // gives their memory back when the smoothing is done.
    void loadPlanes(const int16_t* work);
    void releasePlanes();

private:
    template <bool Reciprocals, typename Sample>
    Smoothed walk(const int16_t* work, std::size_t centre, Sample sample) const;
    template <typename Sample>
    Smoothed walkWith(const int16_t* work, std::size_t centre, Sample sample) const;
    using Planes = LanePlanes;

    SmoothingKey last_;
    int dirty_ = 1;
    int q_ = 3;
    int width_ = 0, height_ = 0;
    std::vector<int32_t> cost_;  // 256 x 256
    Rings rings_;
    std::vector<Entry> entries_;
    ToneParams tone_;
    bool reciprocalsApply_ = false;
    // The lanes' 32-bit sums and budgets cannot overflow (see prepare).
    bool lanesApply_ = false;
    std::vector<int32_t> cappedCost_;  // cost_ limited to kBudget + 1
    std::array<int32_t, 256> flatReach_{};
    Planes planes_;
};

// Division of a step's weight by 4a + 100 as a multiply and shift: exact for
// every numerator below 2^31 (a weight of at most 2^31 / 1000 times a budget
// of at most 1000), which holds unless the reach is absurdly large.
struct Reciprocal {
    uint64_t multiplier = 0;
    int shift = 0;
};
constexpr int kMaxAsymmetry = 3 * 255;  // |sum of one sample - sum of the other|
Reciprocal reciprocalOf(uint32_t divisor);
inline uint32_t divideBy(uint32_t numerator, const Reciprocal& r) {
    return static_cast<uint32_t>((numerator * r.multiplier) >> r.shift);
}

// `lanes` (8 or 16) quotients, rounded down, as the walk's lanes divide a
// step's weight (numerators below 2^31, quotients below 2^20); false, with
// nothing done, where the processor has no such lanes (AVX2, AVX-512).
bool divideInLanes(int lanes, const int32_t* numerators, const int32_t* divisors, int32_t* quotients);

// The 16 reserved coefficients' weighted sum (they are all zero).
double reservedFingerprint();

}  // namespace qm::khd
