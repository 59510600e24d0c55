#include "framework/host/filter_description.h"
#include "tests/filters/final_pass_run.h"
#include "tools/helpshots/helpshots.h"

namespace qm::helpshots {

const char* const kResourceFolder = "lumivex";

bool render(host::Image& picture, const fw::ValueSlots& slots) {
    test::FinalPassRun run(picture.width, picture.height);
    // The lens session (its height buffers) is opened with the session.
    if (!run.opened || run.session.data == nullptr) return false;
    std::copy(picture.pixels.begin(), picture.pixels.end(), run.in.begin());
    if (run.renderSlots(slots) != noErr) return false;
    std::copy(run.out.begin(), run.out.end(), picture.pixels.begin());
    return true;
}

}  // namespace qm::helpshots
