#include "filters/lumivex/lumivex_filter.h"

#include "filters/lumivex/height_buffers.h"
#include "filters/lumivex/lens_passes.h"
#include "filters/lumivex/lens_prepare.h"
#include "filters/lumivex/lens_settings.h"
#include "framework/host/filter_session.h"

namespace qm::lumivex {
namespace {

const fw::FilterDescription kFilter = [] {
    fw::FilterDescription f{};
    f.name = "Lumivex";
    f.format = kRecordFormat;
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
    f.settings = kSettings;
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
