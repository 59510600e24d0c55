// The Gaussian of the height-map blur: 1023 integer weights for offsets
// -511..+511, rebuilt only when its key (n, W) changes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace qm::lumivex {

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

    // (6 x sum) / (wsum + 1) over the taps that fall on line[0 .. length - 1]
    // around position p; taps off the line neither add nor count.
    int32_t blurAt(const int16_t* line, int length, int p) const;

private:
    std::array<int32_t, kTaps> weights_{};
    // The same weights narrowed for the 32-bit sum, which holds whenever the
    // weights total at most 65535 (any 16-bit line then sums in range).
    std::array<int16_t, kTaps> narrow_{};
    bool narrowSum_ = false;
    std::array<int64_t, kTaps + 1> prefix_{};  // prefix_[i]: sum of weights_[0 .. i-1]
    int first_ = kCentre;
    int builtN_ = -1, builtWidth_ = -1;
};

}  // namespace qm::lumivex
