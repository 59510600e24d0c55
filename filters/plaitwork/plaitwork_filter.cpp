#include "filters/plaitwork/plaitwork_filter.h"

#include <new>

#include "framework/host/filter_session.h"
#include "framework/host/render_state.h"

namespace qm::plaitwork {
namespace {

const fw::FilterDescription kFilter = [] {
    fw::FilterDescription f{};
    f.name = "Plaitwork 2000";
    f.format = kRecordFormat;
    f.registryKey = "Software\\Quillmere\\Plaitwork2000";
    f.defaultPosition = 2;
    f.passCount = kPassCount;
    f.variant = fw::FrameworkVariant::Earlier;
    f.dialogPolicy = fw::DialogPolicy::AfterParameters;
    f.minimumSide = kMinimumSide;
    f.modeMessage = nullptr;  // the earlier variant has no mode test
    f.prepare = prepare;
    f.renderPass = renderPass;
    f.beginSession = beginSession;
    f.endSession = endSession;
    f.settings = kSettings;
    return f;
}();

HostColours hostColours(const fw::FilterSession& session) {
    HostColours host;
    if (const FilterRecord* fr = session.record) {
        for (int i = 0; i < 3; ++i) {
            host.foreground[i] = fr->foregroundColor[i];
            host.background[i] = fr->backColor[i];
        }
    }
    return host;
}

}  // namespace

bool beginSession(fw::FilterSession& session) {
    session.filterData = new (std::nothrow) PlaitworkSession();
    return session.filterData != nullptr;
}

void endSession(fw::FilterSession& session) {
    delete static_cast<PlaitworkSession*>(session.filterData);
    session.filterData = nullptr;
}

int prepare(fw::RenderState& state) {
    auto* data = static_cast<PlaitworkSession*>(state.session->filterData);
    const fw::RenderRegion& region = state.region;
    if (!data || !region.source || !region.destination || region.sourceSixteenBit ||
        region.destinationSixteenBit)
        return -1;

    // The controls hold limited values; the render uses and keeps those.
    state.values = limitSlots(state.values, hostColours(*state.session));

    StripTarget& t = data->target;
    t.source = region.source;
    t.sourceStride = region.sourceStride;
    t.destination = region.destination;
    t.destinationStride = region.destinationStride;
    t.mask = region.mask;
    t.maskStride = region.maskStride;
    t.planes = region.planes;
    t.width = region.width;
    t.height = region.height;

    // The preview works at scale 1; the final image at the session's scale,
    // so lengths grow with the image.
    const float s =
        state.view.kind == fw::SourceView::Kind::Final ? state.session->previewScale : 1.0f;
    return prepareStripRender(data->render, settingsFromSlots(state.values), t, s, libraryCurveTable())
               ? 0
               : -1;
}

void renderPass(fw::RenderState& state) {
    if (state.pass != 1) return;
    auto* data = static_cast<PlaitworkSession*>(state.session->filterData);
    renderStripPixel(data->render, data->target, state.column, state.row);
}

}  // namespace qm::plaitwork

const qm::fw::FilterDescription& qm::fw::filterDescription() { return qm::plaitwork::kFilter; }
