#include "platform/ui/font.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SIZES_H

#include <cstdio>
#include <unordered_map>
#include <vector>

namespace qm::ui {

char32_t nextCodePoint(std::string_view s, size_t& pos) {
    const unsigned char c = static_cast<unsigned char>(s[pos]);
    const int extra = c >= 0xF5 ? -1 : c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC2 ? 1 : c >= 0x80 ? -1 : 0;
    if (extra <= 0 || pos + static_cast<size_t>(extra) >= s.size()) {
        ++pos;
        return c;  // ASCII, or not UTF-8: the byte as Latin-1
    }
    char32_t cp = c & (0x3F >> extra);
    for (int i = 1; i <= extra; ++i) {
        const unsigned char d = static_cast<unsigned char>(s[pos + static_cast<size_t>(i)]);
        if ((d & 0xC0) != 0x80) {
            ++pos;
            return c;
        }
        cp = (cp << 6) | (d & 0x3F);
    }
    pos += static_cast<size_t>(extra) + 1;
    return cp;
}

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

namespace {

struct Glyph {
    int left = 0, top = 0, width = 0, rows = 0, advance = 0;
    std::vector<uint8_t> coverage;
};

// One FreeType library for the life of the loaded module.
FT_Library library(std::string* error) {
    static FT_Library lib = nullptr;
    static bool tried = false;
    if (!tried) {
        tried = true;
        if (FT_Init_FreeType(&lib) != 0) lib = nullptr;
    }
    if (!lib && error) *error = "FreeType cannot be initialised";
    return lib;
}

std::string findFace(bool bold, std::string* error) {
    std::string path;
    if (FcInit()) {
        FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>("DejaVu Sans"));
        FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
        FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
        FcDefaultSubstitute(pattern);
        FcResult result = FcResultNoMatch;
        FcPattern* match = FcFontMatch(nullptr, pattern, &result);
        FcChar8* file = nullptr;
        FcChar8* family = nullptr;
        // Only DejaVu Sans itself: another family would change every metric.
        if (match && FcPatternGetString(match, FC_FAMILY, 0, &family) == FcResultMatch &&
            std::string_view(reinterpret_cast<const char*>(family)) == "DejaVu Sans" &&
            FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch)
            path = reinterpret_cast<const char*>(file);
        if (match) FcPatternDestroy(match);
        FcPatternDestroy(pattern);
    }
    if (path.empty()) {
        const char* known = bold ? "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"
                                 : "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
        if (FILE* f = std::fopen(known, "rb")) {
            std::fclose(f);
            path = known;
        }
    }
    if (path.empty() && error) *error = "DejaVu Sans not found (install fonts-dejavu-core)";
    return path;
}

class FreeTypeFont final : public Font {
public:
    ~FreeTypeFont() override {
        if (face_) FT_Done_Face(face_);
    }

    bool open(const FontSpec& shape, std::string* error) {
        spec_ = shape;
        FT_Library lib = library(error);
        if (!lib) return false;
        std::string path = findFace(shape.bold, error);
        if (path.empty()) return false;
        if (FT_New_Face(lib, path.c_str(), 0, &face_) != 0) {
            face_ = nullptr;
            if (error) *error = "cannot load " + path;
            return false;
        }
        FT_Size_RequestRec request{};
        request.type = shape.height > 0 ? FT_SIZE_REQUEST_TYPE_CELL : FT_SIZE_REQUEST_TYPE_NOMINAL;
        int h = shape.height == 0 ? 13 : (shape.height > 0 ? shape.height : -shape.height);
        request.height = static_cast<FT_Long>(h) << 6;
        if (FT_Request_Size(face_, &request) != 0) {
            if (error) *error = "cannot size " + path;
            return false;
        }
        const FT_Size_Metrics& m = face_->size->metrics;
        ascent_ = static_cast<int>((m.ascender + 32) >> 6);
        descent_ = static_cast<int>((-m.descender + 32) >> 6);
        // Rounding both halves can overshoot the requested cell by one pixel.
        if (shape.height > 0 && ascent_ + descent_ > shape.height) descent_ = shape.height - ascent_;
        long pos = FT_MulFix(face_->underline_position, m.y_scale);
        long thick = FT_MulFix(face_->underline_thickness, m.y_scale);
        underlineOffset_ = static_cast<int>((-pos + 32) >> 6);
        if (underlineOffset_ < 1) underlineOffset_ = 1;
        if (underlineOffset_ >= descent_) underlineOffset_ = descent_ > 1 ? descent_ - 1 : 1;
        underlineThickness_ = std::max(1, static_cast<int>((thick + 32) >> 6));
        return true;
    }

