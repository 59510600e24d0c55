// Screenshots: what a window or the whole screen shows, as our layer
// composes it (a window's client area with its shown children on top; the
// screen with every shown top-level window and its frame), and PNG files.
#pragma once

#include <string>

#include "platform/ui/surface.h"
#include "platform/ui/window.h"

namespace qm::ui {

Surface composeWindow(const Window& w);
// The screen of screenSize(): the desktop colour below the windows.
Surface composeScreen();
constexpr Colour kDesktopColour = rgb(58, 110, 165);

// 8-bit RGB PNG.
bool writePng(const Surface& s, const std::string& path, std::string& error);
// Any PNG libpng reads, as 24-bit RGB (alpha dropped).
bool readPng(const std::string& path, Surface& out, std::string& error);

}  // namespace qm::ui
