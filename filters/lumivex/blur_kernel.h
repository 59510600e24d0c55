// The Gaussian of the height-map blur: 1023 integer weights for offsets
// -511..+511, rebuilt only when its key (n, W) changes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace qm::lumivex {

// Positions blurLine sums side by side.
constexpr int kBlurBlock = 256;

// A worker's buffers for BlurKernel::blurLine.
struct BlurScratch {
    std::vector<uint32_t> prefix;  // the line's running sums, clamped past both ends
    std::vector<uint32_t> sums;    // one block's sums
    // Room for lines of up to `length` samples; throws std::bad_alloc.
    void reserve(int length);
};

class BlurKernel {
public:
    static constexpr int kTaps = 1023;
    static constexpr int kCentre = 511;

    static double sigmaFor(int n);

    // Builds the weights for (n, width) unless they already are; true when built.
    bool ensure(int n, int width);
    void invalidate() { builtN_ = builtWidth_ = -1; }

    int32_t weight(int i) const { return weights_[static_cast<size_t>(i)]; }
    int first() const { return first_; }  // lowest index with a non-zero weight
    int builtN() const { return builtN_; }
    int builtWidth() const { return builtWidth_; }
    bool usesBoxes() const { return useBoxes_; }  // blurLine's stack of boxes, else its taps

    // (6 x sum) / (wsum + 1) over the taps that fall on line[0 .. length - 1]
    // around position p; taps off the line neither add nor count.
    int32_t blurAt(const int16_t* line, int length, int p) const;

    // blurAt at positions from .. to - 1 of the line, into out[(p - from) x
    // outStep]. The scratch must have room for the line.
    void blurLine(const int16_t* line, int length, int from, int to, int16_t* out, ptrdiff_t outStep,
                  BlurScratch& scratch) const;

private:
    void buildBoxes();

    std::array<int32_t, kTaps> weights_{};
    // The same weights narrowed for the 32-bit sum, which holds whenever the
    // weights total at most 65535 (any 16-bit line then sums in range).
    std::array<int16_t, kTaps> narrow_{};
    bool narrowSum_ = false;
    std::array<int64_t, kTaps + 1> prefix_{};  // prefix_[i]: sum of weights_[0 .. i-1]
    // The weights as a stack of boxes: level L (from 1) covers the taps whose
    // weight is at least L, offsets lo .. hi from the centre. Used where the
    // boxes are fewer work than the taps (wide kernels of low weights).
    struct Box {
        int lo, hi;
    };
    std::vector<Box> boxes_;
    bool useBoxes_ = false;
    int first_ = kCentre;
    int builtN_ = -1, builtWidth_ = -1;
};

}  // namespace qm::lumivex
