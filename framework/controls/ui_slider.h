// The numeric control of the filter dialogs: one or two thumbs dragged along
// an engraved track, or a thumb moved over a square pad, with the number
// beside it and a short name above. A value is a pixel offset along the
// track, so one pixel of travel is one unit.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "framework/controls/skin.h"
#include "framework/controls/ui_element.h"
#include "platform/ui/geometry.h"

namespace qm::fw {

constexpr uint32_t kThumbSkinId = 121;
// What a slider posts when it changes (the dialog renders).
constexpr int kSettingChangedCommand = 2000;

// A text position as the dialogs write it: each coordinate plus 0x8000, dx
// in the high half, dy in the low one; textPosition(188, 22) == 0x80BC8016.
constexpr uint32_t textPosition(int dx, int dy) {
    return (static_cast<uint32_t>(dx + 0x8000) & 0xFFFFu) << 16 | (static_cast<uint32_t>(dy + 0x8000) & 0xFFFFu);
}

namespace slider_style {
constexpr uint32_t kCentred = 0x01;        // shows offset - length / 2, starts in the middle
constexpr uint32_t kNoReset = 0x02;        // a double-click changes nothing
constexpr uint32_t kFixedText = 0x04;      // engraved track, the value at a fixed place
constexpr uint32_t kPad = 0x08;            // a framed 50 x 50 pad with both values
constexpr uint32_t kLineOnTrack = 0x10;    // a vertical line on the track's x, not one right of it
constexpr uint32_t kReversed = 0x20;       // shows the value from the far end, starts there
constexpr uint32_t kQuarterOrigin = 0x40;  // shows offset - length / 4, starts there
constexpr uint32_t kTwoThumbs = 0x80;      // two thumbs bounding a range
constexpr uint32_t kOverlay = 0x100;       // no box erased, no thumb, no box copied
constexpr uint32_t kNoTextCopy = 0x200;    // the value-text boxes stay off the window
}  // namespace slider_style

class UiSlider : public UiElement {
public:
    enum Orientation { kHorizontal = 1, kVertical = 2, kTwoDimensional = 3 };
    // The gap kept between the thumbs of a vertical two-thumb slider, beyond
    // the thumb itself, so their texts do not overlap.
    static constexpr int kVerticalGap = 14;

    // `track` is left, top, right, bottom in dialog pixels (top == bottom for
    // a horizontal one); the text positions are packed as textPosition().
    UiSlider(ControlManager& manager, std::string_view label, ui::Rect track, uint32_t style,
             uint32_t valueTextPosition, std::string_view name, uint32_t nameTextPosition);
    // The sharpening dialog's sliders: fixed text, the value at (130, 22) and
    // the name at (10, 22).
    UiSlider(ControlManager& manager, std::string_view label, ui::Rect track, std::string_view name);

    int handleMouse(ui::Window& window, uint32_t message, ui::WParam wParam, ui::LParam lParam) override;
    void draw(ui::Surface& target) override;
    // 16 for a two-dimensional slider, else 8.
    int valueBits() override;
    // One thumb: its offset; two thumbs: first | second << 9; two
    // dimensions: x | y << 7.
    int32_t getValue() override;
    // The track width, or height; for two dimensions height << 8 | width.
    int32_t valueRange() override;
    int32_t styleFlags() override { return static_cast<int32_t>(style_); }
    // Unpacks as getValue packs and limits every offset to the track.
    void setValue(int32_t value) override;

    // The initial values, as a double-click gives them.
    void reset();

    const ui::Rect& track() const { return track_; }
    int orientation() const { return orientation_; }
    uint32_t style() const { return style_; }
    const std::string& name() const { return name_; }
    bool twoThumbs() const;
    int valueX() const { return valueX_; }
    int valueY() const { return valueY_; }
    int secondX() const { return secondX_; }
    int secondY() const { return secondY_; }
    int digitsX() const { return digitsX_; }
    int digitsY() const { return digitsY_; }
    ui::Point valueTextOffset() const { return valueText_; }
    ui::Point nameTextOffset() const { return nameText_; }
    // 0 none, 1 the first thumb, 2 the second.
    int dragged() const { return drag_.thumb; }
    // What the slider erases and copies out around its track.
    const ui::Rect& boundingBox() const { return box_; }
    const Skin& thumb() const { return thumb_; }

    // The numbers as drawn: the first value (x), the vertical value (y) and
    // the second thumb's.
    std::string firstText() const;
    std::string verticalText() const;
    std::string secondText() const;

    // The lowest offset any thumb takes (spacings start at 2).
    int minimum = 0;
    // Where a two-thumb slider with fixed text puts the second value.
    int secondTextX = 0;
    int secondTextY = 0;

private:
    struct Offsets {
        int x = 0, y = 0, secondX = 0, secondY = 0;
        bool operator==(const Offsets&) const = default;
    };
    struct Layout;

    int width() const { return track_.width(); }
    int height() const { return track_.height(); }
    bool pad() const { return (style_ & slider_style::kPad) != 0; }
    Offsets offsets() const { return {valueX_, valueY_, secondX_, secondY_}; }
    void store(const Offsets& o);
    // Each offset within [minimum, extent]; an axis without extent stays 0.
    int limit(int value, int extent) const;
    Offsets limited(Offsets o) const;
    // limited(), then the two thumbs kept a thumb (and the vertical gap) apart.
    Offsets ordered(Offsets o) const;
    int gap() const;
    ui::Point firstPoint() const;
    ui::Point secondPoint() const;
    bool hits(ui::Point thumb, ui::Point mouse) const;
    // 1 over the first thumb, 2 over the second, else 0.
    int partUnder(ui::Point mouse) const;
    int shownX(int offset) const;
    int shownY(int offset) const;
    std::string format(int shown, int digits) const;
    int textWidth(std::string_view text) const;
    int widestText(int extent, bool vertical) const;
    Layout layout() const;
    void drawValueTexts(ui::Surface& off, const Layout& l) const;

    ui::Rect track_;
    int orientation_ = 0;
    uint32_t style_ = 0;
    Skin thumb_;
    int valueX_ = 0, valueY_ = 0, secondX_ = 0, secondY_ = 0;
    ui::Point valueText_;
    ui::Point nameText_;
    std::string name_;
    int digitsX_ = 0, digitsY_ = 0;
    struct Drag {
        int thumb = 0;
        Offsets atPress;
        ui::Point mouseAtPress;
    } drag_;
    ui::Rect box_;
};

}  // namespace qm::fw
