#include "framework/settings/history.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>

namespace qm::fw {
namespace {

constexpr int L = 64;
using Buffer = std::array<uint8_t, kRecordBufferSize>;

// Drives the history as the render loop and the dialog do: the session's
// record, a render per change, undo/redo loading a slot and rendering it.
class HistoryTest : public ::testing::Test {
protected:
    History history{L};
    Buffer session{};
    int renders = 0;

    bool renderCycle() {
        if (!history.shouldRender(session.data(), L)) return false;
        ++renders;
        history.recordRender(session.data());
        return true;
    }
    // A distinct set of settings, numbered, in bytes 6 and 7.
    void change(int state) {
        session[6] = static_cast<uint8_t>(state);
        session[7] = static_cast<uint8_t>(state >> 8);
        session[200] = static_cast<uint8_t>(state);  // beyond L, still carried
        renderCycle();
    }
    static int stateOf(const uint8_t* rec) { return rec[6] | rec[7] << 8; }
    int current() const { return stateOf(session.data()); }

    // The state loaded, or -1 when nothing was given.
    int load(const uint8_t* slot) {
        if (slot == nullptr) return -1;
        std::memcpy(session.data(), slot, kRecordBufferSize);
        renderCycle();
        return current();
    }
    int undo() { return load(history.undo()); }
    int redo() { return load(history.redo()); }

    // The dialog's start plus `changes` changes: states 0 .. changes in slots 1 .. changes + 1.
    void startWith(int changes) {
        for (int s = 0; s <= changes; ++s) change(s);
    }
};

TEST_F(HistoryTest, NothingToUndoBeforeTheFirstRender) {
    EXPECT_TRUE(std::all_of(history.lastRendered.begin(), history.lastRendered.begin() + L,
                            [](uint8_t b) { return b == 0xFF; }));
    EXPECT_EQ(history.lastRendered[L], 0);
    EXPECT_EQ(history.undo(), nullptr);
    EXPECT_EQ(history.redo(), nullptr);
    EXPECT_FALSE(history.skipHistory);
    EXPECT_EQ(history.top, 0);

    // An all-zero record differs from the initial last-rendered one.
    EXPECT_TRUE(renderCycle());
    EXPECT_EQ(history.position, 1);
    EXPECT_EQ(history.top, 1);
}

TEST_F(HistoryTest, UndoStepsBackToTheStartAndStaysThere) {
    startWith(3);
    EXPECT_EQ(history.position, 4);
    EXPECT_EQ(history.top, 4);
    EXPECT_EQ(renders, 4);

    EXPECT_EQ(undo(), 2);
    EXPECT_EQ(undo(), 1);
    EXPECT_EQ(undo(), 0);
    EXPECT_EQ(history.position, 1);
    EXPECT_EQ(session[200], 0);  // the whole buffer came back
    EXPECT_EQ(renders, 7);      // each restore rendered, none recorded
    EXPECT_EQ(history.top, 4);

    // At slot 1 undo reloads the same settings: no render, and the pending
    // skip is cleared so the next change is recorded.
    EXPECT_EQ(undo(), 0);
    EXPECT_EQ(renders, 7);
    EXPECT_FALSE(history.skipHistory);
    change(9);
    EXPECT_EQ(history.position, 2);
    EXPECT_EQ(stateOf(history.entries[2].data()), 9);
}

TEST_F(HistoryTest, RedoReturnsToTheNewestStateAndNoFurther) {
    startWith(3);
    EXPECT_EQ(undo(), 2);
    EXPECT_EQ(undo(), 1);
    EXPECT_EQ(redo(), 2);
    EXPECT_EQ(redo(), 3);
    EXPECT_EQ(history.position, 4);
    const int before = renders;
    EXPECT_EQ(redo(), 3);
    EXPECT_EQ(history.position, 4);
    EXPECT_EQ(renders, before);
}

TEST_F(HistoryTest, ChangeAfterUndoDropsTheRedoStates) {
    startWith(3);
    EXPECT_EQ(undo(), 2);
    EXPECT_EQ(undo(), 1);
    change(7);
    EXPECT_EQ(history.position, 3);
    EXPECT_EQ(history.top, 3);
    EXPECT_EQ(redo(), 7);
    EXPECT_EQ(history.position, 3);
    EXPECT_EQ(undo(), 1);
    EXPECT_EQ(undo(), 0);
}

TEST_F(HistoryTest, ForcedRenderRunsButRecordsNothing) {
    startWith(1);
    const Buffer rendered = history.lastRendered;

    history.forceRender = true;
    EXPECT_TRUE(renderCycle());  // unchanged settings, rendered anyway
    EXPECT_FALSE(history.forceRender);
    EXPECT_EQ(history.position, 2);
    EXPECT_EQ(history.top, 2);

    // Even with changed settings a forced render leaves the last-rendered
    // record alone, so the next ordinary pass renders and records them.
    session[6] = 5;
    history.forceRender = true;
    EXPECT_TRUE(renderCycle());
    EXPECT_EQ(history.lastRendered, rendered);
    EXPECT_EQ(history.position, 2);
    EXPECT_TRUE(renderCycle());
    EXPECT_EQ(history.position, 3);
    EXPECT_EQ(stateOf(history.entries[3].data()), 5);
}

TEST_F(HistoryTest, EqualSettingsWithOtherHeaderRenderNothing) {
    startWith(2);
    const int before = renders;
    session[0] ^= 0xFF;  // another check value
    session[5] = 7;      // and version
    EXPECT_FALSE(renderCycle());
    EXPECT_EQ(renders, before);
    EXPECT_EQ(history.position, 3);
    EXPECT_EQ(history.top, 3);
}

TEST_F(HistoryTest, FullHistoryWrapsTo50AndLosesSlots51To199) {
    startWith(198);  // 199 recorded states fill slots 1 .. 199
    EXPECT_EQ(history.position, 199);
    EXPECT_EQ(history.top, 199);

    change(1000);
    EXPECT_EQ(history.position, kHistoryWrapSlot);
    EXPECT_EQ(history.top, kHistoryWrapSlot);
    EXPECT_EQ(stateOf(history.entries[50].data()), 1000);
    EXPECT_EQ(stateOf(history.entries[51].data()), 50);  // still there, unreachable

    EXPECT_EQ(redo(), 1000);
    EXPECT_EQ(history.position, 50);
    EXPECT_EQ(undo(), 48);  // slot 49: the 49th state of the dialog
    EXPECT_EQ(redo(), 1000);
    EXPECT_EQ(redo(), 1000);
    EXPECT_EQ(history.position, 50);

    change(1001);
    EXPECT_EQ(history.position, 51);
    EXPECT_EQ(history.top, 51);
}

}  // namespace
}  // namespace qm::fw
