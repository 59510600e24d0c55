// What the render loop and the preset store need of an open filter dialog.
// The dialog milestone implements it over real windows; tests use fakes.
#pragma once

#include <cstdint>

#include "framework/settings/slot_controls.h"

namespace qm::fw {

struct RenderState;

class DialogLink {
public:
    virtual ~DialogLink() = default;

    virtual SlotControls& controls() = 0;

    // Before the preparation step of a preview render: the view the
    // navigator and the zoom buttons chose (state.view) and the region's
    // size, also kept as the preview's rendered size. The default is the
    // Fit view at the preview's rendered size.
    virtual void chooseView(RenderState&) {}

    // Between rows of a preview render: takes the first waiting mouse message
    // (0x0200..0x020E) of the dialog out of the queue and offers it to the
    // controls. True when a control consumed it: the render is abandoned and
    // restarts. Otherwise the message is dropped, and one waiting private
    // message (0x0500) is taken out and dropped as well.
    virtual bool pollMouse() = 0;

    // Progress strip: cleared before a render, advanced one step every 8 (16)
    // rows towards stepTotal, cleared by the 50 ms timer 1000 after a render.
    virtual void clearProgress() = 0;
    virtual void advanceProgress(int stepTotal) = 0;
    virtual void startProgressTimer() = 0;

    // Preview toggle: switched back on before a render when a control asked.
    virtual void restorePreviewToggleIfRequested() = 0;
    virtual void enableZoomButtons() = 0;
    // The preview is redrawn (its display converted and shown).
    virtual void redrawPreview() = 0;
    // New settings were loaded: mark the preview stale and ask for a paint.
    virtual void requestRedraw() = 0;
};

}  // namespace qm::fw
