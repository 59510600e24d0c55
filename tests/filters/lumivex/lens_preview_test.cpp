// Lumivex in the dialog's preview: pass 0's mask thumbnail and the plain copy
// when the preview is switched off. The dialog is a fake.
#include <gtest/gtest.h>

#include "framework/host/preview_buffers.h"
#include "tests/filters/lumivex/lens_harness.h"
#include "tests/filters/quiet_dialog.h"

using namespace qm;
using namespace qm::lumivex;
using namespace qm::lumivex::test;

namespace {

struct PreviewRun {
    // The image is 4 times the region, as the dialog reduces it.
    PreviewRun(int w, int h) : run(4 * w, 4 * h) {
        run.session.previewScale = 4.0f;
        preview.allocate(600, 600, 3, false);
        for (size_t i = 0; i < preview.copy.size(); ++i)
            preview.copy[i] = static_cast<uint8_t>((i * 37 + i / 1800 * 11) % 251);
        preview.renderedWidth = w;
        preview.renderedHeight = h;
        preview.transferred = true;
        run.session.preview = &preview;
        run.session.dialog = &dialog;
    }
    int16_t render(const LensSettings& s) {
        encodeLensSettings(s, dialog.knobs.slots);
        return fw::render(*run.state);
    }
    const uint8_t* copyAt(int x, int y) const { return &preview.copy[static_cast<size_t>(y * 600 + x) * 3]; }
    const uint8_t* displayAt(int x, int y) const { return &preview.display[static_cast<size_t>(y * 600 + x) * 3]; }
    const uint8_t* thumbAt(int x, int y) { return &run.lens().thumbnail[static_cast<size_t>(y * 160 + x) * 3]; }
    bool background(int x, int y) {
        const uint8_t* t = thumbAt(x, y);
        return t[0] == kThumbnailB && t[1] == kThumbnailG && t[2] == kThumbnailR;
    }

    LensRun run;
    fw::PreviewBuffers preview;
    qm::test::QuietDialog<> dialog{kLensSkew + 1};
};

LensSettings wholeImage(int inclusion) {
    LensSettings s = sideways();
    s.maskLeft = s.maskTop = 0;
    s.maskRight = s.maskBottom = 160;
    s.inclusion = inclusion;
    return s;
}

}  // namespace

TEST(LumivexPreview, WithThePreviewOffTheSourceShowsUnchanged) {
    PreviewRun p(200, 150);
    LensSettings s = sideways();
    s.previewOn = 0;
    ASSERT_EQ(p.render(s), noErr);
    for (int y = 0; y < 150; ++y)
        for (int x = 0; x < 200; ++x)
            for (int c = 0; c < 3; ++c) ASSERT_EQ(p.displayAt(x, y)[c], p.copyAt(x, y)[c]);
    EXPECT_TRUE(p.background(80, 80));  // the thumbnail was not drawn
    EXPECT_TRUE(p.run.lens().heightDirty);  // the height map waits for a real render

    s.previewOn = 2;
    ASSERT_EQ(p.render(s), noErr);
    EXPECT_FALSE(p.run.lens().heightDirty);
    EXPECT_EQ(p.run.lens().params.scale, 1.0f);  // the preview works at scale 1
    int moved = 0;
    for (int y = 0; y < 150; ++y)
        for (int x = 0; x < 200; ++x) moved += p.displayAt(x, y)[0] != p.copyAt(x, y)[0];
    EXPECT_GT(moved, 0);
}

TEST(LumivexPreview, TheThumbnailShowsTheImageWhereTheLensActs) {
    // A 320 x 200 region gives a 160 x 100 thumbnail, centred 30 rows down.
    PreviewRun p(320, 200);
    ASSERT_EQ(p.render(wholeImage(100)), noErr);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 160; ++x) {
            const uint8_t* t = p.thumbAt(x, y + 30);
            const uint8_t* src = p.copyAt(2 * x, 2 * y);
            ASSERT_EQ(t[2], src[0]);
            ASSERT_EQ(t[1], src[1]);
            ASSERT_EQ(t[0], src[2]);
        }
    for (int x = 0; x < 160; ++x) EXPECT_TRUE(p.background(x, 10) && p.background(x, 140));

    // Inclusion 0 with the whole rectangle: no effect anywhere, so the
    // thumbnail shows the background colour only.
    ASSERT_EQ(p.render(wholeImage(0)), noErr);
    for (int y = 0; y < 160; ++y)
        for (int x = 0; x < 160; ++x) ASSERT_TRUE(p.background(x, y)) << x << "," << y;
}
