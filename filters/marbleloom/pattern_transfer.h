// The pattern editor's import and export: a picture from a JPEG or .8tx file
// into the editor, and the edited pattern's JPEG stream out to a file. Each
// command is split into its dialogs and a part that works on a chosen path,
// so the logic runs without a display.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "filters/marbleloom/pattern_library.h"
#include "filters/marbleloom/texture_session.h"

namespace qm::ui {
class Window;
}

namespace qm::marbleloom {

constexpr const char* kImportDirValue = "TexturesImportDir";
constexpr const char* kExportDirValue = "TexturesExportDir";

namespace transfer_text {
constexpr const char* kImportTitle = "Choose a pattern file";
constexpr const char* kExportTitle = "Choose a file name";
constexpr const char* kReplaceQuestion = "This file already exists.\n Replace existing file?";
constexpr const char* kWarningCaption = "Warning";
constexpr const char* kErrorCaption = "Error";
}  // namespace transfer_text

// A folder remembered under "Software\\Quillmere": read from the current
// user's hive (400 bytes at most; missing: empty); written, as the folder
// part of path (up to and including its last '/'), to both hives.
std::string rememberedFolder(const char* valueName);
void rememberFolderOf(const char* valueName, std::string_view path);

// The name box text for an imported file: its name without folder, cut
// before its first '.' (a leading dot does not count), at most 23 characters.
std::string importedName(std::string_view path);
// The proposed export file: the name (at most 23 characters) with everything
// but letters and digits removed, + ".jpg". "Old Bark!" -> "OldBark.jpg".
std::string exportFileName(std::string_view name);

struct ImportOutcome {
    bool imported = false;  // a picture came in (not "default raw")
    std::string name;       // for the name box; empty when nothing was chosen
    std::string problem;    // why the file gave "default raw", for the user
};

// The import after the file dialog: the file's first pattern (or the whole
// JFIF JPEG file) into ts.imported with identity 0, loaded into ts.editor,
// and its folder remembered. Anything unreadable gives "default raw" and a
// problem sentence.
ImportOutcome importPatternFile(TextureSession& ts, const std::string& path, const SlotContext& context);
// The whole command: the file dialog (cancel: nothing happens), the import,
// and a warning box when the file gave "default raw".
ImportOutcome importPattern(TextureSession& ts, ui::Window* owner, const SlotContext& context);

enum class ExportResult { Written, Cancelled, NoPicture, WriteFailed };

// Asked when the chosen file exists; true replaces it.
using ReplaceQuestion = std::function<bool(const std::string& path)>;

// The export after the file dialog: the replace question, the editor's
// stream (encoded at quality 100 first when the slot has none) written
// unchanged through a temporary file beside the target, then the folder
// remembered. A failure leaves the target as it was and reports nothing.
ExportResult exportPatternTo(TextureSession& ts, const std::string& path, const ReplaceQuestion& replace);
// The whole command: the file dialog with the name proposed from `name`,
// the question in a message box, and an error box when the file cannot be
// written (a silent failure would let the user believe the export worked).
ExportResult exportPattern(TextureSession& ts, std::string_view name, ui::Window* owner);

}  // namespace qm::marbleloom
