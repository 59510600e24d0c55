#include "filters/lumivex/lens_passes.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <new>

#include "filters/lumivex/height_buffers.h"
#include "filters/lumivex/lumivex_filter.h"
#include "framework/host/filter_session.h"
#include "framework/host/render_state.h"

namespace qm::lumivex {
namespace {

const uint8_t* pixelAt(const fw::RenderRegion& r, int x, int y) {
    return r.source + static_cast<size_t>(y) * static_cast<size_t>(r.sourceStride) +
           static_cast<size_t>(x) * static_cast<size_t>(r.planes);
}

uint8_t* outputAt(const fw::RenderRegion& r, int x, int y) {
    return r.destination + static_cast<size_t>(y) * static_cast<size_t>(r.destinationStride) +
           static_cast<size_t>(x) * static_cast<size_t>(r.planes);
}

int hostMaskAt(const fw::RenderRegion& r, int x, int y) {
    return r.mask[static_cast<size_t>(y) * static_cast<size_t>(r.maskStride) + static_cast<size_t>(x)];
}

size_t mapIndex(int x, int y, int width) {
    return static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x);
}

}  // namespace

void copyPass(const fw::RenderState& state, int x, int y) {
    const fw::RenderRegion& r = state.region;
    const uint8_t* from = pixelAt(r, x, y);
    uint8_t* to = outputAt(r, x, y);
    for (int c = 0; c < (r.planes > 3 ? 4 : 3); ++c) to[c] = from[c];
}

void maskThumbnailPass(const fw::RenderState& state, LensSession& lens, int x, int y) {
    const fw::RenderRegion& r = state.region;
    const LensParams& p = lens.params;
    if (p.longSide <= 0) return;
    const int tw = static_cast<int>(int64_t{p.width} * kThumbnailSide / p.longSide);
    const int th = static_cast<int>(int64_t{p.height} * kThumbnailSide / p.longSide);
    if (x >= tw || y >= th) return;
    const int sx = static_cast<int>(int64_t{p.width} * x / tw);
    const int sy = static_cast<int>(int64_t{p.height} * y / th);
    const uint8_t* rgb = pixelAt(r, sx, sy);
    int m = rectangleMask(p.mask, sx, sy);
    if (r.mask) m = m * hostMaskAt(r, sx, sy) / 255;
    int w = inclusionStrength(m, lens.settings.inclusion);
    if (r.planes > 3) w = w * rgb[3] / 255;
    const int tx = x + (kThumbnailSide - tw) / 2, ty = y + (kThumbnailSide - th) / 2;
    uint8_t* at = lens.thumbnail.data() + (static_cast<size_t>(ty) * kThumbnailSide + static_cast<size_t>(tx)) * 3;
    at[2] = static_cast<uint8_t>((w * (rgb[0] - kThumbnailR) + 255 * kThumbnailR) / 255);
    at[1] = static_cast<uint8_t>((w * (rgb[1] - kThumbnailG) + 255 * kThumbnailG) / 255);
    at[0] = static_cast<uint8_t>((w * (rgb[2] - kThumbnailB) + 255 * kThumbnailB) / 255);
}

void heightPass(const fw::RenderState& state, LensSession& lens, int x, int y) {
    const fw::RenderRegion& r = state.region;
    const LensParams& p = lens.params;
    const int inclusion = lens.settings.inclusion;

    int32_t rgb[3];
    samplePixel(r.source, r.sourceStride, r.planes, locate(x, y, -p.shiftX, -p.shiftY, p.width, p.height),
                3, rgb);
    int32_t lum = rgb[0] + rgb[1] + rgb[2];
    if (r.mask) {
        // Below 50 the selection flattens the lens inside it, above 50 outside.
        const int g = hostMaskAt(r, x, y);
        const int h = inclusion < 50 ? g * (50 - inclusion) / 50 : (255 - g) * (inclusion - 50) / 50;
        lum = ((255 - h) * lum + 382 * h) / 255;
    }
    int w = inclusionStrength(rectangleMask(p.mask, x, y), inclusion);
    if (r.planes > 3) w = w * pixelAt(r, x, y)[3] / 255;
    lens.heightMap[mapIndex(x, y, p.width)] =
        static_cast<int16_t>(std::max(0, 382 + w * (lum - 382) / 255));
}

void horizontalBlurPass(const fw::RenderState&, LensSession& lens, int x, int y) {
    const LensParams& p = lens.params;
    const int16_t* row = lens.heightMap.data() + mapIndex(0, y, p.width);
    lens.heightScratch[static_cast<size_t>(x) * static_cast<size_t>(p.height) + static_cast<size_t>(y)] =
        static_cast<int16_t>(lens.kernel.blurAt(row, p.width, x));
}

void verticalBlurPass(const fw::RenderState&, LensSession& lens, int loopX, int loopY) {
    const LensParams& p = lens.params;
    // The loop's (row, column) names the i-th pixel in column-major order.
    const int64_t i = int64_t{loopY} * p.width + loopX;
    const int x = static_cast<int>(i / p.height), y = static_cast<int>(i % p.height);
    const int16_t* column = lens.heightScratch.data() + static_cast<size_t>(x) * static_cast<size_t>(p.height);
    lens.heightMap[mapIndex(x, y, p.width)] = static_cast<int16_t>(lens.kernel.blurAt(column, p.height, y));
}

