#include <stdlib.h>

#include <filesystem>

#include "filters/marbleloom/texture_session.h"
#include "framework/host/filter_description.h"
#include "tests/filters/final_pass_run.h"
#include "tools/helpshots/helpshots.h"

namespace qm::helpshots {

const char* const kResourceFolder = "marbleloom";

bool render(host::Image& picture, const fw::ValueSlots& slots) {
    // The session's pattern library is opened below, on the committed
    // factory databases, instead of on the plug-in's folders.
    fw::FilterDescription filter = fw::filterDescription();
    filter.beginSession = nullptr;
    test::FinalPassRun run(picture.width, picture.height, 3, false, 0, filter);
    if (!run.opened) return false;
    std::copy(picture.pixels.begin(), picture.pixels.end(), run.in.begin());
    char shared[] = "/tmp/qm-helpshots-XXXXXX";
    if (!mkdtemp(shared)) return false;
    const marbleloom::PatternFolders folders{QM_SOURCE_DIR "/resources/marbleloom/patterns/",
                                             std::string(shared) + "/"};
    run.session.data = marbleloom::openTextureSession(run.session, test::noResources(), folders);
    const bool ok = run.session.data != nullptr && run.renderSlots(slots) == noErr;
    std::filesystem::remove_all(shared);
    if (ok) std::copy(run.out.begin(), run.out.end(), picture.pixels.begin());
    return ok;
}

}  // namespace qm::helpshots
