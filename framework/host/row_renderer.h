// How a filter renders row ranges: the render loop hands each pass's rows to
// every worker (the host's thread among them) with per-worker scratch, and
// keeps the host's callbacks and the dialog's polling on the host's thread.
#pragma once

#include <memory>

namespace qm::fw {

struct RenderState;

// A worker's own state for one render (running sums, walk buffers); the loop
// makes one per worker after the preparation step and frees it afterwards.
class RowScratch {
public:
    virtual ~RowScratch() = default;
};

struct RowRenderer {
    // Rows first .. last - 1 of a pass, left to right. Called at the same time
    // on other rows of the same pass from other threads: it writes only its
    // rows' results and its scratch, never the state's fields. A pass starts
    // only when the one before has finished every row.
    void (*renderRows)(RenderState& state, RowScratch* scratch, int pass, int first, int last) = nullptr;
    // Optional: a worker's scratch for this render; null means out of memory
    // (the render ends as a failed preparation does).
    std::unique_ptr<RowScratch> (*makeScratch)(const RenderState& state) = nullptr;
    // Optional, on the host's thread before the first row of each pass: what
    // the plain per-pixel step did at the pass's first pixel.
    void (*beginPass)(RenderState& state, int pass) = nullptr;
};

// The workers a render uses: QUILLMERE_THREADS when set, else every core.
// setRenderThreads(n > 0) overrides both (tests, benchmarks); 0 restores.
int renderThreads();
void setRenderThreads(int threads);

}  // namespace qm::fw
