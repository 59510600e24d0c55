// A control's number as printf formats it ("%.3i" prints what the dialogs'
// "%0.3i" prints: the 0 flag adds nothing to a precision).
#pragma once

#include <cstdio>
#include <string>

namespace qm::fw {

inline std::string numberText(const char* format, int n) {
    char text[24];
    std::snprintf(text, sizeof text, format, n);
    return text;
}

}  // namespace qm::fw
