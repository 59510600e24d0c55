#include "platform/ui/bitmap.h"

#include <cstring>
#include <vector>

namespace qm::ui {
namespace {

uint32_t u16(std::span<const uint8_t> b, size_t at) {
    return static_cast<uint32_t>(b[at] | (b[at + 1] << 8));
}
uint32_t u32(std::span<const uint8_t> b, size_t at) {
    return static_cast<uint32_t>(b[at]) | (static_cast<uint32_t>(b[at + 1]) << 8) |
           (static_cast<uint32_t>(b[at + 2]) << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}
int32_t s32(std::span<const uint8_t> b, size_t at) { return static_cast<int32_t>(u32(b, at)); }

constexpr int32_t kMaxSide = 16384;

// Position of a mask's lowest bit and its width, for 16- and 32-bit fields.
struct Field {
    int shift = 0;
    int bits = 0;
    uint8_t read(uint32_t v) const {
        if (bits == 0) return 0;
        uint32_t x = (v >> shift) & ((1u << bits) - 1);
        return static_cast<uint8_t>(bits >= 8 ? x >> (bits - 8) : (x * 255) / ((1u << bits) - 1));
    }
};
Field fieldOf(uint32_t mask) {
    Field f;
    if (mask == 0) return f;
    while (!(mask & 1)) {
        mask >>= 1;
        ++f.shift;
    }
    while (mask & 1) {
        mask >>= 1;
        ++f.bits;
    }
    return f;
}

// A DIB: header at `header`, pixels at `bits` (or right after the palette
// when bits is 0). heightScale is 2 for a cursor's XOR + AND pair.
bool decodeDib(std::span<const uint8_t> b, size_t header, size_t bits, int heightScale,
               Surface& out, size_t* endOfPixels, std::string& error) {
    if (b.size() < header + 12) {
        error = "truncated bitmap header";
        return false;
    }
    const uint32_t headerSize = u32(b, header);
    int32_t width, height;
    uint32_t bitCount, compression = 0, used = 0;
    size_t paletteEntry = 4;
    if (headerSize == 12) {  // BITMAPCOREHEADER
        width = static_cast<int32_t>(u16(b, header + 4));
        height = static_cast<int32_t>(u16(b, header + 6));
        bitCount = u16(b, header + 10);
        paletteEntry = 3;
    } else if (headerSize >= 40 && headerSize <= 124) {
        if (b.size() < header + headerSize) {
            error = "truncated bitmap header";
            return false;
        }
        width = s32(b, header + 4);
        height = s32(b, header + 8);
        bitCount = u16(b, header + 14);
        compression = u32(b, header + 16);
        used = u32(b, header + 32);
    } else {
        error = "not a BMP (unknown header size " + std::to_string(headerSize) + ")";
        return false;
    }
    const bool topDown = height < 0;
    if (topDown) height = -height;
    height /= heightScale;
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) {
        error = "bitmap size " + std::to_string(width) + " x " + std::to_string(height) +
                " out of range";
        return false;
    }
    if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 &&
        bitCount != 32) {
        error = "unsupported bitmap depth " + std::to_string(bitCount);
        return false;
    }
    const bool bitfields = compression == 3 && (bitCount == 16 || bitCount == 32);
    if (compression != 0 && !bitfields) {
        error = "compressed bitmaps are not supported (compression " + std::to_string(compression) + ")";
        return false;
    }
    size_t after = header + headerSize;
    Field red, green, blue;
    if (bitCount == 16) {
        red = fieldOf(0x7C00), green = fieldOf(0x03E0), blue = fieldOf(0x001F);
    } else if (bitCount == 32) {
        red = fieldOf(0xFF0000), green = fieldOf(0xFF00), blue = fieldOf(0xFF);
    }
    if (bitfields) {
        // Masks follow a 40-byte header; larger headers carry them inside.
        size_t at = header + 40;
        if (b.size() < at + 12) {
            error = "truncated bitmap masks";
            return false;
        }
        red = fieldOf(u32(b, at)), green = fieldOf(u32(b, at + 4)), blue = fieldOf(u32(b, at + 8));
        if (headerSize == 40) after += 12;
    }
    std::vector<Colour> palette;
    if (bitCount <= 8) {
        size_t count = used ? used : (1u << bitCount);
        if (count > 256) count = 256;
        if (b.size() < after + count * paletteEntry) {
            error = "truncated bitmap palette";
            return false;
        }
        for (size_t i = 0; i < count; ++i) {
            size_t at = after + i * paletteEntry;
            palette.push_back(rgb(b[at + 2], b[at + 1], b[at]));
        }
        after += count * paletteEntry;
    }
    if (bits == 0) bits = after;
    const size_t stride = ((static_cast<size_t>(width) * bitCount + 31) / 32) * 4;
    const size_t need = stride * static_cast<size_t>(height);
    if (bits > b.size() || b.size() - bits < need) {
        error = "truncated bitmap pixels";
        return false;
    }
    out = Surface(width, height, kBlack);
    for (int y = 0; y < height; ++y) {
        const size_t line = bits + stride * static_cast<size_t>(topDown ? y : height - 1 - y);
        for (int x = 0; x < width; ++x) {
            Colour c = kBlack;
            const size_t ux = static_cast<size_t>(x);
            switch (bitCount) {
            case 1:
            case 4:
            case 8: {
                const size_t bit = ux * bitCount;
                const uint8_t byte = b[line + bit / 8];
                const unsigned index =
                    (byte >> (8 - bitCount - (bit % 8))) & ((1u << bitCount) - 1);
                c = index < palette.size() ? palette[index] : kBlack;
                break;
            }
            case 16: {
                uint32_t v = u16(b, line + ux * 2);
                c = rgb(red.read(v), green.read(v), blue.read(v));
                break;
            }
            case 24:
                c = rgb(b[line + ux * 3 + 2], b[line + ux * 3 + 1], b[line + ux * 3]);
                break;
            case 32: {
                uint32_t v = u32(b, line + ux * 4);
                c = rgb(red.read(v), green.read(v), blue.read(v));
                break;
            }
            }
            out.setPixel(x, y, c);
        }
    }
    out.takeChanged();
    if (endOfPixels) *endOfPixels = bits + need;
    return true;
}

}  // namespace

