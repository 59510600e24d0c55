// The Keenwright filter on the framework: its settings, the preparation step
// and the four passes (load, smoothing and mask, sharpening, output).
#pragma once

#include <cstdint>

#include "filters/keenwright/sharpen_kernel.h"
#include "framework/host/filter_description.h"
#include "framework/host/render_state.h"
#include "framework/settings/record.h"

namespace qm::keenwright {

// Value slots of the settings (the dialog's control order).
enum Slot : int {
    kRadius = 0,
    kPreview = 1,
    kAmount = 7,
    kMask = 8,
    kBlur = 9,
    kHalo = 10,
    kBalance = 11,
};

// The decoded settings limited to what their controls can hold (sliders
// 0..150, selectors 0..3), as a record with larger values would show in the
// dialog.
struct Settings {
    int radius = 0, preview = 0, amount = 0, mask = 0, blur = 0, halo = 0, balance = 0;
};
Settings limitedSettings(const fw::ValueSlots& values);

// The scale of the view relative to the region: the whole image and the
// 100 % zoom at previewScale, 200 % twice and 50 % half of it, Fit 1.
double viewFactor(const fw::SourceView& view, double previewScale);
// Budget f and reach a for the settings at view factor x.
int budgetFor(int radius, double x);
int reachFor(int blur, double x);
KernelInputs kernelInputsFor(const Settings& settings, const fw::SourceView& view,
                             double previewScale, int width, int height);

// Version-1 records get Mask and Halo switched on (and a new check value);
// their version byte is brought up to date when they are next stored.
void upgradeVersion1Record(uint8_t* record);

// The library's kernel (its cached smoothing lasts within a filter session).
SharpenKernel& libraryKernel();

// The filter's two steps, as the framework calls them.
int prepareRender(fw::RenderState& state);
void renderPixel(fw::RenderState& state);

}  // namespace qm::keenwright
