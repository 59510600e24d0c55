// controls_demo OUT.png [PHOTO.jpg]
//
// A dialog in the sharpening dialogs' layout composed from the committed
// skins, texts and the status line, drawn on the headless screen and written
// as a screenshot: for judging the skins by eye. Not shipped, not a test.
#include <cstdio>
#include <jpeglib.h>

#include <csetjmp>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "framework/controls/control_manager.h"
#include "framework/controls/engraving.h"
#include "framework/controls/skin_drawing.h"
#include "platform/ui/screenshot.h"
#include "platform/ui/window.h"
#include "tests/framework/controls/controls_test_support.h"

namespace {

using namespace qm;
using fw::ControlManager;
using fw::Skin;

// The parts of the demo controls that every one of them shares: an area
// that is erased with the background, composed off-screen and copied out.
class DemoControl : public fw::UiElement {
public:
    DemoControl(ControlManager& m, std::string_view label, ui::Rect area) : UiElement(m, label), area_(area) {}
    int handleMouse(ui::Window&, uint32_t message, ui::WParam, ui::LParam l) override {
        if (message == ui::kWmMouseMove) manager().showStatus(*this, area_.contains(ui::pointOfParam(l)) ? 1 : 0);
        return 0;
    }
    void draw(ui::Surface& target) override {
        ui::Surface& off = manager().offscreen();
        fw::tile(manager().background(), off, area_.left, area_.top, area_.right, area_.bottom);
        if (visible) compose(off);
        manager().copyOut(target, area_);
    }

protected:
    virtual void compose(ui::Surface& off) = 0;
    Skin skin(uint32_t id) { return fw::loadSkin(manager().module(), id); }
    ui::Rect area_;
};

class DemoButton : public DemoControl {
public:
    DemoButton(ControlManager& m, std::string_view label, int x, int y, uint32_t id)
        : DemoControl(m, label, {}), face_(skin(id)) {
        area_ = ui::Rect::ofSize(x, y, face_.width() + 1, face_.height() + 1);
    }
    void compose(ui::Surface& off) override { fw::drawTransparent(face_, off, area_.left, area_.top, 0, 0); }

private:
    Skin face_;
};

class DemoSlider : public DemoControl {
public:
    DemoSlider(ControlManager& m, std::string_view label, int x, int y, int length, int value, std::string name)
        : DemoControl(m, label, {x - 8, y - 24, x + length + 8, y + 8}), x_(x), y_(y), length_(length),
          value_(value), name_(std::move(name)), thumb_(skin(121)) {}
    void compose(ui::Surface& off) override {
        fw::engravedLine(off, x_, y_, x_ + length_, y_);
        off.setTextColour(ui::kBlack);
        off.drawText(x_, y_ - 22, name_);
        char text[8];
        std::snprintf(text, sizeof text, "%03i", value_);
        off.drawText(x_ + length_ - off.textExtent(text).width, y_ - 22, text);
        fw::drawTransparent(thumb_, off, x_ + value_, y_, -thumb_.width() / 2, -thumb_.height() / 2);
    }

private:
    int x_, y_, length_, value_;
    std::string name_;
    Skin thumb_;
};

class DemoSelector : public DemoControl {
public:
    DemoSelector(ControlManager& m, std::string_view label, int x, int y, int state, std::string caption)
        : DemoControl(m, label, {x, y, x + 13, y + 13}), state_(state), caption_(std::move(caption)), strip_(skin(128)) {
        area_.right += 16 + 8 * static_cast<int>(caption_.size());
    }
    void compose(ui::Surface& off) override {
        fw::copyColumns(strip_, off, state_ * 13, area_.left, area_.top, state_ * 13 + 13);
        off.setTextColour(ui::kBlack);
        off.drawText(area_.left + 17, area_.top, caption_);
    }

private:
    int state_;
    std::string caption_;
    Skin strip_;
};

class DemoProgress : public DemoControl {
public:
    DemoProgress(ControlManager& m, int left, int top, int right, int filled)
        : DemoControl(m, "", {left, top, right, top + 5}), filled_(filled), cell_(skin(130)) {}
    void compose(ui::Surface& off) override {
        for (int i = 0; i < filled_; ++i) fw::drawTransparent(cell_, off, area_.left + i * cell_.width(), area_.top, 0, 0);
    }

private:
    int filled_;
    Skin cell_;
};

// A picture set into the background, as the preview and the navigator are.
class DemoPicture : public DemoControl {
public:
    DemoPicture(ControlManager& m, std::string_view label, ui::Rect r, const ui::Surface* photo)
        : DemoControl(m, label, r.inflatedBy(2, 2)), inside_(r), photo_(photo) {}
    void compose(ui::Surface& off) override {
        off.fill(inside_, ui::rgb(227, 217, 203));
        if (photo_) {
            // Scaled to fit by nearest pixels.
            const double s = std::max(photo_->width() / double(inside_.width()), photo_->height() / double(inside_.height()));
            for (int y = inside_.top; y < inside_.bottom; ++y)
                for (int x = inside_.left; x < inside_.right; ++x) {
                    const ui::Colour c = photo_->pixel(static_cast<int>((x - inside_.left) * s), static_cast<int>((y - inside_.top) * s));
                    if (c != ui::kInvalidColour) off.setPixel(x, y, c);
                }
        }
        fw::bevelFrame(off, inside_.left, inside_.top, inside_.right, inside_.bottom);
    }

private:
    ui::Rect inside_;
    const ui::Surface* photo_;
};

// The photograph beside the controls, decoded by libjpeg; false on any trouble.
bool readJpeg(const char* path, ui::Surface& out) {
    FILE* f = std::fopen(path, "rb");
    if (!f) return false;
    struct Failure {
        jpeg_error_mgr manager;
        std::jmp_buf jump;
    } failure;
    jpeg_decompress_struct info;
    info.err = jpeg_std_error(&failure.manager);
    failure.manager.error_exit = [](j_common_ptr c) { std::longjmp(reinterpret_cast<Failure*>(c->err)->jump, 1); };
    if (setjmp(failure.jump)) {
        jpeg_destroy_decompress(&info);
        std::fclose(f);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_stdio_src(&info, f);
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    out = ui::Surface(static_cast<int>(info.output_width), static_cast<int>(info.output_height));
    std::vector<uint8_t> line(info.output_width * 3);
    while (info.output_scanline < info.output_height) {
        const int y = static_cast<int>(info.output_scanline);
        JSAMPROW row = line.data();
        jpeg_read_scanlines(&info, &row, 1);
        for (int x = 0; x < out.width(); ++x)
            out.setPixel(x, y, ui::rgb(line[x * 3], line[x * 3 + 1], line[x * 3 + 2]));
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    std::fclose(f);
    return true;
}

std::vector<uint8_t> readFile(const std::filesystem::path& p) {
    std::ifstream f(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: controls_demo OUT.png [PHOTO.jpg]\n");
        return 2;
    }
    setenv("QUILLMERE_HEADLESS", "1", 1);
    ui::Surface photo;
    std::string error;
    const bool havePhoto = argc > 2 && readJpeg(argv[2], photo);

    // The committed skins, as a plug-in's resource table would hold them.
    fw::testing::TestResources resources;
    for (const auto& entry : std::filesystem::directory_iterator(QM_SOURCE_DIR "/resources/common")) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("skin", 0) == 0 && entry.path().extension() == ".bmp")
            resources.add(ui::kResourceBitmap, static_cast<uint32_t>(std::stoul(name.substr(4))), readFile(entry.path()));
    }

    constexpr int pw = 600, x0 = pw + 5, x1 = x0 + 20;
    auto window = ui::createWindow({ui::kStylePopup | ui::kStyleCaption | ui::kStyleModalFrame | ui::kStyleVisible,
                                    ui::Rect::ofSize(20, 20, x0 + 290, 660), "Quillmere", 0, nullptr, nullptr, {}});
    window->setClientSize(x0 + 285, 642);
    ControlManager manager(resources.module());
    manager.setUpDialog(*window, {55, 622, 505, 636});

    manager.create<DemoPicture>("", ui::Rect{5, 17, x0, 617}, havePhoto ? &photo : nullptr);
    manager.create<DemoProgress>(6, 6, pw + 6, 31);
    manager.create<DemoPicture>("Navigator Window", ui::Rect{x1, 67, x1 + 200, 67 + 132}, havePhoto ? &photo : nullptr);
    const char* zooms[] = {"50%", "100%", "Fit"};
    for (int i = 0; i < 3; ++i)
        manager.create<DemoSelector>("Scale Selector", x1 + i * 60, 132 + 87, i == 2 ? 2 : 0, zooms[i]);
    manager.create<DemoSlider>("Sharpening Amount", x1 + 10, 290, 200, 120, "Amount");
    manager.create<DemoSlider>("Radius of the smoothing", x1 + 10, 340, 200, 64, "Radius");
    manager.create<DemoSlider>("Halo control: dark@Halo control: light", x1 + 10, 390, 200, 155, "Halo");
    manager.create<DemoSlider>("Masking already sharp areas", x1 + 10, 440, 200, 30, "Masking");
    manager.create<DemoSelector>("Mask", x1 + 10, 470, 0, "Mask");
    manager.create<DemoSelector>("Preview", x0 + 203, 557, 2, "Preview");
    manager.create<DemoButton>("Help/Tutorial", x0 + 243, 4, 215);
    manager.create<DemoButton>("Undo Last Operation", x0 + 19, 557, 200);
    manager.create<DemoButton>("Redo Last Operation", x0 + 47, 557, 201);
    manager.create<DemoButton>("Random Settings", x0 + 75, 557, 211);
    manager.create<DemoButton>("Reset All Settings", x0 + 103, 557, 212);
    auto& apply = manager.create<DemoButton>("Apply the filter", x0 + 193, 590, 202);
    manager.create<DemoButton>("Cancel the filter", x0 + 242, 590, 235);

    window->invalidate();
    manager.beginPaint();
    manager.paintAll();
    manager.endPaint();
    // The pointer over the apply button shows its help text.
    manager.dispatchMouse(*window, ui::kWmMouseMove, 0, ui::makePointParam(x0 + 205, 600));
    if (apply.statusShown != 1) std::fprintf(stderr, "the status line did not follow the pointer\n");

    if (!ui::writePng(ui::composeWindow(*window), argv[1], error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    manager.tearDown();
    return 0;
}