bool decodeBmp(std::span<const uint8_t> b, Surface& out, std::string& error) {
    if (b.size() >= 14 && b[0] == 'B' && b[1] == 'M') {
        return decodeDib(b, 14, u32(b, 10), 1, out, nullptr, error);
    }
    if (b.size() >= 4) {
        uint32_t h = u32(b, 0);
        if (h == 12 || h == 40 || h == 52 || h == 56 || h == 108 || h == 124)
            return decodeDib(b, 0, 0, 1, out, nullptr, error);
    }
    error = "not a BMP (neither a BM file header nor a bitmap header)";
    return false;
}

bool decodeCursor(std::span<const uint8_t> b, CursorImage& out, std::string& error) {
    if (b.size() >= 6 && u16(b, 0) == 0 && u16(b, 2) == 2) {
        if (u16(b, 4) == 0 || b.size() < 22) {
            error = "cursor file without images";
            return false;
        }
        const uint32_t hotX = u16(b, 10), hotY = u16(b, 12);
        const uint32_t size = u32(b, 14), offset = u32(b, 18);
        if (offset > b.size() || b.size() - offset < size) {
            error = "truncated cursor image";
            return false;
        }
        std::span<const uint8_t> image = b.subspan(offset, size);
        if (image.size() >= 4 && image[0] == 0x89 && image[1] == 'P') {
            error = "PNG cursor images are not supported";
            return false;
        }
        size_t end = 0;
        if (!decodeDib(image, 0, 0, 2, out.pixels, &end, error)) return false;
        const int w = out.pixels.width(), h = out.pixels.height();
        const size_t maskStride = ((static_cast<size_t>(w) + 31) / 32) * 4;
        out.opaque.assign(static_cast<size_t>(w) * h, 1);
        if (image.size() >= end + maskStride * h) {
            for (int y = 0; y < h; ++y) {
                const size_t line = end + maskStride * static_cast<size_t>(h - 1 - y);
                for (int x = 0; x < w; ++x)
                    if ((image[line + static_cast<size_t>(x) / 8] >> (7 - x % 8)) & 1)
                        out.opaque[static_cast<size_t>(y) * w + x] = 0;  // AND bit set: screen shows
            }
        }
        out.hotSpot = {static_cast<int>(hotX), static_cast<int>(hotY)};
        return true;
    }
    if (!decodeBmp(b, out.pixels, error)) {
        error = "not a cursor: " + error;
        return false;
    }
    const int w = out.pixels.width(), h = out.pixels.height();
    out.opaque.assign(static_cast<size_t>(w) * h, 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            out.opaque[static_cast<size_t>(y) * w + x] = out.pixels.pixel(x, y) != kWhite;
    out.hotSpot = {0, 0};
    return true;
}

LoadResult loadBitmapResource(const os::ResourceModule& module, const os::ResourceId& id,
                              Surface& out, std::string& error) {
    auto bytes = module.find(os::ResourceId::of(kResourceBitmap), id);
    if (!bytes) return LoadResult::Missing;
    if (!decodeBmp(*bytes, out, error)) {
        error = "bitmap " + (id.isNumber() ? std::to_string(id.number) : id.text) + ": " + error;
        return LoadResult::Invalid;
    }
    return LoadResult::Loaded;
}

}  // namespace qm::ui
