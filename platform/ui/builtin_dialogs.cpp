// Dialogs drawn by this layer itself: the message box on a display, and the
// file and colour dialogs when zenity is missing or fails.
#include <algorithm>
#include <charconv>
#include <filesystem>

#include "platform/ui/backends.h"
#include "platform/ui/controls.h"
#include "platform/ui/dialog.h"
#include "platform/ui/message_box.h"

namespace qm::ui::detail {
namespace {

constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 23;

std::vector<std::string> linesOf(std::string_view text) {
    std::vector<std::string> lines;
    size_t pos = 0;
    for (;;) {
        size_t end = text.find('\n', pos);
        lines.emplace_back(text.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos));
        if (end == std::string_view::npos) break;
        pos = end + 1;
    }
    return lines;
}

void drawGlyphCentred(Surface& s, const Rect& r, std::string_view glyph, Colour c) {
    auto big = Font::create(FontSpec{24, false, true});
    if (!big) return;
    const Size e = big->extent(glyph);
    big->draw(s, (r.left + r.right - e.width) / 2, (r.top + r.bottom - e.height) / 2, glyph, c);
}

// 32 x 32 icons at (x, y).
void drawIcon(Surface& s, int x, int y, uint32_t icon) {
    const Rect box = Rect::ofSize(x, y, 32, 32);
    if (icon == kMbIconWarning) {
        for (int row = 2; row < 31; ++row) {
            const int half = (row - 2) * 15 / 28;
            s.fill({x + 16 - half - 1, y + row, x + 16 + half + 1, y + row + 1}, kBlack);
            if (half > 0) s.fill({x + 16 - half, y + row, x + 16 + half, y + row + 1}, rgb(255, 204, 0));
        }
        s.fill({x + 1, y + 30, x + 31, y + 31}, kBlack);
        drawGlyphCentred(s, box.offsetBy(0, 3), "!", kBlack);
        return;
    }
    const Colour fill = icon == kMbIconError ? rgb(204, 0, 0) : rgb(0, 84, 166);
    for (int j = 0; j < 32; ++j)
        for (int i = 0; i < 32; ++i) {
            const int dx = 2 * i - 31, dy = 2 * j - 31;
            if (dx * dx + dy * dy <= 31 * 31) s.setPixel(x + i, y + j, fill);
        }
    if (icon == kMbIconError) {
        for (int k = 9; k < 23; ++k)
            for (int t = -1; t <= 1; ++t) {
                s.setPixel(x + k + t, y + k, kWhite);
                s.setPixel(x + 31 - k + t, y + k, kWhite);
            }
    } else {
        drawGlyphCentred(s, box, icon == kMbIconQuestion ? "?" : "i", kWhite);
    }
}

DialogItem button(int id, int x, int y, const char* text, uint32_t flags = 0) {
    return {ItemKind::PushButton, id, Rect::ofSize(x, y, kButtonWidth, kButtonHeight), text, flags};
}

void drawLabel(Surface& s, int x, int y, std::string_view text) {
    s.setBackgroundMode(BackgroundMode::Transparent);
    s.setTextColour(kBlack);
    s.drawText(x, y, text);
}

std::string parentFolder(const std::string& folder) {
    if (!folder.empty()) return folder;
    std::error_code ec;
    std::string cwd = std::filesystem::current_path(ec).string();
    return ec ? std::string(".") : cwd;
}

std::string joinPath(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

std::string hexOf(Colour c) {
    static const char digits[] = "0123456789ABCDEF";
    std::string s;
    for (int v : {redOf(c), greenOf(c), blueOf(c)}) {
        s.push_back(digits[v >> 4]);
        s.push_back(digits[v & 15]);
    }
    return s;
}

std::optional<Colour> parseHex(std::string s) {
    if (!s.empty() && s[0] == '#') s.erase(0, 1);
    if (s.size() != 6) return std::nullopt;
    uint32_t v = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + 6, v, 16);
    if (ec != std::errc() || end != s.data() + 6) return std::nullopt;
    return rgb(static_cast<int>(v >> 16), static_cast<int>((v >> 8) & 0xFF), static_cast<int>(v & 0xFF));
}

}  // namespace

