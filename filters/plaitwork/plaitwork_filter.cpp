#include "filters/plaitwork/plaitwork_filter.h"

#include <new>

#include "framework/host/filter_session.h"
#include "framework/host/render_state.h"

namespace qm::plaitwork {
namespace {

constexpr uint8_t kFields[] = {
    0, 10, 1, 10, 2, 10, 3, 10, 4, 14, 5, 14, 6, 14, 7, 4, 8, 14, 9, 14, 10, 7,
    11, 7, 12, 7, 13, 2, 14, 26, 15, 26, 16, 7, 17, 7, 18, 26, 19, 26, 20, 7, 21, 7,
    22, 3, 23, 3, 24, 7, 25, 7, 26, 7, 27, 2, 28, 26, 29, 14, 30, 7, 31, 7, 32, 7, 0xFF};

constexpr fw::SlotName kNames[] = {
    {kHSpacing1, "hSpacing1"},
    {kHSpacing2, "hSpacing2"},
    {kVSpacing1, "vSpacing1"},
    {kVSpacing2, "vSpacing2"},
    {kShadowDepth1, "shadowDepth1"},
    {kShadowDepth2, "shadowDepth2"},
    {kCurvedDeformation, "curvedDeformation"},
    {kCurveShape, "curveShape"},
    {kStretch1, "stretch1"},
    {kStretch2, "stretch2"},
    {kMoireH, "moireH"},
    {kMoireV, "moireV"},
    {kBackgroundDeformation, "backgroundDeformation"},
    {kWhiteCanvas, "whiteCanvas"},
    {kShadowColour1, "shadowColour1"},
    {kShadowColour2, "shadowColour2"},
    {kSideShading1, "sideShading1"},
    {kSideShading2, "sideShading2"},
    {kSideShadowColour1, "sideShadowColour1"},
    {kSideShadowColour2, "sideShadowColour2"},
    {kSideBlur1, "sideBlur1"},
    {kSideBlur2, "sideBlur2"},
    {kOrientation1, "orientation1"},
    {kOrientation2, "orientation2"},
    {kLightExiting, "lightExiting"},
    {kBrightnessRatio, "brightnessRatio"},
    {kSaturation, "saturation"},
    {kAntialiasing, "antialiasing"},
    {kBackgroundColour, "backgroundColour"},
    {kMeshDisplacement, "meshDisplacement"},
    {kMeshSmoothness, "meshSmoothness"},
    {kViewAngle, "viewAngle"},
    {kRotate, "rotate"},
};
static_assert(sizeof(kNames) / sizeof(kNames[0]) == kFieldCount);

const fw::FilterDescription kFilter = [] {
    fw::FilterDescription f{};
    f.name = "Plaitwork 2000";
    f.format = fw::RecordFormat{0, 2, 64, fw::fieldTableOf(kFields)};
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
    f.slotNames = kNames;
    f.slotNameCount = kFieldCount;
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