    Size extent(std::string_view s) const override {
        int w = 0;
        for (size_t pos = 0; pos < s.size();) w += glyph(nextCodePoint(s, pos)).advance;
        return {w, cellHeight()};
    }

    size_t hitTest(std::string_view s, int x) const override {
        int w = 0;
        for (size_t pos = 0; pos < s.size();) {
            size_t start = pos;
            int a = glyph(nextCodePoint(s, pos)).advance;
            if (x < w + a / 2) return start;
            w += a;
        }
        return s.size();
    }

    Size draw(Surface& target, int x, int y, std::string_view s, Colour c) const override {
        const int cr = redOf(c), cg = greenOf(c), cb = blueOf(c);
        const int baseline = y + ascent_;
        int pen = x;
        Rect touched;
        for (size_t pos = 0; pos < s.size();) {
            const Glyph& g = glyph(nextCodePoint(s, pos));
            const int gx = pen + g.left, gy = baseline - g.top;
            for (int r = 0; r < g.rows; ++r) {
                std::span<uint8_t> row = target.row(gy + r);
                if (row.empty()) continue;
                for (int col = 0; col < g.width; ++col) {
                    const int a = g.coverage[static_cast<size_t>(r * g.width + col)];
                    const int px = gx + col;
                    if (a == 0 || px < 0 || px >= target.width()) continue;
                    uint8_t* p = &row[static_cast<size_t>(px) * 3];
                    p[0] = static_cast<uint8_t>(p[0] + (cb - p[0]) * a / 255);
                    p[1] = static_cast<uint8_t>(p[1] + (cg - p[1]) * a / 255);
                    p[2] = static_cast<uint8_t>(p[2] + (cr - p[2]) * a / 255);
                }
            }
            touched = touched.united(Rect::ofSize(gx, gy, g.width, g.rows));
            pen += g.advance;
        }
        if (spec_.underline && pen > x) {
            Rect line = Rect::ofSize(x, baseline + underlineOffset_, pen - x, underlineThickness_);
            target.fill(line, c);
            touched = touched.united(line);
        }
        target.markChanged(touched);
        return {pen - x, cellHeight()};
    }

private:
    const Glyph& glyph(char32_t cp) const {
        auto it = glyphs_.find(cp);
        if (it != glyphs_.end()) return it->second;
        Glyph g;
        if (FT_Load_Char(face_, cp, FT_LOAD_RENDER | FT_LOAD_TARGET_LIGHT) == 0) {
            FT_GlyphSlot slot = face_->glyph;
            const FT_Bitmap& bm = slot->bitmap;
            g.left = slot->bitmap_left;
            g.top = slot->bitmap_top;
            g.width = static_cast<int>(bm.width);
            g.rows = static_cast<int>(bm.rows);
            g.advance = static_cast<int>((slot->advance.x + 32) >> 6);
            g.coverage.resize(static_cast<size_t>(g.width) * static_cast<size_t>(g.rows));
            for (int r = 0; r < g.rows; ++r)
                for (int col = 0; col < g.width; ++col) {
                    const unsigned char* line = bm.buffer + static_cast<ptrdiff_t>(r) * bm.pitch;
                    g.coverage[static_cast<size_t>(r * g.width + col)] =
                        bm.pixel_mode == FT_PIXEL_MODE_MONO
                            ? ((line[col >> 3] >> (7 - (col & 7))) & 1 ? 255 : 0)
                            : line[col];
                }
        }
        return glyphs_.emplace(cp, std::move(g)).first->second;
    }

    FT_Face face_ = nullptr;
    int underlineOffset_ = 1;
    int underlineThickness_ = 1;
    mutable std::unordered_map<char32_t, Glyph> glyphs_;
};

}  // namespace

std::shared_ptr<const Font> Font::create(const FontSpec& shape, std::string* error) {
    static std::vector<std::shared_ptr<const Font>> cache;
    for (const auto& f : cache)
        if (f->shape() == shape) return f;
    auto font = std::make_shared<FreeTypeFont>();
    if (!font->open(shape, error)) return nullptr;
    cache.push_back(font);
    return font;
}

std::shared_ptr<const Font> Font::interfaceFont(bool underline) {
    static bool reported = false;
    std::string error;
    auto f = create(FontSpec{13, underline, false}, &error);
    if (!f && !reported) {
        reported = true;
        std::fprintf(stderr, "quillmere: no interface font: %s\n", error.c_str());
    }
    return f;
}

}  // namespace qm::ui

#if defined(__SANITIZE_ADDRESS__)
// fontconfig 2.14 loses a few bytes while it parses its configuration; that
// is not ours to fix, and a sanitizer run of anything drawing text would fail.
extern "C" __attribute__((visibility("default"), used)) const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
#endif
