#include "framework/host/dialog_runner.h"

#include "platform/pluginapi/pluginapi.h"

namespace qm::fw {

// There is no window layer yet: every dialog request is one that cannot be
// created, which the entry point reports and answers as cancelled.
bool runFilterDialog(FilterSession&, RenderState&, int16_t& result) {
    result = userCanceledErr;
    return false;
}

}  // namespace qm::fw
