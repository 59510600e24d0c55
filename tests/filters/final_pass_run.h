// The framework's final pass of an earlier-variant filter, as it runs after
// the dialog, with a settings record of the test's choosing: the fake host's
// session over the test's buffers. Each filter's harness adds its own
// session state.
#pragma once

#include <cstdint>

#include "framework/host/filter_description.h"
#include "framework/host/render_loop.h"
#include "framework/host/render_state.h"
#include "tests/support/fake_host.h"

namespace qm::test {

struct FinalPassRun : FakeHost {
    // padding: bytes after each row; 0 keeps every buffer exactly as large as
    // the image, so a sanitizer sees any access outside it. The session opens
    // at once (for any size: the start selector's size test is skipped).
    FinalPassRun(int w, int h, int planes = 3, bool withMask = false, int padding = 0,
                 const fw::FilterDescription& description = fw::filterDescription())
        : FakeHost(description, {w, h, planes, false, withMask, padding}), width(w), height(h) {
        opened = openSession(noResources()) == noErr;
        state = session.renderState.get();
    }

    int width, height;
    bool opened = false;
    fw::RenderState* state = nullptr;
};

}  // namespace qm::test
