// File and colour dialogs.
//
// On a display they run zenity when it is installed (QUILLMERE_ZENITY names
// another program, "none" turns it off; QUILLMERE_ZENITY_TIMEOUT, seconds,
// default 300, ends one that hangs), otherwise, or when zenity fails, a
// built-in dialog. Headless runs take the answer from the script ("choose",
// "colour"); without one they answer cancelled.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/ui/surface.h"

namespace qm::ui {

struct FileFilter {
    std::string description;  // "*.jpg, *.8tx"
    std::string patterns;     // "*.jpg;*.8tx"
};

struct FileDialogOptions {
    void* owner = nullptr;  // a Window*, or anything else (ignored)
    std::string title;
    std::vector<FileFilter> filters;
    std::string initialFolder;
    std::string fileName;          // proposed name (save) or start name
    std::string defaultExtension;  // "reg": added when the chosen name has none
};

// The chosen path, or none when cancelled. A save dialog does not ask before
// replacing a file: that question is the caller's.
std::optional<std::string> openFileDialog(const FileDialogOptions& options);
std::optional<std::string> saveFileDialog(const FileDialogOptions& options);

// A colour picker starting at `initial`; none when cancelled.
std::optional<Colour> chooseColour(void* owner, Colour initial);

// The default extension rule: "name" -> "name.ext"; "name.txt" and "" unchanged.
std::string withDefaultExtension(const std::string& path, const std::string& extension);
// Whether a file name matches one of "*.jpg;*.8tx" (case-insensitive).
bool matchesPatterns(const std::string& fileName, const std::string& patterns);

}  // namespace qm::ui
