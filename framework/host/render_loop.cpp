#include "framework/host/render_loop.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

#include "framework/host/dialog_link.h"
#include "framework/host/filter_session.h"
#include "framework/host/preview_buffers.h"
#include "framework/host/render_state.h"
#include "platform/os/clock.h"
#include "platform/pluginapi/pluginapi.h"

namespace qm::fw {
namespace {

std::atomic<int> threadOverride{0};

int passesOf(const RenderState& state) { return state.passCount < 1 ? 1 : state.passCount; }

// The workers of one render: the host's thread and threads - 1 others, each
// with its scratch. run() hands out the rows of one stretch between two of
// the loop's looks at the host or the dialog, renders its share on the
// calling thread and returns when every row is done, so the callbacks
// between stretches see a finished prefix of the pass, as one thread would.
class RowWorkers {
public:
    RowWorkers(RenderState& state, const RowRenderer& rows, int threads) : state_(state), rows_(rows) {
        const int n = std::max(threads, 1);
        try {
            for (int i = 0; i < n; ++i) {
                scratch_.push_back(rows_.makeScratch ? rows_.makeScratch(state_) : nullptr);
                if (rows_.makeScratch && !scratch_.back()) failed_ = true;
            }
        } catch (const std::exception&) {
            failed_ = true;
        }
        if (failed_) return;
        // A thread that cannot start leaves its share to the others.
        for (int i = 1; i < n; ++i) {
            try {
                threads_.emplace_back([this, i] { serve(i); });
            } catch (const std::exception&) {
                break;
            }
        }
    }

    ~RowWorkers() {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        wake_.notify_all();
        for (std::thread& t : threads_) t.join();
    }

    bool failed() const { return failed_; }

    void run(int pass, int first, int last) {
        if (first >= last) return;
        if (threads_.empty()) {
            rows_.renderRows(state_, scratch_[0].get(), pass, first, last);
            return;
        }
        const int workers = static_cast<int>(threads_.size()) + 1;
        // A few chunks a worker, so a thread slowed by other work on the
        // machine hands its rows to the rest.
        const int chunk = std::max(1, (last - first) / (2 * workers));
        {
            std::lock_guard lock(mutex_);
            pass_ = pass;
            last_ = last;
            chunk_ = chunk;
            next_.store(first, std::memory_order_relaxed);
            busy_ = static_cast<int>(threads_.size());
            ++generation_;
        }
        wake_.notify_all();
        work(0);
        std::unique_lock lock(mutex_);
        done_.wait(lock, [this] { return busy_ == 0; });
    }

private:
    void work(int worker) {
        RowScratch* scratch = scratch_[static_cast<size_t>(worker)].get();
        for (;;) {
            const int first = next_.fetch_add(chunk_, std::memory_order_relaxed);
            if (first >= last_) return;
            rows_.renderRows(state_, scratch, pass_, first, std::min(first + chunk_, last_));
        }
    }

    void serve(int worker) {
        uint64_t seen = 0;
        for (;;) {
            {
                std::unique_lock lock(mutex_);
                wake_.wait(lock, [&] { return stop_ || generation_ != seen; });
                if (stop_) return;
                seen = generation_;
            }
            work(worker);
            {
                std::lock_guard lock(mutex_);
                if (--busy_ == 0) done_.notify_one();
            }
        }
    }

    RenderState& state_;
    const RowRenderer& rows_;
    std::vector<std::unique_ptr<RowScratch>> scratch_;
    std::vector<std::thread> threads_;
    bool failed_ = false;

