// The preview mode of the render loop, with a fake dialog.
#include <gtest/gtest.h>

#include <map>

#include "framework/host/dialog_link.h"
#include "framework/host/filter_session.h"
#include "framework/host/preview_buffers.h"
#include "framework/host/render_loop.h"
#include "framework/host/render_state.h"
#include "platform/pluginapi/pluginapi.h"

using namespace qm::fw;

namespace {

constexpr uint8_t kFields[] = {0, 8, 0xFF};

class FakeControls : public SlotControls {
public:
    bool hasControl(int slot) const override { return slot == 0; }
    int32_t getValue(int) const override { return value; }
    void setValue(int, int32_t v) override { value = v; }
    int32_t value = 10;
};

class FakeDialog : public DialogLink {
public:
    SlotControls& controls() override { return knobs; }
    bool pollMouse() override {
        ++polls;
        return polls == consumeAtPoll;
    }
    void clearProgress() override { ++clears; }
    void advanceProgress(int total) override {
        ++steps;
        stepTotal = total;
    }
    void startProgressTimer() override { ++timers; }
    void restorePreviewToggleIfRequested() override {}
    void enableZoomButtons() override { ++zoomEnables; }
    void redrawPreview() override { ++redraws; }
    void requestRedraw() override {}

    FakeControls knobs;
    int polls = 0, consumeAtPoll = -1, clears = 0, steps = 0, stepTotal = 0, timers = 0,
        zoomEnables = 0, redraws = 0;
};

int pixelsRendered = 0;
int prepareRegion(RenderState&) { return 0; }
int prepareFails(RenderState&) { return -1; }
void countPixel(RenderState&) { ++pixelsRendered; }

struct Fixture {
    explicit Fixture(const VariantPolicy& variant, int passes = 2) {
        filter.name = "Loop Test";
        filter.format = RecordFormat{7, 1, 64, fieldTableOf(kFields)};
        filter.passCount = passes;
        filter.variant = variant;
        filter.prepare = prepareRegion;
        filter.renderPass = countPixel;
        session.filter = &filter;
        session.format = filter.format;
        session.planes = 3;
        preview.allocate(600, 600, 3, false);
        preview.renderedWidth = 10;
        preview.renderedHeight = 20;
        preview.transferred = true;
        session.preview = &preview;
        session.dialog = &dialog;
        session.renderState = std::make_unique<RenderState>(session, passes, 64);
        state = session.renderState.get();
        pixelsRendered = 0;
    }
    FilterDescription filter{};
    FilterSession session;
    PreviewBuffers preview;
    FakeDialog dialog;
    RenderState* state = nullptr;
};

}  // namespace

TEST(RenderLoopPreview, RendersChangesOnceAndSkipsRepeats) {
    Fixture f(laterVariant(nullptr));
    ASSERT_EQ(render(*f.state), noErr);
    EXPECT_EQ(pixelsRendered, 2 * 10 * 20);
    EXPECT_EQ(f.state->history.top, 1);
    EXPECT_EQ(f.state->values[0], 10);  // the control's value went into the slot
    EXPECT_FALSE(f.preview.displayValid);
    EXPECT_EQ(f.dialog.timers, 1);
    EXPECT_EQ(f.dialog.redraws, 1);
    // Rows 7 and 15 of each pass: progress steps of 20 x 2 / 7, and a poll each.
    EXPECT_EQ(f.dialog.steps, 4);
    EXPECT_EQ(f.dialog.stepTotal, 5);
    EXPECT_EQ(f.dialog.polls, 4);

    pixelsRendered = 0;
    ASSERT_EQ(render(*f.state), noErr);
    EXPECT_EQ(pixelsRendered, 0);  // unchanged settings
    EXPECT_EQ(f.state->history.top, 1);

    f.state->history.forceRender = true;  // a view change renders, records nothing
    ASSERT_EQ(render(*f.state), noErr);
    EXPECT_EQ(pixelsRendered, 400);
    EXPECT_EQ(f.state->history.top, 1);
}

TEST(RenderLoopPreview, AConsumedMouseMessageRestartsTheRender) {
    Fixture f(laterVariant(nullptr));
    f.dialog.consumeAtPoll = 2;  // during pass 0, at row 15
    ASSERT_EQ(render(*f.state), noErr);
    // 15 rows of the abandoned render, then a whole one.
    EXPECT_EQ(pixelsRendered, 15 * 10 + 400);
    EXPECT_EQ(f.dialog.clears, 2);
    EXPECT_EQ(f.dialog.zoomEnables, 2);
    EXPECT_EQ(f.state->history.top, 1);  // only the completed render is recorded
}

TEST(RenderLoopPreview, EarlierVariantPollsEvery16Rows) {
    Fixture f(earlierVariant(0, false), 5);
    ASSERT_EQ(render(*f.state), noErr);
    EXPECT_EQ(f.dialog.polls, 5);  // row 15 of each pass
    EXPECT_EQ(f.dialog.stepTotal, 20 * 5 / 15);
}

TEST(RenderLoopPreview, NoPollingBeforeTheCopyExistsAndFailedPreparation) {
    Fixture f(laterVariant(nullptr));
    f.preview.transferred = false;
    f.dialog.consumeAtPoll = 1;
    ASSERT_EQ(render(*f.state), noErr);
    EXPECT_EQ(f.dialog.polls, 0);
    EXPECT_EQ(f.dialog.redraws, 0);  // nothing to show before the copy

    f.filter.prepare = prepareFails;
    f.dialog.knobs.value = 11;
    EXPECT_EQ(render(*f.state), memFullErr);
}
