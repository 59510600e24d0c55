#include "filters/plaitwork/evaluate_stage.h"

#include <algorithm>
#include <climits>

namespace qm::plaitwork {

int truncToInt(float v) {
    if (!(v > -2147483648.0f && v < 2147483648.0f)) return INT_MIN;
    return static_cast<int>(v);
}

int stripFloor(float v) {
    const int t = truncToInt(v);
    return v < 0 && t != INT_MIN ? t - 1 : t;
}

namespace {

bool even(int v) { return v % 2 == 0; }

// d (or e) = first, or second when first exceeds 1.
float edge(float first, float second) { return first > 1 ? second : first; }

}  // namespace

StageResult evaluateStage(const StageGeometry& g, const StageParams& p, StagePoint& pt, bool remap) {
    const float Sv = g.cellV, Sh = g.cellH;
    const float alpha = g.alpha, beta = g.beta;

    // Triangle waves skew the cell rows and columns.
    const float l = pt.Y - static_cast<float>(p.offY);
    const float u = pt.X - static_cast<float>(p.offX);
    const int t = stripFloor(l / Sv);
    const float gs = even(t) ? u + alpha * (l - Sv * static_cast<float>(t))
                             : u + alpha * (Sv * static_cast<float>(t + 1) - l);
    const int b = stripFloor(u / Sh);
    const float f = even(b) ? l - beta * (u - Sh * static_cast<float>(b))
                            : l - beta * (Sh * static_cast<float>(b + 1) - u);
    const int Ei = stripFloor(gs / g.cellH2);
    const int Ki = stripFloor(f / g.cellV2);
    const float E = static_cast<float>(Ei), Kc = static_cast<float>(Ki);

    const float Gt = l - beta * u;
    const float M = g.cellV2 * Kc;
    const float N = g.c24 * E;
    const float O = Gt - (g.c0 + M - N);
    const float P = l + beta * u + g.c36;
    const float A = P - (N + g.c4 + M);
    const float R = u - alpha * l + g.c40;
    const float U = g.cellH2 * E;
    const float V = g.c8 * Kc;
    const float Yq = R - (g.c20 + U - V);
    const float Wq = u + alpha * l;
    const float Xq = Wq - (V + g.c16 + U);

    const float* s = g.shade;
    StageResult r;
    float d, e;
    if (O >= 0 && Yq < 0) {
        r.piece = Piece::A;
        if (remap) {
            pt.Y = g.zoom * (g.ratio * (N + (Gt - M) - g.c0) + g.c0 * (2 * Kc + 1));
            pt.X = g.zoom * ((V + R - U) * g.ratio + 2 * E * g.c16);
        }
        const float w = g.sideWidth;
        d = edge(O / w + 0.5f, 0.5f - (O - g.c4) / w);
        e = edge(0.5f - Yq / w, (g.c20 + Yq) / w + 0.5f);
        d = std::clamp(d, 0.0f, 1.0f);
        e = std::clamp(e, 0.0f, 1.0f);
        r.Sd = e * s[0] * (1 - d) + (1 - e) * s[3] * d + (1 - e) * s[1] * (1 - d) + e * s[2] * d;
        r.L = 1 - g.ratio * (g.la * O - g.lb * Yq);
        r.su = g.ratio * O / g.c0;
        r.sv = -(Yq / g.c16 * g.ratio);
    } else if (O < 0 && Xq < 0) {
        r.piece = Piece::B;
        if (remap) {
            pt.Y = g.zoom * (N + Gt + g.c12 * Kc);
            pt.X = g.zoom * (Wq + E * g.c28 - V);
        }
        const float w = g.width2;
        d = edge(0.5f - O / w, (g.c0 + O) / w + 0.5f);
        e = edge(0.5f - Xq / w, (g.c16 + Xq) / w + 0.5f);
        d = std::clamp(d, 0.0f, 1.0f);
        e = std::clamp(e, 0.0f, 1.0f);
        r.Sd = e * (1 - d) * s[2] + d * (1 - e) * s[1] + (1 - e) * (1 - d) * s[3] + d * e * s[0];
        r.L = g.lb * Xq + g.la * O + 1;
        r.su = -O / g.c0;
        r.sv = -Xq / g.c16;
    } else if (A >= 0) {
        r.piece = Piece::C;
        if (remap) {
            pt.Y = g.zoom * (P + g.c12 * (Kc + 1) - N);
            pt.X = g.zoom * (V + R + (E + 1) * g.c28);
        }
        const float w = g.width2;
        d = edge(A / w + 0.5f, 0.5f - (A - g.c0) / w);
        e = edge(Yq / w + 0.5f, 0.5f - (Yq - g.c16) / w);
        d = std::clamp(d, 0.0f, 1.0f);
        e = std::clamp(e, 0.0f, 1.0f);
        r.Sd = e * s[1] * (1 - d) + (1 - e) * s[2] * d + (1 - e) * s[0] * (1 - d) + e * s[3] * d;
        r.L = 1 - g.la * A - g.lb * Yq;
        r.su = A / g.c0;
        r.sv = Yq / g.c16;
    } else {
        // The pieces cover the plane: what is left has Xq >= 0.
        r.piece = Piece::D;
        if (remap) {
            pt.Y = g.zoom * (g.ratio * (P - M - N) + 2 * g.c0 * Kc);
            pt.X = g.zoom * ((Wq - U - V - g.c16) * g.ratio + g.c16 * (2 * E + 1));
        }
        const float w = g.sideWidth;
        d = edge(0.5f - A / w, (g.c4 + A) / w + 0.5f);
        e = edge(Xq / w + 0.5f, 0.5f - (Xq - g.c20) / w);
        d = std::clamp(d, 0.0f, 1.0f);
        e = std::clamp(e, 0.0f, 1.0f);
        r.Sd = e * s[3] * (1 - d) + (1 - e) * s[0] * d + (1 - e) * s[2] * (1 - d) + e * s[1] * d;
        r.L = g.ratio * (g.la * A - g.lb * Xq) + 1;
        r.su = -(g.ratio * A / g.c0);
        r.sv = Xq / g.c16 * g.ratio;
    }

    pt.light = (g.lightBias + r.L + g.shadeBias) * pt.light;
    r.L = g.lightExitGain + g.lightBias + r.L;
    r.Sd = r.Sd + g.shadeBias;
    return r;
}

}  // namespace qm::plaitwork
