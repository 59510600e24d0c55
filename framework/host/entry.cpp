#include "framework/host/entry.h"

#include <algorithm>
#include <memory>
#include <new>

#include "framework/host/dialog_runner.h"
#include "framework/host/filter_session.h"
#include "framework/host/preview_geometry.h"
#include "framework/host/render_loop.h"
#include "framework/host/render_state.h"
#include "framework/settings/preset_store.h"
#include "framework/settings/random_source.h"
#include "platform/os/clock.h"
#include "platform/os/resources.h"
#include "platform/pluginapi/pluginapi.h"
#include "platform/ui/message_box.h"

namespace qm::fw {
namespace {

bool earlier(const FilterDescription& f) { return f.variant == FrameworkVariant::Earlier; }

int16_t start(const FilterDescription& filter, FilterRecord& fr) {
    LibraryState& lib = libraryState();
    if (earlier(filter)) {
        if (filter.minimumSide > 0 &&
            (fr.imageSize.h < filter.minimumSide || fr.imageSize.v < filter.minimumSide)) {
            ui::messageBox(fr.platformData, "Image size is too small", "Sorry,", ui::kMbOk);
            return userCanceledErr;
        }
        if (fr.planes < 3) return -1;
        lib.sixteenBitMode = false;
    } else {
        if (fr.planes < 3) return -1;
        if (fr.imageSize.h != 600 && fr.imageSize.v != 600 && fr.imageMode != RGBMode &&
            fr.imageMode != RGB48Mode) {
            ui::messageBox(fr.platformData, filter.modeMessage, "Warning!", ui::kMbIconWarning);
            return filterBadMode;
        }
        lib.sixteenBitMode = fr.imageMode == RGB48Mode;
    }

    int planes = fr.planes;
    if (planes == 3 && (fr.filterCase == filterCaseEditableTransparencyNoSelection ||
                        fr.filterCase == filterCaseEditableTransparencyWithSelection))
        planes = 4;
    if (planes > 4) planes = 4;
    lib.planesAtStart = planes;

    const Rect whole{0, 0, fr.imageSize.v, fr.imageSize.h};
    fr.inRect = fr.outRect = whole;
    fr.maskRect = fr.haveMask ? whole : Rect{0, 0, 0, 0};
    fr.inLoPlane = fr.outLoPlane = 0;
    fr.inHiPlane = fr.outHiPlane = static_cast<int16_t>(planes - 1);
    return noErr;
}

void openSession(FilterSession& session, const FilterDescription& filter, FilterRecord& fr) {
    session = FilterSession();
    session.record = &fr;
    session.filter = &filter;
    session.format = filter.format;
    session.planes = fr.planes;
    session.registryKey = filter.registryKey;
    session.defaultPosition = filter.defaultPosition;
    session.resources = &os::thisModule();
    chooseStartSettings(session, *session.resources);
    session.previewScale = 1.0f;
}

// Stores "Last Used" and hands the record back to the host after a run that
// applied the filter; after a cancel or an error nothing is stored.
void closeSession(FilterSession& session) {
    if (session.record->inRect.right == 0 && !earlier(*session.filter)) storeLastUsed(session);
}

int16_t continueFilter(const FilterDescription& filter, FilterRecord& fr) {
    if (!fr.inData || !fr.outData || (fr.haveMask && !fr.maskData)) return memFullErr;
    LibraryState& lib = libraryState();

    FilterSession session;
    openSession(session, filter, fr);
    session.planes = lib.planesAtStart;

    const PreviewGeometry geometry = earlier(filter)
                                         ? earlierPreviewGeometry(fr.imageSize.h, fr.imageSize.v)
                                         : laterPreviewGeometry(fr.imageSize.h, fr.imageSize.v);
    lib.previewWidth = geometry.previewWidth;
    lib.previewScale = geometry.previewScale;
    lib.imageWidth = fr.imageSize.h;
    lib.imageHeight = fr.imageSize.v;
    session.previewScale = static_cast<float>(geometry.previewScale);
    session.imageSizeFactor = geometry.imageSizeFactor;

    int16_t result = noErr;
    if (filter.beginSession && !filter.beginSession(session)) {
        closeSession(session);
        return memFullErr;
    }
    std::unique_ptr<RenderState> state(new (std::nothrow) RenderState(
        session, filter.passCount, filter.format.length));
    if (state && !earlier(filter)) {
        const size_t pixels = static_cast<size_t>(std::max(lib.previewWidth, fr.imageSize.h)) *
                              static_cast<size_t>(std::max(600, fr.imageSize.v));
        if (!state->allocateWorkingBuffers(pixels)) state.reset();
    }
    if (!state) result = memFullErr;

    if (state) {
        session.renderState = state.get();
        const bool showDialog = lib.showDialogFlag || session.scriptingAskedDialog;
        if (showDialog) {
            lib.showDialogFlag = false;
            seedRandom(os::tickCount());
            if (!runFilterDialog(session, *state, result)) {
                ui::messageBox(fr.platformData, "E", "", ui::kMbOk);
                result = userCanceledErr;
            }
            session.preview = nullptr;
            session.dialog = nullptr;
        }
        if (result == noErr) result = render(*state);
        session.renderState = nullptr;
        state.reset();
    }
    if (filter.endSession) filter.endSession(session);

    if (result == noErr) fr.inRect = fr.outRect = fr.maskRect = Rect{0, 0, 0, 0};
    closeSession(session);
    return result;
}

}  // namespace

void handleSelector(const FilterDescription& filter, int16_t selector, void* record,
                    intptr_t* /*data*/, int16_t* result) {
    LibraryState& lib = libraryState();
    if (filter.dialogPolicy == DialogPolicy::EveryRun) lib.showDialogFlag = true;
    int16_t code = noErr;
    auto* fr = static_cast<FilterRecord*>(record);
    switch (selector) {
        case filterSelectorParameters:
            lib.showDialogFlag = true;
            break;
        case filterSelectorStart:
            if (fr) code = start(filter, *fr);
            break;
        case filterSelectorContinue:
            if (fr) code = continueFilter(filter, *fr);
            break;
        default:  // about, prepare, finish: nothing to do
            break;
    }
    if (result) *result = code;
}

}  // namespace qm::fw
