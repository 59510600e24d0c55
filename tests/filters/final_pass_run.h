// The framework's final pass of an earlier-variant filter, as it runs after
// the dialog, with a settings record of the test's choosing: a host record
// over the test's buffers, a filter session and the render loop. Each
// filter's harness adds its own session buffers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "framework/host/filter_session.h"
#include "framework/host/preview_geometry.h"
#include "framework/host/render_loop.h"
#include "framework/host/render_state.h"
#include "framework/settings/record.h"
#include "platform/pluginapi/pluginapi.h"

namespace qm::test {

struct FinalPassRun {
    // padding: bytes after each row; 0 keeps every buffer exactly as large as
    // the image, so a sanitizer sees any access outside it.
    FinalPassRun(int w, int h, int planes = 3, bool withMask = false, int padding = 0)
        : width(w), height(h), stride(w * planes + padding) {
        in.assign(static_cast<size_t>(stride) * static_cast<size_t>(h), 0);
        out.assign(in.size(), 0);
        fr.imageSize = {static_cast<int16_t>(h), static_cast<int16_t>(w)};
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
        const fw::PreviewGeometry g = fw::earlierPreviewGeometry(w, h);
        session.previewScale = static_cast<float>(g.previewScale);
        session.imageSizeFactor = g.imageSizeFactor;
        state = std::make_unique<fw::RenderState>(session, f.passCount, f.format.length);
        session.renderState = state.get();
    }
    FinalPassRun(const FinalPassRun&) = delete;
    FinalPassRun& operator=(const FinalPassRun&) = delete;

    int16_t renderSlots(const fw::ValueSlots& slots) {
        fw::packFields(session.settings.data(), session.format, slots);
        fw::sealRecord(session.settings.data(), session.format, false);
        return fw::render(*state);
    }

    size_t index(int x, int y, int c = 0) const {
        return static_cast<size_t>(y) * static_cast<size_t>(stride) +
               static_cast<size_t>(x) * static_cast<size_t>(fr.planes) + static_cast<size_t>(c);
    }

    int width, height, stride;
    std::vector<uint8_t> in, out, mask;
    FilterRecord fr{};
    fw::FilterSession session;
    std::unique_ptr<fw::RenderState> state;
};

}  // namespace qm::test
