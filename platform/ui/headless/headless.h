// The headless backend: a virtual screen, input from a script, message boxes
// echoed to stderr as "Caption: text" and answered by the script (OK without
// one). These calls act only when the headless backend is the running one.
#pragma once

#include <string>
#include <string_view>

#include "platform/ui/geometry.h"

namespace qm::ui::headless {

// Replaces the rest of the script. False with "NAME line N: ..." when it
// does not parse; the old script is then gone as well.
bool loadScript(std::string_view text, std::string& error, std::string_view name = "script");
// The virtual screen's size (the default is 1280 x 1024 or QUILLMERE_SCREEN).
void setScreenSize(Size size);
// Whether the running backend is the headless one.
bool active();
// Problems met while running the script ("script line 4: no control 1033"),
// also printed on stderr; cleared by loadScript.
const std::string& lastScriptError();

}  // namespace qm::ui::headless
