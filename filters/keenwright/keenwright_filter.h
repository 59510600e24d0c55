// The Keenwright filter on the framework: the preparation step and the four
// passes (load, smoothing and mask, sharpening, output).
#pragma once

#include <cstdint>

#include "filters/keenwright/keenwright_settings.h"
#include "filters/keenwright/sharpen_kernel.h"
#include "framework/host/filter_description.h"
#include "framework/host/render_state.h"

namespace qm::fw {
struct FilterSession;
}

namespace qm::keenwright {

// Budget f and reach a for the settings at view factor x.
int budgetFor(int radius, double x);
int reachFor(int blur, double x);
KernelInputs kernelInputsFor(const Settings& settings, const fw::SourceView& view,
                             double previewScale, int width, int height);

// One filter session's state: the kernel (its cached smoothing lasts from
// one render of the session to the next) and what the preparation step
// decided for the current render.
struct SharpenSession : fw::FilterData {
    SharpenKernel kernel;
    Sharpening sharpening;
    bool previewOff = false;  // this render shows the unfiltered image
};
SharpenSession& sharpenSessionOf(const fw::FilterSession& session);

// The filter's two steps, as the framework calls them.
int prepareRender(fw::RenderState& state);
void renderPixel(fw::RenderState& state);

}  // namespace qm::keenwright
