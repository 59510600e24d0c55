#include "filters/lumivex/lumivex_filter.h"

#include "filters/lumivex/height_buffers.h"
#include "filters/lumivex/lens_passes.h"
#include "filters/lumivex/lens_prepare.h"
#include "filters/lumivex/lens_settings.h"
#include "filters/lumivex/lumivex_dialog.h"
#include "framework/host/filter_dialog.h"
#include "framework/host/filter_session.h"

namespace qm::lumivex {
namespace {

const fw::FilterDescription kFilter{
    .name = "Lumivex", .format = kRecordFormat, .registryKey = "Software\\Quillmere\\Lumivex",
    .defaultPosition = 2, .passCount = 5, .variant = fw::earlierVariant(0, true),
    .prepare = prepareLens, .renderPass = renderLensPass,
    .rows = {.renderRows = renderLensRows, .makeScratch = makeLensScratch, .beginPass = beginLensPass}, .beginSession = beginLensSession,
    .settings = kSettings,
    .dialog = {.run = fw::runFilterDialog, .createControls = createDialogControls, .title = "Lumivex ",
               .version = "1.20", .places = &kDialogPlaces, .command = dialogCommand}
};

}  // namespace

std::unique_ptr<fw::FilterData> beginLensSession(fw::FilterSession& session) {
    if (!session.record) return nullptr;
    return LensSession::create(session.record->imageSize.h, session.record->imageSize.v);
}

}  // namespace qm::lumivex

namespace qm::fw {

const FilterDescription& filterDescription() { return lumivex::kFilter; }

}  // namespace qm::fw
