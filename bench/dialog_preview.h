// What a user waits for in the sharpening dialog, on a whole photograph: the
// preview copy made as the first paint makes it, then the render loop's
// preview after a setting changes, and how long input waits between two
// looks at the queue (a render is abandoned at the next look).
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>

#include "framework/host/dialog_link.h"
#include "framework/host/filter_session.h"
#include "framework/host/preview_buffers.h"
#include "framework/host/render_loop.h"
#include "framework/host/render_state.h"
#include "framework/host/transfer.h"
#include "platform/pluginapi/pluginapi.h"
#include "tests/filters/quiet_dialog.h"
#include "tests/support/fake_host.h"

namespace qm::bench {

class TimedDialog : public test::QuietDialog<> {
public:
    using Clock = std::chrono::steady_clock;
    explicit TimedDialog(int slots) : QuietDialog(slots) {}

    bool pollMouse() override {
        const Clock::time_point now = Clock::now();
        if (last_ != Clock::time_point{})
            longestGap = std::max(longestGap, std::chrono::duration<double, std::milli>(now - last_).count());
        last_ = now;
        return false;
    }
    // Each render's first look has no earlier one to measure from.
    void startRender() { last_ = {}; }

    double longestGap = 0;  // milliseconds

private:
    Clock::time_point last_{};
};

// The Fit-view preview of the host's image, as the dialog makes it.
inline bool makeFitPreview(test::FakeHost& host, fw::PreviewBuffers& preview) {
    const fw::LibraryState& lib = fw::libraryState();
    if (!preview.allocate(lib.previewWidth, 600, 3, false)) return false;
    const fw::HostImage image = fw::hostImageOf(host.fr, 3, false);
    if (!fw::makePreviewCopy(image, host.out.data(), host.fr.outRowBytes, host.session.previewScale, preview))
        return false;
    preview.renderedWidth = preview.copyWidth;
    preview.renderedHeight = preview.copyHeight;
    preview.transferred = true;
    return true;
}

// Renders after `change` alters the controls, each through the render loop
// as the dialog runs it; counts the longest wait for input.
template <class Change>
void previewAfterChanges(benchmark::State& st, test::FakeHost& host, TimedDialog& dialog, Change change) {
    fw::PreviewBuffers preview;
    if (!makeFitPreview(host, preview)) return st.SkipWithError("preview buffers");
    const fw::DialogScope open(host.session, &preview, &dialog);
    fw::render(host.state());
    dialog.longestGap = 0;
    int i = 0;
    for (auto _ : st) {
        change(dialog.knobs.slots, i++);
        dialog.startRender();
        if (fw::render(host.state()) != noErr) st.SkipWithError("render failed");
        benchmark::DoNotOptimize(preview.display.data());
    }
    st.counters["input_wait_ms"] = dialog.longestGap;
}

}  // namespace qm::bench
