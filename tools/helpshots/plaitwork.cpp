#include "framework/host/filter_description.h"
#include "tests/filters/final_pass_run.h"
#include "tools/helpshots/helpshots.h"

namespace qm::helpshots {

const char* const kResourceFolder = "plaitwork";

bool render(host::Image& picture, const fw::ValueSlots& slots) {
    test::FinalPassRun run(picture.width, picture.height);
    if (!run.opened) return false;
    // The host's colours a run gets by default: black and white.
    const uint8_t white[3] = {255, 255, 255};
    std::copy_n(white, 3, run.fr.backColor);
    std::copy(picture.pixels.begin(), picture.pixels.end(), run.in.begin());
    if (run.renderSlots(slots) != noErr) return false;
    std::copy(run.out.begin(), run.out.end(), picture.pixels.begin());
    return true;
}

}  // namespace qm::helpshots
