// The base of every skinned control: a help label for the status line, the
// flags the dialog switches, the command it posts, and the virtual
// operations in the order the dialogs and the settings code rely on.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/ui/messages.h"
#include "platform/ui/surface.h"
#include "platform/ui/window.h"

namespace qm::fw {

class ControlManager;

class UiElement {
public:
    // 211 characters and the terminating zero in the original record.
    static constexpr size_t kMaxLabel = 211;

    UiElement(const UiElement&) = delete;
    UiElement& operator=(const UiElement&) = delete;

    // Slot 0: nonzero when the control consumed the message.
    virtual int handleMouse(ui::Window& window, uint32_t message, ui::WParam wParam,
                            ui::LParam lParam) = 0;
    // Slot 1: composes in the manager's off-screen surface and copies the
    // finished rectangle to `target`, the window's client area.
    virtual void draw(ui::Surface& target) = 0;
    // Slots 2 to 6: the value as the settings record sees it.
    virtual int valueBits() { return 0; }
    virtual int32_t getValue() { return 0; }
    virtual int32_t valueRange() { return 0; }
    virtual int32_t styleFlags() { return 0; }
    virtual void setValue(int32_t) {}
    // Slot 7.
    virtual ~UiElement() = default;

    ControlManager& manager() const { return manager_; }
    // One or two status texts, separated by "@".
    const std::string& label() const { return label_; }

    // Posts the dialog's private message with the command, unless it is 0.
    void postCommand() const;

    bool enabled = true;     // offered mouse messages
    bool visible = true;     // draws itself
    bool frozen = false;     // redraw requests are ignored
    int statusShown = 0;     // 0 none, 1 first, 2 second status part on display
    int command = 0;

protected:
    // Made only through ControlManager::create, which registers the control.
    UiElement(ControlManager& manager, std::string_view label);

private:
    ControlManager& manager_;
    std::string label_;
};

}  // namespace qm::fw
