// Images as the host reads and writes them: PNG (8 and 16 bits; grey, grey +
// alpha, RGB, RGBA) and JPEG (grey, RGB, CMYK).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qm::host {

enum class ColourSpace { Grey, RGB, CMYK };

struct Image {
    int32_t width = 0;
    int32_t height = 0;
    ColourSpace colour = ColourSpace::RGB;
    bool hasAlpha = false;  // alpha is the last channel
    int depth = 8;          // bits per sample: 8, or 16 (0..65535, native byte order)
    // What a file carries besides its pixels, kept from input to output: the
    // colour profile (ICC bytes; JPEG and PNG) and the EXIF block (JPEG only:
    // the APP1 payload, "Exif\0\0" first). Pixels are never rotated by its
    // orientation.
    std::vector<uint8_t> icc;
    std::vector<uint8_t> exif;
    // Interleaved samples, rows top to bottom, no padding:
    // width * channels() * bytesPerSample() bytes a row.
    std::vector<uint8_t> pixels;

    int channels() const {
        int colourChannels = colour == ColourSpace::Grey ? 1 : colour == ColourSpace::RGB ? 3 : 4;
        return colourChannels + (hasAlpha ? 1 : 0);
    }
    int bytesPerSample() const { return depth == 16 ? 2 : 1; }
    size_t rowBytes() const {
        return static_cast<size_t>(width) * static_cast<size_t>(channels()) *
               static_cast<size_t>(bytesPerSample());
    }
    // 8-bit images: the sample; 16-bit: the 0..65535 value.
    uint32_t sample(int32_t x, int32_t y, int channel) const;
    void setSample(int32_t x, int32_t y, int channel, uint32_t value);
};

// Largest side and largest pixel count the host accepts; beyond them loading
// fails with a clear message instead of trying to allocate.
constexpr int32_t kMaxImageSide = 300000;
constexpr uint64_t kMaxImagePixels = 1ull << 32;

// Reads a PNG or JPEG file, recognised by its first bytes. On failure answers
// false and sets error to one line such as "damaged PNG file (CRC error)".
bool loadImage(const std::string& path, Image& out, std::string& error);

// Writes by the file's extension: .png, or .jpg / .jpeg (8 bits; a 16-bit image
// is reduced; an image with alpha is refused). CMYK images go to JPEG only.
bool saveImage(const std::string& path, const Image& image, std::string& error,
               int jpegQuality = 92);

// For the host's INT and TERM handlers, async-signal-safe: a save in progress
// loses its temporary file at once and the answer is true (the caller then
// ends the program); every later save fails without writing. A file a save
// replaces is only ever renamed into place whole.
bool abandonSaves() noexcept;
bool savesAbandoned() noexcept;

// Whether saveImage could write this path at all: a known extension and an
// existing, writable folder. Checked before a long render, not after.
bool checkOutputPath(const std::string& path, std::string& error);

}  // namespace qm::host
