#include "filters/lumivex/lumivex_filter.h"

#include "filters/lumivex/height_buffers.h"
#include "filters/lumivex/lens_passes.h"
#include "filters/lumivex/lens_prepare.h"
#include "filters/lumivex/lens_settings.h"
#include "framework/host/filter_session.h"

namespace qm::lumivex {
namespace {

constexpr uint8_t kFields[] = {kSmoothing,     7, kMaskRightLeft, 18, kRefractionAngle, 14,
                               kDeformation,   8, kLensShift,     14, kMaskInclusion,   7,
                               kMaskBottomTop, 18, kPreviewOn,    2,  kLensSkew,        14,
                               fw::kFieldTableEnd};

constexpr fw::SlotName kNames[] = {
    {kSmoothing, "smoothing"},         {kMaskRightLeft, "maskRightLeft"},
    {kRefractionAngle, "refractionAngle"}, {kDeformation, "deformation"},
    {kLensShift, "lensShift"},         {kMaskInclusion, "maskInclusion"},
    {kMaskBottomTop, "maskBottomTop"}, {kPreviewOn, "previewOn"},
    {kLensSkew, "lensSkew"},
};

const fw::FilterDescription kFilter = [] {
    fw::FilterDescription f{};
    f.name = "Lumivex";
    f.format = fw::RecordFormat{12, 1, 64, fw::fieldTableOf(kFields)};
    f.registryKey = "Software\\Quillmere\\Lumivex";
    f.defaultPosition = 2;
    f.passCount = 5;
    f.variant = fw::FrameworkVariant::Earlier;
    f.dialogPolicy = fw::DialogPolicy::EveryRun;
    f.minimumSide = 0;
    f.modeMessage = nullptr;
    f.prepare = prepareLens;
    f.renderPass = renderLensPass;
    f.beginSession = beginLensSession;
    f.endSession = endLensSession;
    f.slotNames = kNames;
    f.slotNameCount = static_cast<int>(sizeof kNames / sizeof kNames[0]);
    return f;
}();

}  // namespace

bool beginLensSession(fw::FilterSession& session) {
    endLensSession(session);
    if (!session.record) return false;
    std::unique_ptr<LensSession> lens =
        LensSession::create(session.record->imageSize.h, session.record->imageSize.v);
    if (!lens) return false;
    session.filterData = lens.release();
    return true;
}

void endLensSession(fw::FilterSession& session) {
    delete static_cast<LensSession*>(session.filterData);
    session.filterData = nullptr;
}

LensSession* lensSessionOf(const fw::FilterSession& session) {
    return static_cast<LensSession*>(session.filterData);
}

}  // namespace qm::lumivex

namespace qm::fw {

const FilterDescription& filterDescription() { return lumivex::kFilter; }

}  // namespace qm::fw
