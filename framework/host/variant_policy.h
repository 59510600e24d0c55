// Where the two framework variants differ, as one value a filter's
// description carries. The shared code reads it; nothing else asks which
// variant a filter is.
#pragma once

namespace qm::fw {

// How the final pass reports progress.
enum class ProgressSweep {
    PassByPass,  // done = u + (height - u) x row / height, u = (height / 2) x pass / passes
    Steady,      // done = (pass x height + row) / passes
};

struct VariantPolicy {
    // Later variant: "Last Used" and the host's scripting descriptor.
    bool keepsSettings = true;
    // The dialog opens at every run, not only after the parameters selector.
    bool dialogAtEveryRun = false;
    // The preview is a fixed 600 x 600 area (no previewWidth, navigator or zoom).
    bool fixedPreview = false;
    // The framework allocates the working buffers (else the filter does).
    bool frameworkBuffers = true;
    // RGB48 images render at 16 bits.
    bool sixteenBit = true;
    // Preview mode: the queue is polled every pollRows rows, and the
    // progress strip's step total is rows x passes / stepDivisor.
    int pollRows = 8;
    int stepDivisor = 7;
    ProgressSweep sweep = ProgressSweep::PassByPass;
    // Images with a side below it are refused with "Image size is too small"
    // (0: no limit).
    int minimumSide = 0;
    // The warning for an unsupported image mode; null: modes are not tested.
    const char* modeMessage = nullptr;
    // User presets and "PluginsDir" go to HKEY_LOCAL_MACHINE as well, and a
    // delete removes a preset from both; the list reads the current user's.
    bool bothHives = false;
    // The caption ends in the build's word size and the image's mode.
    bool captionSuffixes = true;
    // Help opens the help file the plug-in carries, not its help page.
    bool embeddedHelpFile = false;
    // A cancelled file dialog of the preset export closes the preset dialog.
    bool exportCancelCloses = false;
};

constexpr VariantPolicy laterVariant(const char* modeMessage) {
    VariantPolicy p;
    p.modeMessage = modeMessage;
    return p;
}

constexpr VariantPolicy earlierVariant(int minimumSide, bool dialogAtEveryRun) {
    VariantPolicy p;
    p.keepsSettings = false;
    p.dialogAtEveryRun = dialogAtEveryRun;
    p.fixedPreview = true;
    p.frameworkBuffers = false;
    p.sixteenBit = false;
    p.pollRows = 16;
    p.stepDivisor = 15;
    p.sweep = ProgressSweep::Steady;
    p.minimumSide = minimumSide;
    p.bothHives = true;
    p.captionSuffixes = false;
    p.embeddedHelpFile = true;
    p.exportCancelCloses = true;
    return p;
}

}  // namespace qm::fw
