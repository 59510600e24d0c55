#include "filters/marbleloom/texture_renderer.h"

#include <algorithm>
#include <cstdlib>
#include <new>

#include "filters/marbleloom/texture_session.h"
#include "framework/host/filter_session.h"
#include "framework/host/preview_buffers.h"
#include "framework/host/render_state.h"

namespace qm::marbleloom {
namespace {

int clampIndex(int v, int size) { return std::clamp(v, 0, size - 1); }

const uint8_t* sourceAt(const fw::RenderRegion& r, int x, int y) {
    return r.source + static_cast<ptrdiff_t>(y) * r.sourceStride + static_cast<ptrdiff_t>(x) * r.planes;
}

Rgb colourOf(uint32_t word) {
    return {static_cast<uint8_t>(word), static_cast<uint8_t>(word >> 8), static_cast<uint8_t>(word >> 16)};
}

int distance(const Rgb& a, const int b[3]) { return std::abs(a.r - b[0]) + std::abs(a.g - b[1]) + std::abs(a.b - b[2]); }

// Distances run to 765; the table's last entry stands for the largest.
uint8_t select(const SelectionTable& table, int d) { return table[static_cast<size_t>(std::min(d, 764))]; }

bool holdsInputImage(const PatternSlot& slot) {
    const PatternEntry* e = slot.entry();
    return e && e->isVirtual() && e->header.identity == kInputImageIdentity;
}

void loadSlots(TextureSession& ts, const fw::FilterSession& session, const fw::RenderState& state) {
    const SlotContext context = slotContext(session, state.region.planes);
    for (int i = 0; i < 4; ++i) {
        const uint32_t identity = i < 3 ? ts.settings.layers[i].pattern : ts.settings.base.pattern;
        // A pattern that is not installed renders as "default raw".
        const int index = std::max(ts.library.findIdentity(identity), 0);
        if (index < ts.library.count()) ts.slot(i).load(ts.library.entry(index), context);
    }
}

// Window sums of the colour mean: column sums over the clamped rows, then a
// running sum along the row over the clamped columns. The column sums are
// built in full when they are not those of row y - 1 (fresh); the integer
// sums are the same either way.
void computeMeanRow(const TextureSession& ts, int32_t* sums, uint8_t* meanRow, const fw::RenderRegion& r, int y,
                    bool fresh) {
    const int radius = ts.settings.smooth, side = 2 * radius + 1;
    const int w = r.width, h = r.height;
    if (fresh) {
        std::fill(sums, sums + 3 * static_cast<size_t>(w), 0);
        for (int dy = -radius; dy <= radius; ++dy)
            for (int x = 0; x < w; ++x) {
                const uint8_t* p = sourceAt(r, x, clampIndex(y + dy, h));
                for (int c = 0; c < 3; ++c) sums[3 * x + c] += p[c];
            }
    } else {
        const int in = clampIndex(y + radius, h), out = clampIndex(y - radius - 1, h);
        for (int x = 0; x < w; ++x) {
            const uint8_t* a = sourceAt(r, x, in);
            const uint8_t* b = sourceAt(r, x, out);
            for (int c = 0; c < 3; ++c) sums[3 * x + c] += a[c] - b[c];
        }
    }
    for (int c = 0; c < 3; ++c) {
        int32_t window = 0;
        for (int dx = -radius; dx <= radius; ++dx) window += sums[3 * clampIndex(dx, w) + c];
        for (int x = 0; x < w; ++x) {
            meanRow[static_cast<size_t>(3 * x + c)] = static_cast<uint8_t>(window / side / side);
            window += sums[3 * clampIndex(x + radius + 1, w) + c] - sums[3 * clampIndex(x - radius, w) + c];
        }
    }
}

void luminancePixel(TextureSession& ts, const fw::RenderRegion& r, int x, int y) {
    const uint8_t* p = sourceAt(r, x, y);
    ts.luminance[static_cast<size_t>(y) * static_cast<size_t>(r.width) + static_cast<size_t>(x)] =
        static_cast<uint16_t>(p[0] + p[1] + p[2]);
}

// Answers the cell's texture value, for the image's sum.
int reliefPixel(TextureSession& ts, const fw::RenderRegion& r, int x, int y) {
    ReliefCell& cell = ts.relief[static_cast<size_t>(y) * static_cast<size_t>(r.width) + static_cast<size_t>(x)];
    cell = reliefAt(ts.tables.kernel, ts.luminance.data(), r.width, r.height, x, y);
    return cell.texture;
}

// Hue moved by (Hue x 1536 - 76800) / 100, saturation scaled by
// Saturation / 50, and back to RGB with the new value.
Hsv toHsv(const Rgb& c) { return rgbToHsv(c.r, c.g, c.b); }

Rgb corrected(const Hsv& hsv, int value, const LayerSettings& l) {
    return hsvToRgb(hsv.h + (l.hue * 1536 - 76800) / 100, l.saturation * hsv.s / 50, value);
}

// The pattern's sampling point in 1/64 pixel for height H, per the layer's
// rotation, step, displacement and the shared refraction.
Rgb sampleLayer(const PatternSlot& slot, const LayerGeometry& g, const RenderTables& t, int x, int y, int w, int h,
                int64_t height, int64_t corrugationShift) {
    const int64_t X = x - w / 2, Y = y - h / 2;
    const int64_t U = w / 2 + (X * g.cos + Y * g.sin) / 1024;
    const int64_t V = h / 2 + (Y * g.cos - X * g.sin) / 1024;
    const int64_t us = U * g.step, vs = V * g.step;
    const int64_t column = (us + (g.dX + (us / 1024) * t.kX / 1024) * height) / 1024 + corrugationShift;
    const int64_t row = (vs + (g.dY + (vs / 1024) * t.kY / 1024) * height) / 1024 + corrugationShift;
    return samplePattern(slot.pixels(), row, column);
}

void compositePixel(const TextureSession& ts, const uint8_t* meanRow, const fw::RenderRegion& r, int x, int y) {
    const TextureSettings& s = ts.settings;
    const RenderTables& t = ts.tables;
    const auto& curve = weightCurve();
    const uint8_t* px = sourceAt(r, x, y);
    const uint8_t* mean = meanRow + static_cast<size_t>(3 * x);
    const int mu[3] = {mean[0], mean[1], mean[2]};
    const int avg[3] = {(px[0] + mu[0]) / 2, (px[1] + mu[1]) / 2, (px[2] + mu[2]) / 2};
    const int sourceAlpha = r.planes == 4 ? px[3] : 255;
    const int maskByte =
        r.mask ? r.mask[static_cast<ptrdiff_t>(y) * r.maskStride + x] : 255;

    int selW[3], selM[3];
    for (int k = 0; k < 3; ++k) {
        const Rgb ref = colourOf(s.layers[k].colour);
        selW[k] = select(t.selection[static_cast<size_t>(k)], distance(ref, avg));
        selM[k] = select(t.selection[static_cast<size_t>(k)], distance(ref, mu));
        if (r.planes == 4) {
            selW[k] = selW[k] * sourceAlpha / 255;
            selM[k] = selM[k] * sourceAlpha / 255;
        }
        if (r.mask) {
            selW[k] = selW[k] * maskByte / 255;
            selM[k] = selM[k] * maskByte / 255;
        }
    }

    const int vs = std::max({avg[0], avg[1], avg[2]});
    const int64_t shape = ((vs - 128) * s.shaping + 6400) / 50;
    const ReliefCell& cell = ts.relief[static_cast<size_t>(y) * static_cast<size_t>(r.width) + static_cast<size_t>(x)];
    const int64_t W = ((cell.first * t.lightX - cell.second * t.lightY) / (s.reliefSmoothness + 10)) / 18 -
                      (cell.texture - ts.textureMean) * (s.outline - 25) / 5;
    const int shade = static_cast<int>(std::clamp<int64_t>(W + shape, 0, 255));
    const int64_t corrugationShift = s.corrugation * W / 4;

    int64_t weight[3] = {0, 0, 0};
    Rgb colour[3];
    for (int k = 0; k < 3; ++k) {
        const LayerSettings& l = s.layers[k];
        if (!l.visible) continue;
        int64_t strength = int64_t{l.mixing} * l.mixing * selW[k] / 2000;
        if (strength <= 0) continue;
        const int64_t height = ((W + shape) * s.shaping + (50 - s.shaping) * selM[k]) / 50;
        const PatternSlot& slot = ts.layers[static_cast<size_t>(k)];
        const Hsv hsv = toHsv(sampleLayer(slot, t.geometry[static_cast<size_t>(k)], t, x, y, r.width, r.height,
                                             height, corrugationShift));
        const int b = ts.progressive.value[static_cast<size_t>(k)].at(hsv.v, selM[k]);
        const int meanValue = slot.stats.meanValue();
        const int64_t change = int64_t{b - meanValue} * (b - meanValue) * strength / 1024;
        if (b > meanValue) strength += change;
        if (b < meanValue) strength -= change;
        const int lit = (b * l.highlight + (100 - l.highlight) * hsv.v) / 100;
        const int value = t.brightness[static_cast<size_t>(k)][ts.progressive.shading.at(lit, shade)];
        colour[k] = corrected(hsv, value, l);
        weight[k] = curve[static_cast<size_t>(std::clamp<int64_t>(strength, 0, 2047))];
    }

    Rgb baseColour;
    int64_t baseWeight = 100;
    int baseAlpha = 255;
    if (s.base.visible) {
        const int64_t sum = std::max<int64_t>(weight[0] + weight[1] + weight[2], 0);
        const int64_t selected = (weight[0] * selM[0] + weight[1] * selM[1] + weight[2] * selM[2]) / (sum + 200);
        const int64_t height = ((50 - s.shaping) * selected + (W + shape) * s.shaping) / 50;
        const Hsv hsv = toHsv(sampleLayer(ts.base, t.baseGeometry, t, x, y, r.width, r.height, height,
                                             corrugationShift));
        const int d = hsv.v - ts.base.stats.meanValue();
        const int64_t c = d < 1 ? 100 : 100 + int64_t{s.base.mixing} * s.base.mixing * (d * d * 100 / 255) / 10000;
        const int value = t.baseBrightness[ts.progressive.shading.at(hsv.v, shade)];
        baseColour = corrected(hsv, value, s.base);
        baseWeight = curve[static_cast<size_t>(std::clamp<int64_t>(c, 0, 2047))];
    } else {
        baseColour = colourOf(s.background);
        if (r.planes == 4 && (s.background >> 24) == kTransparent) baseAlpha = 0;
    }

    const int64_t layersWeight = weight[0] + weight[1] + weight[2];
    const int64_t total = std::max<int64_t>(layersWeight + baseWeight, 1);
    auto channel = [&](uint8_t Rgb::*c) {
        const int64_t sum = weight[0] * (colour[0].*c) + weight[1] * (colour[1].*c) + weight[2] * (colour[2].*c) +
                            baseWeight * (baseColour.*c);
        return static_cast<uint8_t>(std::min<int64_t>(sum / total, 255));
    };
    uint8_t* out = r.destination + static_cast<ptrdiff_t>(y) * r.destinationStride + static_cast<ptrdiff_t>(x) * r.planes;
    out[0] = channel(&Rgb::r);
    out[1] = channel(&Rgb::g);
    out[2] = channel(&Rgb::b);
    if (r.planes == 4)
        out[3] = static_cast<uint8_t>(((baseAlpha * baseWeight + layersWeight * 255) / total) * sourceAlpha / 255);
}

// The edited pattern at 1:1, tiled over the preview.
void editorPixel(const TextureSession& ts, const fw::RenderRegion& r, int x, int y) {
    const Rgb c = samplePattern(ts.editor.pixels(), int64_t{64} * y, int64_t{64} * x);
    uint8_t* out = r.destination + static_cast<ptrdiff_t>(y) * r.destinationStride + static_cast<ptrdiff_t>(x) * r.planes;
    out[0] = c.r;
    out[1] = c.g;
    out[2] = c.b;
    if (r.planes == 4) out[3] = 255;
}

template <typename T>
bool resize(std::vector<T>& v, size_t n) {
    try {
        v.resize(n);
        return true;
    } catch (const std::bad_alloc&) {
        std::vector<T>().swap(v);
        return false;
    }
}

}  // namespace

int prepareTexture(fw::RenderState& state) {
    const fw::FilterSession& session = *state.session;
    TextureSession* ts = textureSessionOf(session);
    const fw::RenderRegion& r = state.region;
    if (!ts || !session.record || !r.source || !r.destination || r.width <= 0 || r.height <= 0 || r.planes < 3 ||
        r.sourceSixteenBit || r.destinationSixteenBit)
        return -1;

    fw::ValueSlots values = state.values;
    const FilterRecord& fr = *session.record;
    for (int slot : {kBackground, layer::first(1) + layer::kColour, layer::first(2) + layer::kColour,
                     layer::first(3) + layer::kColour})
        values[static_cast<size_t>(slot)] = static_cast<int32_t>(resolveColourWord(
            static_cast<uint32_t>(values[static_cast<size_t>(slot)]), fr.foregroundColor, fr.backColor, r.planes));
    ts->settings = decodeTextureSettings(values);
    loadSlots(*ts, session, state);

    std::array<bool, 4> inputImage{};
    for (int i = 0; i < 4; ++i) inputImage[static_cast<size_t>(i)] = holdsInputImage(ts->slot(i));
    ts->tables = makeRenderTables(ts->settings, inputImage, r.width, r.height, session.imageSizeFactor);

    const size_t pixels = static_cast<size_t>(r.width) * static_cast<size_t>(r.height);
    const size_t row = static_cast<size_t>(r.width) * 3;
    if (!resize(ts->luminance, pixels) || !resize(ts->relief, pixels) || !resize(ts->columnSums, row) ||
        !resize(ts->meanRow, row) || !resize(ts->rowTextureSums, static_cast<size_t>(r.height)))
        return -1;
    // Outside the dialog no preview builds the power tables a few rows at a
    // time; the final rendering completes whatever is missing.
    if (!session.preview) ts->progressive.advance(ts->settings, 256);
    return 0;
}

void renderTexturePass(fw::RenderState& state) {
    TextureSession* ts = textureSessionOf(*state.session);
    if (!ts) return;
    const fw::RenderRegion& r = state.region;
    const int x = state.column, y = state.row;
    const bool preview = state.session->preview != nullptr;
    if (preview && ts->view == DialogView::PatternViewer) return;
    if (preview && ts->view == DialogView::PatternEditor) {
        if (state.pass == 0) editorPixel(*ts, r, x, y);
        return;
    }
    if (x == 0 && preview)
        ts->progressive.advance(ts->settings, ProgressiveTables::rowsPerImageRow(r.height));

    switch (state.pass) {
        case 1:
            luminancePixel(*ts, r, x, y);
            break;
        case 2:
            if (x == 0 && y == 0) ts->textureSum = 0;
            ts->textureSum += reliefPixel(*ts, r, x, y);
            break;
        case 3:
            if (x == 0) {
                if (y == 0) ts->textureMean = static_cast<int>(ts->textureSum / (int64_t{r.width} * r.height));
                computeMeanRow(*ts, ts->columnSums.data(), ts->meanRow.data(), r, y, y == 0);
            }
            compositePixel(*ts, ts->meanRow.data(), r, x, y);
            break;
        default:  // pass 0 has no per-pixel work
            break;
    }
}

namespace {

// A worker's window sums of the colour mean, and the row they are for.
struct MeanScratch : fw::RowScratch {
    std::vector<int32_t> columnSums;
    std::vector<uint8_t> meanRow;
    int builtRow = -1;
};

}  // namespace

std::unique_ptr<fw::RowScratch> makeTextureScratch(const fw::RenderState& state) {
    auto scratch = std::unique_ptr<MeanScratch>(new (std::nothrow) MeanScratch());
    const size_t row = static_cast<size_t>(std::max(state.region.width, 0)) * 3;
    if (!scratch || !resize(scratch->columnSums, row) || !resize(scratch->meanRow, row)) return nullptr;
    return scratch;
}

void beginTexturePass(fw::RenderState& state, int pass) {
    TextureSession* ts = textureSessionOf(*state.session);
    if (!ts) return;
    const fw::RenderRegion& r = state.region;
    const bool preview = state.session->preview != nullptr;
    if (preview && ts->view != DialogView::Preview) return;
    // The per-pixel step advances the tables at the start of every row; by
    // the end of pass 0 they are complete (H x max(1, 512 / H) >= 256 rows),
    // so later passes add nothing and pass 0 may take its share at once.
    if (preview && pass == 0)
        ts->progressive.advance(ts->settings, r.height * ProgressiveTables::rowsPerImageRow(r.height));
    if (pass == 3) {
        int64_t sum = 0;
        for (const int64_t rowSum : ts->rowTextureSums) sum += rowSum;
        ts->textureSum = sum;
        ts->textureMean = static_cast<int>(sum / (int64_t{r.width} * r.height));
    }
}

void renderTextureRows(fw::RenderState& state, fw::RowScratch* scratch, int pass, int first, int last) {
    TextureSession* ts = textureSessionOf(*state.session);
    if (!ts) return;
    const fw::RenderRegion& r = state.region;
    const bool preview = state.session->preview != nullptr;
    if (preview && ts->view == DialogView::PatternViewer) return;
    if (preview && ts->view == DialogView::PatternEditor) {
        if (pass == 0)
            for (int y = first; y < last; ++y)
                for (int x = 0; x < r.width; ++x) editorPixel(*ts, r, x, y);
        return;
    }
    auto& mean = *static_cast<MeanScratch*>(scratch);
    for (int y = first; y < last; ++y) {
        switch (pass) {
            case 1:
                for (int x = 0; x < r.width; ++x) luminancePixel(*ts, r, x, y);
                break;
            case 2:
                ts->rowTextureSums[static_cast<size_t>(y)] =
                    reliefRow(ts->tables.kernel, ts->luminance.data(), r.width, r.height, y,
                              ts->relief.data() + static_cast<size_t>(y) * static_cast<size_t>(r.width));
                break;
            case 3:
                computeMeanRow(*ts, mean.columnSums.data(), mean.meanRow.data(), r, y,
                               mean.builtRow < 0 || mean.builtRow != y - 1);
                mean.builtRow = y;
                for (int x = 0; x < r.width; ++x) compositePixel(*ts, mean.meanRow.data(), r, x, y);
                break;
            default:
                break;
        }
    }
}

}  // namespace qm::marbleloom
