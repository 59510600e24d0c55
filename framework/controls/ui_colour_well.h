// The colour wells of the earlier variant's dialogs: a 13 x 13 swatch
// showing the host's foreground or background colour, a colour of its own
// or transparency; a click opens a small pop-up to choose among them.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "framework/controls/ui_element.h"
#include "platform/ui/geometry.h"
#include "platform/ui/surface.h"

struct FilterRecord;

namespace qm::fw {

class ColourControl : public UiElement {
public:
    enum Mode : int { kForeground = 0, kBackground = 1, kOwn = 2, kTransparent = 3 };
    // The pop-up's rows, in their order.
    enum class Choice : int { Foreground, Background, Picker, Transparent };
    static constexpr int kSide = 13;
    static constexpr int kRowPitch = 22;

    ColourControl(ControlManager& manager, std::string_view label, ui::Point topLeft,
                  std::string_view caption = {}, ui::Point captionAt = {});

    int handleMouse(ui::Window& window, uint32_t message, ui::WParam wParam, ui::LParam lParam) override;
    void draw(ui::Surface& target) override;
    int valueBits() override { return 26; }
    // mode << 24 | the colour shown (the own colour for transparency).
    int32_t getValue() override;
    // The colour becomes the own colour; a mode beyond 3 is taken as 3.
    void setValue(int32_t value) override;

    int mode() const { return mode_; }
    ui::Colour ownColour() const { return own_; }
    ui::Colour shownColour() const;
    // Transparency needs a fourth channel; without one mode 3 acts as 2.
    bool transparencyAllowed() const;

    // What a pick in the pop-up does; false when nothing changed (a picker
    // that was cancelled, transparency where it is not allowed).
    bool choose(Choice choice, ui::Window* owner);
    // The pop-up's row under a point of its client area, if any.
    std::optional<Choice> rowAt(ui::Point p) const;
    int rowCount() const { return transparencyAllowed() ? 4 : 3; }
    // Where the pop-up opens for this control of `window` (screen coordinates).
    ui::Rect popupRect(const ui::Window& window) const;

    // Tested at every draw: false disables the control (and greys its frame).
    std::function<bool()> enabledWhen;

private:
    const FilterRecord* host() const;
    // The host's colour services, else the platform's own picker; none when
    // cancelled.
    std::optional<ui::Colour> pickColour(ui::Window* owner) const;
    void drawSwatch(ui::Surface& s, ui::Rect r, int mode, bool active) const;
    void paintPopup(ui::Surface& s) const;
    std::optional<Choice> runPopup(ui::Window& window);

    ui::Rect rect_;
    std::string caption_;
    ui::Point captionAt_;
    ui::Colour own_ = ui::rgb(227, 217, 203);
    int mode_ = kOwn;
};

}  // namespace qm::fw
