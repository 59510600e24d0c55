#include "framework/controls/ui_preview.h"

#include <algorithm>
#include <cstring>
#include <exception>

#include "framework/controls/control_manager.h"
#include "framework/controls/engraving.h"
#include "framework/controls/number_text.h"
#include "framework/controls/skin_drawing.h"
#include "framework/host/filter_session.h"
#include "framework/host/render_loop.h"
#include "framework/host/render_state.h"
#include "platform/os/clock.h"
#include "platform/ui/messages.h"
#include "platform/ui/window.h"

namespace qm::fw {
namespace {

int roundedSide(int side) { return std::clamp(side, 0, UiPreview::kMaxSide) / 4 * 4; }

}  // namespace

UiPreview::UiPreview(ControlManager& m, const ui::Rect& area, const ui::Rect& meter)
    : UiElement(m, ""), meter_(meter) {
    command = kCommand;
    enabled = false;
    area_ = ui::Rect::ofSize(area.left, area.top, roundedSide(area.width()), roundedSide(area.height()));

    FilterSession* session = m.session;
    const FilterRecord* record = session ? session->record : nullptr;
    const int planes = session ? session->planes : 3;
    const bool withMask = record && record->haveMask;
    buffers_.sixteenBit = libraryState().sixteenBitMode;
    try {
        picture_ = ui::Surface(area_.width(), area_.height(), ui::kBlack);
    } catch (const std::exception&) {
        buffers_.failed = true;
    }
    if (!buffers_.failed) buffers_.allocate(area_.width(), area_.height(), planes, withMask);
    if (buffers_.failed) {
        // Nothing to render into: the render loop then covers an empty region.
        buffers_.copy.clear();
        buffers_.display.clear();
        buffers_.maskCopy.clear();
        buffers_.width = buffers_.height = 0;
        picture_ = ui::Surface();
    }
    buffers_.planes = planes;
    buffers_.transferred = false;
    buffers_.dirty = false;
    buffers_.displayValid = false;

    if (session) session->preview = &buffers_;
    if (record && !buffers_.failed) {
        // Limited to the area: a larger region would be rendered past the display.
        const CopySize size = previewCopySize(record->imageSize.h, record->imageSize.v, session->previewScale);
        buffers_.renderedWidth = std::min(size.width, buffers_.width);
        buffers_.renderedHeight = std::min(size.height, buffers_.height);
    }
    // A plain repaint shows no new drawing time.
    m.onRepaint = [this] { buffers_.renderStartTime = 0; };
}

UiPreview::~UiPreview() {
    FilterSession* session = manager().session;
    if (session && session->preview == &buffers_) session->preview = nullptr;
    manager().onRepaint = nullptr;
}

int UiPreview::handleMouse(ui::Window& window, uint32_t message, ui::WParam, ui::LParam lParam) {
    if (!visible) return 0;
    const ui::Point p = ui::pointOfParam(lParam);
    const ui::LParam relative = ui::makePointParam(p.x - area_.left, p.y - area_.top);
    auto post = [&](int offset) { window.post(ui::kWmPrivate, static_cast<ui::WParam>(command + offset), relative); };
    if (!area_.contains(p)) {
        post(kOutside);
        return 0;
    }
    switch (message) {
    case ui::kWmMouseMove:
        post(kMove);
        return 0;
    case ui::kWmLButtonUp:
        post(kLeftUp);
        return 1;
    case ui::kWmRButtonDown:
        post(kRightDown);
        return 1;
    default:
        return 1;
    }
}

void UiPreview::draw(ui::Surface& target) {
    if (!visible) {
        manager().eraseToBackground(target, area_);
        return;
    }
    if (buffers_.failed) return;
    if (!buffers_.transferred) {
        transfer(target);
        renderNow();
        buffers_.transferred = true;
    }
    if (buffers_.dirty) {
        // Cleared first: the render redraws the preview when it completes.
        buffers_.dirty = false;
        renderNow();
    }
    if (!buffers_.displayValid) convertDisplayToBitmap(buffers_, background);

    const size_t rowBytes = static_cast<size_t>(area_.width()) * 3;
    for (int y = 0; y < picture_.height(); ++y)
        std::memcpy(picture_.row(y).data(), buffers_.display.data() + static_cast<size_t>(y) * rowBytes, rowBytes);
    bevelFrame(picture_, 2, 2, picture_.width() - 2, picture_.height() - 2);
    target.blit(area_.left, area_.top, picture_);
    showMeter(target);
}

void UiPreview::transfer(ui::Surface& target) {
    // Straight onto the window: the copy can take a while.
    target.setTextColour(ui::kBlack);
    target.drawText(area_.left + 20, area_.top + 20, kTransferText);
    const FilterSession* session = manager().session;
    if (!session || !session->record) return;
    const FilterRecord& fr = *session->record;
    const HostImage image = hostImageOf(fr, buffers_.planes, buffers_.sixteenBit);
    makePreviewCopy(image, static_cast<uint8_t*>(fr.outData), fr.outRowBytes, session->previewScale, buffers_);
}

void UiPreview::renderNow() {
    FilterSession* session = manager().session;
    // Only as the dialog's preview: without both links the loop would run the
    // final pass over the whole image.
    if (!session || !session->renderState || session->preview != &buffers_ || !session->dialog) return;
    render(*session->renderState);
}

std::string UiPreview::meterText(uint32_t elapsedMs) {
    return numberText("%.4i ", static_cast<int>(elapsedMs & 0x3FFF));
}

void UiPreview::showMeter(ui::Surface& target) {
    if (buffers_.renderStartTime == 0 || meter_.isEmpty()) return;
    const std::string text = meterText(os::tickCount() - buffers_.renderStartTime);
    target.rectangle(meter_);
    target.drawText(meter_.left + 2, meter_.top + 1, text);
    buffers_.renderStartTime = 0;
}

}  // namespace qm::fw
