// Keenwright's smoothing and sharpening: an edge-stopping walk along 16 pairs
// of opposite directions gives each pixel a smoothed colour and a flatness
// mask; the pixel is then pushed away from the smoothed colour.
//
// The kernel keeps the tables of the last preparation and the dirty flag that
// carries the cached smoothing from one render to the next. Everything that
// belongs to one pixel lives in the calls, so pixels can be computed in any
// order or on several threads with the same result.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "framework/host/clamped_planes.h"

namespace qm::keenwright {

constexpr int kDirections = 16;
constexpr int kEntryCap = 10000;
// More rings than any q an int can hold needs (1.3^82 > 2^31).
constexpr int kMaxRings = 96;
constexpr int32_t kFullScale = 32767;  // the 15-bit scale

// What the smoothing depends on; any change makes the kernel dirty.
struct KernelInputs {
    int reach = 0;   // a
    int budget = 0;  // f
    int halo = 0;
    int width = 0, height = 0;  // the region
    // The view the region shows (kind, zoom, navigator offsets): a zoom or
    // navigator change shows other pixels, so it recomputes the smoothing.
    int viewKind = 0, zoom = 0, offX = 0, offY = 0;
    bool operator==(const KernelInputs&) const = default;
};

// q: the radius steps for a reach, at least 3.
int stepCount(int reach);

// The ring radii for q: every ring below q rescaled so that the largest is
// q - 1, then the unscaled first value >= q that ends all walks.
std::vector<int> ringRadii(int q);

struct RingEntry {
    int dx = 0, dy = 0;
    std::ptrdiff_t offset = 0;  // dx + width x dy, in pixels
};

// Fills entries (16 a ring below q, zeroed first) ring by ring, direction by
// direction, until cap entries exist; answers the count.
int buildEntries(std::span<const int> radii, int ringCount, int q, int width, int cap,
                 std::vector<RingEntry>& entries);

struct SmoothedPixel {
    int32_t r = 0, g = 0, b = 0;
    uint8_t mask = 0;  // 255 nothing flat around, 0 fully flat
};

class SharpenKernel {
public:
    // Compares with the last preparation (a difference sets the dirty flag)
    // and rebuilds the tables.
    void prepare(const KernelInputs& inputs);

    void clearDirty() { dirty_ = false; }
    bool dirty() const { return dirty_; }

    const KernelInputs& inputs() const { return inputs_; }
    int q() const { return q_; }
    // Rings below q, then the one that ends the walks.
    const std::vector<int>& radii() const { return radii_; }
    int ringCount() const { return ringCount_; }
    // w[j] for the rings below q.
    const std::vector<int>& weights() const { return weights_; }
    // Entry of ring j, direction k at j x 16 + k.
    const std::vector<RingEntry>& entries() const { return entries_; }
    int entryCount() const { return entryCount_; }

    // The smoothed colour and mask at (column, row) of the region, from the
    // R, G, B triples of work (width x height pixels of the last preparation).
    SmoothedPixel smoothPixel(const int16_t* work, int column, int row) const;
    // The same for every pixel of a row, into out[0 .. width). After
    // loadPlanes(work), on processors with AVX2, eight neighbours at a time
    // walk in the lanes of a register, each as smoothPixel would.
    void smoothRow(const int16_t* work, int row, SmoothedPixel* out) const;
    // The planes the lanes read: the colours of work once more, R, G, B
    // apart, every row widened by clamped columns. releasePlanes() gives
    // their memory back when the smoothing is done.
    void loadPlanes(const int16_t* work);
    void releasePlanes();

private:
    struct Thresholds {
        int64_t edge = 0, budget = 0;
    };
    Thresholds thresholds(int32_t r0, int32_t g0, int32_t b0) const;
    SmoothedPixel finish(int64_t flatSum, int64_t sumR, int64_t sumG, int64_t sumB, int64_t total, int32_t r0,
                         int32_t g0, int32_t b0) const;
    template <bool Border>
    SmoothedPixel smooth(const int16_t* work, int column, int row) const;
    using Planes = fw::ClampedPlanes<int16_t>;
    void smoothEight(const int16_t* work, const Planes::Step* steps, int column, int row, SmoothedPixel* out) const;

    KernelInputs inputs_{};
    bool prepared_ = false;
    bool dirty_ = true;
    int q_ = 3;
    std::vector<int> radii_;
    int ringCount_ = 0;
    std::vector<int> weights_;
    std::vector<RingEntry> entries_;
    std::vector<std::ptrdiff_t> sampleOffsets_;  // entry offsets in int16 samples (x 3)
    int entryCount_ = 0;
    int64_t flatThreshold_ = 0;  // V
    bool lanesApply_ = false;    // the lanes' 32-bit budgets cannot overflow
    Planes planes_;
};

// The sharpening of pass 2, all in extended precision.
class Sharpening {
public:
    Sharpening() = default;
    Sharpening(int amount, int radius, bool maskOn);

    long double k() const { return k_; }
    // v = k x m for a mask value.
    long double strength(uint8_t mask) const { return strength_[mask]; }
    // (X + v (X - S)) x 32767, truncated, limited to the 15-bit scale.
    static int32_t apply(int32_t source, int32_t smoothed, long double v);

private:
    long double k_ = 0;
    std::array<long double, 256> strength_{};
};

}  // namespace qm::keenwright
