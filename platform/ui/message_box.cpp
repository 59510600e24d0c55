#include "platform/ui/message_box.h"

#include <cstdio>
#include <string>

namespace qm::ui {

int messageBox(void* /*owner*/, std::string_view text, std::string_view caption,
               uint32_t /*flags*/) {
    std::string line;
    line.reserve(caption.size() + text.size() + 3);
    line.append(caption).append(": ").append(text).push_back('\n');
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
    return kIdOk;
}

}  // namespace qm::ui
