#include "framework/controls/ui_navigator.h"

#include <algorithm>
#include <cstring>

#include "framework/controls/control_manager.h"
#include "framework/controls/engraving.h"
#include "framework/controls/skin_drawing.h"
#include "framework/host/filter_session.h"
#include "platform/ui/messages.h"

namespace qm::fw {
namespace {

// At least `least`, then at most `most`; never negative, so a thumbnail too
// small for the bounds gets an empty view rather than a negative one.
int limitedSide(int64_t side, int least, int most) {
    side = std::max<int64_t>(side, least);
    side = std::min<int64_t>(side, most);
    return static_cast<int>(std::max<int64_t>(side, 0));
}

int64_t ratio(int64_t numerator, int64_t denominator) { return denominator > 0 ? numerator / denominator : 0; }

// Where a drag may put one axis: [lo, hi]; when the view leaves no room for
// both margins it stays where it is.
int dragLimited(int wanted, int current, int lo, int hi) {
    if (hi < lo) return current;
    return std::clamp(wanted, lo, hi);
}

}  // namespace

UiNavigator::UiNavigator(ControlManager& m, const ui::Rect& area, int previewWidth)
    : UiElement(m, kLabel), area_(area), previewWidth_(previewWidth) {
    command = kCommand;
    if (area_.isEmpty()) area_ = ui::Rect::ofSize(area.left, area.top, 0, 0);
    if (const FilterSession* session = m.session; session && session->record) {
        imageWidth_ = session->record->imageSize.h;
        imageHeight_ = session->record->imageSize.v;
    } else {
        imageWidth_ = libraryState().imageWidth;
        imageHeight_ = libraryState().imageHeight;
    }
    const int w = thumbnailWidth(), h = thumbnailHeight();
    viewSize_.width = limitedSide(ratio(int64_t{previewWidth_} * w, imageWidth_), kMinViewSide, w - 4);
    viewSize_.height = limitedSide(ratio(int64_t{h} * kPreviewHeight, imageHeight_), kMinViewSide, h - 4);
    picture_ = ui::Surface(w, h, ui::kBlack);
    pixels_.assign(static_cast<size_t>(w) * static_cast<size_t>(h) * 3, 0);
}

void UiNavigator::setThumbnailPixel(int x, int y, uint8_t red, uint8_t green, uint8_t blue) {
    if (x < 0 || y < 0 || x >= thumbnailWidth() || y >= thumbnailHeight()) return;
    uint8_t* p = pixels_.data() + (static_cast<size_t>(y) * static_cast<size_t>(thumbnailWidth()) +
                                   static_cast<size_t>(x)) * 3;
    p[0] = blue;
    p[1] = green;
    p[2] = red;
}

int32_t UiNavigator::getValue() { return (view_.x & 0x1FF) | ((view_.y & 0x1FF) << 9); }

void UiNavigator::setValue(int32_t value) {
    view_.x = value & 0x1FF;
    view_.y = (value >> 9) & 0x1FF;
}

bool UiNavigator::syncNavigator(int zoomCode) {
    const int w = thumbnailWidth(), h = thumbnailHeight();
    bool changed = false;
    if (zoomCode != zoom_) {
        zoom_ = zoomCode;
        changed = true;
        const int64_t zoom = zoom_ > 0 ? zoom_ : kFit;
        viewSize_.width = limitedSide(ratio(ratio(int64_t{w} * previewWidth_ * 100, imageWidth_), zoom),
                                      kMinViewSide, w - 2);
        viewSize_.height = limitedSide(ratio(ratio(int64_t{h} * kPreviewHeight * 100, imageHeight_), zoom),
                                       kMinViewSide, h - 2);
        view_.x = std::max(std::min(view_.x, w - viewSize_.width - 2), 0);
        view_.y = std::max(std::min(view_.y, h - viewSize_.height - 2), 0);
        manager().redrawElement(*this);
    }
    const ui::Point origin{static_cast<int>(ratio(int64_t{view_.x} * 10000, w)),
                           static_cast<int>(ratio(int64_t{view_.y} * 10000, h))};
    if (origin != lastOrigin_) changed = true;
    lastOrigin_ = origin;
    imageOrigin_ = {static_cast<int>(int64_t{origin.x} * imageWidth_ / 10000),
                    static_cast<int>(int64_t{origin.y} * imageHeight_ / 10000)};
    return changed;
}

int UiNavigator::handleMouse(ui::Window&, uint32_t message, ui::WParam wParam, ui::LParam lParam) {
    if (!visible) return 0;
    const ui::Point p = ui::pointOfParam(lParam);
    const ui::Point inside{p.x - area_.left, p.y - area_.top};
    const ui::Rect view = viewRect();
    switch (message) {
    case ui::kWmLButtonDown:
        if (inside.x >= view.left && inside.x <= view.right && inside.y >= view.top && inside.y <= view.bottom) {
            dragging_ = true;
            pressView_ = view_;
            pressMouse_ = p;
        }
        return 0;
    case ui::kWmLButtonUp:
        dragging_ = false;
        return 0;
    case ui::kWmMouseMove:
        if (dragging_) {
            if (wParam != ui::kMkLButton) {  // any other button or key held
                dragging_ = false;
            } else {
                const int w = thumbnailWidth(), h = thumbnailHeight();
                const ui::Point moved{
                    dragLimited(pressView_.x + p.x - pressMouse_.x, view_.x, kEdge, w - viewSize_.width - kEdge),
                    dragLimited(pressView_.y + p.y - pressMouse_.y, view_.y, kEdge, h - viewSize_.height - kEdge)};
                if (moved == view_) return 0;
                view_ = moved;
                manager().redrawElement(*this);
                if (area_.contains(p)) manager().showStatus(*this, 1);
                postCommand();
                return 1;
            }
        }
        manager().showStatus(*this, area_.contains(p) ? 1 : 0);
        return 0;
    default:
        return 0;
    }
}

void UiNavigator::draw(ui::Surface& target) {
    if (!visible) {
        manager().eraseToBackground(target, area_);
        return;
    }
    const size_t rowBytes = static_cast<size_t>(thumbnailWidth()) * 3;
    for (int y = 0; y < picture_.height(); ++y)
        std::memcpy(picture_.row(y).data(), pixels_.data() + static_cast<size_t>(y) * rowBytes, rowBytes);
    const ui::Rect view = viewRect();
    if (zoom_ != kFit) bevelFrame(picture_, view.left, view.top, view.right, view.bottom);
    bevelFrame(picture_, 2, 2, picture_.width() - 2, picture_.height() - 2);
    target.blit(area_.left, area_.top, picture_);
}

}  // namespace qm::fw