    std::mutex mutex_;
    std::condition_variable wake_, done_;
    bool stop_ = false;
    uint64_t generation_ = 0;
    int busy_ = 0;
    // The stretch being rendered; written under the mutex before the wake-up.
    int pass_ = 0, last_ = 0, chunk_ = 1;
    std::atomic<int> next_{0};
};

// The plain per-pixel step as a row renderer, on the host's thread only.
void renderPixels(RenderState& state, RowScratch*, int pass, int first, int last) {
    const RenderRegion& r = state.region;
    state.pass = pass;
    for (state.row = first; state.row < last; ++state.row)
        for (state.column = 0; state.column < r.width; ++state.column)
            state.session->filter->renderPass(state);
}

const RowRenderer& rowRendererOf(const FilterDescription& filter, RowRenderer& plain) {
    if (filter.rows.renderRows) return filter.rows;
    plain.renderRows = renderPixels;
    return plain;
}

int threadsFor(const FilterDescription& filter) { return filter.rows.renderRows ? renderThreads() : 1; }

void beginPass(const RowRenderer& rows, RenderState& state, int pass) {
    state.pass = pass;
    if (rows.beginPass) rows.beginPass(state, pass);
}

int16_t renderFinal(RenderState& state) {
    FilterSession& session = *state.session;
    const FilterRecord& fr = *session.record;
    decodeRecord(session.settings.data(), session.format, state.values);

    RenderRegion& r = state.region;
    r.planes = session.planes;
    r.source = static_cast<const uint8_t*>(fr.inData);
    r.sourceStride = fr.inRowBytes;
    r.sourceSixteenBit = libraryState().sixteenBitMode;
    // The output has its own stride: the host may pad its rows differently.
    r.destination = static_cast<uint8_t*>(fr.outData);
    r.destinationStride = fr.outRowBytes;
    r.destinationSixteenBit = r.sourceSixteenBit;
    r.mask = fr.haveMask ? static_cast<const uint8_t*>(fr.maskData) : nullptr;
    r.maskStride = fr.maskRowBytes;
    r.width = fr.imageSize.h;
    r.height = fr.imageSize.v;
    state.view = SourceView{};

    if (session.filter->prepare(state) != 0) return memFullErr;

    RowRenderer plain;
    const RowRenderer& rows = rowRendererOf(*session.filter, plain);
    RowWorkers workers(state, rows, threadsFor(*session.filter));
    if (workers.failed()) return memFullErr;

    const int passes = passesOf(state);
    for (int pass = 0; pass < passes; ++pass) {
        beginPass(rows, state, pass);
        const int64_t height = r.height;
        const int64_t u = (height / 2) * pass / passes;
        // Rows 0..30, then 32 at a time, each stretch after the host's look
        // at row 31, 63, ...
        for (int first = 0; first < r.height;) {
            const int last = std::min(r.height, first + 31 - first % 32 + (first % 32 == 31 ? 32 : 0));
            if (first % 32 == 31) {
                state.pass = pass;
                state.row = first;
                if (fr.abortProc && fr.abortProc()) return userCanceledErr;
                if (fr.progressProc) {
                    int64_t done = session.filter->variant.sweep == ProgressSweep::Steady
                                       ? (pass * height + first) / passes
                                       : u + (height - u) * first / height;
                    fr.progressProc(static_cast<int32_t>(done), static_cast<int32_t>(height));
                }
            }
            workers.run(pass, first, last);
            first = last;
        }
    }
    return noErr;
}

int16_t renderPreview(RenderState& state) {
    FilterSession& session = *state.session;
    PreviewBuffers& preview = *session.preview;
    DialogLink& dialog = *session.dialog;
    const int L = session.format.length;
    const int pollEvery = session.filter->variant.pollRows;
    const int stepDivisor = session.filter->variant.stepDivisor;

    for (;;) {
        dialog.clearProgress();
        dialog.restorePreviewToggleIfRequested();
        encodeRecord(session.settings.data(), session.format, state.values, &dialog.controls());
        if (!state.history.shouldRender(session.settings.data(), L)) return noErr;
        preview.renderStartTime = os::tickCount();

        RenderRegion& r = state.region;
        r.planes = session.planes;
        r.source = preview.copy.data();
        r.sourceStride = preview.width * session.planes;
        r.sourceSixteenBit = false;
        r.destination = preview.display.data();
        r.destinationStride = preview.width * session.planes;
        r.destinationSixteenBit = false;
        r.mask = preview.maskCopy.empty() ? nullptr : preview.maskCopy.data();
        r.maskStride = preview.width;
        r.width = preview.renderedWidth;
        r.height = preview.renderedHeight;
        state.view = SourceView{SourceView::Kind::Fit};
        dialog.chooseView(state);

        if (session.filter->prepare(state) != 0) return memFullErr;

        RowRenderer plain;
        const RowRenderer& rows = rowRendererOf(*session.filter, plain);
        RowWorkers workers(state, rows, threadsFor(*session.filter));
        if (workers.failed()) return memFullErr;

        const int passes = passesOf(state);
        const int stepTotal = r.height * passes / stepDivisor;
        bool abandoned = false;
        for (int pass = 0; pass < passes && !abandoned; ++pass) {
            beginPass(rows, state, pass);
            // Stretches end before every row whose row mod pollEvery is
            // pollEvery - 1, where the dialog is looked at.
            for (int first = 0; first < r.height;) {
                const bool look = first % pollEvery == pollEvery - 1;
                const int last =
                    std::min(r.height, first + (look ? pollEvery : pollEvery - 1 - first % pollEvery));
                if (look) {
                    state.pass = pass;
                    state.row = first;
                    dialog.advanceProgress(stepTotal);
                    if (preview.transferred && dialog.pollMouse()) {
                        abandoned = true;
                        break;
                    }
                }
                workers.run(pass, first, last);
                first = last;
            }
        }
        if (abandoned) {
            dialog.enableZoomButtons();
            continue;
        }

        preview.displayValid = false;
        dialog.enableZoomButtons();
        dialog.startProgressTimer();
        if (preview.transferred) dialog.redrawPreview();
        state.history.recordRender(session.settings.data());
        return noErr;
    }
}

}  // namespace

int renderThreads() {
    if (const int n = threadOverride.load(); n > 0) return n;
    if (const char* env = std::getenv("QUILLMERE_THREADS")) {
        const int n = std::atoi(env);
        if (n > 0) return std::min(n, 256);
    }
    return std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
}

void setRenderThreads(int threads) { threadOverride.store(std::max(threads, 0)); }

int16_t render(RenderState& state) {
    return state.session->preview && state.session->dialog ? renderPreview(state)
                                                           : renderFinal(state);
}

}  // namespace qm::fw
