// The process's one message queue and its timers.
//
// Order: posted and input messages in arrival order; then WM_PAINT for an
// invalid, shown window; then WM_TIMER for a timer that is due, as in
// Windows. A mouse move queued behind another move of the same window with
// the same buttons replaces it, so a slow reader sees the latest position.
#pragma once

#include <cstdint>

#include "platform/ui/messages.h"

namespace qm::ui {

class Window;

// PostMessage: false for a window that is not live.
bool postMessage(Window* w, uint32_t message, WParam wParam = 0, LParam lParam = 0);
// SendMessage: calls the window's procedure now; 0 for a window that is not live.
LResult sendMessage(Window* w, uint32_t message, WParam wParam = 0, LParam lParam = 0);

enum class Remove { No, Yes };
// PeekMessage: the first message for `filter` or one of its descendants
// (null: any window) whose number lies in [first, last] (0, 0: any). First
// takes in what the display has delivered and shows what was drawn.
bool peekMessage(Message& out, Window* filter, uint32_t first, uint32_t last, Remove remove);
// GetMessage: waits for any message. False when no message can come any
// more: the display is gone, or a headless run has no further input.
bool getMessage(Message& out);
// DispatchMessage: hands the message to its window's procedure. A dispatched
// WM_PAINT leaves the window valid even if the procedure did not paint.
LResult dispatchMessage(const Message& m);

// SetTimer / KillTimer: WM_TIMER with wParam = id every `milliseconds`
// (at most one waiting per timer). Setting an existing id restarts it.
void setTimer(Window& w, uintptr_t id, uint32_t milliseconds);
bool killTimer(Window& w, uintptr_t id);
bool hasTimers();

}  // namespace qm::ui
