// One continue call's state, and the state that lasts while the library is
// loaded.
#pragma once

#include <cstdint>
#include <memory>

#include "framework/host/filter_description.h"
#include "framework/settings/preset_context.h"
#include "platform/os/resources.h"
#include "platform/pluginapi/pluginapi.h"

namespace qm::fw {

struct RenderState;
struct PreviewBuffers;
class DialogLink;

struct FilterSession : PresetContext {
    FilterSession();
    ~FilterSession() override;
    FilterSession(const FilterSession&) = delete;
    FilterSession& operator=(const FilterSession&) = delete;

    FilterRecord* record = nullptr;
    const FilterDescription* filter = nullptr;
    int planes = 3;  // P: 3 or 4, as decided at start
    float previewScale = 1.0f;
    bool scriptingAskedDialog = false;
    int imageSizeFactor = 1024;  // F of the earlier variant
    const os::ResourceModule* resources = nullptr;  // the plug-in's own resources

    // Owned for the session: the filter's state, then the render state (which
    // goes first when the session closes).
    std::unique_ptr<FilterData> data;
    std::unique_ptr<RenderState> renderState;

    // Links while a dialog is open (set through DialogScope).
    PreviewBuffers* preview = nullptr;
    DialogLink* dialog = nullptr;

    // The filter's own state, as the type its beginSession made.
    template <typename T>
    T* dataAs() const {
        return static_cast<T*>(data.get());
    }

    void showRecord() override;
    bool dialogOpen() const override { return dialog != nullptr; }
    void* messageOwner() const override { return record ? record->platformData : nullptr; }
};

// Links a dialog's preview and controls to the session while it lives.
class DialogScope {
public:
    DialogScope(FilterSession& session, PreviewBuffers* preview, DialogLink* dialog)
        : session_(session) {
        session_.preview = preview;
        session_.dialog = dialog;
    }
    ~DialogScope() {
        session_.preview = nullptr;
        session_.dialog = nullptr;
    }
    DialogScope(const DialogScope&) = delete;
    DialogScope& operator=(const DialogScope&) = delete;

private:
    FilterSession& session_;
};

// The start selector: the image's mode and size, the plane count, the
// rectangles the filter asks for.
int16_t startFilter(const FilterDescription& filter, FilterRecord& fr);

// Opens the session of a continue call over the host's record, as the entry
// point does after start: the filter's constants, the start settings (the
// variant's policy), the preview geometry (into the library state too), the
// filter's own state and the render state with the variant's working
// buffers. noErr, or memFullErr when memory runs out; the session is usable
// for closeFilterSession either way.
int16_t openFilterSession(FilterSession& session, const FilterDescription& filter, FilterRecord& fr,
                          const os::ResourceModule& resources);
// Ends it: frees the render state and the filter's state; after a run that
// applied the filter (result noErr) empties the rectangles and, when the
// variant keeps settings, stores "Last Used" and the host's descriptor.
void closeFilterSession(FilterSession& session, int16_t result);

// Process-wide, while the library stays loaded (one filtering operation at a
// time).
struct LibraryState {
    bool showDialogFlag = false;
    int previewWidth = 600;
    bool sixteenBitMode = false;
    int planesAtStart = 3;  // the start selector's plane decision
    int32_t imageWidth = 0, imageHeight = 0;
    double previewScale = 1.0;
};

LibraryState& libraryState();

}  // namespace qm::fw
