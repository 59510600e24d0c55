// Helpers of the window layer's tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/ui/messages.h"
#include "platform/ui/surface.h"

namespace qm::ui::testing {

// Where the headless tests' screenshots go (QUILLMERE_SCREENSHOTS).
const std::string& screenshotDir();

// A message as a dialog procedure saw it.
struct Seen {
    uint32_t message;
    WParam wParam;
    LParam lParam;
    bool operator==(const Seen&) const = default;
};

// A BMP file of a surface: 24, 32, 8 (palette of the surface's colours), 4
// or 1 bits, bottom-up unless topDown, without the file header when bare.
inline std::vector<uint8_t> encodeBmp(const Surface& s, int bits, bool topDown = false, bool bare = false) {
    std::vector<Colour> palette;
    if (bits <= 8) {
        for (int y = 0; y < s.height(); ++y)
            for (int x = 0; x < s.width(); ++x) {
                Colour c = s.pixel(x, y);
                bool known = false;
                for (Colour p : palette) known = known || p == c;
                if (!known) palette.push_back(c);
            }
        palette.resize(size_t{1} << bits, 0);
    }
    const size_t stride = ((static_cast<size_t>(s.width()) * bits + 31) / 32) * 4;
    std::vector<uint8_t> out;
    auto u16 = [&](uint32_t v) { out.push_back(uint8_t(v)); out.push_back(uint8_t(v >> 8)); };
    auto u32 = [&](uint32_t v) { for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i))); };
    const uint32_t header = bare ? 0 : 14;
    const uint32_t offset = header + 40 + static_cast<uint32_t>(palette.size() * 4);
    if (!bare) {
        out.push_back('B');
        out.push_back('M');
        u32(offset + static_cast<uint32_t>(stride * s.height()));
        u32(0);
        u32(offset);
    }
    u32(40);
    u32(static_cast<uint32_t>(s.width()));
    u32(static_cast<uint32_t>(topDown ? -s.height() : s.height()));
    u16(1);
    u16(static_cast<uint32_t>(bits));
    u32(0);
    u32(static_cast<uint32_t>(stride * s.height()));
    u32(2835);
    u32(2835);
    u32(static_cast<uint32_t>(palette.size()));
    u32(0);
    for (Colour p : palette) {
        out.push_back(uint8_t(blueOf(p)));
        out.push_back(uint8_t(greenOf(p)));
        out.push_back(uint8_t(redOf(p)));
        out.push_back(0);
    }
    for (int r = 0; r < s.height(); ++r) {
        const int y = topDown ? r : s.height() - 1 - r;
        std::vector<uint8_t> line(stride, 0);
        for (int x = 0; x < s.width(); ++x) {
            const Colour c = s.pixel(x, y);
            if (bits == 24 || bits == 32) {
                const size_t at = static_cast<size_t>(x) * (bits / 8);
                line[at] = uint8_t(blueOf(c));
                line[at + 1] = uint8_t(greenOf(c));
                line[at + 2] = uint8_t(redOf(c));
            } else {
                unsigned index = 0;
                while (palette[index] != c) ++index;
                const size_t bit = static_cast<size_t>(x) * bits;
                line[bit / 8] = uint8_t(line[bit / 8] | (index << (8 - bits - bit % 8)));
            }
        }
        out.insert(out.end(), line.begin(), line.end());
    }
    return out;
}

}  // namespace qm::ui::testing
