// Marbleloom in the dialog's preview: the same pixels as the final rendering
// when the preview shows the image at 1:1, the power tables built on the way,
// and nothing rendered while the pattern viewer is open. The dialog is a fake.
#include <gtest/gtest.h>

#include "framework/host/preview_buffers.h"
#include "tests/filters/marbleloom/texture_harness.h"
#include "tests/filters/quiet_dialog.h"

namespace qm::marbleloom {
namespace {

TEST(TexturePreview, AOneToOnePreviewShowsTheFinalPixels) {
    constexpr int w = 300, h = 200;
    test::TextureRun run(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            run.set(x, y, static_cast<uint8_t>(x * 3 / 4 + y / 5), static_cast<uint8_t>((x ^ y) & 0xFF),
                    static_cast<uint8_t>(255 - y));
    ASSERT_TRUE(run.open());
    const fw::ValueSlots slots = test::presetSlots("preset1");

    // The preview copy of an image below 600 pixels is the image itself.
    fw::PreviewBuffers preview;
    ASSERT_TRUE(preview.allocate(600, 600, 3, false));
    for (int y = 0; y < h; ++y)
        std::copy_n(&run.in[run.index(0, y)], w * 3, &preview.copy[static_cast<size_t>(y) * 600 * 3]);
    preview.copyWidth = preview.renderedWidth = w;
    preview.copyHeight = preview.renderedHeight = h;
    preview.transferred = true;
    qm::test::QuietDialog<> dialog(kSettingCount);
    dialog.knobs.slots = slots;
    run.session.preview = &preview;
    run.session.dialog = &dialog;
    ASSERT_EQ(fw::render(*run.state), noErr);
    EXPECT_TRUE(run.texture().progressive.shading.current());
    for (const PowerTable& t : run.texture().progressive.value) EXPECT_TRUE(t.current());

    run.session.preview = nullptr;
    run.session.dialog = nullptr;
    ASSERT_EQ(run.renderSlots(slots), noErr);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 3; ++c)
                ASSERT_EQ(preview.display[(static_cast<size_t>(y) * 600 + static_cast<size_t>(x)) * 3 + static_cast<size_t>(c)],
                          run.out[run.index(x, y) + static_cast<size_t>(c)])
                    << x << "," << y;

    // The pattern viewer covers the preview: nothing is rendered.
    run.session.preview = &preview;
    run.session.dialog = &dialog;
    std::fill(preview.display.begin(), preview.display.end(), 9);
    run.texture().view = DialogView::PatternViewer;
    dialog.knobs.slots[kRefract] = 10;  // a new record, so the loop renders
    ASSERT_EQ(fw::render(*run.state), noErr);
    EXPECT_TRUE(std::all_of(preview.display.begin(), preview.display.end(), [](uint8_t b) { return b == 9; }));
    run.session.preview = nullptr;
    run.session.dialog = nullptr;
}

}  // namespace
}  // namespace qm::marbleloom
