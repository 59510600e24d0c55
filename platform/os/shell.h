// Opening a file or web address with the desktop's opener.
#pragma once

#include <string>
#include <vector>

namespace qm::os {

// xdg-open, detached. Without a display (no $DISPLAY or $WAYLAND_DISPLAY) or
// when $QUILLMERE_HEADLESS is set, nothing is started: the request is recorded
// in this process and, when $QUILLMERE_SHELL_LOG names a file, appended to it
// as one line. Answers true when the request was started or recorded.
bool shellOpen(const std::string& target);

// The requests recorded so far in this process.
const std::vector<std::string>& recordedShellOpens();

}  // namespace qm::os
