#include "platform/ui/message_box.h"

#include <cstdio>
#include <string>

#include "platform/ui/internal.h"

namespace qm::ui {

void echoMessageBox(std::string_view text, std::string_view caption) {
    std::string line;
    line.reserve(caption.size() + text.size() + 3);
    line.append(caption).append(": ").append(text).push_back('\n');
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

int messageBox(void* owner, std::string_view text, std::string_view caption, uint32_t flags) {
    Window* w = asWindow(owner);
    if (!w) w = detail::activeWindow();
    return detail::backend().messageBox(w, text, caption, flags);
}

}  // namespace qm::ui
