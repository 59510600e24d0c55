// A 24-bit bitmap filled from and written to JPEG streams through libjpeg.
//
// Pixels are addressed with x = 0 the left column and y = 0 the bottom row;
// the rows are kept bottom-up as a device-independent bitmap keeps them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qm::marbleloom {

// Blue, green, red and a reserved byte, as the colour is passed around.
struct PixelColor {
    uint8_t blue = 0, green = 0, red = 0, reserved = 0;
    bool operator==(const PixelColor&) const = default;
};

enum class ImageType { Jpeg };

// Pictures above this many pixels are refused before any memory is taken:
// a damaged or hostile stream may claim up to 65500 x 65500.
constexpr int64_t kMaxImagePixels = int64_t{1} << 26;

class CxImage {
public:
    CxImage() = default;
    // An empty (black) bitmap of that size; a size outside 1..65535 or above
    // kMaxImagePixels gives an image without pixels.
    CxImage(int width, int height, int bitsPerPixel = 24, ImageType type = ImageType::Jpeg);

    bool create(int width, int height, int bitsPerPixel = 24, ImageType type = ImageType::Jpeg);
    // The whole file decoded; false (and no pixels) when it is not a readable JPEG.
    bool load(const std::string& path, ImageType type = ImageType::Jpeg);
    // Replaces the bitmap with the decoded stream; false, leaving an image
    // without pixels, when the stream cannot be decoded.
    bool Decode(const uint8_t* data, size_t length, ImageType type = ImageType::Jpeg);
    // A new buffer from std::malloc holding the stream; the caller frees it
    // with std::free. False (buffer null, length 0) without pixels.
    bool Encode(uint8_t*& buffer, long& length, ImageType type = ImageType::Jpeg) const;

    // Outside the bitmap: black, and writes are ignored.
    PixelColor GetPixelColor(int x, int y) const;
    void SetPixelColor(int x, int y, PixelColor colour);

    void SetJpegQuality(int quality);  // limited to 1..100
    int GetJpegQuality() const { return quality_; }

    int GetWidth() const { return width_; }
    int GetHeight() const { return height_; }
    bool IsValid() const { return !bits_.empty(); }
    void Destroy();

private:
    size_t offsetOf(int x, int y) const {
        return (static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)) * 3;
    }

    int width_ = 0;
    int height_ = 0;
    int quality_ = 90;
    std::vector<uint8_t> bits_;  // bottom-up rows of blue, green, red
};

}  // namespace qm::marbleloom
