// Drives Lumivex's final pass as the framework runs it after its dialog, with
// a settings record of the test's choosing and the lens buffers.
#pragma once

#include <cstdint>

#include "filters/lumivex/height_buffers.h"
#include "filters/lumivex/lens_passes.h"
#include "filters/lumivex/lens_prepare.h"
#include "filters/lumivex/lens_settings.h"
#include "filters/lumivex/lumivex_filter.h"
#include "tests/filters/final_pass_run.h"

namespace qm::lumivex::test {

struct LensRun : qm::test::FinalPassRun {
    LensRun(int w, int h, int planes = 3, bool withMask = false, int padding = 0)
        : FinalPassRun(w, h, planes, withMask, padding) {
        ok = opened && session.data != nullptr;
    }
    // The state of a new filter session (the old one freed first).
    bool renew() {
        session.data.reset();
        session.data = beginLensSession(session);
        return session.data != nullptr;
    }

    int16_t render(const LensSettings& s) {
        fw::ValueSlots slots{};
        encodeLensSettings(s, slots);
        return renderSlots(slots);
    }

    // The final pass's region and preparation without the loop, so a test can
    // run single passes.
    int prepare(const LensSettings& s) {
        encodeLensSettings(s, state->values);
        fw::RenderRegion& r = state->region;
        r.planes = session.planes;
        r.source = in.data();
        r.sourceStride = stride;
        r.destination = out.data();
        r.destinationStride = stride;
        r.mask = mask.empty() ? nullptr : mask.data();
        r.maskStride = width;
        r.width = width;
        r.height = height;
        return prepareLens(*state);
    }
    void runPass(int pass) {
        state->pass = pass;
        for (state->row = 0; state->row < height; ++state->row)
            for (state->column = 0; state->column < width; ++state->column) renderLensPass(*state);
    }

    LensSession& lens() { return *lensSessionOf(session); }
    uint8_t& inAt(int x, int y, int c) { return in[index(x, y, c)]; }
    uint8_t& outAt(int x, int y, int c) { return out[index(x, y, c)]; }

    bool ok = false;
};

// A deterministic photo-like texture: smooth gradients with some detail.
inline void fillTexture(LensRun& run, uint32_t seed = 1) {
    uint32_t s = seed;
    for (int y = 0; y < run.height; ++y)
        for (int x = 0; x < run.width; ++x)
            for (int c = 0; c < run.fr.planes; ++c) {
                s = s * 1664525u + 1013904223u;
                const int smooth = (x * (3 + c) + y * (5 - c)) % 256;
                run.inAt(x, y, c) = static_cast<uint8_t>((smooth * 3 + static_cast<int>(s >> 26)) / 4 % 256);
            }
}

// The preset a run starts with (SIDEWAYS).
inline LensSettings sideways() {
    LensSettings s;
    s.smoothing = 60;
    s.maskRight = 160;
    s.maskLeft = 0;
    s.angle = {0, 25};
    s.deformation = 50;
    s.shiftX = 0;
    s.shiftY = 30;
    s.inclusion = 95;
    s.maskBottom = 140;
    s.maskTop = 90;
    s.previewOn = 2;
    s.skewX = 60;
    s.skewY = 30;
    return s;
}

}  // namespace qm::lumivex::test
