// Making the backends, and the built-in dialogs a backend falls back on.
// Inside the window layer only.
#pragma once

#include <memory>
#include <string>

#include "platform/ui/internal.h"

namespace qm::ui::detail {

std::unique_ptr<Backend> createHeadlessBackend();
// Null with a reason when the display cannot be used.
std::unique_ptr<Backend> openX11Backend(std::string& error);

// Dialogs drawn by this layer, for a display without zenity.
int builtinMessageBox(Window* owner, std::string_view text, std::string_view caption, uint32_t flags);
FileAnswer builtinFileDialog(const FileDialogOptions& options, bool save);
ColourAnswer builtinColourDialog(Window* owner, Colour initial);

// "Caption: text" and the answer when nobody can see the box.
int unseenMessageBox(std::string_view text, std::string_view caption, uint32_t flags, int answer);

}  // namespace qm::ui::detail
