// A host of the filter interface inside a test: a FilterRecord over image
// buffers the test owns, the start selector, and a filter session opened on
// it exactly as the continue selector opens one. The registry lives in a
// folder of the test's own.
#pragma once

#include <cstdint>
#include <vector>

#include "framework/host/filter_description.h"
#include "framework/host/filter_session.h"
#include "framework/host/render_state.h"
#include "framework/settings/record.h"
#include "platform/os/resources.h"
#include "platform/pluginapi/pluginapi.h"

namespace qm::test {

struct HostImageShape {
    int width = 0, height = 0;
    int planes = 3;
    bool sixteenBit = false;
    bool withMask = false;  // a selection, all 255 until the test changes it
    int padding = 0;        // bytes after each row; 0 keeps the buffers exact for the sanitizers
};

class FakeHost {
public:
    FakeHost(const fw::FilterDescription& filter, const HostImageShape& image);
    ~FakeHost();
    FakeHost(const FakeHost&) = delete;
    FakeHost& operator=(const FakeHost&) = delete;

    // The start selector, then the session (fill `in` first when the filter
    // reads the image at opening). Resources: where the session finds its
    // factory presets; by default none.
    int16_t open();
    int16_t open(const os::ResourceModule& resources);
    // The session alone, with the plane decision start makes for this image
    // but without its size test: drives images the start selector refuses.
    int16_t openSession(const os::ResourceModule& resources);

    // A final render with this record (L bytes), or with these slots sealed
    // into one.
    int16_t renderRecord(const uint8_t* record);
    int16_t renderSlots(const fw::ValueSlots& slots);
    int16_t render();

    fw::RenderState& state() { return *session.renderState; }
    size_t index(int x, int y, int c = 0) const;

    const fw::FilterDescription& filter;
    HostImageShape shape;
    int32_t stride;
    std::vector<uint8_t> in, out, mask;
    FilterRecord fr{};
    fw::FilterSession session;
};

// Once per process, also by every FakeHost: a registry folder of the test's
// own, so that tests never see or change the user's presets.
void useOwnRegistry();

// An empty resource table: no factory presets, no databases.
const os::ResourceModule& noResources();

}  // namespace qm::test
