#include "filters/plaitwork/strip_pass.h"

#include <algorithm>
#include <climits>
#include <new>

namespace qm::plaitwork {
namespace {

const uint8_t* pixelAt(const StripTarget& t, int x, int y) {
    return t.source + static_cast<size_t>(y) * static_cast<size_t>(t.sourceStride) +
           static_cast<size_t>(x) * static_cast<size_t>(t.planes);
}

int64_t brightnessSum(const StripTarget& t, int x, int y) {
    const uint8_t* p = pixelAt(t, x, y);
    return p[0] + p[1] + p[2];
}

// Keeps runaway layer products (degenerate geometry) inside 64-bit
// arithmetic; ordinary values stay far below the bound.
int64_t bounded(int64_t v) { return std::clamp<int64_t>(v, INT32_MIN, INT32_MAX); }

int curveIndex(float v) { return std::clamp(truncToInt(v * 1999), 0, kCurveEntries - 1); }

uint8_t toByte(int64_t v) { return static_cast<uint8_t>(std::clamp<int64_t>(v, 0, 255)); }

}  // namespace

// The mesh box around (x, y): columns x - lo .. x + hi, rows alike, clamped
// into the image. Column sums are built in full on a row that does not follow
// the last one (row 0 of a render); otherwise the entering row is added and
// the leaving one removed. The box is summed in full at the start of a row.
int meshHeight(MeshSums& mesh, const StripTarget& t, int m, int x, int y) {
    const int W = t.width, H = t.height;
    const int lo = (m + 1) / 2, hi = (m + 2) / 2 - 1;
    auto col = [&](int c) { return std::clamp(c, 0, W - 1); };
    auto row = [&](int r) { return std::clamp(r, 0, H - 1); };
    if (x == 0 || mesh.builtRow != y) {
        if (mesh.builtRow >= 0 && y == mesh.builtRow + 1) {
            const int entering = row(y + hi), leaving = row(y - lo - 1);
            for (int c = 0; c < W; ++c)
                mesh.columns[static_cast<size_t>(c)] += brightnessSum(t, c, entering) - brightnessSum(t, c, leaving);
        } else if (mesh.builtRow != y) {
            for (int c = 0; c < W; ++c) {
                int64_t sum = 0;
                for (int r = y - lo; r <= y + hi; ++r) sum += brightnessSum(t, c, row(r));
                mesh.columns[static_cast<size_t>(c)] = sum;
            }
        }
        mesh.builtRow = y;
        mesh.box = 0;
        for (int c = x - lo; c <= x + hi; ++c) mesh.box += mesh.columns[static_cast<size_t>(col(c))];
    } else {
        mesh.box += mesh.columns[static_cast<size_t>(col(x + hi))] -
                    mesh.columns[static_cast<size_t>(col(x - lo - 1))];
    }
    const int64_t side = m + 1;
    return static_cast<int>(mesh.box / side / side / 3 - 128);
}

bool prepareStripRender(StripRender& r, const StripSettings& settings, const StripTarget& t, float s,
                        CurveTable& curve) {
    r.settings = settings;
    r.stage1 = makeStageParams(settings, 1, s, t.planes);
    r.stage2 = makeStageParams(settings, 2, s, t.planes);
    r.geometry1 = makeStageGeometry(r.stage1, t.width, t.height);
    r.geometry2 = makeStageGeometry(r.stage2, t.width, t.height);
    r.values = makeRenderValues(settings, r.stage2, t.width, t.height, s, t.planes);
    buildCurveTable(curve, settings.curveShape);
    r.curve = &curve;
    try {
        r.rowFraction.resize(static_cast<size_t>(std::max(t.height, 0)));
        double fraction = 0;
        const double step = t.height > 0 ? 1.0 / t.height : 0;
        for (double& f : r.rowFraction) {
            f = fraction;
            fraction += step;
        }
        r.mesh.columns.assign(static_cast<size_t>(std::max(t.width, 0)), 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    r.mesh.builtRow = -1;
    r.mesh.box = 0;
    return true;
}

void saturate(int64_t& R, int64_t& G, int64_t& B, int amount) {
    const int64_t mx = std::max({R, G, B}), mn = std::min({R, G, B});
    int64_t sigma = 0, h = 0;
    if (mx != 0) {
        sigma = (mx - mn) * 255 / mx;
        if (mx != mn) {
            const int64_t r1 = (mx - R) * 255 / (mx - mn);
            const int64_t g1 = (mx - G) * 255 / (mx - mn);
            const int64_t b1 = (mx - B) * 255 / (mx - mn);
            if (R == mx) h = b1 - g1;
            else if (G == mx) h = r1 - b1 + 512;
            else h = g1 - r1 + 1024;
            if (h < 0) h += 1536;
            if (h > 1535) h = 0;
        }
    }
    // Beyond +-2^20 the limited result no longer changes; the bound keeps the
    // product in 64 bits.
    const int64_t a = std::clamp(amount, -(1 << 20), 1 << 20);
    const int64_t s2 = std::clamp<int64_t>(sigma * (a + 100) / 100, 0, 255);
    const int64_t v = mx, sector = h / 256, o = h % 256;
    const int64_t p = (255 - s2) * v / 255;
    const int64_t qv = (255 - (255 - o) * s2 / 255) * v / 255;
    const int64_t tv = (255 - s2 * o / 255) * v / 255;
    switch (sector) {
        case 0: R = v; G = qv; B = p; break;
        case 1: R = tv; G = v; B = p; break;
        case 2: R = p; G = v; B = qv; break;
        case 3: R = p; G = tv; B = v; break;
        case 4: R = qv; G = p; B = v; break;
        default: R = v; G = p; B = tv; break;
    }
}

void renderStripPixel(StripRender& r, const StripTarget& t, int x, int y) {
    renderStripPixel(r, r.mesh, t, x, y);
}

void renderStripPixel(const StripRender& r, MeshSums& mesh, const StripTarget& t, int x, int y) {
    const RenderValues& v = r.values;
    const int W = t.width, H = t.height;
    const CurveTable& C = *r.curve;

    // 1. Perspective and rotation.
    const float k = v.viewK;
    const float w = static_cast<float>(k * (r.rowFraction[static_cast<size_t>(y)] - 0.5) + 1);
    const float xr = static_cast<float>(x - W / 2) / w;
    const float yr = static_cast<float>(y - H / 2) / (w / (k + 1));
    StagePoint pt;
    pt.X = v.cosRho * xr + v.sinRho * yr + static_cast<float>(W / 2);
    pt.Y = v.cosRho * yr - v.sinRho * xr + static_cast<float>(H / 2);
    pt.light = 0.75f;

    // 2. Mesh displacement by the local brightness.
    int h = 0;
    if (v.meshX != 0 || v.meshY != 0) h = meshHeight(mesh, t, v.meshBox, x, y);
    pt.Y = (pt.Y + static_cast<float>(h * v.meshY) * 0.01f) * v.scaleY + v.offsetY;
    pt.X = (pt.X + static_cast<float>(h * v.meshX) * 0.01f) * v.scaleX + v.offsetX;

    // 3-5. Stage 2 bends the coordinates of stage 1, the curve bends them more.
    const StageResult s2 = evaluateStage(r.geometry2, r.stage2, pt, true);
    pt.Y = r.stage1.moireY + pt.Y - v.curveY * C[static_cast<size_t>(curveIndex(s2.sv))];
    pt.X = r.stage1.moireX + pt.X - v.curveX * C[static_cast<size_t>(curveIndex(s2.su))];
    const StageResult s1 = evaluateStage(r.geometry1, r.stage1, pt, v.remapFirstStage);

    // 6.
    const int k1 = truncToInt(s1.L * 4096), k2 = truncToInt(s1.Sd * 4096);
    const int k3 = truncToInt(s2.L * 4096), k4 = truncToInt(s2.Sd * 4096);

    // 7. Source colour and coverage.
    const LayerColour& bg = v.colours[kBackground];
    uint8_t* out = t.destination + static_cast<size_t>(y) * static_cast<size_t>(t.destinationStride) +
                   static_cast<size_t>(x) * static_cast<size_t>(t.planes);
    const auto& T = v.brightness;
    int64_t c[3];
    int64_t a = 255;
    int G;
    if (v.remapFirstStage) {
        float Y = pt.Y - r.geometry1.shiftY, X = pt.X - r.geometry1.shiftX;
        Y = (1 - v.kb) * static_cast<float>(y) + v.kb * Y;
        X = (1 - v.kb) * static_cast<float>(x) + v.kb * X;
        const int py = truncToInt(Y * 64), px = truncToInt(X * 64);
        const int row = py >> 6, col = px >> 6, fy = py & 63, fx = px & 63;
        const int nx[4] = {col, col + 1, col, col + 1};
        const int ny[4] = {row, row, row + 1, row + 1};
        const int wt[4] = {(64 - fx) * (64 - fy), fx * (64 - fy), (64 - fx) * fy, fx * fy};
        int counting = 0;
        int64_t sum[4] = {0, 0, 0, 0};
        int64_t maskSum = 0;
        for (int i = 0; i < 4; ++i) {
            const int cx = std::clamp(nx[i], 0, W - 1), cy = std::clamp(ny[i], 0, H - 1);
            if (cx == nx[i] && cy == ny[i]) counting += wt[i];
            const uint8_t* p = pixelAt(t, cx, cy);
            for (int ch = 0; ch < 3; ++ch) sum[ch] += static_cast<int64_t>(wt[i]) * T[p[ch]];
            if (t.planes == 4) sum[3] += static_cast<int64_t>(wt[i]) * p[3];
            if (t.mask)
                maskSum += static_cast<int64_t>(wt[i]) *
                           t.mask[static_cast<size_t>(cy) * static_cast<size_t>(t.maskStride) + static_cast<size_t>(cx)];
        }
        G = counting * 255 / 4096;
        if (G == 0) {
            out[0] = bg.r;
            out[1] = bg.g;
            out[2] = bg.b;
            if (t.planes == 4) out[3] = bg.alpha;
            return;
        }
        for (int ch = 0; ch < 3; ++ch) c[ch] = sum[ch] / 4096;
        if (t.planes == 4) a = sum[3] / 4096;
        if (t.mask) G = static_cast<int>(maskSum * G / 1044480);
    } else {
        const uint8_t* p = pixelAt(t, x, y);
        for (int ch = 0; ch < 3; ++ch) c[ch] = T[p[ch]];
        if (t.planes == 4) a = p[3];
        G = t.mask ? t.mask[static_cast<size_t>(y) * static_cast<size_t>(t.maskStride) + static_cast<size_t>(x)] : 255;
    }

    // 8. Colour layers: shadow and side shadow of stage 1, then of stage 2.
    if (G != 0) {
        const struct {
            const LayerColour& colour;
            int k;
        } layers[4] = {{v.colours[kShadow1], k1},
                       {v.colours[kSideShadow1], k2},
                       {v.colours[kShadow2], k3},
                       {v.colours[kSideShadow2], k4}};
        for (const auto& layer : layers) {
            const int64_t kk = layer.k;
            if (layer.colour.alpha != 0) {
                const int64_t colour[3] = {layer.colour.r, layer.colour.g, layer.colour.b};
                for (int ch = 0; ch < 3; ++ch) c[ch] = bounded((c[ch] * kk + colour[ch] * (4096 - kk)) / 4096);
            } else if (t.planes == 4) {
                a = bounded(a * kk / 4096);
            }
        }
    }

    // 9. Saturation, stronger where the strips are lit less.
    if (v.saturationGain != 0)
        saturate(c[0], c[1], c[2], truncToInt(v.saturationGain * (1 - pt.light) * 100));

    // 10. Blend with the background by the coverage.
    const int64_t bgc[3] = {bg.r, bg.g, bg.b};
    for (int ch = 0; ch < 3; ++ch) out[ch] = toByte((c[ch] * G + bgc[ch] * (255 - G)) / 255);
    if (t.planes == 4) out[3] = toByte((a * G + static_cast<int64_t>(bg.alpha) * (255 - G)) / 255);
}

}  // namespace qm::plaitwork
