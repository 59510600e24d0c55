#include "filters/plaitwork/plaitwork_filter.h"

#include <new>

#include "filters/plaitwork/strip_dialog.h"
#include "framework/host/filter_dialog.h"
#include "framework/host/filter_session.h"
#include "framework/host/render_state.h"

namespace qm::plaitwork {
namespace {

const fw::FilterDescription kFilter{
    .name = "Plaitwork 2000", .format = kRecordFormat,
    .registryKey = "Software\\Quillmere\\Plaitwork2000", .defaultPosition = 2,
    .passCount = kPassCount, .variant = fw::earlierVariant(kMinimumSide, false), .prepare = prepare,
    .renderPass = renderPass, .beginSession = beginSession, .settings = kSettings,
    .dialog = {.run = fw::runFilterDialog, .createControls = createDialogControls, .title = "Plaitwork 2000",
               .version = " v1.80", .places = &kDialogPlaces, .command = dialogCommand}
};

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

std::unique_ptr<fw::FilterData> beginSession(fw::FilterSession&) {
    return std::unique_ptr<fw::FilterData>(new (std::nothrow) PlaitworkSession());
}

int prepare(fw::RenderState& state) {
    auto* data = state.session->dataAs<PlaitworkSession>();
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
    return prepareStripRender(data->render, settingsFromSlots(state.values), t, s, data->curve)
               ? 0
               : -1;
}

void renderPass(fw::RenderState& state) {
    if (state.pass != 1) return;
    auto* data = state.session->dataAs<PlaitworkSession>();
    renderStripPixel(data->render, data->target, state.column, state.row);
}

}  // namespace qm::plaitwork

const qm::fw::FilterDescription& qm::fw::filterDescription() { return qm::plaitwork::kFilter; }
