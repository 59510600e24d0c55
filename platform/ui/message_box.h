// Message boxes with the Windows flag and answer numbers the callers use.
//
// Until windows exist a message box is shown in its no-display form: the line
// "Caption: text" on stderr (the caption printed even when empty), answered OK.
#pragma once

#include <cstdint>
#include <string_view>

namespace qm::ui {

constexpr uint32_t kMbOk = 0x00;
constexpr uint32_t kMbOkCancel = 0x01;
constexpr uint32_t kMbIconError = 0x10;
constexpr uint32_t kMbIconQuestion = 0x20;
constexpr uint32_t kMbIconWarning = 0x30;

constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;

// owner: the host's window, or null.
int messageBox(void* owner, std::string_view text, std::string_view caption, uint32_t flags);

}  // namespace qm::ui
