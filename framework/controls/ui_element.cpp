#include "framework/controls/ui_element.h"

#include "framework/controls/control_manager.h"

namespace qm::fw {

UiElement::UiElement(ControlManager& manager, std::string_view label)
    : manager_(manager), label_(label.substr(0, kMaxLabel)) {}

void UiElement::postCommand() const {
    ui::Window* window = manager_.window();
    if (command != 0 && window) window->post(ui::kWmPrivate, static_cast<ui::WParam>(command), 0);
}

}  // namespace qm::fw
