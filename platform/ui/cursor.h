// Cursors: the arrow, the eyedropper, and cursors made from bitmap resources.
//
// SetCursor semantics: the shape shown changes now and stays until the next
// mouse move over a window, which shows that window's class cursor (the
// arrow unless set) before its procedure runs, so a control that wants its
// own cursor sets it again on every move.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/os/resources.h"
#include "platform/ui/bitmap.h"

namespace qm::ui {

class Cursor {
public:
    enum class Shape { Arrow, Eyedropper, Image };

    static std::shared_ptr<const Cursor> arrow();
    static std::shared_ptr<const Cursor> eyedropper();
    static std::shared_ptr<const Cursor> fromImage(CursorImage image);

    Shape shape() const { return shape_; }
    const CursorImage& image() const { return image_; }
    // Distinct for every cursor made, for backends that cache native ones.
    uint64_t serial() const { return serial_; }

private:
    Cursor(Shape s, CursorImage image);
    Shape shape_;
    CursorImage image_;
    uint64_t serial_;
};

// Cursor resource `id` (type 1); null with error when missing or not a cursor.
std::shared_ptr<const Cursor> loadCursorResource(const os::ResourceModule& module,
                                                 const os::ResourceId& id, std::string& error);

// SetCursor; null shows the arrow.
void setCursor(std::shared_ptr<const Cursor> c);
std::shared_ptr<const Cursor> currentCursor();

}  // namespace qm::ui
