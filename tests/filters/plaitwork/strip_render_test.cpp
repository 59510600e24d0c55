// Whole renders through the framework's final pass with chosen settings.
#include <gtest/gtest.h>

#include "filters/plaitwork/strip_settings.h"
#include "tests/filters/plaitwork/plaitwork_harness.h"

using namespace qm::plaitwork;
using namespace qm::plaitwork::test;

namespace {

constexpr int32_t kCentred = 25 | 25 << 7;

int32_t colour(uint8_t r, uint8_t g, uint8_t b, int mode) {
    return static_cast<int32_t>(StripColour{r, g, b, mode}.pack());
}

// Every deformation centred, no shadow, no shading, no colour change.
qm::fw::ValueSlots neutralSlots() {
    qm::fw::ValueSlots s{};
    s[kHSpacing1] = 12;
    s[kVSpacing1] = 10;
    s[kHSpacing2] = 16;
    s[kVSpacing2] = 14;
    for (Field f : {kShadowDepth1, kShadowDepth2, kCurvedDeformation, kStretch1, kStretch2, kMeshDisplacement})
        s[f] = kCentred;
    s[kMoireH] = s[kMoireV] = 50;
    s[kSideShading1] = s[kSideShading2] = 50;
    for (Field f : {kShadowColour1, kShadowColour2, kSideShadowColour1, kSideShadowColour2})
        s[f] = colour(0, 0, 0, 2);
    s[kBackgroundColour] = colour(227, 217, 203, 2);
    s[kRotate] = 50;
    return s;
}

Picture render(const Picture& in, const qm::fw::ValueSlots& slots, const RenderOptions& options = {}) {
    Picture out;
    EXPECT_EQ(renderFinal(in, slots, out, options), 0);
    return out;
}

bool sameColours(const Picture& a, const Picture& b) {
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x)
            for (int c = 0; c < 3; ++c)
                if (a.at(x, y)[c] != b.at(x, y)[c]) return false;
    return true;
}

}  // namespace

TEST(StripRender, NeutralSettingsLeaveThePictureAlone) {
    const Picture in = testPicture(90, 70, 3);
    qm::fw::ValueSlots s = neutralSlots();
    for (int deformation : {0, 100}) {
        s[kBackgroundDeformation] = deformation;  // remapping through neutral strips moves nothing
        EXPECT_EQ(render(in, s).pixels, in.pixels) << deformation;
    }
}

// With a gradient shadow on the first stage only, a uniform picture shows
// the first stage's cells: periodic along both axes with the cell size, which
// grows with the image (1200 wide: scale 2).
TEST(StripRender, NeutralGeometryGivesAnUndistortedUnrotatedWeave) {
    qm::fw::ValueSlots s = neutralSlots();
    s[kShadowDepth1] = 40 | 10 << 7;
    s[kShadowColour1] = colour(20, 10, 0, 2);
    const struct {
        int width, height, Sh, Sv;
    } cases[] = {{120, 90, 12, 10}, {1200, 60, 24, 20}};
    for (const auto& c : cases)
        for (int deformation : {0, 100}) {
            const Picture in = uniformPicture(c.width, c.height, 3, {140, 120, 100});
            s[kBackgroundDeformation] = deformation;
            const Picture out = render(in, s);
            int changed = 0;
            for (int y = 0; y < in.height; ++y)
                for (int x = 0; x < in.width; ++x) {
                    for (int ch = 0; ch < 3; ++ch) {
                        if (x + 2 * c.Sh < in.width) {
                            ASSERT_EQ(out.at(x, y)[ch], out.at(x + 2 * c.Sh, y)[ch]) << c.width << ": " << x << "," << y;
                        }
                        if (y + 2 * c.Sv < in.height) {
                            ASSERT_EQ(out.at(x, y)[ch], out.at(x, y + 2 * c.Sv)[ch]) << c.width << ": " << x << "," << y;
                        }
                    }
                    if (out.at(x, y)[0] != 140) ++changed;
                }
            EXPECT_GT(changed, in.width * in.height / 4) << c.width;
            // Each cell is split at its middle into strips lit from opposite sides.
            EXPECT_NE(out.at(3, 2)[0], out.at(3, 2 + c.Sv)[0]) << c.width;
            EXPECT_NE(out.at(3, 2)[0], out.at(3 + c.Sh, 2)[0]) << c.width;
        }
}

TEST(StripRender, TransparentColourIsOpaqueOnThreePlanesAndScalesAlphaOnFour) {
    qm::fw::ValueSlots lit = neutralSlots();
    lit[kShadowDepth1] = 45 | 5 << 7;
    qm::fw::ValueSlots own = lit, transparent = lit;
    own[kShadowColour1] = colour(200, 30, 90, 2);
    transparent[kShadowColour1] = colour(200, 30, 90, 3);

    const Picture rgb = testPicture(60, 50, 3);
    EXPECT_EQ(render(rgb, transparent).pixels, render(rgb, own).pixels);

    // On four planes the layer leaves the colours and works on the fourth channel.
    const Picture rgba = testPicture(60, 50, 4);
    const Picture out = render(rgba, transparent);
    EXPECT_TRUE(sameColours(out, render(rgba, neutralSlots())));
    EXPECT_FALSE(sameColours(out, render(rgba, own)));
    int lowered = 0;
    for (int y = 0; y < 50; ++y)
        for (int x = 0; x < 60; ++x) {
            ASSERT_LE(out.at(x, y)[3], rgba.at(x, y)[3] * 2);
            if (out.at(x, y)[3] != rgba.at(x, y)[3]) ++lowered;
        }
    EXPECT_GT(lowered, 60 * 50 / 4);
}

