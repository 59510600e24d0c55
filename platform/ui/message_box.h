// Message boxes with the Windows flag and answer numbers the callers use.
//
// On a display: a modal box with the caption, the text (lines split at
// '\n'), the icon and the buttons. Headless, or when the display is gone: the
// line "Caption: text" on stderr (the caption printed even when empty), and
// the answer the script gave with "answer", else OK.
#pragma once

#include <cstdint>
#include <string_view>

namespace qm::ui {

constexpr uint32_t kMbOk = 0x00;
constexpr uint32_t kMbOkCancel = 0x01;
constexpr uint32_t kMbIconError = 0x10;
constexpr uint32_t kMbIconQuestion = 0x20;
constexpr uint32_t kMbIconWarning = 0x30;
constexpr uint32_t kMbIconInformation = 0x40;

constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;

// owner: one of our windows, or the host's window or null (then the running
// dialog, if any, owns the box).
int messageBox(void* owner, std::string_view text, std::string_view caption, uint32_t flags);

// The no-display form: prints "Caption: text" on stderr.
void echoMessageBox(std::string_view text, std::string_view caption);

}  // namespace qm::ui
