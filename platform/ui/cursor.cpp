#include "platform/ui/cursor.h"


#include "platform/ui/internal.h"

namespace qm::ui {
namespace {

uint64_t nextSerial() {
    static uint64_t serial = 0;
    return ++serial;
}

// A pipette, tip at the bottom left: '#' outline, '.' glass, ' ' transparent.
constexpr const char* kEyedropper[16] = {
    "            ### ",
    "           #####",
    "          ######",
    "        ########",
    "         ###### ",
    "        #.####  ",
    "       #...#    ",
    "      #...#     ",
    "     #...#      ",
    "    #...#       ",
    "   #...#        ",
    "  #...#         ",
    " #...#          ",
    " #..#           ",
    "# ##            ",
    "#               ",
};

CursorImage eyedropperImage() {
    CursorImage img;
    img.pixels = Surface(16, 16, kWhite);
    img.opaque.assign(256, 0);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const char c = kEyedropper[y][x];
            if (c == ' ') continue;
            img.pixels.setPixel(x, y, c == '#' ? kBlack : kWhite);
            img.opaque[static_cast<size_t>(y * 16 + x)] = 1;
        }
    img.hotSpot = {0, 15};
    return img;
}

}  // namespace

Cursor::Cursor(Shape s, CursorImage image) : shape_(s), image_(std::move(image)), serial_(nextSerial()) {}

std::shared_ptr<const Cursor> Cursor::arrow() {
    static const std::shared_ptr<const Cursor> c(new Cursor(Shape::Arrow, CursorImage{}));
    return c;
}

std::shared_ptr<const Cursor> Cursor::eyedropper() {
    static const std::shared_ptr<const Cursor> c(new Cursor(Shape::Eyedropper, eyedropperImage()));
    return c;
}

std::shared_ptr<const Cursor> Cursor::fromImage(CursorImage image) {
    return std::shared_ptr<const Cursor>(new Cursor(Shape::Image, std::move(image)));
}

std::shared_ptr<const Cursor> loadCursorResource(const os::ResourceModule& module,
                                                 const os::ResourceId& id, std::string& error) {
    const std::string label = id.isNumber() ? std::to_string(id.number) : id.text;
    auto bytes = module.find(os::ResourceId::of(kResourceCursor), id);
    if (!bytes) {
        error = "cursor " + label + " not found";
        return nullptr;
    }
    CursorImage image;
    if (!decodeCursor(*bytes, image, error)) {
        error = "cursor " + label + ": " + error;
        return nullptr;
    }
    return Cursor::fromImage(std::move(image));
}

void setCursor(std::shared_ptr<const Cursor> c) {
    detail::state().cursorWanted = c ? std::move(c) : Cursor::arrow();
}

std::shared_ptr<const Cursor> currentCursor() {
    const auto& c = detail::state().cursorWanted;
    return c ? c : Cursor::arrow();
}

}  // namespace qm::ui
