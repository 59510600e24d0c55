#include "filters/keenwright/keenwright_filter.h"

#include <algorithm>

#include "framework/host/filter_session.h"
#include "framework/host/pixel_access.h"

namespace qm::keenwright {
namespace {

constexpr uint8_t kFields[] = {kRadius, 8, kPreview, 2, kAmount, 8, kMask, 4,
                               kBlur,   4, kHalo,    4, kBalance, 8, fw::kFieldTableEnd};
constexpr fw::RecordFormat kFormat{24, 2, 64, fw::fieldTableOf(kFields)};
constexpr fw::SlotName kNames[] = {{kRadius, "radius"}, {kPreview, "preview"}, {kAmount, "amount"},
                                   {kMask, "mask"},     {kBlur, "blur"},       {kHalo, "halo"},
                                   {kBalance, "balance"}};

constexpr int kSliderMax = 150;
constexpr int kSelectorMax = 3;

// Process-wide: one filtering operation at a time per loaded library.
struct Library {
    SharpenKernel kernel;
    Sharpening sharpening;
    bool previewOff = false;  // this render shows the unfiltered image
};

Library& library() {
    static Library lib;
    return lib;
}

size_t indexOf(const fw::RenderState& state) {
    return static_cast<size_t>(state.row) * static_cast<size_t>(state.region.width) +
           static_cast<size_t>(state.column);
}

void loadPixel(fw::RenderState& state, const Library& lib) {
    const fw::SourcePixel p = fw::readSourcePixel(state, state.column, state.row);
    if (lib.previewOff) {
        fw::writeOutputPixel(state, state.column, state.row, p.r, p.g, p.b, p.a);
        return;
    }
    int16_t* w = state.workBuffer.data() + 3 * indexOf(state);
    w[0] = static_cast<int16_t>(p.r);
    w[1] = static_cast<int16_t>(p.g);
    w[2] = static_cast<int16_t>(p.b);
}

void smoothPixel(fw::RenderState& state, const Library& lib) {
    const size_t h = indexOf(state);
    const SmoothedPixel s = lib.kernel.smoothPixel(state.workBuffer.data(), state.column, state.row);
    int16_t* out = state.smoothBuffer.data() + 3 * h;
    out[0] = static_cast<int16_t>(s.r);
    out[1] = static_cast<int16_t>(s.g);
    out[2] = static_cast<int16_t>(s.b);
    state.maskBuffer[h] = s.mask;
}

void sharpenPixel(fw::RenderState& state, const Library& lib) {
    const size_t h = indexOf(state);
    const long double v = lib.sharpening.strength(state.maskBuffer[h]);
    // The work buffer still holds this pixel's source as pass 0 read it.
    int16_t* w = state.workBuffer.data() + 3 * h;
    const int16_t* s = state.smoothBuffer.data() + 3 * h;
    for (int c = 0; c < 3; ++c)
        w[c] = static_cast<int16_t>(Sharpening::apply(w[c], s[c], v));
}

void outputPixel(fw::RenderState& state) {
    const fw::SourcePixel p = fw::readSourcePixel(state, state.column, state.row);
    const int32_t selected = p.mask < 0 ? 255 : p.mask;
    const int16_t* w = state.workBuffer.data() + 3 * indexOf(state);
    const int32_t source[3] = {p.r, p.g, p.b};
    int32_t out[3];
    for (int c = 0; c < 3; ++c) {
        const int32_t filtered = std::max<int32_t>(w[c], 0);
        out[c] = ((255 - selected) * source[c] + selected * filtered) / 255;
    }
    fw::writeOutputPixel(state, state.column, state.row, out[0], out[1], out[2], p.a);
}

bool beginSession(fw::FilterSession&) {
    // The working buffers that hold the cached smoothing are new.
    libraryKernel().markDirty();
    return true;
}

const fw::FilterDescription kFilter = [] {
    fw::FilterDescription f{};
    f.name = "Keenwright";
    f.format = kFormat;
    f.registryKey = "Software\\Quillmere\\Keenwright";
    f.defaultPosition = 2;
    f.passCount = 4;
    f.variant = fw::FrameworkVariant::Later;
    f.dialogPolicy = fw::DialogPolicy::AfterParameters;
    f.modeMessage = "Please use images in RGB 8 Bits/Channel mode";
    f.prepare = prepareRender;
    f.renderPass = renderPixel;
    f.beginSession = beginSession;
    f.upgradeRecord = upgradeVersion1Record;
    f.slotNames = kNames;
    f.slotNameCount = static_cast<int>(std::size(kNames));
    return f;
}();

}  // namespace

Settings limitedSettings(const fw::ValueSlots& values) {
    auto slider = [&](int slot) { return std::clamp(values[static_cast<size_t>(slot)], 0, kSliderMax); };
    auto selector = [&](int slot) {
        return std::clamp(values[static_cast<size_t>(slot)], 0, kSelectorMax);
    };
    Settings s;
    s.radius = slider(kRadius);
    s.preview = selector(kPreview);
    s.amount = slider(kAmount);
    s.mask = selector(kMask);
    s.blur = selector(kBlur);
    s.halo = selector(kHalo);
    s.balance = slider(kBalance);
    return s;
}

double viewFactor(const fw::SourceView& view, double previewScale) {
    switch (view.kind) {
        case fw::SourceView::Kind::Fit:
            return 1.0;  // the preview copy is already reduced
        case fw::SourceView::Kind::Zoom:
            if (view.zoom == 200) return 2 * previewScale;
            if (view.zoom == 50) return 0.5 * previewScale;
            return previewScale;
        case fw::SourceView::Kind::Final:
            break;
    }
    return previewScale;
}

int budgetFor(int radius, double x) {
    const double r = radius / 150.0;
    const auto budget0 = static_cast<int>(r * r * 250);
    return static_cast<int>(x * budget0);
}

int reachFor(int blur, double x) { return blur / 2 + static_cast<int>(450 * x); }

KernelInputs kernelInputsFor(const Settings& settings, const fw::SourceView& view,
                             double previewScale, int width, int height) {
    const double x = viewFactor(view, previewScale);
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

void upgradeVersion1Record(uint8_t* record) {
    if (record[5] >= 2) return;
    fw::ValueSlots slots{};
    fw::unpackFields(record, kFormat, slots);
    slots[kMask] = 2;
    slots[kHalo] = 2;
    fw::packFields(record, kFormat, slots);
    fw::setRecordInteger(record, 0,
                         static_cast<int32_t>(fw::rollingChecksum(record + 4, kFormat.length - 4)));
}

SharpenKernel& libraryKernel() { return library().kernel; }

int prepareRender(fw::RenderState& state) {
    Library& lib = library();
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
    Library& lib = library();
    switch (state.pass) {
        case 0:
            loadPixel(state, lib);
            break;
        case 1:
            if (!lib.previewOff && lib.kernel.dirty()) smoothPixel(state, lib);
            break;
        case 2:
            if (!lib.previewOff) sharpenPixel(state, lib);
            break;
        case 3:
            if (lib.previewOff) break;
            // The smoothing is complete: the next render may reuse it.
            lib.kernel.clearDirty();
            outputPixel(state);
            break;
        default:
            break;
    }
}

}  // namespace qm::keenwright

namespace qm::fw {

const FilterDescription& filterDescription() { return keenwright::kFilter; }

}  // namespace qm::fw