int builtinMessageBox(Window* owner, std::string_view text, std::string_view caption, uint32_t flags) {
    auto font = Font::interfaceFont();
    const std::vector<std::string> lines = linesOf(text);
    const int lineHeight = font ? font->cellHeight() : 13;
    int textWidth = 0;
    for (const std::string& l : lines) textWidth = std::max(textWidth, font ? font->extent(l).width : 0);
    const uint32_t icon = flags & 0xF0;
    const bool hasIcon = icon == kMbIconError || icon == kMbIconQuestion || icon == kMbIconWarning ||
                         icon == kMbIconInformation;
    const bool hasCancel = (flags & 0x0F) == kMbOkCancel;
    const int textX = hasIcon ? 12 + 32 + 12 : 16;
    const int textHeight = static_cast<int>(lines.size()) * lineHeight;
    const int textTop = hasIcon ? std::max(16, 12 + (32 - textHeight) / 2) : 16;
    const int contentBottom = std::max(textTop + textHeight, hasIcon ? 12 + 32 : 0);
    const int buttons = hasCancel ? 2 : 1;
    const int buttonsWidth = buttons * kButtonWidth + (buttons - 1) * 8;

    DialogTemplate t;
    t.pixels = true;
    t.caption = std::string(caption);
    t.size = {std::max({textX + textWidth + 16, buttonsWidth + 24, 160}), contentBottom + 16 + kButtonHeight + 12};
    const int x0 = (t.size.width - buttonsWidth) / 2, y0 = contentBottom + 16;
    t.items.push_back(button(kIdOk, x0, y0, "OK", kItemDefault));
    if (hasCancel) t.items.push_back(button(kIdCancel, x0 + kButtonWidth + 8, y0, "Cancel"));

    const intptr_t code = runModalDialog(t, owner, [&](Window& w, uint32_t m, WParam wp, LParam) -> intptr_t {
        switch (m) {
        case kWmInitDialog:
            return 1;
        case kWmPaint: {
            PaintScope paint(w);
            Surface& s = w.surface();
            s.fill(w.clientRect(), kDialogColour);
            if (hasIcon) drawIcon(s, 12, 12, icon);
            for (size_t i = 0; i < lines.size(); ++i)
                drawLabel(s, textX, textTop + static_cast<int>(i) * lineHeight, lines[i]);
            return 1;
        }
        case kWmCommand: {
            const int id = commandIdOf(wp);
            if (id == kIdOk) endDialog(w, kIdOk);
            else if (id == kIdCancel) endDialog(w, hasCancel ? kIdCancel : kIdOk);
            return 1;
        }
        default:
            return 0;
        }
    });
    return code == kIdCancel ? kIdCancel : kIdOk;
}

