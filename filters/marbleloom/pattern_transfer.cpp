#include "filters/marbleloom/pattern_transfer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <optional>

#include "filters/marbleloom/pattern_database.h"
#include "framework/settings/remembered_folder.h"
#include "platform/os/files.h"
#include "platform/ui/common_dialogs.h"
#include "platform/ui/message_box.h"

namespace qm::marbleloom {
namespace {

std::string fileNameOf(std::string_view path) {
    const size_t slash = path.find_last_of('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

// Why loadEntry gave "default raw" for this file.
std::string importProblem(const std::string& path) {
    if (path.size() > kMaxPathLength) return "Its path is longer than 400 characters.";
    if (os::isFolder(path)) return "It is a folder, not a file.";
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return "The file cannot be opened.";
    uint8_t start[4] = {};
    const size_t n = std::fread(start, 1, sizeof start, f);
    std::fclose(f);
    if (n == 4 && start[0] == 0xFF && start[1] == 0xD8 && start[2] == 0xFF) {
        if (start[3] == 0xE0)
            return "Its JPEG picture cannot be decoded: it may be cut short, too large, or neither a colour nor a "
                   "grey picture.";
        if (start[3] == 0xE1)
            return "It is an Exif camera JPEG file; Exif camera JPEG files without a JFIF marker are not read.";
        return "It is a JPEG file without a JFIF marker; only JFIF JPEG files are read.";
    }
    const uint32_t magic = uint32_t{start[0]} | uint32_t{start[1]} << 8 | uint32_t{start[2]} << 16 |
                           uint32_t{start[3]} << 24;
    if (n == 4 && magic == kPatternMagic) return "It is a pattern database whose first pattern cannot be read.";
    return "It is neither a pattern database (.8tx) nor a JFIF JPEG file.";
}

// The bytes to a temporary file beside path, then renamed over it: a
// failure at any point leaves path as it was and no temporary file behind.
bool writeReplacing(const std::string& path, const uint8_t* data, size_t size) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && (S_ISDIR(st.st_mode) || ::access(path.c_str(), W_OK) != 0))
        return false;  // what opening it for writing would refuse
    const std::string folder = fw::folderPart(path);
    std::string temp;
    int fd = -1;
    for (int n = 0; n < 100 && fd < 0; ++n) {
        temp = folder + ".quillmere-export-" + std::to_string(::getpid()) + "-" + std::to_string(n);
        // 0666 under the umask, as a file written directly would get.
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) return false;
    }
    if (fd < 0) return false;
    bool ok = true;
    for (size_t done = 0; ok && done < size;) {
        const ssize_t w = ::write(fd, data + done, size - done);
        if (w > 0)
            done += static_cast<size_t>(w);
        else if (w < 0 && errno != EINTR)
            ok = false;
    }
    ok = ::fsync(fd) == 0 && ok;
    ok = ::close(fd) == 0 && ok;
    ok = ok && ::rename(temp.c_str(), path.c_str()) == 0;
    if (!ok) ::unlink(temp.c_str());
    return ok;
}

}  // namespace

std::string rememberedFolder(const char* valueName) { return fw::readRememberedFolder(valueName).value_or(""); }

void rememberFolderOf(const char* valueName, std::string_view path) {
    fw::writeRememberedFolder(valueName, fw::folderPart(path), true);
}

std::string importedName(std::string_view path) {
    std::string name = fileNameOf(path);
    if (const size_t dot = name.find('.', 1); dot != std::string::npos) name.resize(dot);
    if (name.size() > kNameLength) name.resize(kNameLength);
    return name;
}

std::string exportFileName(std::string_view name) {
    return collectionBaseName(name.substr(0, std::min(name.size(), kNameLength))) + ".jpg";
}

ImportOutcome importPatternFile(TextureSession& ts, const std::string& path, const SlotContext& context) {
    if (!ts.imported) ts.imported = std::make_unique<PatternEntry>();
    PatternEntry& e = *ts.imported;
    // A leading ':' would name "Input Image"; a chosen file is never that.
    const std::string file = !path.empty() && path[0] == ':' ? "./" + path : path;
    loadEntry(e, file, 0, {});
    // A JFIF file whose picture does not decode has nothing to show either.
    if (!e.path.empty() && e.noPixels != 0) loadEntry(e, "", 0, {});

    ImportOutcome out;
    out.name = importedName(path);
    out.imported = !e.path.empty();
    if (!out.imported) out.problem = importProblem(file);

    // A new pattern: its identity comes from its stream when it is added.
    e.header.identity = 0;
    // The editor may hold this same entry from an earlier import, which an
    // identity of 0 would not load again.
    ts.editor.unload();
    ts.editor.load(e, context);
    rememberFolderOf(kImportDirValue, path);
    return out;
}

ImportOutcome importPattern(TextureSession& ts, ui::Window* owner, const SlotContext& context) {
    ui::FileDialogOptions options;
    options.owner = owner;
    options.title = transfer_text::kImportTitle;
    options.filters = {{"*.jpg, *.8tx", "*.jpg;*.8tx"}};
    options.initialFolder = rememberedFolder(kImportDirValue);
    const std::optional<std::string> path = ui::openFileDialog(options);
    if (!path) return {};
    ImportOutcome out = importPatternFile(ts, *path, context);
    if (!out.problem.empty())
        ui::messageBox(owner,
                       *path + "\n\n" + out.problem + "\nIt was imported as \"default raw\", a uniform colour.",
                       transfer_text::kWarningCaption, ui::kMbOk | ui::kMbIconWarning);
    return out;
}

ExportResult exportPatternTo(TextureSession& ts, const std::string& path, const ReplaceQuestion& replace) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && !(replace && replace(path))) return ExportResult::Cancelled;
    PatternSlot& slot = ts.editor;
    if (slot.entry() == nullptr) return ExportResult::NoPicture;
    // A virtual pattern has no stream of its own.
    if (slot.stream() == nullptr) slot.encode(100);
    if (slot.stream() == nullptr) return ExportResult::NoPicture;
    if (!writeReplacing(path, slot.stream(), slot.streamLength())) return ExportResult::WriteFailed;
    rememberFolderOf(kExportDirValue, path);
    return ExportResult::Written;
}

ExportResult exportPattern(TextureSession& ts, std::string_view name, ui::Window* owner) {
    // Nothing to export: no dialog for it.
    if (ts.editor.entry() == nullptr || (ts.editor.stream() == nullptr && !ts.editor.hasPixels()))
        return ExportResult::NoPicture;
    ui::FileDialogOptions options;
    options.owner = owner;
    options.title = transfer_text::kExportTitle;
    options.filters = {{"*.jpg", "*.jpg"}};
    options.initialFolder = rememberedFolder(kExportDirValue);
    options.fileName = exportFileName(name);
    options.defaultExtension = "jpg";
    const std::optional<std::string> path = ui::saveFileDialog(options);
    if (!path) return ExportResult::Cancelled;
    const ExportResult result = exportPatternTo(ts, *path, [owner](const std::string& p) {
        return ui::messageBox(owner, transfer_text::kReplaceQuestion, fileNameOf(p),
                              ui::kMbOkCancel | ui::kMbIconQuestion) == ui::kIdOk;
    });
    if (result == ExportResult::WriteFailed)
        ui::messageBox(owner, "The pattern could not be written to " + *path, transfer_text::kErrorCaption,
                       ui::kMbOk | ui::kMbIconError);
    return result;
}

}  // namespace qm::marbleloom
