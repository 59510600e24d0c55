#include "framework/host/filter_session.h"

#include <algorithm>
#include <new>

#include "framework/host/dialog_link.h"
#include "framework/host/preview_geometry.h"
#include "framework/host/render_state.h"
#include "framework/host/start_settings.h"
#include "framework/settings/record.h"
#include "platform/ui/message_box.h"

namespace qm::fw {

FilterSession::FilterSession() = default;
FilterSession::~FilterSession() = default;

void FilterSession::showRecord() {
    if (renderState) decodeRecord(settings.data(), format, renderState->values);
    if (dialog != nullptr) {
        if (renderState) pushToControls(format, renderState->values, dialog->controls());
        dialog->requestRedraw();
    }
}

int16_t startFilter(const FilterDescription& filter, FilterRecord& fr) {
    LibraryState& lib = libraryState();
    const VariantPolicy& policy = filter.variant;
    if (policy.minimumSide > 0 &&
        (fr.imageSize.h < policy.minimumSide || fr.imageSize.v < policy.minimumSide)) {
        ui::messageBox(fr.platformData, "Image size is too small", "Sorry,", ui::kMbOk);
        return userCanceledErr;
    }
    if (fr.planes < 3) return -1;
    if (policy.modeMessage != nullptr && fr.imageSize.h != 600 && fr.imageSize.v != 600 &&
        fr.imageMode != RGBMode && fr.imageMode != RGB48Mode) {
        ui::messageBox(fr.platformData, policy.modeMessage, "Warning!", ui::kMbIconWarning);
        return filterBadMode;
    }
    lib.sixteenBitMode = policy.sixteenBit && fr.imageMode == RGB48Mode;

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

int16_t openFilterSession(FilterSession& session, const FilterDescription& filter, FilterRecord& fr,
                          const os::ResourceModule& resources) {
    LibraryState& lib = libraryState();
    const VariantPolicy& policy = filter.variant;
    session.record = &fr;
    session.filter = &filter;
    session.format = filter.format;
    session.registryKey = filter.registryKey;
    session.defaultPosition = filter.defaultPosition;
    session.keepsLastUsed = policy.keepsSettings;
    session.bothHives = policy.bothHives;
    session.exportCancelCloses = policy.exportCancelCloses;
    session.upgradeRecord = filter.upgradeRecord;
    session.resources = &resources;
    session.planes = lib.planesAtStart;
    chooseStartSettings(session, resources);

    const PreviewGeometry geometry = policy.fixedPreview
                                         ? earlierPreviewGeometry(fr.imageSize.h, fr.imageSize.v)
                                         : laterPreviewGeometry(fr.imageSize.h, fr.imageSize.v);
    lib.previewWidth = geometry.previewWidth;
    lib.previewScale = geometry.previewScale;
    lib.imageWidth = fr.imageSize.h;
    lib.imageHeight = fr.imageSize.v;
    session.previewScale = static_cast<float>(geometry.previewScale);
    session.imageSizeFactor = geometry.imageSizeFactor;

    if (filter.beginSession) {
        session.data = filter.beginSession(session);
        if (!session.data) return memFullErr;
    }
    session.renderState.reset(new (std::nothrow)
                                  RenderState(session, filter.passCount, filter.format.length));
    if (!session.renderState) return memFullErr;
    if (policy.frameworkBuffers) {
        const size_t pixels = static_cast<size_t>(std::max(lib.previewWidth, fr.imageSize.h)) *
                              static_cast<size_t>(std::max(600, fr.imageSize.v));
        if (!session.renderState->allocateWorkingBuffers(pixels)) {
            session.renderState.reset();
            return memFullErr;
        }
    }
    return noErr;
}

void closeFilterSession(FilterSession& session, int16_t result) {
    session.renderState.reset();
    session.data.reset();
    if (result != noErr || session.record == nullptr) return;
    session.record->inRect = session.record->outRect = session.record->maskRect = Rect{0, 0, 0, 0};
    storeLastUsed(session);
}

LibraryState& libraryState() {
    static LibraryState state;
    return state;
}

}  // namespace qm::fw
