#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "platform/ui/backends.h"
#include "platform/ui/environment.h"
#include "platform/ui/message_box.h"

namespace qm::ui {

namespace {

bool isSet(const char* name) {
    const char* v = std::getenv(name);
    return v && *v && std::string_view(v) != "0";
}

}  // namespace

BackendKind requestedBackend() {
    if (isSet(kEnvHeadless) || isSet(kEnvScript)) return BackendKind::Headless;
    return isSet("DISPLAY") ? BackendKind::X11 : BackendKind::Headless;
}

const char* backendName() { return detail::backend().name(); }

namespace detail {

Backend& backend() {
    static const std::unique_ptr<Backend> chosen = [] {
        if (requestedBackend() == BackendKind::X11) {
            std::string error;
            if (auto x = openX11Backend(error)) return x;
            std::fprintf(stderr, "quillmere: %s; running without a display\n", error.c_str());
        }
        return createHeadlessBackend();
    }();
    return *chosen;
}

int unseenMessageBox(std::string_view text, std::string_view caption, uint32_t flags, int answer) {
    echoMessageBox(text, caption);
    // A box with only OK answers OK whatever was asked.
    return (flags & 0x0F) == kMbOkCancel ? answer : kIdOk;
}

}  // namespace detail
}  // namespace qm::ui
