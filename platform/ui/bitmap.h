// Bitmap and cursor resources.
//
// Resource types as a Windows module numbers them: bitmaps are type 2
// (RT_BITMAP) holding a BMP file (or a bare DIB, as a compiled Windows
// resource holds it); cursors are type 1 (RT_CURSOR) holding a .cur file or a
// BMP (hot spot at the top-left, white transparent); dialog templates are
// type 5 (RT_DIALOG), see dialog.h.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "platform/os/resources.h"
#include "platform/ui/surface.h"

namespace qm::ui {

constexpr uint32_t kResourceCursor = 1;
constexpr uint32_t kResourceBitmap = 2;
constexpr uint32_t kResourceDialog = 5;

// BMP (with or without the file header), uncompressed 1, 4, 8, 16, 24 or 32
// bits per pixel, bottom-up or top-down. False with a message otherwise.
bool decodeBmp(std::span<const uint8_t> bytes, Surface& out, std::string& error);

// A cursor image: which pixels show and where the hot spot is.
struct CursorImage {
    Surface pixels;
    std::vector<uint8_t> opaque;  // one byte per pixel, row-major
    Point hotSpot;
};
// A .cur file (its first image), or a BMP whose white pixels are transparent.
bool decodeCursor(std::span<const uint8_t> bytes, CursorImage& out, std::string& error);

enum class LoadResult { Loaded, Missing, Invalid };
// Bitmap resource `id` of a module. Missing is no error (callers such as the
// skin cache then make a blank bitmap); Invalid sets error.
LoadResult loadBitmapResource(const os::ResourceModule& module, const os::ResourceId& id,
                              Surface& out, std::string& error);

}  // namespace qm::ui
