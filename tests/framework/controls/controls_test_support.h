// Helpers of the control base's tests: a resource table made at run time,
// recognisable pictures, and a control that records what is asked of it.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "framework/controls/control_manager.h"
#include "framework/controls/skin_drawing.h"
#include "framework/controls/ui_element.h"
#include "platform/os/resources.h"
#include "platform/ui/bitmap.h"
#include "platform/ui/surface.h"
#include "tests/platform/ui/ui_test_support.h"

namespace qm::fw::testing {

// Bitmap resources (type 2) by number, made from surfaces or raw bytes.
class TestResources {
public:
    void addBitmap(uint32_t id, const ui::Surface& s) { add(ui::kResourceBitmap, id, ui::testing::encodeBmp(s, 24)); }
    void add(uint32_t type, uint32_t id, std::vector<uint8_t> bytes) {
        data_.push_back({type, id, std::move(bytes)});
        entries_.clear();
        for (const Data& d : data_)
            entries_.push_back({{nullptr, d.type}, {nullptr, d.id}, d.bytes.data(), static_cast<uint32_t>(d.bytes.size())});
        table_ = {QM_RESOURCE_TABLE_MAGIC, static_cast<uint32_t>(entries_.size()), entries_.data()};
    }
    os::ResourceModule module() const { return os::ResourceModule(&table_); }

private:
    struct Data {
        uint32_t type, id;
        std::vector<uint8_t> bytes;
    };
    std::deque<Data> data_;
    std::vector<QmResource> entries_;
    QmResourceTable table_{QM_RESOURCE_TABLE_MAGIC, 0, nullptr};
};

// Every pixel its own colour (never pure white), so a misplaced copy shows.
inline ui::Surface numbered(int w, int h, int seed = 0) {
    ui::Surface s(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) s.setPixel(x, y, ui::rgb(x * 9 + seed, y * 13 + 1, (x + y + seed) & 0x7F));
    s.takeChanged();
    return s;
}

// A control over a rectangle that, like the real ones, tiles the background
// there in the off-screen surface and copies the rectangle to the target;
// it records the mouse messages it is offered and consumes those it is told to.
class RecordingControl : public UiElement {
public:
    RecordingControl(ControlManager& m, std::string_view label, ui::Rect rect, uint32_t consumed = 0)
        : UiElement(m, label), area(rect), consumes(consumed) {}

    int handleMouse(ui::Window&, uint32_t message, ui::WParam, ui::LParam) override {
        offered.push_back(message);
        return message == consumes;
    }
    void draw(ui::Surface& target) override {
        ++draws;
        ui::Surface& off = manager().offscreen();
        tile(manager().background(), off, area.left, area.top, area.right, area.bottom);
        manager().copyOut(target, area);
    }

    ui::Rect area;
    uint32_t consumes;
    std::vector<uint32_t> offered;
    int draws = 0;
};

}  // namespace qm::fw::testing
