// One continue call's state, and the state that lasts while the library is
// loaded.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "framework/host/filter_description.h"
#include "framework/settings/record_format.h"
#include "platform/os/resources.h"
#include "platform/pluginapi/pluginapi.h"

namespace qm::fw {

struct RenderState;
struct PreviewBuffers;
class DialogLink;

struct FilterSession {
    FilterRecord* record = nullptr;
    const FilterDescription* filter = nullptr;
    RecordFormat format;
    int planes = 3;  // P: 3 or 4, as decided at start
    std::array<uint8_t, kRecordBufferSize> settings{};  // the first L bytes: the current record
    std::string registryKey;
    int defaultPosition = 2;
    float previewScale = 1.0f;
    bool scriptingAskedDialog = false;
    int imageSizeFactor = 1024;  // F of the earlier variant
    const os::ResourceModule* resources = nullptr;  // the plug-in's own resources

    // Links, empty until set.
    RenderState* renderState = nullptr;
    PreviewBuffers* preview = nullptr;  // set while a dialog with a preview is open
    DialogLink* dialog = nullptr;
    void* filterData = nullptr;         // the filter's own buffers (earlier variant)
};

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
