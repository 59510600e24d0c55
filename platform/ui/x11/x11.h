// The x11 backend: one Xlib window per shown top-level window, showing its
// composed surface with XPutImage; X events become the messages of
// messages.h. A display that goes away ends the dialogs as cancelled (the
// I/O error exit handler returns instead of exiting the host).
#pragma once

#include <cstdint>

namespace qm::ui {
class Window;
}

namespace qm::ui::x11 {

// Whether the running backend is x11.
bool active();
// The X window id showing a top-level window, 0 when none (for tests that
// look at the real screen).
unsigned long nativeWindow(const Window& w);
// Whether the display was lost.
bool displayLost();
// XSync: everything sent so far has been done by the server.
void sync();

}  // namespace qm::ui::x11