void refractionPass(const fw::RenderState& state, LensSession& lens, int x, int y) {
    const fw::RenderRegion& r = state.region;
    const LensParams& p = lens.params;
    const int16_t* map = lens.heightMap.data();

    const int32_t g = map[mapIndex(x, y, p.width)];
    const int32_t hR = sampleHeight(map, p.width, locate(x, y, p.slopeStep, 0, p.width, p.height));
    const int32_t hD = sampleHeight(map, p.width, locate(x, y, 0, p.slopeStep, p.width, p.height));
    const int32_t gx = static_cast<int32_t>(static_cast<float>(g - hR) * p.scale);
    const int32_t gy = static_cast<int32_t>(static_cast<float>(g - hD) * p.scale);

    int32_t cx, cy;
    if (!p.rowCx.empty()) {
        cx = p.rowCx[static_cast<size_t>(y)];
        cy = p.rowCy[static_cast<size_t>(y)];
    } else if (!p.columnCx.empty()) {
        cx = p.columnCx[static_cast<size_t>(x)];
        cy = p.columnCy[static_cast<size_t>(x)];
    } else {
        const double phi = refractionAngle(p, p.rowBend[static_cast<size_t>(y)],
                                           p.columnBend[static_cast<size_t>(x)]);
        cx = static_cast<int32_t>(p.amplitude * std::sin(phi));
        cy = static_cast<int32_t>(p.amplitude * std::cos(phi));
    }
    // Slope times amplitude can pass 32 bits on huge images.
    const int32_t dx = static_cast<int32_t>(int64_t{gx} * cx / 750);
    const int32_t dy = static_cast<int32_t>(int64_t{gy} * cy / 750);

    int32_t rgb[3];
    samplePixel(r.source, r.sourceStride, r.planes, locate(x, y, dx, dy, p.width, p.height), 3, rgb);
    uint8_t* out = outputAt(r, x, y);
    for (int c = 0; c < 3; ++c) out[c] = static_cast<uint8_t>(std::min(rgb[c], 255));
    if (r.planes > 3) out[3] = pixelAt(r, x, y)[3];
}

namespace {

// Passes 1 to 3 rebuild the height map only while it is dirty and shown.
bool heightMapDue(const LensSession& lens) { return !lens.previewOff && lens.heightDirty; }

// Pass p at the loop's (x, y); the height map is marked clean when pass 4 begins.
void passPixel(const fw::RenderState& state, LensSession& lens, int pass, int x, int y) {
    switch (pass) {
        case 0:
            if (!lens.dialogOpen) return;
            if (lens.previewOff)
                copyPass(state, x, y);
            else
                maskThumbnailPass(state, lens, x, y);
            return;
        case 1:
        case 2:
        case 3:
            if (!heightMapDue(lens)) return;
            if (pass == 1)
                heightPass(state, lens, x, y);
            else if (pass == 2)
                horizontalBlurPass(state, lens, x, y);
            else
                verticalBlurPass(state, lens, x, y);
            return;
        case 4:
            if (lens.previewOff) return;
            refractionPass(state, lens, x, y);
            return;
        default:
            return;
    }
}

}  // namespace

void beginLensPass(fw::RenderState& state, int pass) {
    auto& lens = *lensSessionOf(*state.session);
    if (pass == 4 && !lens.previewOff) lens.heightDirty = false;
}

namespace {

struct BlurLines : fw::RowScratch {
    BlurScratch blur;
};

// Pass 2 over rows first .. last - 1: each row's blur, a column of the
// transposed scratch each.
void horizontalBlurRows(LensSession& lens, BlurScratch& scratch, int first, int last) {
    const LensParams& p = lens.params;
    for (int y = first; y < last; ++y)
        lens.kernel.blurLine(lens.heightMap.data() + mapIndex(0, y, p.width), p.width, 0, p.width,
                             lens.heightScratch.data() + y, p.height, scratch);
}

// Pass 3 over the loop's rows first .. last - 1, which name the pixels
// first x width .. last x width - 1 in column-major order: the runs of the
// columns they cover.
void verticalBlurRows(LensSession& lens, BlurScratch& scratch, int first, int last) {
    const LensParams& p = lens.params;
    const int64_t end = int64_t{last} * p.width;
    for (int64_t i = int64_t{first} * p.width; i < end;) {
        const int x = static_cast<int>(i / p.height), from = static_cast<int>(i % p.height);
        const int to = static_cast<int>(std::min<int64_t>(p.height, from + (end - i)));
        lens.kernel.blurLine(lens.heightScratch.data() + static_cast<size_t>(x) * static_cast<size_t>(p.height),
                             p.height, from, to, lens.heightMap.data() + mapIndex(x, from, p.width), p.width, scratch);
        i += to - from;
    }
}

}  // namespace

std::unique_ptr<fw::RowScratch> makeLensScratch(const fw::RenderState& state) {
    auto scratch = std::unique_ptr<BlurLines>(new (std::nothrow) BlurLines());
    if (!scratch) return nullptr;
    try {
        scratch->blur.reserve(std::max(state.region.width, state.region.height));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    return scratch;
}

void renderLensRows(fw::RenderState& state, fw::RowScratch* scratch, int pass, int first, int last) {
    auto& lens = *lensSessionOf(*state.session);
    if ((pass == 2 || pass == 3) && scratch && heightMapDue(lens)) {
        BlurScratch& blur = static_cast<BlurLines*>(scratch)->blur;
        if (pass == 2)
            horizontalBlurRows(lens, blur, first, last);
        else
            verticalBlurRows(lens, blur, first, last);
        return;
    }
    for (int y = first; y < last; ++y)
        for (int x = 0; x < state.region.width; ++x) passPixel(state, lens, pass, x, y);
}

void renderLensPass(fw::RenderState& state) {
    if (state.pass == 4 && state.row == 0 && state.column == 0) beginLensPass(state, 4);
    passPixel(state, *lensSessionOf(*state.session), state.pass, state.column, state.row);
}

}  // namespace qm::lumivex
