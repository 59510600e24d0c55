// KeenwrightHD's four passes through the framework's render loop: whole
// images at 8 and 16 bits, selections, transparency, tiny images, the cached
// smoothing and the dialog's unfiltered preview.
#include <gtest/gtest.h>

#include "framework/host/pixel_access.h"
#include "framework/host/preview_buffers.h"
#include "tests/filters/keenwrighthd/hd_test_support.h"

using namespace qm;
using namespace qm::khd;
using namespace qm::khd::test;

namespace {

HostImage uniformImage(int w, int h, int planes, bool sixteenBit, std::array<int32_t, 4> colour) {
    HostImage img(w, h, planes, sixteenBit);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < planes; ++c) img.set(x, y, c, colour[static_cast<size_t>(c)]);
    return img;
}

Controls neutralTone(int contrast) {
    Controls c;
    c.contrast = contrast;
    c.highlights = 200;
    c.shadows = 0;
    return c;
}

}  // namespace

TEST(HdRender, UniformImages) {
    // Bright colours are outside the shadow curve and Highlights is 200:
    // the default preset keeps them; every smoothed pixel is the pixel itself.
    {
        const HostImage in = uniformImage(37, 23, 3, false, {200, 180, 160, 0});
        FinalSession s(in, presetRecord("default.txt"));
        ASSERT_EQ(s.render(), 0);
        EXPECT_EQ(s.output().bytes, in.bytes);
        const size_t n = 37 * 23;
        EXPECT_TRUE(std::all_of(s.state().maskBuffer.begin(), s.state().maskBuffer.begin() + n,
                                [](uint8_t m) { return m == 255; }));
    }
    // A dark uniform image stays uniform and is lifted by the shadows.
    const HostImage dark = uniformImage(30, 20, 3, false, {40, 60, 30, 0});
    const HostImage out = renderOnce(dark, presetRecord("default.txt"));
    for (int c = 0; c < 3; ++c) {
        EXPECT_GT(out.get(0, 0, c), dark.get(0, 0, c)) << c;
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 30; ++x) ASSERT_EQ(out.get(x, y, c), out.get(0, 0, c));
    }
}

TEST(HdRender, SixteenBitOutputIsTheFullResultOfWhichEightBitsAreTheTop) {
    // An 8-bit image and the same image at 16 bits load to the same working
    // values, so the 16-bit output is the 15-bit result and the 8-bit output
    // that result / 128.
    for (const char* preset : {"default.txt", "x-noise_reduction.txt", "hdry.txt"}) {
        const std::vector<uint8_t> record = presetRecord(preset);
        const HostImage out8 = renderOnce(patternImage(45, 33, 3, false), record);
        const HostImage out16 = renderOnce(patternImage(45, 33, 3, true), record);
        bool finerThanEightBits = false, changed = false;
        for (int y = 0; y < 33; ++y)
            for (int x = 0; x < 45; ++x)
                for (int c = 0; c < 3; ++c) {
                    const int32_t v16 = out16.get(x, y, c);
                    ASSERT_LE(v16, 32767);
                    ASSERT_EQ(v16 / 128, out8.get(x, y, c)) << preset << " " << x << "," << y << "," << c;
                    finerThanEightBits |= v16 % 128 != 0;
                    changed |= out8.get(x, y, c) != pattern8(x, y, c);
                }
        EXPECT_TRUE(finerThanEightBits) << preset;
        EXPECT_TRUE(changed) << preset;
    }
}

TEST(HdRender, ContrastFiftyGivesTheInputBack) {
    const HostImage in = patternImage(41, 29, 3, true);
    const HostImage out = renderOnce(in, recordOf(neutralTone(50)));
    for (size_t i = 0; i < in.bytes.size(); i += 2)
        ASSERT_NEAR(out.bytes[i] | out.bytes[i + 1] << 8, in.bytes[i] | in.bytes[i + 1] << 8, 1) << i;
}

TEST(HdRender, SelectionBlendsWithTheSourceAndTransparencyIsKept) {
    const HostImage in = patternImage(40, 30, 4, false);
    const std::vector<uint8_t> record = presetRecord("hdry.txt");
    const HostImage full = renderOnce(in, record);

    std::vector<uint8_t> none(40 * 30, 0), half(40 * 30, 128);
    EXPECT_EQ(renderOnce(in, record, &none).bytes, in.bytes);
    const HostImage blended = renderOnce(in, record, &half);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) {
            ASSERT_EQ(full.get(x, y, 3), in.get(x, y, 3));
            for (int c = 0; c < 3; ++c) {
                const int a = in.get(x, y, c), b = full.get(x, y, c), m = blended.get(x, y, c);
                ASSERT_GE(m, std::min(a, b) - 1);
                ASSERT_LE(m, std::max(a, b));
            }
        }
}

