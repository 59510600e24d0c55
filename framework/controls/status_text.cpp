#include "framework/controls/status_text.h"

namespace qm::fw {

std::string_view statusText(std::string_view label, int part) {
    const size_t at = label.find('@');
    if (part == 1) return label.substr(0, at).substr(0, kMaxStatusText);
    if (part == 2 && at != std::string_view::npos) return label.substr(at + 1);
    return {};
}

}  // namespace qm::fw
