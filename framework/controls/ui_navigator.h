// The navigator: a thumbnail of the whole image with a view rectangle that
// the user drags to choose the part the preview shows at the zoom scales.
// Its value packs the view position (x in bits 0..8, y in bits 9..17).
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "framework/controls/ui_element.h"
#include "platform/ui/geometry.h"
#include "platform/ui/surface.h"

namespace qm::fw {

class UiNavigator : public UiElement {
public:
    static constexpr int kCommand = 2399;
    static constexpr const char* kLabel = "Navigator Window";
    static constexpr int kFit = 99;  // zoom code of the fitted view
    static constexpr int kPreviewHeight = 600;
    static constexpr int kMinViewSide = 10;
    static constexpr int kEdge = 2;  // a drag keeps the view this far from each edge

    // The thumbnail is the area's size; the image size comes from the
    // session's record (the library state without one).
    UiNavigator(ControlManager& manager, const ui::Rect& area, int previewWidth);

    int handleMouse(ui::Window& window, uint32_t message, ui::WParam wParam, ui::LParam lParam) override;
    void draw(ui::Surface& target) override;
    int32_t getValue() override;
    // Unpacked as it comes, without limits.
    void setValue(int32_t value) override;

    // Blue, green, red a pixel, row stride width x 3 (for makeNavigatorThumbnail).
    std::span<uint8_t> thumbnailPixels() { return pixels_; }
    void setThumbnailPixel(int x, int y, uint8_t red, uint8_t green, uint8_t blue);

    // Before each preview render: takes a new zoom code (resizing the view),
    // then answers whether the view's origin or size changed since the last call.
    bool syncNavigator(int zoomCode);
    // The preview's origin in image pixels, as the last sync left it.
    ui::Point imageOrigin() const { return imageOrigin_; }

    const ui::Rect& area() const { return area_; }
    int thumbnailWidth() const { return area_.width(); }
    int thumbnailHeight() const { return area_.height(); }
    ui::Point viewPosition() const { return view_; }
    ui::Size viewSize() const { return viewSize_; }
    ui::Rect viewRect() const { return ui::Rect::ofSize(view_.x, view_.y, viewSize_.width, viewSize_.height); }
    int zoomCode() const { return zoom_; }
    bool dragging() const { return dragging_; }

private:
    ui::Rect area_;
    int previewWidth_;
    int32_t imageWidth_ = 0, imageHeight_ = 0;
    std::vector<uint8_t> pixels_;
    ui::Surface picture_;
    ui::Point view_;
    ui::Size viewSize_;
    int zoom_ = kFit;
    ui::Point lastOrigin_{-1, -1};  // ten-thousandths of the thumbnail
    ui::Point imageOrigin_;
    bool dragging_ = false;
    ui::Point pressView_, pressMouse_;
};

}  // namespace qm::fw
