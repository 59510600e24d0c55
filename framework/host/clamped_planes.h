// Colour planes for walks that read clamped neighbours in vector lanes: the
// R, G, B values of a work buffer (three a pixel, row-major) apart, every row
// widened by kPad clamped columns on each side. A group of up to kPad lanes
// whose first column is limited to -kPad .. width - 1 then reads exactly what
// the clamped coordinates max(min(x, width - 2), 0) and
// max(min(y, height - 2), 0) name, as the filters' border bands do.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace qm::fw {

template <typename Sample, int Pad = 8>
class ClampedPlanes {
public:
    static constexpr int kPad = Pad;

    // Each entry's sample rows for one row of the walk: plane offsets of the
    // clamped rows y + dy and y - dy, and the entry's column offset.
    struct Step {
        std::size_t plusRow = 0, minusRow = 0;
        int dx = 0;
    };

    // Images narrower than kPad get no planes (empty()).
    void load(const int16_t* work, int width, int height) {
        if (width < kPad || height < 1) return release();
        width_ = width;
        height_ = height;
        stride_ = static_cast<std::size_t>(width) + 2 * kPad;
        planeSize_ = stride_ * static_cast<std::size_t>(height);
        samples_.resize(planeSize_ * 3);
        for (int y = 0; y < height; ++y) {
            const int16_t* source = work + static_cast<std::size_t>(y) * static_cast<std::size_t>(width) * 3;
            for (std::size_t c = 0; c < 3; ++c) {
                Sample* row = samples_.data() + c * planeSize_ + static_cast<std::size_t>(y) * stride_;
                for (int x = -kPad; x < width + kPad; ++x)
                    row[x + kPad] = static_cast<Sample>(source[static_cast<std::size_t>(clampColumn(x)) * 3 + c]);
            }
        }
    }

    void release() {
        samples_.clear();
        samples_.shrink_to_fit();
    }

    bool empty() const { return samples_.empty(); }
    // Plane c (R, G, B) at column 0 of row 0.
    const Sample* plane(std::size_t c) const { return samples_.data() + c * planeSize_ + kPad; }

    template <typename Entry>
    void stepsFor(const std::vector<Entry>& entries, int y, std::vector<Step>& steps) const {
        steps.resize(entries.size());
        for (std::size_t i = 0; i < entries.size(); ++i)
            steps[i] = Step{rowOffset(y + entries[i].dy), rowOffset(y - entries[i].dy), entries[i].dx};
    }

    // Where a step's two sample groups start for the group at column. The
    // groups to the right read the same rows next, and each step's rows lie
    // far apart: theirs are fetched early.
    struct Places {
        std::size_t plus = 0, minus = 0;
    };
    Places places(const Step& step, int column) const {
        const Places p{at(step.plusRow, column + step.dx), at(step.minusRow, column - step.dx)};
        fetchEarly(p.plus + kFetchAhead);
        fetchEarly(p.minus + kFetchAhead);
        return p;
    }

private:
    static constexpr std::size_t kFetchAhead = 16 * kPad;  // sixteen groups

    std::size_t at(std::size_t rowOffset, int column) const {
        return rowOffset + static_cast<std::size_t>(std::clamp(column, -kPad, width_ - 1));
    }
    void fetchEarly(std::size_t offset) const {
        const Sample* at = plane(0) + offset;
        __builtin_prefetch(at);
        __builtin_prefetch(at + planeSize_);
        __builtin_prefetch(at + 2 * planeSize_);
    }
    int clampColumn(int x) const { return std::max(std::min(x, width_ - 2), 0); }
    std::size_t rowOffset(int y) const {
        return static_cast<std::size_t>(std::max(std::min(y, height_ - 2), 0)) * stride_;
    }

    std::vector<Sample> samples_;
    std::size_t stride_ = 0, planeSize_ = 0;
    int width_ = 0, height_ = 0;
};

}  // namespace qm::fw
