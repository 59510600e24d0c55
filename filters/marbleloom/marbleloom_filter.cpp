// Marbleloom 3D as the framework sees it.
#include "filters/marbleloom/texture_dialog.h"
#include "filters/marbleloom/texture_renderer.h"
#include "filters/marbleloom/texture_session.h"
#include "filters/marbleloom/texture_settings.h"
#include "framework/host/filter_description.h"
#include "framework/host/filter_dialog.h"
#include "framework/host/filter_session.h"

namespace qm::marbleloom {
namespace {

std::unique_ptr<fw::FilterData> beginSession(fw::FilterSession& session) {
    if (!session.resources) return nullptr;
    return openTextureSession(session, *session.resources, defaultPatternFolders());
}

const fw::FilterDescription kFilter{
    .name = "Marbleloom 3D", .format = textureRecordFormat(),
    .registryKey = "Software\\Quillmere\\Marbleloom3d", .defaultPosition = 2, .passCount = 4,
    .variant = fw::earlierVariant(25, true), .prepare = prepareTexture,
    .renderPass = renderTexturePass,
    .rows = {.renderRows = renderTextureRows, .makeScratch = makeTextureScratch, .beginPass = beginTexturePass},
    .beginSession = beginSession,
    .upgradeRecord = repairTextureRecord, .settings = textureSettingTable(),
    .dialog = {.run = fw::runFilterDialog, .createControls = createDialogControls, .title = "Marbleloom 3D ",
               .version = "1.50", .places = &kDialogPlaces, .command = dialogCommand,
               .intercept = interceptDialogCommand, .previewMouse = true}
};

}  // namespace
}  // namespace qm::marbleloom

namespace qm::fw {

const FilterDescription& filterDescription() { return marbleloom::kFilter; }

}  // namespace qm::fw
