// Drives Lumivex's final pass as the framework runs it after its dialog, with
// a settings record of the test's choosing: a host record over the test's
// buffers, a filter session with the lens buffers, and the render loop.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "filters/lumivex/height_buffers.h"
#include "filters/lumivex/lens_passes.h"
#include "filters/lumivex/lens_prepare.h"
#include "filters/lumivex/lens_settings.h"
#include "filters/lumivex/lumivex_filter.h"
#include "framework/host/filter_session.h"
#include "framework/host/preview_geometry.h"
#include "framework/host/render_loop.h"
#include "framework/host/render_state.h"
#include "framework/settings/record.h"
#include "platform/pluginapi/pluginapi.h"

namespace qm::lumivex::test {

struct LensRun {
    // padding: bytes after each row; 0 keeps every buffer exactly as large as
    // the image, so a sanitizer sees any read outside it.
    LensRun(int w, int h, int planes = 3, bool withMask = false, int padding = 0)
        : width(w), height(h), stride(w * planes + padding) {
        in.assign(static_cast<size_t>(stride) * static_cast<size_t>(h), 0);
        out.assign(in.size(), 0);
        fr.imageSize = {h, w};
        fr.planes = static_cast<int16_t>(planes);
        fr.imageMode = RGBMode;
        fr.inData = in.data();
        fr.outData = out.data();
        fr.inRowBytes = fr.outRowBytes = stride;
        if (withMask) {
            mask.assign(static_cast<size_t>(w) * static_cast<size_t>(h), 255);
            fr.haveMask = true;
            fr.maskData = mask.data();
            fr.maskRowBytes = w;
        }
        const fw::FilterDescription& f = fw::filterDescription();
        session.record = &fr;
        session.filter = &f;
        session.format = f.format;
        session.planes = planes;
        session.registryKey = f.registryKey;
        session.previewScale = static_cast<float>(fw::earlierPreviewGeometry(w, h).previewScale);
        ok = beginLensSession(session);
        state = std::make_unique<fw::RenderState>(session, f.passCount, f.format.length);
        session.renderState = state.get();
    }
    ~LensRun() { endLensSession(session); }
    LensRun(const LensRun&) = delete;
    LensRun& operator=(const LensRun&) = delete;

    int16_t renderSlots(const fw::ValueSlots& slots) {
        fw::packFields(session.settings.data(), session.format, slots);
        fw::sealRecord(session.settings.data(), session.format, false);
        return fw::render(*state);
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
    size_t index(int x, int y, int c) const {
        return static_cast<size_t>(y) * static_cast<size_t>(stride) +
               static_cast<size_t>(x) * static_cast<size_t>(fr.planes) + static_cast<size_t>(c);
    }

    int width, height, stride;
    bool ok = false;
    std::vector<uint8_t> in, out, mask;
    FilterRecord fr{};
    fw::FilterSession session;
    std::unique_ptr<fw::RenderState> state;
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
