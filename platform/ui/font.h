// Interface fonts: DejaVu Sans (fonts-dejavu-core, found through fontconfig)
// rendered by FreeType, standing in for "MS Sans Serif". The height follows
// LOGFONT: positive is the cell height (ascent + descent) in pixels, as the
// dialogs ask for 13; negative is the em height.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/ui/geometry.h"
#include "platform/ui/surface.h"

namespace qm::ui {

struct FontSpec {
    int height = 13;
    bool underline = false;
    bool bold = false;
    bool operator==(const FontSpec&) const = default;
};

class Font {
public:
    // One per FontSpec for the life of the library; null (with error set)
    // when no face can be found or loaded.
    static std::shared_ptr<const Font> create(const FontSpec& shape, std::string* error = nullptr);
    // The 13-pixel interface font, normal or underlined.
    static std::shared_ptr<const Font> interfaceFont(bool underline = false);

    virtual ~Font() = default;
    const FontSpec& shape() const { return spec_; }
    int cellHeight() const { return ascent_ + descent_; }
    int ascent() const { return ascent_; }
    int descent() const { return descent_; }

    // Width of the advances and the cell height (GetTextExtentPoint32).
    virtual Size extent(std::string_view utf8) const = 0;
    // Blends the glyphs over the surface in colour c, cell top-left at (x, y);
    // answers the drawn extent.
    virtual Size draw(Surface& target, int x, int y, std::string_view utf8, Colour c) const = 0;
    // Index of the character boundary nearest to x pixels from the start.
    virtual size_t hitTest(std::string_view utf8, int x) const = 0;

protected:
    FontSpec spec_;
    int ascent_ = 0;
    int descent_ = 0;
};

// Decodes one code point at pos and advances it; bytes that are not UTF-8 are
// taken as Latin-1 (the plug-ins' texts were code-page text).
char32_t nextCodePoint(std::string_view s, size_t& pos);
void appendUtf8(std::string& out, char32_t c);

}  // namespace qm::ui
