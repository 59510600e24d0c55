// The fuzz targets never remove a pattern, so no message box is ever asked
// for; linking this instead of the windowing layer keeps the fuzz build to
// the reader's own code. Reaching it is a fault.
#include <cstdlib>

#include "platform/ui/message_box.h"

namespace qm::ui {

int messageBox(void*, std::string_view, std::string_view, uint32_t) { std::abort(); }

}  // namespace qm::ui
