// One dialog's controls: they register here in creation order (control i
// owns value slot i), compose into an off-screen surface over the tiled
// background skin, and get the dialog's mouse messages from here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "framework/controls/skin.h"
#include "framework/controls/ui_element.h"
#include "platform/os/resources.h"
#include "platform/ui/surface.h"
#include "platform/ui/window.h"

namespace qm::fw {

struct FilterSession;

constexpr uint32_t kBackgroundSkinId = 117;

class ControlManager {
public:
    // The bound of the value slots.
    static constexpr size_t kMaxElements = 150;
    static constexpr uint32_t kPaintDelayMs = 50;

    explicit ControlManager(const os::ResourceModule& module) : module_(module) {}
    ~ControlManager() { tearDown(); }
    ControlManager(const ControlManager&) = delete;
    ControlManager& operator=(const ControlManager&) = delete;

    // Makes a control and registers it. The manager owns it until tearDown.
    // Controls past kMaxElements still live but are neither drawn nor
    // offered input, and own no value slot.
    template <class T, class... A>
    T& create(A&&... args) {
        T* element = new T(*this, std::forward<A>(args)...);
        owned_.emplace_back(element);
        if (elements_.size() < kMaxElements) elements_.push_back(element);
        return *element;
    }

    // On WM_INITDIALOG: the window, the shared fonts and cursor, the status
    // rectangle (empty for none), the off-screen surface and the background.
    void setUpDialog(ui::Window& window, const ui::Rect& statusRect);
    // An off-screen surface as large as the window's bottom-right corner in
    // client coordinates, with the normal font and transparent text.
    void createSurface(ui::Window& window);

    // WM_PAINT: beginPaint (after a 50 ms pause), paintAll, endPaint.
    void beginPaint();
    void paintAll();
    void endPaint();

    // Offers a mouse message (0x200..0x20E only) to each enabled control in
    // creation order until one consumes it; 1 when one did.
    int dispatchMouse(ui::Window& window, uint32_t message, ui::WParam wParam, ui::LParam lParam);

    // Draws the element now, unless it is frozen. A hidden element erases
    // itself this once and is then frozen.
    void redrawElement(UiElement& element);

    // Shows status part 0, 1 or 2 of the element's label in the status
    // rectangle, unless that part is already on display.
    void showStatus(UiElement& element, int part);

    // Releases the background, the surface and every control; unlinks the session.
    void tearDown();

    // Copies a finished rectangle of the off-screen surface to `target`.
    void copyOut(ui::Surface& target, const ui::Rect& r) const;
    // Shows the background in `r`: how a hidden control erases itself.
    void eraseToBackground(ui::Surface& target, const ui::Rect& r);

    size_t count() const { return elements_.size(); }
    UiElement& element(size_t i) const { return *elements_[i]; }
    const os::ResourceModule& module() const { return module_; }
    ui::Window* window() const { return window_; }
    ui::Surface& offscreen() { return offscreen_; }
    const Skin& background() const { return background_; }
    const ui::Rect& statusRect() const { return statusRect_; }
    // The window's client area while a paint or a dispatch runs.
    ui::Surface* paintContext() const { return paintContext_; }

    FilterSession* session = nullptr;
    int presetListId = 0;
    int presetListIndex = 0;
    // Run by beginPaint: the preview clears its pending render time there,
    // so a plain repaint shows no new timing.
    std::function<void()> onRepaint;

private:
    // The window's client area prepared for drawing controls.
    ui::Surface& windowContext(ui::Window& window) const;

    os::ResourceModule module_;  // a handle to the resource table, kept by value
    ui::Window* window_ = nullptr;
    ui::Surface* paintContext_ = nullptr;
    std::optional<ui::PaintScope> paint_;
    ui::Surface offscreen_;
    Skin background_;
    ui::Rect statusRect_;
    std::vector<UiElement*> elements_;
    std::vector<std::unique_ptr<UiElement>> owned_;
};

}  // namespace qm::fw
