#include "framework/host/render_loop.h"

#include "framework/host/dialog_link.h"
#include "framework/host/filter_session.h"
#include "framework/host/preview_buffers.h"
#include "framework/host/render_state.h"
#include "platform/os/clock.h"
#include "platform/pluginapi/pluginapi.h"

namespace qm::fw {
namespace {

int passesOf(const RenderState& state) { return state.passCount < 1 ? 1 : state.passCount; }

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

    const int passes = passesOf(state);
    for (state.pass = 0; state.pass < passes; ++state.pass) {
        const int64_t height = r.height;
        const int64_t u = (height / 2) * state.pass / passes;
        for (state.row = 0; state.row < r.height; ++state.row) {
            if (state.row % 32 == 31) {
                if (fr.abortProc && fr.abortProc()) return userCanceledErr;
                if (fr.progressProc) {
                    int64_t done = session.filter->variant.sweep == ProgressSweep::Steady
                                       ? (state.pass * height + state.row) / passes
                                       : u + (height - u) * state.row / height;
                    fr.progressProc(static_cast<int32_t>(done), static_cast<int32_t>(height));
                }
            }
            for (state.column = 0; state.column < r.width; ++state.column)
                session.filter->renderPass(state);
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

        const int passes = passesOf(state);
        const int stepTotal = r.height * passes / stepDivisor;
        bool abandoned = false;
        for (state.pass = 0; state.pass < passes && !abandoned; ++state.pass)
            for (state.row = 0; state.row < r.height; ++state.row) {
                if (state.row % pollEvery == pollEvery - 1) {
                    dialog.advanceProgress(stepTotal);
                    if (preview.transferred && dialog.pollMouse()) {
                        abandoned = true;
                        break;
                    }
                }
                for (state.column = 0; state.column < r.width; ++state.column)
                    session.filter->renderPass(state);
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

int16_t render(RenderState& state) {
    return state.session->preview && state.session->dialog ? renderPreview(state)
                                                           : renderFinal(state);
}

}  // namespace qm::fw
