#include "platform/ui/common_dialogs.h"

#include <fnmatch.h>

#include "platform/ui/backends.h"

namespace qm::ui {
namespace {

std::optional<std::string> fileDialog(const FileDialogOptions& options, bool save) {
    detail::FileAnswer a = detail::backend().fileDialog(options, save);
    if (a.status == detail::AnswerStatus::Unavailable) a = detail::builtinFileDialog(options, save);
    if (a.status != detail::AnswerStatus::Chosen || a.path.empty()) return std::nullopt;
    return withDefaultExtension(a.path, options.defaultExtension);
}

}  // namespace

std::optional<std::string> openFileDialog(const FileDialogOptions& options) { return fileDialog(options, false); }
std::optional<std::string> saveFileDialog(const FileDialogOptions& options) { return fileDialog(options, true); }

std::optional<Colour> chooseColour(void* owner, Colour initial) {
    Window* w = asWindow(owner);
    if (!w) w = detail::activeWindow();
    detail::ColourAnswer a = detail::backend().chooseColour(w, initial);
    if (a.status == detail::AnswerStatus::Unavailable) a = detail::builtinColourDialog(w, initial);
    if (a.status != detail::AnswerStatus::Chosen) return std::nullopt;
    return a.colour & 0xFFFFFF;
}

std::string withDefaultExtension(const std::string& path, const std::string& extension) {
    const size_t slash = path.find_last_of('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (extension.empty() || name.empty() || name.find('.', 1) != std::string::npos) return path;
    return path + "." + extension;
}

bool matchesPatterns(const std::string& fileName, const std::string& patterns) {
    size_t pos = 0;
    while (pos <= patterns.size()) {
        size_t end = patterns.find(';', pos);
        if (end == std::string::npos) end = patterns.size();
        std::string p = patterns.substr(pos, end - pos);
        while (!p.empty() && p.front() == ' ') p.erase(p.begin());
        while (!p.empty() && p.back() == ' ') p.pop_back();
        if (!p.empty() && fnmatch(p.c_str(), fileName.c_str(), FNM_CASEFOLD) == 0) return true;
        pos = end + 1;
    }
    return false;
}

}  // namespace qm::ui
