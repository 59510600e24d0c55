#include "framework/settings/preset_export.h"

#include <cstdio>
#include <optional>

#include "framework/settings/preset_store.h"
#include "framework/settings/remembered_folder.h"
#include "platform/os/registry.h"
#include "platform/ui/common_dialogs.h"
#include "platform/ui/message_box.h"

namespace qm::fw {
namespace {

namespace reg = os::registry;

// The folder of the last export in this process, for when the registry
// cannot give it.
std::string& lastExportFolder() {
    static std::string folder;
    return folder;
}

std::string escapedName(const std::string& name) {
    std::string out;
    for (char c : name) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out;
}

std::string rememberedFolder() { return readRememberedFolder(kExportDirValue).value_or(lastExportFolder()); }

std::string fileNameOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool canRead(const std::string& path) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    std::fclose(f);
    return true;
}

bool writeFile(const std::string& path, const std::string& text) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    return std::fclose(f) == 0 && written;
}

}  // namespace

std::string presetExportText(const PresetContext& session) {
    std::string text = "REGEDIT4\r\n\r\n\r\n[HKEY_CURRENT_USER\\" + session.registryKey + "]\r\n\r\n";
    const int length = session.recordBytes();
    for (uint32_t n = 0;; ++n) {
        const PresetValue v = presetValueAt(session, n);
        if (v.result != reg::kSuccess) break;
        text += "\"" + escapedName(v.name) + "\"=hex:";
        for (int i = 0; i < length; ++i) {
            char hex[4];
            std::snprintf(hex, sizeof hex, i == 0 ? "%02x" : ",%02x", v.data[static_cast<size_t>(i)]);
            text += hex;
        }
        text += "\r\n";
    }
    return text;
}

std::string defaultExportName(std::string_view keyPath) {
    const size_t last = keyPath.find_last_of('\\');
    if (last == std::string_view::npos || last == 0) return "Presets";
    return std::string(keyPath.substr(last + 1)) + " Presets";
}

ExportOutcome exportPresets(void* owner, const PresetContext& session) {
    ui::FileDialogOptions options;
    options.owner = owner;
    options.title = kExportTitle;
    options.filters = {{"*.reg", "*.reg;"}};
    options.initialFolder = rememberedFolder();
    options.fileName = defaultExportName(session.registryKey);
    options.defaultExtension = "reg";

    std::optional<std::string> path;
    for (;;) {
        path = ui::saveFileDialog(options);
        if (!path) return ExportOutcome::Cancelled;
        if (!canRead(*path)) break;
        if (ui::messageBox(owner, kReplaceQuestion, fileNameOf(*path),
                           ui::kMbOkCancel | ui::kMbIconQuestion) == ui::kIdOk)
            break;
    }

    if (!writeFile(*path, presetExportText(session))) {
        // Silence here would leave the user believing the presets are saved.
        ui::messageBox(owner, "The presets could not be written to " + *path, "Error",
                       ui::kMbIconError);
        return ExportOutcome::Failed;
    }
    const std::string folder = folderPart(*path);
    lastExportFolder() = folder;
    writeRememberedFolder(kExportDirValue, folder, false);
    return ExportOutcome::Written;
}

}  // namespace qm::fw
