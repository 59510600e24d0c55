#include "filters/keenwright/keenwright_filter.h"

#include <algorithm>
#include <memory>
#include <new>
#include <vector>

#include "filters/keenwright/keenwright_dialog.h"
#include "framework/host/filter_dialog.h"
#include "framework/host/filter_session.h"
#include "framework/host/pixel_access.h"

namespace qm::keenwright {
namespace {

size_t indexOf(const fw::RenderState& state, int x, int y) {
    return static_cast<size_t>(y) * static_cast<size_t>(state.region.width) + static_cast<size_t>(x);
}

void loadPixel(fw::RenderState& state, const SharpenSession& lib, int x, int y) {
    const fw::Pixel15 p = fw::readSourcePixel(state, x, y);
    if (lib.previewOff) {
        fw::writeOutputPixel(state, x, y, p.r, p.g, p.b, p.a);
        return;
    }
    int16_t* w = state.workBuffer.data() + 3 * indexOf(state, x, y);
    w[0] = static_cast<int16_t>(p.r);
    w[1] = static_cast<int16_t>(p.g);
    w[2] = static_cast<int16_t>(p.b);
}

void storeSmoothed(fw::RenderState& state, size_t h, const SmoothedPixel& s) {
    int16_t* out = state.smoothBuffer.data() + 3 * h;
    out[0] = static_cast<int16_t>(s.r);
    out[1] = static_cast<int16_t>(s.g);
    out[2] = static_cast<int16_t>(s.b);
    state.maskBuffer[h] = s.mask;
}

void smoothPixel(fw::RenderState& state, const SharpenSession& lib, int x, int y) {
    storeSmoothed(state, indexOf(state, x, y), lib.kernel.smoothPixel(state.workBuffer.data(), x, y));
}

void sharpenPixel(fw::RenderState& state, const SharpenSession& lib, int x, int y) {
    const size_t h = indexOf(state, x, y);
    const long double v = lib.sharpening.strength(state.maskBuffer[h]);
    // The work buffer still holds this pixel's source as pass 0 read it.
    int16_t* w = state.workBuffer.data() + 3 * h;
    const int16_t* s = state.smoothBuffer.data() + 3 * h;
    for (int c = 0; c < 3; ++c)
        w[c] = static_cast<int16_t>(Sharpening::apply(w[c], s[c], v));
}

void outputPixel(fw::RenderState& state, int x, int y) {
    const fw::Pixel15 p = fw::readSourcePixel(state, x, y);
    const int32_t selected = p.mask < 0 ? 255 : p.mask;
    const int16_t* w = state.workBuffer.data() + 3 * indexOf(state, x, y);
    const int32_t source[3] = {p.r, p.g, p.b};
    int32_t out[3];
    for (int c = 0; c < 3; ++c) {
        const int32_t filtered = std::max<int32_t>(w[c], 0);
        out[c] = ((255 - selected) * source[c] + selected * filtered) / 255;
    }
    fw::writeOutputPixel(state, x, y, out[0], out[1], out[2], p.a);
}

// Pass p at (x, y); the dirty flag is cleared by the caller when pass 3 begins.
void passPixel(fw::RenderState& state, const SharpenSession& lib, int pass, int x, int y) {
    switch (pass) {
        case 0:
            loadPixel(state, lib, x, y);
            break;
        case 1:
            if (!lib.previewOff && lib.kernel.dirty()) smoothPixel(state, lib, x, y);
            break;
        case 2:
            if (!lib.previewOff) sharpenPixel(state, lib, x, y);
            break;
        case 3:
            if (!lib.previewOff) outputPixel(state, x, y);
            break;
        default:
            break;
    }
}

void beginPass(fw::RenderState& state, int pass) {
    SharpenSession& lib = sharpenSessionOf(*state.session);
    if (pass == 1 && !lib.previewOff && lib.kernel.dirty()) lib.kernel.loadPlanes(state.workBuffer.data());
    if (pass == 2) lib.kernel.releasePlanes();
    // The smoothing is complete: the next render may reuse it.
    if (pass == 3 && !lib.previewOff) lib.kernel.clearDirty();
}

void renderRows(fw::RenderState& state, fw::RowScratch*, int pass, int first, int last) {
    const SharpenSession& lib = sharpenSessionOf(*state.session);
    if (pass == 1 && (lib.previewOff || !lib.kernel.dirty())) return;
    if (pass == 1) {
        std::vector<SmoothedPixel> row(static_cast<size_t>(state.region.width));
        for (int y = first; y < last; ++y) {
            lib.kernel.smoothRow(state.workBuffer.data(), y, row.data());
            for (int x = 0; x < state.region.width; ++x)
                storeSmoothed(state, indexOf(state, x, y), row[static_cast<size_t>(x)]);
        }
        return;
    }
    for (int y = first; y < last; ++y)
        for (int x = 0; x < state.region.width; ++x) passPixel(state, lib, pass, x, y);
}

// A new kernel: its cached smoothing starts dirty with the session's new
// working buffers.
std::unique_ptr<fw::FilterData> beginSession(fw::FilterSession&) {
    return std::unique_ptr<fw::FilterData>(new (std::nothrow) SharpenSession());
}

const fw::FilterDescription kFilter{
    .name = "Keenwright", .format = kFormat, .registryKey = "Software\\Quillmere\\Keenwright",
    .defaultPosition = 2, .passCount = 4,
    .variant = fw::laterVariant("Please use images in RGB 8 Bits/Channel mode"),
    .prepare = prepareRender, .renderPass = renderPixel,
    .rows = {.renderRows = renderRows, .beginPass = beginPass}, .beginSession = beginSession,
    .upgradeRecord = upgradeVersion1Record, .settings = kSettings,
    .dialog = {.run = fw::runFilterDialog, .createControls = createDialogControls,
               .title = "Keenwright ", .version = "1.70", .helpPage = "KEENWRIGHT"}
};

}  // namespace

int budgetFor(int radius, double x) {
    const double r = radius / 150.0;
    const auto budget0 = static_cast<int>(r * r * 250);
    return static_cast<int>(x * budget0);
}

int reachFor(int blur, double x) { return blur / 2 + static_cast<int>(450 * x); }

KernelInputs kernelInputsFor(const Settings& settings, const fw::SourceView& view,
                             double previewScale, int width, int height) {
    const double x = fw::viewFactor(view, previewScale);
    KernelInputs in;
    in.reach = reachFor(settings.blur, x);
    in.budget = budgetFor(settings.radius, x);
    in.halo = settings.halo;
    in.width = width;
    in.height = height;
    in.viewKind = static_cast<int>(view.kind);
    in.zoom = view.zoom;
    in.offX = view.offX;
    in.offY = view.offY;
    return in;
}

SharpenSession& sharpenSessionOf(const fw::FilterSession& session) {
    return *session.dataAs<SharpenSession>();
}

int prepareRender(fw::RenderState& state) {
    SharpenSession& lib = sharpenSessionOf(*state.session);
    const Settings s = limitedSettings(state.values);
    const fw::RenderRegion& r = state.region;
    const size_t pixels = static_cast<size_t>(std::max(r.width, 0)) *
                          static_cast<size_t>(std::max(r.height, 0));
    // The framework sizes the buffers for every region; a smaller one would
    // be written past.
    if (state.workBuffer.size() < 3 * pixels || state.smoothBuffer.size() < 3 * pixels ||
        state.maskBuffer.size() < pixels)
        return -1;

    lib.previewOff = state.session != nullptr && state.session->preview != nullptr && s.preview == 0;
    lib.kernel.prepare(
        kernelInputsFor(s, state.view, fw::libraryState().previewScale, r.width, r.height));
    lib.sharpening = Sharpening(s.amount, s.radius, s.mask != 0);
    return 0;
}

void renderPixel(fw::RenderState& state) {
    SharpenSession& lib = sharpenSessionOf(*state.session);
    if (state.pass == 3) beginPass(state, 3);
    passPixel(state, lib, state.pass, state.column, state.row);
}

}  // namespace qm::keenwright

namespace qm::fw {

const FilterDescription& filterDescription() { return keenwright::kFilter; }

}  // namespace qm::fw
