// The texture dialog's pattern controls: a layer's pattern thumbnail (the
// setting that holds the pattern's identity), the pattern viewer's grid in
// the preview area, and the pattern editor's thumbnail preview.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "filters/marbleloom/pattern_library.h"
#include "framework/controls/ui_element.h"
#include "platform/ui/geometry.h"

namespace qm::marbleloom {

// A 44 x 44 picture, blue-green-red, top-down rows of 132 bytes.
using ThumbPixels = std::array<uint8_t, kDisplayThumbBytes>;

// Draws the picture at `topLeft` of the manager's off-screen surface.
void drawThumbPixels(ui::Surface& off, ui::Point topLeft, const ThumbPixels& pixels);

// The pattern of one layer: shows the library entry its identity names
// ("default raw" for one that is not installed) and the entry's name at a
// place of its own; a click posts the layer's pattern selector command.
class PatternThumbnail : public fw::UiElement {
public:
    static constexpr int kSide = kDisplayThumbSide;
    static constexpr int kNameWidth = 110;
    static constexpr int kNameHeight = 14;

    PatternThumbnail(fw::ControlManager& manager, ui::Point topLeft, ui::Point nameAt, const PatternLibrary& library,
                     int command);

    int handleMouse(ui::Window& window, uint32_t message, ui::WParam wParam, ui::LParam lParam) override;
    void draw(ui::Surface& target) override;
    int valueBits() override { return 32; }
    int32_t getValue() override { return static_cast<int32_t>(identity_); }
    void setValue(int32_t value) override { identity_ = static_cast<uint32_t>(value); }

    // The entry shown (0 when the identity is not in the library).
    int entryIndex() const;
    ui::Rect rect() const { return ui::Rect::ofSize(origin_.x, origin_.y, kSide, kSide); }

private:
    ui::Point origin_;
    ui::Point nameAt_;
    const PatternLibrary& library_;
    uint32_t identity_ = 0;
    bool pressed_ = false;
};

// The pattern viewer: a page of 12 x 12 cells over the preview area, the
// information line above it and the hint at the dialog's top. Hidden while
// the dialog shows the preview. Like the preview it posts its clicks as the
// commands kLeftUp and kRightDown, with the point relative to the area.
class PatternGrid : public fw::UiElement {
public:
    static constexpr int kHintEvery = 16;
    static constexpr const char* kHint = "Left click to select a pattern. Right click to edit.";
    static constexpr int kLeftUp = 2001, kRightDown = 2002;

    // `area` is the preview area; the grid sits at its bottom, centred.
    PatternGrid(fw::ControlManager& manager, const ui::Rect& area, const ui::Rect& infoStrip, ui::Point hintAt,
                PatternLibrary& library);

    int handleMouse(ui::Window& window, uint32_t message, ui::WParam wParam, ui::LParam lParam) override;
    void draw(ui::Surface& target) override;

    int page() const { return page_; }
    // Limited to the library's pages; true when it changed.
    bool setPage(int page);
    // The grid's top-left corner in the dialog.
    ui::Point origin() const { return origin_; }
    // The order position under a point relative to the area on the current
    // page, or -1.
    int positionAt(ui::Point p) const;

private:
    void drawInfo(ui::Surface& target, int position);
    void drawHint(ui::Surface& target);

    ui::Rect area_;
    ui::Rect info_;
    ui::Point hintAt_;
    ui::Point origin_;
    PatternLibrary& library_;
    int page_ = 0;
    int moves_ = 0;
    int shownInfo_ = -2;
};

// The editor's 44 x 44 preview of a pattern: a black outer ring, a white
// inner ring and 40 x 40 sampled pixels whose red bytes have their lowest
// bit cleared. scaling 0..100, shifts 0..44 (22 in the middle).
ThumbPixels editorThumbnail(const PixelView& pattern, int scaling, int shiftX, int shiftY);

class EditorThumbnail : public fw::UiElement {
public:
    EditorThumbnail(fw::ControlManager& manager, ui::Point topLeft);

    int handleMouse(ui::Window&, uint32_t, ui::WParam, ui::LParam) override { return 0; }
    void draw(ui::Surface& target) override;

    ThumbPixels pixels{};

private:
    ui::Point origin_;
};

}  // namespace qm::marbleloom
