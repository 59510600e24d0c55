#include "tools/skins/files.h"

#include <cstdint>
#include <fstream>
#include <vector>

namespace qm::skins {
namespace {

void u16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}
void u32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// BITMAPINFOHEADER and bottom-up 24-bit rows; a cursor's header counts the
// mask's rows too.
void appendDib(std::vector<uint8_t>& out, const ui::Surface& s, int heightFactor, uint32_t extra) {
    const uint32_t stride = (static_cast<uint32_t>(s.width()) * 3 + 3) & ~3u;
    u32(out, 40);
    u32(out, static_cast<uint32_t>(s.width()));
    u32(out, static_cast<uint32_t>(s.height() * heightFactor));
    u16(out, 1);
    u16(out, 24);
    u32(out, 0);
    u32(out, stride * static_cast<uint32_t>(s.height()) + extra);
    u32(out, 2835);
    u32(out, 2835);
    u32(out, 0);
    u32(out, 0);
    for (int y = s.height() - 1; y >= 0; --y) {
        for (int x = 0; x < s.width(); ++x) {
            const ui::Colour c = s.pixel(x, y);
            out.push_back(static_cast<uint8_t>(ui::blueOf(c)));
            out.push_back(static_cast<uint8_t>(ui::greenOf(c)));
            out.push_back(static_cast<uint8_t>(ui::redOf(c)));
        }
        out.resize(out.size() + (stride - static_cast<uint32_t>(s.width()) * 3), 0);
    }
}

bool save(const std::vector<uint8_t>& bytes, const std::string& path) {
    std::ofstream f(path, std::ios::binary);
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(f);
}

}  // namespace

bool writeBmp(const ui::Surface& s, const std::string& path) {
    std::vector<uint8_t> dib;
    appendDib(dib, s, 1, 0);
    std::vector<uint8_t> out{'B', 'M'};
    u32(out, static_cast<uint32_t>(14 + dib.size()));
    u32(out, 0);
    u32(out, 14 + 40);
    out.insert(out.end(), dib.begin(), dib.end());
    return save(out, path);
}

bool writeCursor(const ui::Surface& s, const std::vector<bool>& opaque, ui::Point hotSpot,
                 const std::string& path) {
    // The screen shows where the AND mask is set and the colour is black.
    ui::Surface colours = s;
    const uint32_t maskStride = ((static_cast<uint32_t>(s.width()) + 31) / 32) * 4;
    std::vector<uint8_t> mask;
    for (int y = s.height() - 1; y >= 0; --y) {
        std::vector<uint8_t> line(maskStride, 0);
        for (int x = 0; x < s.width(); ++x)
            if (!opaque[static_cast<size_t>(y * s.width() + x)]) {
                line[static_cast<size_t>(x / 8)] |= static_cast<uint8_t>(0x80 >> (x % 8));
                colours.setPixel(x, y, ui::kBlack);
            }
        mask.insert(mask.end(), line.begin(), line.end());
    }
    std::vector<uint8_t> image;
    appendDib(image, colours, 2, static_cast<uint32_t>(mask.size()));
    image.insert(image.end(), mask.begin(), mask.end());

    std::vector<uint8_t> out;
    u16(out, 0);
    u16(out, 2);  // a cursor
    u16(out, 1);
    out.push_back(static_cast<uint8_t>(s.width()));
    out.push_back(static_cast<uint8_t>(s.height()));
    out.push_back(0);
    out.push_back(0);
    u16(out, static_cast<uint32_t>(hotSpot.x));
    u16(out, static_cast<uint32_t>(hotSpot.y));
    u32(out, static_cast<uint32_t>(image.size()));
    u32(out, 6 + 16);
    out.insert(out.end(), image.begin(), image.end());
    return save(out, path);
}

}  // namespace qm::skins
