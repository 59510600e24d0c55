// Reading the host's image: the 15-bit sample scale of the filter arithmetic,
// one source pixel for a render in each view, the reduced preview copy, the
// navigator thumbnail, and the conversion of a rendered preview into the
// 24-bit BGR bitmap that is drawn.
#pragma once

#include <cstdint>
#include <span>

#include "framework/host/host_image.h"
#include "framework/host/pixel15.h"
#include "framework/host/preview_buffers.h"
#include "framework/host/render_state.h"
#include "platform/pluginapi/pluginapi.h"

namespace qm::fw {

// ---- the 15-bit sample scale (0 ... 32767) ---------------------------------

constexpr int16_t scale8To15(uint8_t v) { return static_cast<int16_t>(v << 7); }
constexpr int16_t scale16To15(uint16_t v) {
    return v < 32768 ? static_cast<int16_t>(v) : kOpaque15;
}
constexpr uint8_t scale15To8(int value) { return static_cast<uint8_t>(value / 128); }
constexpr uint16_t scale15To16(int value) { return static_cast<uint16_t>(value); }

// One sample at `at`: a byte, or two bytes low first.
int16_t loadSample15(const uint8_t* at, bool sixteenBit);
void storeSample15(uint8_t* at, bool sixteenBit, int value);

// ---- the host's image --------------------------------------------------------

// The FilterRecord's inData / maskData as the transfer reads them. `planes` is
// the plane count decided at start, `sixteenBit` the RGB48 mode.
HostImage hostImageOf(const FilterRecord& record, int planes, bool sixteenBit);

// ---- one source pixel for a render -------------------------------------------

// The source pixel for region column x, row y. Final: the image at (x, y).
// Fit: the preview copy (8 bits, stride width x planes) and its mask copy;
// without a preview it reads like Final. Zoom z: the image at
// (x * 100 / z + offX, y * 100 / z + offY), clamped to the image.
Pixel15 sourcePixel(const HostImage& image, const PreviewBuffers* preview, const SourceView& view,
                    int x, int y);

// ---- the preview copy ---------------------------------------------------------

// trunc(W / scale) x trunc(H / scale), in long double. Pass the session's float
// previewScale: 3000 / 900 as a double would give 899 columns.
struct CopySize {
    int width = 0, height = 0;
};
CopySize previewCopySize(int32_t width, int32_t height, float scale);

// Area-average reduction of every plane (and the mask) by `scale` into
// preview.copy / preview.maskCopy; sets copyWidth / copyHeight (limited to the
// preview area). The horizontal pass goes through `scratch` (the host's
// outData: H rows of scratchStride bytes), one scratch row in each of its
// rows, so only the first W bytes of each row are touched. A scale below 1 counts as 1.
// False, with nothing done, when there is no image, the scratch cannot hold W
// bytes a row, a source stride is shorter than its row or the copy is missing.
bool makePreviewCopy(const HostImage& image, uint8_t* scratch, int32_t scratchStride,
                     float scale, PreviewBuffers& preview);

// ---- the navigator thumbnail --------------------------------------------------

// Longer side 200, shorter side scaled, both rounded down to a multiple of 4;
// a very thin image gets a side of 0.
struct ThumbnailSize {
    int width = 0, height = 0;
};
ThumbnailSize navigatorThumbnailSize(int32_t imageWidth, int32_t imageHeight);

struct RgbBytes {
    uint8_t red = 0, green = 0, blue = 0;
};

// Thumbnail pixel (x, y): the image at column x * W / width, row y * H / height,
// stepping through inData by the host's planes (transparency read when P is 4),
// faded to the neutral colour where unselected, over the checkerboard where
// transparent.
RgbBytes thumbnailPixel(const HostImage& image, ThumbnailSize size, int x, int y);

// All pixels into `bgr` (blue, green, red; stride size.width x 3). False when
// the buffer is too small.
bool makeNavigatorThumbnail(const HostImage& image, ThumbnailSize size, std::span<uint8_t> bgr);

// ---- the displayed preview ------------------------------------------------------

// Stored 0x00BBGGRR with an opacity top byte: red 227, green 217, blue 203.
inline constexpr uint32_t kPreviewBackground = 0xFFCBD9E3u;

// Converts preview.display in place into a top-down BGR bitmap of
// width x height (stride width x 3, the first 3 x width x height bytes).
// Inside renderedWidth x renderedHeight: 3 planes swap red and blue, 4 planes
// blend over a checkerboard of 4 x 4 squares (255 / 192) by their alpha.
// Outside: the background when its top byte is 0xFF, else the checkerboard.
// Marks the display valid.
void convertDisplayToBitmap(PreviewBuffers& preview, uint32_t background = kPreviewBackground);

}  // namespace qm::fw
