// Marbleloom 3D as the framework sees it.
#include "filters/marbleloom/texture_renderer.h"
#include "filters/marbleloom/texture_session.h"
#include "filters/marbleloom/texture_settings.h"
#include "framework/host/filter_description.h"
#include "framework/host/filter_session.h"

namespace qm::marbleloom {
namespace {

bool beginSession(fw::FilterSession& session) {
    if (!session.resources) return false;
    return openTextureSession(session, *session.resources, defaultPatternFolders());
}

const fw::FilterDescription kFilter = [] {
    fw::FilterDescription f{};
    f.name = "Marbleloom 3D";
    f.format = textureRecordFormat();
    f.registryKey = "Software\\Quillmere\\Marbleloom3d";
    f.defaultPosition = 2;
    f.passCount = 4;
    f.variant = fw::FrameworkVariant::Earlier;
    f.dialogPolicy = fw::DialogPolicy::EveryRun;
    f.minimumSide = 25;
    f.modeMessage = nullptr;
    f.prepare = prepareTexture;
    f.renderPass = renderTexturePass;
    f.beginSession = beginSession;
    f.endSession = closeTextureSession;
    f.upgradeRecord = repairTextureRecord;
    f.settings = textureSettingTable();
    return f;
}();

}  // namespace
}  // namespace qm::marbleloom

namespace qm::fw {

const FilterDescription& filterDescription() { return marbleloom::kFilter; }

}  // namespace qm::fw
