// A text link: underlined, blue until clicked and purple after; the pointer
// over it shows the link cursor, a click posts the command that opens the
// page.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "framework/controls/ui_element.h"
#include "platform/ui/geometry.h"

namespace qm::fw {

class UiAncor : public UiElement {
public:
    static constexpr int kCommand = 1029;
    static constexpr const char* kLabel = "Visit Quillmere Plugins Home Page";
    // As the system stores colours: 0x00BBGGRR.
    static constexpr ui::Colour kLinkColour = 0xFF0000;     // blue
    static constexpr ui::Colour kVisitedColour = 0x800080;  // purple

    UiAncor(ControlManager& manager, ui::Point position, std::string_view text);

    int handleMouse(ui::Window& window, uint32_t message, ui::WParam wParam, ui::LParam lParam) override;
    void draw(ui::Surface& target) override;

    // Empty (at the position) until the first draw has measured the text.
    const ui::Rect& rect() const { return rect_; }
    const std::string& text() const { return text_; }
    bool visited = false;

private:
    std::string text_;
    ui::Rect rect_;
};

}  // namespace qm::fw
