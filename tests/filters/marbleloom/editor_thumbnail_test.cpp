// The pattern editor's thumbnail: its rings, the cleared lowest red bit, and
// which part of the pattern it shows at full scale and shifted.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "filters/marbleloom/pattern_controls.h"

using namespace qm::marbleloom;

namespace {

// 100 x 80 in blocks of 10 x 10, each of its own colour (odd red values, so
// a kept lowest bit would show).
struct BlockPattern {
    static constexpr int kWidth = 100, kHeight = 80;
    std::vector<uint8_t> pixels = std::vector<uint8_t>(kWidth * kHeight * 3);
    BlockPattern() {
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                uint8_t* p = pixels.data() + (y * kWidth + x) * 3;
                p[0] = static_cast<uint8_t>(1 + 2 * (x / 10) + 20 * (y / 10));
                p[1] = static_cast<uint8_t>(7 * (x / 10));
                p[2] = static_cast<uint8_t>(9 * (y / 10));
            }
    }
    PixelView view() const { return {pixels.data(), kWidth, kHeight, 3, kWidth * 3}; }
    const uint8_t* at(int x, int y) const {
        x = (x % kWidth + kWidth) % kWidth;
        y = (y % kHeight + kHeight) % kHeight;
        return pixels.data() + (y * kWidth + x) * 3;
    }
};

const uint8_t* thumbAt(const ThumbPixels& t, int x, int y) { return t.data() + (y * kDisplayThumbSide + x) * 3; }

TEST(EditorThumbnail, RingsAroundTheCentredWindowOfThePattern) {
    const BlockPattern pattern;
    // Full scale: one pattern pixel a thumbnail pixel, the 40 x 40 window
    // centred (from (30, 20)), and moved by half the width at the right end
    // of the horizontal shift.
    for (int shiftX : {22, 44}) {
        SCOPED_TRACE(shiftX);
        const ThumbPixels t = editorThumbnail(pattern.view(), 100, shiftX, 22);
        const int startX = 30 + (shiftX - 22) * 100 / 44, startY = 20;
        int compared = 0;
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 40; ++x) {
                // Away from the block edges the bilinear sample is the block's colour.
                if ((startX + x) % 10 == 0 || (startY + y) % 10 == 0) continue;
                const uint8_t* want = pattern.at(startX + x, startY + y);
                const uint8_t* got = thumbAt(t, x + 2, y + 2);
                ASSERT_EQ(got[2], want[0] & 0xFE) << x << "," << y;  // red, its lowest bit cleared
                ASSERT_EQ(got[1], want[1]) << x << "," << y;
                ASSERT_EQ(got[0], want[2]) << x << "," << y;
                ++compared;
            }
        EXPECT_GT(compared, 1000);
        for (int i = 0; i < kDisplayThumbSide; ++i)
            for (auto [x, y] : {std::pair{i, 0}, std::pair{0, i}, std::pair{i, 43}, std::pair{43, i}})
                EXPECT_EQ(thumbAt(t, x, y)[0] + thumbAt(t, x, y)[1] + thumbAt(t, x, y)[2], 0);
        for (int i = 1; i < kDisplayThumbSide - 1; ++i)
            for (auto [x, y] : {std::pair{i, 1}, std::pair{1, i}, std::pair{i, 42}, std::pair{42, i}})
                EXPECT_EQ(thumbAt(t, x, y)[0] + thumbAt(t, x, y)[1] + thumbAt(t, x, y)[2], 3 * 255);
    }
}

TEST(EditorThumbnail, AtTheSmallestScaleTheLongerSideSpans30Pixels) {
    const BlockPattern pattern;
    const ThumbPixels t = editorThumbnail(pattern.view(), 0, 22, 22);
    // A block column of the pattern is 3 thumbnail pixels wide: the colour
    // under column x comes back 30 columns on, one pattern width later.
    int same = 0, compared = 0;
    for (int x = 0; x + 30 < 40; ++x) {
        const uint8_t* a = thumbAt(t, x + 2, 20);
        const uint8_t* b = thumbAt(t, x + 32, 20);
        same += a[0] == b[0] && a[1] == b[1] && a[2] == b[2];
        ++compared;
    }
    EXPECT_GE(same, compared - 2);
    // And it is not one colour: it shows several blocks.
    EXPECT_NE(thumbAt(t, 2, 20)[1], thumbAt(t, 17, 20)[1]);
}

}  // namespace
