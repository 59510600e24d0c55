// The render loop with a row renderer on several workers: the host's abort
// and progress callbacks and the dialog's polls come only from the host's
// thread, in the sequences one thread gives, each pass finishes before the
// next begins, and an abort stops before the row it was asked at.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "framework/host/dialog_link.h"
#include "framework/host/filter_session.h"
#include "framework/host/preview_buffers.h"
#include "framework/host/render_loop.h"
#include "framework/host/render_state.h"
#include "platform/pluginapi/pluginapi.h"

using namespace qm::fw;

namespace {

constexpr uint8_t kFields[] = {0, 8, 0xFF};
constexpr int kWidth = 5, kHeight = 100, kPasses = 4;

std::thread::id hostThread;
std::atomic<bool> callbackOffHost{false};
std::vector<std::pair<int32_t, int32_t>> progress;
int abortAtCall = -1, abortCalls = 0;
// Per pass and row: how often rendered; rows must see the pass before complete.
std::vector<std::atomic<int>> rendered(kPasses * kHeight);
std::atomic<bool> passOverlap{false};
std::mutex threadsMutex;
std::set<std::thread::id> workerThreads;

void onHost() {
    if (std::this_thread::get_id() != hostThread) callbackOffHost = true;
}
Boolean abortProc() {
    onHost();
    return ++abortCalls == abortAtCall;
}
void progressProc(int32_t done, int32_t total) {
    onHost();
    progress.emplace_back(done, total);
}

int prepare(RenderState&) { return 0; }
void noPixel(RenderState&) {}
void renderRows(RenderState&, RowScratch*, int pass, int first, int last) {
    {
        std::lock_guard lock(threadsMutex);
        workerThreads.insert(std::this_thread::get_id());
    }
    for (int y = first; y < last; ++y) {
        if (pass > 0)
            for (int r = 0; r < kHeight; ++r)
                if (rendered[static_cast<size_t>((pass - 1) * kHeight + r)] != 1) passOverlap = true;
        ++rendered[static_cast<size_t>(pass * kHeight + y)];
        // Long enough that the other workers take rows too.
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
}

class FakeDialog : public DialogLink {
public:
    SlotControls& controls() override { return knobs; }
    bool pollMouse() override {
        onHost();
        return ++polls == consumeAtPoll;
    }
    void clearProgress() override { onHost(); }
    void advanceProgress(int) override { onHost(); }
    void startProgressTimer() override { onHost(); }
    void restorePreviewToggleIfRequested() override { onHost(); }
    void enableZoomButtons() override { onHost(); }
    void redrawPreview() override { onHost(); }
    void requestRedraw() override {}

    struct : SlotControls {
        bool hasControl(int slot) const override { return slot == 0; }
        int32_t getValue(int) const override { return 10; }
        void setValue(int, int32_t) override {}
    } knobs;
    int polls = 0, consumeAtPoll = -1;
};

struct LoopRun {
    explicit LoopRun(const VariantPolicy& variant) {
        filter.name = "Rows Test";
        filter.format = RecordFormat{7, 1, 64, fieldTableOf(kFields)};
        filter.passCount = kPasses;
        filter.variant = variant;
        filter.prepare = prepare;
        filter.renderPass = noPixel;
        filter.rows.renderRows = renderRows;
        session.filter = &filter;
        session.format = filter.format;
        fr.imageSize = {kHeight, kWidth};
        fr.abortProc = abortProc;
        fr.progressProc = progressProc;
        session.record = &fr;
        session.renderState = std::make_unique<RenderState>(session, kPasses, 64);
        hostThread = std::this_thread::get_id();
        callbackOffHost = passOverlap = false;
        progress.clear();
        abortCalls = 0;
        abortAtCall = -1;
        for (auto& r : rendered) r = 0;
        workerThreads.clear();
        setRenderThreads(7);
    }
    ~LoopRun() { setRenderThreads(0); }
    int renderedInPass(int pass) const {
        int n = 0;
        for (int y = 0; y < kHeight; ++y) n += rendered[static_cast<size_t>(pass * kHeight + y)];
        return n;
    }
    FilterDescription filter{};
    FilterSession session;
    FilterRecord fr{};
};

}  // namespace

TEST(RowWorkers, FinalPassSequencesOfBothVariantsFromTheHostThread) {
    struct Case {
        VariantPolicy variant;
        std::vector<int32_t> firstDone;  // pass 0, rows 31, 63, 95
        int32_t lastPassFirst;           // pass 3, row 31
    };
    const Case cases[] = {
        // Restarting sweeps: u = 50 x pass / 4, then u + (100 - u) x row / 100.
        {laterVariant(nullptr), {31, 63, 95}, 37 + (100 - 37) * 31 / 100},
        // One steady sweep: (pass x 100 + row) / 4.
        {earlierVariant(0, false), {7, 15, 23}, (300 + 31) / 4},
    };
    for (const Case& c : cases) {
        LoopRun run(c.variant);
        ASSERT_EQ(render(*run.session.renderState), noErr);
        EXPECT_FALSE(callbackOffHost);
        EXPECT_FALSE(passOverlap);
        EXPECT_GT(workerThreads.size(), 1u);
        ASSERT_EQ(progress.size(), 12u);  // rows 31, 63, 95 of each pass
        for (size_t i = 0; i < 3; ++i) EXPECT_EQ(progress[i].first, c.firstDone[i]);
        EXPECT_EQ(progress[9].first, c.lastPassFirst);
        for (const auto& p : progress) EXPECT_EQ(p.second, kHeight);
        for (int pass = 0; pass < kPasses; ++pass) EXPECT_EQ(run.renderedInPass(pass), kHeight);
    }
}

TEST(RowWorkers, AbortStopsBeforeTheRowItWasAskedAt) {
    for (const int call : {1, 2, 5}) {
        LoopRun run(laterVariant(nullptr));
        abortAtCall = call;  // 1: row 31 of pass 0; 5: row 63 of pass 1
        EXPECT_EQ(render(*run.session.renderState), userCanceledErr);
        EXPECT_FALSE(callbackOffHost);
        const int pass = (call - 1) / 3, row = 32 * ((call - 1) % 3 + 1) - 1;
        EXPECT_EQ(run.renderedInPass(pass), row) << call;
        if (pass + 1 < kPasses) {
            EXPECT_EQ(run.renderedInPass(pass + 1), 0);
        }
    }
}

TEST(RowWorkers, PreviewPollsFromTheHostThreadAndRestartsOnInput) {
    LoopRun run(laterVariant(nullptr));
    PreviewBuffers preview;
    preview.allocate(600, 600, 3, false);
    preview.renderedWidth = kWidth;
    preview.renderedHeight = kHeight;
    preview.transferred = true;
    FakeDialog dialog;
    dialog.consumeAtPoll = 3;  // row 23 of pass 0
    run.session.preview = &preview;
    run.session.dialog = &dialog;
    ASSERT_EQ(render(*run.session.renderState), noErr);
    EXPECT_FALSE(callbackOffHost);
    // 23 rows of the abandoned render, then a whole one; 12 looks a pass.
    EXPECT_EQ(run.renderedInPass(0), 23 + kHeight);
    EXPECT_EQ(dialog.polls, 3 + kPasses * 12);
    EXPECT_EQ(run.session.renderState->history.top, 1);
}