FileAnswer builtinFileDialog(const FileDialogOptions& options, bool save) {
    constexpr int kPath = 100, kFiles = 101;
    const std::string folder = parentFolder(options.initialFolder);
    std::string patterns, description;
    for (const FileFilter& f : options.filters) {
        patterns += f.patterns + ";";
        description += (description.empty() ? "" : ", ") + f.description;
    }
    DialogTemplate t;
    t.pixels = true;
    t.caption = !options.title.empty() ? options.title : save ? "Save As" : "Open";
    t.size = {460, 150};
    t.items.push_back({ItemKind::Edit, kPath, Rect::ofSize(12, 30, 436, 22), joinPath(folder, options.fileName), kItemTabStop});
    t.items.push_back({ItemKind::DropDownList, kFiles, Rect::ofSize(12, 80, 436, 260), "", kItemVScroll | kItemTabStop});
    t.items.push_back(button(kIdOk, 460 - 12 - 2 * kButtonWidth - 8, 116, save ? "Save" : "Open", kItemDefault));
    t.items.push_back(button(kIdCancel, 460 - 12 - kButtonWidth, 116, "Cancel"));

    FileAnswer answer{AnswerStatus::Cancelled, {}};
    std::vector<std::string> names;
    runModalDialog(t, options.owner, [&](Window& w, uint32_t m, WParam wp, LParam) -> intptr_t {
        switch (m) {
        case kWmInitDialog: {
            std::error_code ec;
            for (const auto& e : std::filesystem::directory_iterator(folder, ec)) {
                const std::string name = e.path().filename().string();
                if (e.is_regular_file(ec) && (patterns.empty() || matchesPatterns(name, patterns)))
                    names.push_back(name);
                if (names.size() >= 1000) break;
            }
            std::sort(names.begin(), names.end());
            ComboBox* files = ComboBox::of(dialogItem(w, kFiles));
            for (const std::string& n : names) files->add(n);
            if (EditBox* e = EditBox::of(dialogItem(w, kPath))) e->selectAll();
            return 1;
        }
        case kWmPaint: {
            PaintScope paint(w);
            w.surface().fill(w.clientRect(), kDialogColour);
            drawLabel(w.surface(), 12, 12, "File name:");
            drawLabel(w.surface(), 12, 62, description.empty() ? "Files in the folder:" : "Files (" + description + "):");
            return 1;
        }
        case kWmCommand: {
            const int id = commandIdOf(wp);
            if (id == kFiles && notifyCodeOf(wp) == kCbnSelChange) {
                ComboBox* files = ComboBox::of(dialogItem(w, kFiles));
                if (auto name = files->text(files->selection()))
                    EditBox::of(dialogItem(w, kPath))->setText(joinPath(folder, *name));
            } else if (id == kIdOk) {
                std::string path = EditBox::of(dialogItem(w, kPath))->text();
                if (path.empty()) return 1;
                if (path[0] != '/') path = joinPath(folder, path);
                answer = {AnswerStatus::Chosen, path};
                endDialog(w, kIdOk);
            } else if (id == kIdCancel) {
                endDialog(w, kIdCancel);
            }
            return 1;
        }
        default:
            return 0;
        }
    });
    return answer;
}

ColourAnswer builtinColourDialog(Window* owner, Colour initial) {
    constexpr int kHex = 100;
    const Rect swatch = Rect::ofSize(12, 12, 56, 56);
    DialogTemplate t;
    t.pixels = true;
    t.caption = "Colour";
    t.size = {260, 116};
    t.items.push_back({ItemKind::Edit, kHex, Rect::ofSize(84, 30, 100, 22), hexOf(initial), kItemTabStop});
    t.items.push_back(button(kIdOk, 260 - 12 - 2 * kButtonWidth - 8, 82, "OK", kItemDefault));
    t.items.push_back(button(kIdCancel, 260 - 12 - kButtonWidth, 82, "Cancel"));
    ColourAnswer answer{AnswerStatus::Cancelled, 0};
    runModalDialog(t, owner, [&](Window& w, uint32_t m, WParam wp, LParam) -> intptr_t {
        switch (m) {
        case kWmInitDialog:
            if (EditBox* e = EditBox::of(dialogItem(w, kHex))) e->selectAll();
            return 1;
        case kWmPaint: {
            PaintScope paint(w);
            Surface& s = w.surface();
            s.fill(w.clientRect(), kDialogColour);
            drawLabel(s, 84, 12, "Colour (RRGGBB):");
            auto c = parseHex(EditBox::of(dialogItem(w, kHex))->text());
            drawEdge(s, swatch, Edge::Sunken);
            const Rect inside = swatch.inflatedBy(-2, -2);
            if (c) {
                s.fill(inside, *c);
            } else {
                for (int y = inside.top; y < inside.bottom; ++y)
                    for (int x = inside.left; x < inside.right; ++x)
                        s.setPixel(x, y, ((x / 4 + y / 4) & 1) ? kWhite : rgb(192, 192, 192));
            }
            return 1;
        }
        case kWmCommand: {
            const int id = commandIdOf(wp);
            if (id == kHex && notifyCodeOf(wp) == kEnChange) {
                w.invalidate(swatch);
            } else if (id == kIdOk) {
                if (auto c = parseHex(EditBox::of(dialogItem(w, kHex))->text())) {
                    answer = {AnswerStatus::Chosen, *c};
                    endDialog(w, kIdOk);
                }
            } else if (id == kIdCancel) {
                endDialog(w, kIdCancel);
            }
            return 1;
        }
        default:
            return 0;
        }
    });
    return answer;
}

}  // namespace qm::ui::detail
