#include "filters/plaitwork/plaitwork_filter.h"

#include <algorithm>
#include <new>

#include "filters/plaitwork/strip_dialog.h"
#include "framework/host/filter_dialog.h"
#include "framework/host/filter_session.h"
#include "framework/host/render_state.h"

namespace qm::plaitwork {
namespace {

// A worker's mesh sums: they run down the rows the worker renders.
struct MeshScratch : fw::RowScratch {
    MeshSums mesh;
};

std::unique_ptr<fw::RowScratch> makeScratch(const fw::RenderState& state) {
    auto scratch = std::unique_ptr<MeshScratch>(new (std::nothrow) MeshScratch());
    if (!scratch) return nullptr;
    try {
        scratch->mesh.columns.assign(static_cast<size_t>(std::max(state.region.width, 0)), 0);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    return scratch;
}

void renderRows(fw::RenderState& state, fw::RowScratch* scratch, int pass, int first, int last) {
    if (pass != 1) return;
    const auto* data = state.session->dataAs<PlaitworkSession>();
    MeshSums& mesh = static_cast<MeshScratch*>(scratch)->mesh;
    for (int y = first; y < last; ++y)
        for (int x = 0; x < data->target.width; ++x) renderStripPixel(data->render, mesh, data->target, x, y);
}

const fw::FilterDescription kFilter{
    .name = "Plaitwork 2000", .format = kRecordFormat,
    .registryKey = "Software\\Quillmere\\Plaitwork2000", .defaultPosition = 2,
    .passCount = kPassCount, .variant = fw::earlierVariant(kMinimumSide, false), .prepare = prepare,
    .renderPass = renderPass, .rows = {.renderRows = renderRows, .makeScratch = makeScratch},
    .beginSession = beginSession, .settings = kSettings,
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
