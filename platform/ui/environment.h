// How a plug-in's window layer finds its display.
//
// Every plug-in carries its own copy of this layer, and the host shares no
// code with it, so the choice is made inside the plug-in, once, on the first
// use of a window, a message box or a dialog, from the environment that the
// host (or the user) set before loading it:
//
//   QUILLMERE_HEADLESS=1        no display, whatever DISPLAY says
//   DISPLAY                     the X display of the x11 backend
//   QUILLMERE_UI_SCRIPT=FILE    input script of the headless backend (see
//                               headless/script.h); setting it implies headless
//   QUILLMERE_SCREENSHOTS=DIR   PNG screenshots: at each "mark" of the script,
//                               or, with no marks, of the window after each paint
//                               (created when missing)
//   QUILLMERE_SCREEN=WxH        the headless screen (default 1280x1024)
//   QUILLMERE_ZENITY=PROGRAM    file and colour dialogs on a display ("none": built-in)
//   QUILLMERE_ZENITY_TIMEOUT=S  seconds before such a dialog is given up (default 300)
//
// x11 runs when DISPLAY is set and neither QUILLMERE_HEADLESS nor
// QUILLMERE_UI_SCRIPT is; headless otherwise, and also when the display
// cannot be opened (said once on stderr). `quillmere apply --ui-script FILE`
// sets QUILLMERE_HEADLESS and QUILLMERE_UI_SCRIPT, `--screenshot DIR` sets
// QUILLMERE_SCREENSHOTS.
#pragma once

namespace qm::ui {

constexpr const char* kEnvHeadless = "QUILLMERE_HEADLESS";
constexpr const char* kEnvScript = "QUILLMERE_UI_SCRIPT";
constexpr const char* kEnvScreenshots = "QUILLMERE_SCREENSHOTS";
constexpr const char* kEnvScreen = "QUILLMERE_SCREEN";
constexpr const char* kEnvZenity = "QUILLMERE_ZENITY";
constexpr const char* kEnvZenityTimeout = "QUILLMERE_ZENITY_TIMEOUT";

enum class BackendKind { X11, Headless };
// What the environment asks for now (the backend itself is chosen once).
BackendKind requestedBackend();
// The running backend's name, "x11" or "headless" (choosing it if need be).
const char* backendName();

}  // namespace qm::ui
