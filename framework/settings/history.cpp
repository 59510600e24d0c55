#include "framework/settings/history.h"

#include <algorithm>
#include <cstring>

#include "framework/settings/record.h"

namespace qm::fw {

History::History(int recordLength) {
    const int bytes = std::clamp(recordLength, 0, kRecordBufferSize);
    std::fill_n(lastRendered.begin(), bytes, uint8_t{0xFF});
}

bool History::shouldRender(const uint8_t* record, int recordLength) {
    if (!forceRender && sameSettings(record, lastRendered.data(), recordLength)) {
        skipHistory = false;
        return false;
    }
    return true;
}

void History::recordRender(const uint8_t* recordBuffer) {
    if (forceRender) {
        // Only the view changed: the settings are the ones already recorded.
        forceRender = false;
        skipHistory = false;
        return;
    }
    std::memcpy(lastRendered.data(), recordBuffer, kRecordBufferSize);
    if (skipHistory) {
        skipHistory = false;
        return;
    }
    ++position;
    // Full: keep slots 1..49 (the oldest states) and go on from 50.
    if (position >= kHistorySlots) position = kHistoryWrapSlot;
    top = position;
    entries[static_cast<size_t>(position)] = lastRendered;
}

const uint8_t* History::undo() {
    --position;
    if (position <= 0) position = 1;
    if (position > top) position = top;
    if (top == 0) return nullptr;
    skipHistory = true;
    return entries[static_cast<size_t>(position)].data();
}

const uint8_t* History::redo() {
    position += 2;
    return undo();
}

}  // namespace qm::fw
