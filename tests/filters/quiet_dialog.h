// A dialog for preview renders in filter tests and benchmarks: it never polls
// a mouse message, shows progress or redraws. Its controls are SlotKnobs (the
// first `count` value slots) unless a test brings its own.
#pragma once

#include <utility>

#include "framework/host/dialog_link.h"
#include "framework/settings/record.h"

namespace qm::test {

class SlotKnobs : public fw::SlotControls {
public:
    explicit SlotKnobs(int count) : count_(count) {}
    bool hasControl(int slot) const override { return slot >= 0 && slot < count_; }
    int32_t getValue(int slot) const override { return slots[static_cast<size_t>(slot)]; }
    void setValue(int slot, int32_t v) override { slots[static_cast<size_t>(slot)] = v; }
    fw::ValueSlots slots{};

private:
    int count_;
};

template <class Knobs = SlotKnobs>
class QuietDialog : public fw::DialogLink {
public:
    template <class... A>
    explicit QuietDialog(A&&... args) : knobs(std::forward<A>(args)...) {}
    fw::SlotControls& controls() override { return knobs; }
    bool pollMouse() override { return false; }
    void clearProgress() override {}
    void advanceProgress(int) override {}
    void startProgressTimer() override {}
    void restorePreviewToggleIfRequested() override {}
    void enableZoomButtons() override {}
    void redrawPreview() override {}
    void requestRedraw() override {}
    Knobs knobs;
};

}  // namespace qm::test
