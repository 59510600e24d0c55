// KeenwrightHD on the framework: its description and the four passes
// (load at 8 bits, smoothing and mask, tone and sharpening, output).
#include "filters/keenwrighthd/keenwrighthd_filter.h"

#include <algorithm>
#include <memory>
#include <new>
#include <vector>

#include "filters/keenwrighthd/hd_dialog.h"
#include "filters/keenwrighthd/hd_kernel.h"
#include "framework/host/filter_dialog.h"
#include "framework/host/filter_description.h"
#include "framework/host/filter_session.h"
#include "framework/host/pixel_access.h"
#include "framework/host/render_state.h"

namespace qm::khd {
namespace {

std::unique_ptr<fw::FilterData> beginSession(fw::FilterSession&) {
    return std::unique_ptr<fw::FilterData>(new (std::nothrow) HdSession());
}

int prepare(fw::RenderState& state) {
    const fw::RenderRegion& r = state.region;
    const size_t pixels = static_cast<size_t>(std::max(r.width, 0)) * static_cast<size_t>(std::max(r.height, 0));
    if (state.workBuffer.size() < pixels * 3 || state.smoothBuffer.size() < pixels * 3 ||
        state.maskBuffer.size() < pixels)
        return -1;
    HdSession& hd = hdSessionOf(*state.session);
    const HdSettings settings = decodeSettings(state.values);
    hd.showSource = state.session->preview && !settings.preview;
    const double x = fw::viewFactor(state.view, fw::libraryState().previewScale);
    hd.kernel.prepare(settings, reachFor(x), r.width, r.height, state.view);
    return 0;
}

// Pass p at (x, y); the dirty flag is cleared when pass 3 begins.
void passPixel(fw::RenderState& state, const HdSession& hd, int pass, int x, int y) {
    const HdKernel& kernel = hd.kernel;
    const size_t h = static_cast<size_t>(y) * static_cast<size_t>(state.region.width) + static_cast<size_t>(x);
    int16_t* work = state.workBuffer.data() + h * 3;

    switch (pass) {
        case 0: {
            const fw::Pixel15 p = fw::readSourcePixel(state, x, y);
            if (hd.showSource) {
                fw::writeOutputPixel(state, x, y, p.r, p.g, p.b, p.a);
                return;
            }
            work[0] = static_cast<int16_t>(p.r / 128);
            work[1] = static_cast<int16_t>(p.g / 128);
            work[2] = static_cast<int16_t>(p.b / 128);
            return;
        }
        case 1: {
            if (hd.showSource || !kernel.dirty()) return;
            const Smoothed s = kernel.smoothPixel(state.workBuffer.data(), x, y);
            std::copy(s.colour.begin(), s.colour.end(), state.smoothBuffer.begin() + static_cast<std::ptrdiff_t>(h * 3));
            state.maskBuffer[h] = s.mask;
            return;
        }
        case 2: {
            if (hd.showSource) return;
            const fw::Pixel15 p = fw::readSourcePixel(state, x, y);
            const int16_t* smooth = state.smoothBuffer.data() + h * 3;
            const std::array<int32_t, 3> out =
                tonePixel(kernel.tone(), {p.r, p.g, p.b}, {smooth[0], smooth[1], smooth[2]}, state.maskBuffer[h]);
            for (size_t c = 0; c < 3; ++c) work[c] = static_cast<int16_t>(out[c]);
            return;
        }
        case 3: {
            if (hd.showSource) return;
            const fw::Pixel15 p = fw::readSourcePixel(state, x, y);
            const int32_t s = p.mask < 0 ? 255 : p.mask;
            const int32_t source[3] = {p.r, p.g, p.b};
            int32_t out[3];
            for (size_t c = 0; c < 3; ++c) {
                const int32_t filtered = std::clamp<int32_t>(work[c], 0, 32767);
                out[c] = ((255 - s) * source[c] + s * filtered) / 255;
            }
            fw::writeOutputPixel(state, x, y, out[0], out[1], out[2], std::min(p.a, 32767));
            return;
        }
        default: return;
    }
}

void beginPass(fw::RenderState& state, int pass) {
    HdSession& hd = hdSessionOf(*state.session);
    if (pass == 1 && !hd.showSource && hd.kernel.dirty()) hd.kernel.loadPlanes(state.workBuffer.data());
    if (pass == 2) hd.kernel.releasePlanes();
    // The smoothing is complete: the next render may reuse it.
    if (pass == 3 && !hd.showSource) hd.kernel.clearDirty();
}

void renderRows(fw::RenderState& state, fw::RowScratch*, int pass, int first, int last) {
    const HdSession& hd = hdSessionOf(*state.session);
    if (pass == 1) {
        if (hd.showSource || !hd.kernel.dirty()) return;
        const size_t width = static_cast<size_t>(state.region.width);
        std::vector<Smoothed> smoothed(width);
        for (int y = first; y < last; ++y) {
            hd.kernel.smoothRow(state.workBuffer.data(), y, smoothed.data());
            const size_t at = static_cast<size_t>(y) * width;
            for (size_t x = 0; x < width; ++x) {
                std::copy(smoothed[x].colour.begin(), smoothed[x].colour.end(),
                          state.smoothBuffer.begin() + static_cast<std::ptrdiff_t>((at + x) * 3));
                state.maskBuffer[at + x] = smoothed[x].mask;
            }
        }
        return;
    }
    for (int y = first; y < last; ++y)
        for (int x = 0; x < state.region.width; ++x) passPixel(state, hd, pass, x, y);
}

void renderPass(fw::RenderState& state) {
    if (state.pass == 3 && state.column == 0 && state.row == 0) beginPass(state, 3);
    passPixel(state, hdSessionOf(*state.session), state.pass, state.column, state.row);
}

const fw::FilterDescription kFilter{
    .name = "Keenwright HD", .format = kFormat, .registryKey = "Software\\Quillmere\\KeenwrightHD",
    .defaultPosition = 6, .passCount = 4,
    .variant = fw::laterVariant("Please use images in RGB 8/16 mode"), .prepare = prepare,
    .renderPass = renderPass, .rows = {.renderRows = renderRows, .beginPass = beginPass},
    .beginSession = beginSession, .settings = kSettings,
    .dialog = {.run = fw::runFilterDialog, .createControls = createDialogControls,
               .title = "Keenwright HD ", .version = "2.00",
               .captionExtra = "  High Definition Sharpening", .helpPage = "KEENWRIGHTHD"}
};

}  // namespace

HdSession& hdSessionOf(const fw::FilterSession& session) { return *session.dataAs<HdSession>(); }

}  // namespace qm::khd

const qm::fw::FilterDescription& qm::fw::filterDescription() { return qm::khd::kFilter; }