// The fourth channel passes through where the picture is read, and comes
// from the background colour (0 when it is transparent) where the rotated
// strips leave the picture.
TEST(StripRender, FourthChannelIsKeptOrTakenFromTheBackground) {
    const Picture rgba = testPicture(80, 60, 4);
    qm::fw::ValueSlots s = neutralSlots();
    EXPECT_EQ(render(rgba, s).pixels, rgba.pixels);

    s[kBackgroundDeformation] = 100;
    s[kRotate] = 100;  // a quarter turn of 45 degrees leaves the corners outside
    const struct {
        int mode, planes;
        uint8_t cornerAlpha;
    } cases[] = {{3, 4, 0}, {2, 4, 255}, {3, 3, 0}};
    for (const auto& c : cases) {
        s[kBackgroundColour] = colour(10, 20, 30, c.mode);
        const Picture in = testPicture(80, 60, c.planes);
        const Picture out = render(in, s);
        const uint8_t* corner = out.at(0, 0);
        EXPECT_EQ(corner[0], 10) << c.mode << " " << c.planes;
        EXPECT_EQ(corner[1], 20);
        EXPECT_EQ(corner[2], 30);
        if (c.planes == 4) {
            EXPECT_EQ(corner[3], c.cornerAlpha) << c.mode;
            EXPECT_EQ(out.at(40, 30)[3], in.at(40, 30)[3]);  // the centre stays where it is
        }
        EXPECT_EQ(out.at(40, 30)[0], in.at(40, 30)[0]);
    }
}

TEST(StripRender, HostColoursStandBehindModesZeroAndOne) {
    const Picture in = testPicture(50, 40, 3);
    qm::fw::ValueSlots base = neutralSlots();
    base[kShadowDepth1] = 45 | 40 << 7;
    base[kSideShading1] = 90;
    RenderOptions options;
    options.foreground[0] = 250, options.foreground[1] = 40, options.foreground[2] = 5;
    options.background[0] = 0, options.background[1] = 90, options.background[2] = 200;
    const struct {
        Field field;
        int mode;
        uint8_t r, g, b;
    } cases[] = {{kShadowColour1, 0, 250, 40, 5}, {kSideShadowColour1, 1, 0, 90, 200}};
    for (const auto& c : cases) {
        qm::fw::ValueSlots host = base, own = base;
        host[c.field] = colour(1, 2, 3, c.mode);  // its own colour is not shown
        own[c.field] = colour(c.r, c.g, c.b, 2);
        EXPECT_EQ(render(in, host, options).pixels, render(in, own, options).pixels) << c.mode;
    }
}

TEST(StripRender, OutOfRangeRecordRendersAsTheLimitedOne) {
    const Picture in = testPicture(64, 48, 3);
    qm::fw::ValueSlots raw = presetSlots("WAVELET_ME"), limited = raw;
    raw[kHSpacing1] = 1000, limited[kHSpacing1] = 250;
    raw[kVSpacing2] = 1, limited[kVSpacing2] = 2;
    raw[kStretch1] = 90 | 127 << 7, limited[kStretch1] = 50 | 50 << 7;
    raw[kBackgroundDeformation] = 127, limited[kBackgroundDeformation] = 100;
    raw[kRotate] = 120, limited[kRotate] = 100;
    raw[kOrientation2] = 7, limited[kOrientation2] = 5;
    raw[kMeshSmoothness] = 127, limited[kMeshSmoothness] = 50;
    const Picture out = render(in, raw);
    EXPECT_EQ(out.pixels, render(in, limited).pixels);
    EXPECT_NE(out.pixels, render(in, presetSlots("WAVELET_ME")).pixels);
}

TEST(StripRender, SelectionBlendsTowardsTheBackgroundColour) {
    const Picture in = testPicture(40, 30, 3);
    std::vector<uint8_t> mask(40 * 30, 255);
    for (int x = 0; x < 40; ++x) mask[static_cast<size_t>(10 * 40 + x)] = 0;
    RenderOptions options;
    options.mask = &mask;
    for (int deformation : {0, 100}) {
        qm::fw::ValueSlots s = neutralSlots();
        s[kBackgroundDeformation] = deformation;
        s[kBackgroundColour] = colour(1, 2, 3, 2);
        const Picture out = render(in, s, options);
        EXPECT_EQ(out.at(5, 10)[0], 1) << deformation;
        EXPECT_EQ(out.at(5, 10)[2], 3) << deformation;
        EXPECT_EQ(out.at(5, 20)[0], in.at(5, 20)[0]) << deformation;
    }
}