TEST(HdRender, TinyAndNarrowImagesRenderInsideTheirRegion) {
    // The buffers hold exactly the image: the sanitizer build sees any read
    // outside it. Whole-image reach is 500 here, far beyond every side.
    const struct {
        int w, h;
    } sizes[] = {{1, 1}, {2, 2}, {3, 50}, {50, 3}, {1, 7}, {1004, 1}};
    for (const auto& size : sizes)
        for (bool sixteenBit : {false, true}) {
            const HostImage in = patternImage(size.w, size.h, 3, sixteenBit);
            for (const char* preset : {"default.txt", "x-noise_reduction.txt"}) {
                FinalSession s(in, presetRecord(preset));
                EXPECT_EQ(s.render(), 0) << size.w << "x" << size.h;
                EXPECT_GE(s.kernel().q(), 500);
            }
        }
}

TEST(HdRender, RadiusPairPastThePoleRendersLikeTheSteepestValidPair) {
    const HostImage in = patternImage(40, 30, 3, false);
    Controls pole;
    pole.high = 0;
    pole.low = 200;
    Controls steepest = pole;
    steepest.low = 49;
    const HostImage a = renderOnce(in, recordOf(pole));
    EXPECT_EQ(a.bytes, renderOnce(in, recordOf(steepest)).bytes);
    // Out-of-range values of a record (both halves 511) are limited first.
    Controls wild;
    wild.high = wild.low = wild.highlights = wild.shadows = 511;
    wild.contrast = 255;
    wild.softness = 255;
    Controls limited;
    limited.high = limited.low = limited.highlights = limited.shadows = limited.contrast = 200;
    limited.softness = 100;
    EXPECT_EQ(renderOnce(in, recordOf(wild)).bytes, renderOnce(in, recordOf(limited)).bytes);
}

TEST(HdRender, SmoothingIsCachedWithinASessionUntilItsInputsChange) {
    const HostImage in = patternImage(36, 28, 3, false);
    FinalSession s(in, presetRecord("default.txt"));
    ASSERT_EQ(s.render(), 0);
    EXPECT_FALSE(s.kernel().dirty());
    const HostImage first = s.output();
    const std::vector<int16_t> smoothing = s.state().smoothBuffer;

    // A tone change reuses the smoothing: a marked buffer stays marked.
    std::fill(s.state().smoothBuffer.begin(), s.state().smoothBuffer.end(), int16_t{1234});
    Controls stronger;
    stronger.contrast = 180;
    s.setRecord(recordOf(stronger));
    ASSERT_EQ(s.render(), 0);
    EXPECT_TRUE(std::all_of(s.state().smoothBuffer.begin(), s.state().smoothBuffer.end(),
                            [](int16_t v) { return v == 1234; }));

    // A radius change recomputes it.
    Controls otherRadius;
    otherRadius.low = 100;
    s.setRecord(recordOf(otherRadius));
    ASSERT_EQ(s.render(), 0);
    EXPECT_NE(s.state().smoothBuffer, std::vector<int16_t>(smoothing.size(), 1234));

    // A new session on the same image starts afresh and gives the first result.
    FinalSession again(in, presetRecord("default.txt"));
    EXPECT_TRUE(again.kernel().dirty());
    ASSERT_EQ(again.render(), 0);
    EXPECT_EQ(again.output().bytes, first.bytes);
}

TEST(HdRender, PreviewOffShowsTheUnfilteredImageAndKeepsTheCacheDirty) {
    // The dialog's passes with its Preview toggle off, over a preview copy.
    const HostImage in = patternImage(24, 16, 3, false);
    Controls off;
    off.preview = 0;
    FinalSession s(in, recordOf(off));
    fw::PreviewBuffers preview;
    ASSERT_TRUE(preview.allocate(24, 16, 3, false));
    std::copy(in.bytes.begin(), in.bytes.end(), preview.copy.begin());
    fw::RenderState& st = s.state();
    s.session().preview = &preview;
    fw::decodeRecord(s.session().settings.data(), hd().format, st.values);
    st.region.planes = 3;
    st.region.source = preview.copy.data();
    st.region.sourceStride = in.rowBytes();
    st.region.destination = preview.display.data();
    st.region.destinationStride = 24 * 3;
    st.region.width = 24;
    st.region.height = 16;
    st.view.kind = fw::SourceView::Kind::Fit;
    ASSERT_EQ(hd().prepare(st), 0);
    for (st.pass = 0; st.pass < 4; ++st.pass)
        for (st.row = 0; st.row < 16; ++st.row)
            for (st.column = 0; st.column < 24; ++st.column) hd().renderPass(st);
    for (size_t i = 0; i < in.bytes.size(); ++i) ASSERT_EQ(preview.display[i], in.bytes[i]) << i;
    EXPECT_TRUE(s.kernel().dirty());
    s.session().preview = nullptr;
}
