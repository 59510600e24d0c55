// Window messages. The numbers, the MK_* flags in wParam and the packing of
// points into lParam are the Windows ones, since the dialog code is written
// against them (the render loop takes 0x0200..0x020E, controls post 0x0500).
#pragma once

#include <cstdint>

#include "platform/ui/geometry.h"

namespace qm::ui {

class Window;

using WParam = uintptr_t;
using LParam = intptr_t;
using LResult = intptr_t;

// Message numbers (Windows names in the comments).
constexpr uint32_t kWmDestroy = 0x0002;       // WM_DESTROY
constexpr uint32_t kWmSetFocus = 0x0007;      // WM_SETFOCUS: wParam = window losing it
constexpr uint32_t kWmKillFocus = 0x0008;     // WM_KILLFOCUS: wParam = window getting it
constexpr uint32_t kWmPaint = 0x000F;         // WM_PAINT
constexpr uint32_t kWmClose = 0x0010;         // WM_CLOSE: the window manager's close
constexpr uint32_t kWmHelp = 0x0053;          // WM_HELP: F1 in a dialog
constexpr uint32_t kWmKeyDown = 0x0100;       // WM_KEYDOWN: wParam = virtual key
constexpr uint32_t kWmKeyUp = 0x0101;         // WM_KEYUP
constexpr uint32_t kWmChar = 0x0102;          // WM_CHAR: wParam = Unicode code point
constexpr uint32_t kWmInitDialog = 0x0110;    // WM_INITDIALOG: lParam = the caller's value
constexpr uint32_t kWmCommand = 0x0111;       // WM_COMMAND: wParam = id | code << 16
constexpr uint32_t kWmTimer = 0x0113;         // WM_TIMER: wParam = timer id
constexpr uint32_t kWmMouseFirst = 0x0200;    // WM_MOUSEFIRST
constexpr uint32_t kWmMouseMove = 0x0200;     // WM_MOUSEMOVE
constexpr uint32_t kWmLButtonDown = 0x0201;   // WM_LBUTTONDOWN
constexpr uint32_t kWmLButtonUp = 0x0202;     // WM_LBUTTONUP
constexpr uint32_t kWmLButtonDblClk = 0x0203; // WM_LBUTTONDBLCLK
constexpr uint32_t kWmRButtonDown = 0x0204;   // WM_RBUTTONDOWN
constexpr uint32_t kWmRButtonUp = 0x0205;     // WM_RBUTTONUP
constexpr uint32_t kWmRButtonDblClk = 0x0206; // WM_RBUTTONDBLCLK
constexpr uint32_t kWmMButtonDown = 0x0207;   // WM_MBUTTONDOWN
constexpr uint32_t kWmMButtonUp = 0x0208;     // WM_MBUTTONUP
constexpr uint32_t kWmMButtonDblClk = 0x0209; // WM_MBUTTONDBLCLK
constexpr uint32_t kWmMouseWheel = 0x020A;    // WM_MOUSEWHEEL: delta in the high word of wParam
constexpr uint32_t kWmXButtonDown = 0x020B;   // WM_XBUTTONDOWN: XBUTTON1/2 in the high word
constexpr uint32_t kWmXButtonUp = 0x020C;     // WM_XBUTTONUP
constexpr uint32_t kWmXButtonDblClk = 0x020D; // WM_XBUTTONDBLCLK
constexpr uint32_t kWmMouseHWheel = 0x020E;   // WM_MOUSEHWHEEL
constexpr uint32_t kWmMouseLast = 0x020E;     // WM_MOUSELAST
constexpr uint32_t kWmUser = 0x0400;          // WM_USER
// The dialogs' private message (WM_USER + 0x100): wParam = a command number.
constexpr uint32_t kWmPrivate = 0x0500;

// Key and button state in the low word of a mouse message's wParam.
constexpr uint32_t kMkLButton = 0x0001;
constexpr uint32_t kMkRButton = 0x0002;
constexpr uint32_t kMkShift = 0x0004;
constexpr uint32_t kMkControl = 0x0008;
constexpr uint32_t kMkMButton = 0x0010;
constexpr uint32_t kMkXButton1 = 0x0020;
constexpr uint32_t kMkXButton2 = 0x0040;
// Which extra button, in the high word of an X button message's wParam.
constexpr uint32_t kXButton1 = 1;
constexpr uint32_t kXButton2 = 2;
// One notch of a wheel.
constexpr int kWheelDelta = 120;

// Virtual keys of WM_KEYDOWN.
constexpr uint32_t kVkBack = 0x08;
constexpr uint32_t kVkTab = 0x09;
constexpr uint32_t kVkReturn = 0x0D;
constexpr uint32_t kVkShift = 0x10;
constexpr uint32_t kVkControl = 0x11;
constexpr uint32_t kVkEscape = 0x1B;
constexpr uint32_t kVkSpace = 0x20;
constexpr uint32_t kVkPrior = 0x21;
constexpr uint32_t kVkNext = 0x22;
constexpr uint32_t kVkEnd = 0x23;
constexpr uint32_t kVkHome = 0x24;
constexpr uint32_t kVkLeft = 0x25;
constexpr uint32_t kVkUp = 0x26;
constexpr uint32_t kVkRight = 0x27;
constexpr uint32_t kVkDown = 0x28;
constexpr uint32_t kVkDelete = 0x2E;
constexpr uint32_t kVkF1 = 0x70;  // F2..F12 follow

// Command ids and notification codes of WM_COMMAND.
constexpr int kIdOkCommand = 1;      // IDOK: Enter
constexpr int kIdCancelCommand = 2;  // IDCANCEL: Escape, and the window manager's close
constexpr uint32_t kBnClicked = 0;       // BN_CLICKED
constexpr uint32_t kCbnSelChange = 1;    // CBN_SELCHANGE
constexpr uint32_t kCbnEditChange = 5;   // CBN_EDITCHANGE
constexpr uint32_t kEnChange = 0x0300;   // EN_CHANGE

// lParam of a mouse message: x in the low, y in the high 16 bits (MAKELPARAM);
// read back signed (GET_X_LPARAM), since captured moves can be left of 0.
constexpr LParam makePointParam(int x, int y) {
    return static_cast<LParam>((static_cast<uint32_t>(x) & 0xFFFFu) |
                               ((static_cast<uint32_t>(y) & 0xFFFFu) << 16));
}
constexpr Point pointOfParam(LParam l) {
    return {static_cast<int16_t>(static_cast<uint32_t>(l) & 0xFFFFu),
            static_cast<int16_t>((static_cast<uint32_t>(l) >> 16) & 0xFFFFu)};
}
constexpr WParam makeCommandParam(int id, uint32_t code) {
    return (static_cast<WParam>(id) & 0xFFFFu) | (static_cast<WParam>(code & 0xFFFFu) << 16);
}
constexpr int commandIdOf(WParam w) { return static_cast<int>(w & 0xFFFFu); }
constexpr uint32_t notifyCodeOf(WParam w) { return static_cast<uint32_t>((w >> 16) & 0xFFFFu); }
// The high word of a mouse message's wParam: XBUTTON1/2, or the signed wheel delta.
constexpr int highWordOf(WParam w) { return static_cast<int16_t>((w >> 16) & 0xFFFFu); }

constexpr bool isMouseMessage(uint32_t m) { return m >= kWmMouseFirst && m <= kWmMouseLast; }

struct Message {
    Window* window = nullptr;
    uint32_t message = 0;
    WParam wParam = 0;
    LParam lParam = 0;
    uint32_t time = 0;  // milliseconds, of the backend's clock
    Point cursor;       // screen position of the pointer when it was queued
};

}  // namespace qm::ui
