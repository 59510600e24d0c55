// The headless dialog's input script (--ui-script FILE).
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui/headless/script.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<qm::ui::script::Action> actions;
    std::string error;
    const bool ok = qm::ui::script::parse(std::string_view(reinterpret_cast<const char*>(data), size), actions, error);
    if (!ok && error.rfind("line ", 0) != 0) abort();  // every refusal names its line
    return 0;
}
