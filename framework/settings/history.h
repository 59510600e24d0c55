// Undo/redo: every distinct set of settings that a preview render completed,
// as whole 256-byte record buffers, in 200 slots (slot 0 never written).
#pragma once

#include <array>
#include <cstdint>

#include "framework/settings/record_format.h"

namespace qm::fw {

constexpr int kHistorySlots = 200;
constexpr int kHistoryWrapSlot = 50;

struct History {
    explicit History(int recordLength);

    std::array<std::array<uint8_t, kRecordBufferSize>, kHistorySlots> entries{};
    int position = 0;
    int top = 0;
    // The record of the last completed render; its first L bytes start as
    // 0xFF so that the first comparison always differs.
    std::array<uint8_t, kRecordBufferSize> lastRendered{};
    bool skipHistory = false;  // set by undo/redo: the next render adds no entry
    bool forceRender = false;  // view changed: render even with unchanged settings

    // Before a render, with the freshly encoded record: false when it equals
    // the last rendered one and no render is forced (skipHistory is cleared).
    bool shouldRender(const uint8_t* record, int recordLength);
    // After a preview render over the whole preview completed.
    void recordRender(const uint8_t* recordBuffer);
    // The slot to load after undo/redo, or nullptr while nothing was recorded.
    // Both set skipHistory when they give a slot; the caller copies it into
    // the session's record, decodes, pushes to the controls and repaints.
    const uint8_t* undo();
    const uint8_t* redo();
};

}  // namespace qm::fw
