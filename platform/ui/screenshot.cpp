#include "platform/ui/screenshot.h"

#include <png.h>

#include <cstdio>
#include <filesystem>
#include <vector>

#include "platform/ui/font.h"
#include "platform/ui/internal.h"

namespace qm::ui {

Surface composeWindow(const Window& w) { return detail::composeArea(w, w.clientRect()); }

Surface composeScreen() {
    const Size size = screenSize();
    Surface screen(size.width, size.height, kDesktopColour);
    for (Window* w : topLevelWindows()) {
        if (!w->isVisible()) continue;
        const Rect outer = w->windowRect();
        const FrameInsets f = w->frame();
        if (f.left || f.top) {
            screen.fill(outer, kDialogColour);
            screen.frame(outer, 0x404040);
            if (w->style() & kStyleCaption) {
                const Rect bar{outer.left + f.left, outer.top + 3, outer.right - f.right, outer.top + f.top - 1};
                screen.fill(bar, rgb(10, 36, 106));
                screen.setTextColour(kWhite);
                screen.setBackgroundMode(BackgroundMode::Transparent);
                screen.drawText(bar.left + 4, bar.top + (bar.height() - 13) / 2, w->text());
            }
        }
        const Point origin = w->clientToScreen({0, 0});
        screen.blit(origin.x, origin.y, composeWindow(*w));
    }
    screen.takeChanged();
    return screen;
}

bool writePng(const Surface& s, const std::string& path, std::string& error) {
    if (s.isEmpty()) {
        error = "nothing to write: the surface is empty";
        return false;
    }
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        error = "cannot write " + path;
        return false;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    std::vector<uint8_t> row(static_cast<size_t>(s.width()) * 3);
    if (!png || !info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(f);
        error = "cannot encode " + path;
        return false;
    }
    png_init_io(png, f);
    png_set_IHDR(png, info, static_cast<png_uint_32>(s.width()), static_cast<png_uint_32>(s.height()), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < s.height(); ++y) {
        std::span<const uint8_t> src = s.row(y);
        for (size_t x = 0; x < static_cast<size_t>(s.width()); ++x) {
            row[x * 3] = src[x * 3 + 2];
            row[x * 3 + 1] = src[x * 3 + 1];
            row[x * 3 + 2] = src[x * 3];
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    if (std::fclose(f) != 0) {
        error = "cannot write " + path;
        return false;
    }
    return true;
}

bool readPng(const std::string& path, Surface& out, std::string& error) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        error = "cannot read " + path;
        return false;
    }
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    std::vector<uint8_t> pixels;
    if (!png || !info || setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        std::fclose(f);
        error = "not a readable PNG: " + path;
        return false;
    }
    png_init_io(png, f);
    png_read_info(png, info);
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_strip_alpha(png);
    png_set_gray_to_rgb(png);
    png_read_update_info(png, info);
    const int w = static_cast<int>(png_get_image_width(png, info));
    const int h = static_cast<int>(png_get_image_height(png, info));
    const size_t rowBytes = png_get_rowbytes(png, info);
    pixels.resize(rowBytes * static_cast<size_t>(h));
    std::vector<png_bytep> rows(static_cast<size_t>(h));
    for (int y = 0; y < h; ++y) rows[static_cast<size_t>(y)] = pixels.data() + rowBytes * static_cast<size_t>(y);
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(f);
    out = Surface(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const uint8_t* p = rows[static_cast<size_t>(y)] + static_cast<size_t>(x) * 3;
            out.setPixel(x, y, rgb(p[0], p[1], p[2]));
        }
    out.takeChanged();
    return true;
}

namespace detail {

std::string environment(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

const std::string& screenshotFolder() {
    static const std::string folder = [] {
        std::string dir = environment("QUILLMERE_SCREENSHOTS");
        if (!dir.empty()) {
            std::error_code ec;
            std::filesystem::create_directories(dir, ec);
        }
        return dir;
    }();
    return folder;
}

void writeScreenshot(const Surface& s, const std::string& fileName) {
    static bool reported = false;
    const std::string& dir = screenshotFolder();
    if (dir.empty()) return;
    std::string error;
    if (!writePng(s, (std::filesystem::path(dir) / fileName).string(), error) && !reported) {
        reported = true;
        std::fprintf(stderr, "quillmere: screenshot: %s\n", error.c_str());
    }
}

void paintEnded(Window& w) {
    static int count = 0;
    if (!w.isTopLevel() || screenshotFolder().empty() || !backend().screenshotEachPaint()) return;
    char name[32];
    std::snprintf(name, sizeof name, "paint-%04d.png", ++count);
    writeScreenshot(composeWindow(w), name);
}

}  // namespace detail
}  // namespace qm::ui
