#include "framework/host/entry.h"

#include "framework/host/filter_session.h"
#include "framework/host/render_loop.h"
#include "framework/host/render_state.h"
#include "framework/settings/random_source.h"
#include "platform/os/clock.h"
#include "platform/os/resources.h"
#include "platform/pluginapi/pluginapi.h"
#include "platform/ui/message_box.h"

namespace qm::fw {
namespace {

int16_t continueFilter(const FilterDescription& filter, FilterRecord& fr) {
    if (!fr.inData || !fr.outData || (fr.haveMask && !fr.maskData)) return memFullErr;
    LibraryState& lib = libraryState();

    FilterSession session;
    int16_t result = openFilterSession(session, filter, fr, os::thisModule());
    if (result == noErr) {
        const bool showDialog = lib.showDialogFlag || session.scriptingAskedDialog;
        if (showDialog) {
            lib.showDialogFlag = false;
            seedRandom(os::tickCount());
            const DialogSpec& dialog = filter.dialog;
            if (!dialog.run || !dialog.run(session, *session.renderState, result)) {
                ui::messageBox(fr.platformData, "E", "", ui::kMbOk);
                result = userCanceledErr;
            }
        }
        if (result == noErr) result = render(*session.renderState);
    }
    closeFilterSession(session, result);
    return result;
}

}  // namespace

void handleSelector(const FilterDescription& filter, int16_t selector, void* record,
                    intptr_t* /*data*/, int16_t* result) {
    LibraryState& lib = libraryState();
    if (filter.variant.dialogAtEveryRun) lib.showDialogFlag = true;
    int16_t code = noErr;
    auto* fr = static_cast<FilterRecord*>(record);
    switch (selector) {
        case filterSelectorParameters:
            lib.showDialogFlag = true;
            break;
        case filterSelectorStart:
            if (fr) code = startFilter(filter, *fr);
            break;
        case filterSelectorContinue:
            if (fr) code = continueFilter(filter, *fr);
            break;
        default:  // about, prepare, finish: nothing to do
            break;
    }
    if (result) *result = code;
}

}  // namespace qm::fw
