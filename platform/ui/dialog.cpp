#include "platform/ui/dialog.h"

#include <charconv>
#include <cstdio>
#include <optional>

#include "platform/ui/bitmap.h"
#include "platform/ui/controls.h"
#include "platform/ui/internal.h"
#include "platform/ui/queue.h"
#include "platform/ui/text_words.h"

namespace qm::ui {
namespace {

// MulDiv: a * b / c rounded half away from zero.
int mulDiv(int a, int b, int c) {
    const long long p = static_cast<long long>(a) * b;
    return static_cast<int>(p >= 0 ? (2 * p + c) / (2 * c) : -((-2 * p + c) / (2 * c)));
}

bool isOriginalFont(const DialogTemplate& t) {
    return lowerAscii(t.fontFace) == "ms sans serif" && t.fontPoints == 8;
}

class DialogPart final : public WindowPart {
public:
    explicit DialogPart(DialogProcedure p) : procedure(std::move(p)) {}
    DialogProcedure procedure;
    bool ended = false;
    intptr_t code = 0;
};

DialogPart* dialogPartOf(const Window* w) {
    return isWindow(w) ? dynamic_cast<DialogPart*>(w->part()) : nullptr;
}

LResult dialogDefault(Window& w, uint32_t m, WParam wp, LParam lp) {
    switch (m) {
    case kWmClose:
        w.send(kWmCommand, makeCommandParam(kIdCancelCommand, kBnClicked), 0);
        return 0;
    default:
        return defaultProcedure(w, m, wp, lp);
    }
}

bool takesFocus(const Window& c) {
    if (!c.isVisible() || !c.acceptsInput()) return false;
    return ComboBox::of(const_cast<Window*>(&c)) || EditBox::of(const_cast<Window*>(&c)) ||
           PushButton::of(const_cast<Window*>(&c));
}

Window* firstFocusable(Window& dialog) {
    for (const auto& c : dialog.children())
        if (takesFocus(*c)) return c.get();
    return nullptr;
}

void moveFocus(Window& dialog, bool backwards) {
    std::vector<Window*> order;
    for (const auto& c : dialog.children())
        if (takesFocus(*c)) order.push_back(c.get());
    if (order.empty()) return;
    size_t at = order.size();
    for (size_t i = 0; i < order.size(); ++i)
        if (order[i]->contains(focusWindow())) at = i;
    size_t next = at == order.size() ? 0
                  : backwards        ? (at + order.size() - 1) % order.size()
                                     : (at + 1) % order.size();
    setFocus(order[next]);
}

int defaultButtonId(Window& dialog) {
    for (const auto& c : dialog.children())
        if (PushButton* b = PushButton::of(c.get()); b && b->isDefault()) return c->id();
    return kIdOkCommand;
}

// IsDialogMessage, for the keys a dialog manager turns into commands.
bool dialogKey(Window& dialog, const Message& m) {
    if (!dialog.contains(m.window)) return false;
    if (m.message == kWmKeyDown) {
        if (ComboBox* c = ComboBox::of(m.window); c && c->isDropped()) return false;
        switch (m.wParam) {
        case kVkReturn:
            dialog.send(kWmCommand, makeCommandParam(defaultButtonId(dialog), kBnClicked), 0);
            return true;
        case kVkEscape:
            dialog.send(kWmCommand, makeCommandParam(kIdCancelCommand, kBnClicked), 0);
            return true;
        case kVkF1:
            dialog.send(kWmHelp, 0, 0);
            return true;
        case kVkTab:
            moveFocus(dialog, keyHeld(kVkShift));
            return true;
        default:
            return false;
        }
    }
    if (m.message == kWmChar && (m.wParam == U'\r' || m.wParam == 0x1B || m.wParam == U'\t')) {
        if (ComboBox* c = ComboBox::of(m.window); c && c->isDropped()) return false;
        return true;
    }
    return false;
}

}  // namespace

bool parseDialogTemplate(std::string_view text, DialogTemplate& out, std::string& error) {
    out = DialogTemplate{};
    out.style = 0;
    bool sawSize = false, sawStyle = false;
    std::vector<Word> w;
    int lineNumber = 0;
    size_t pos = 0;
    auto fail = [&](const std::string& message) {
        error = "line " + std::to_string(lineNumber) + ": " + message;
        return false;
    };
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        ++lineNumber;
        if (!splitWords(line, w)) return fail("unterminated quoted text");
        if (w.empty()) continue;
        const std::string key = lowerAscii(w[0].text);
        if (key == "size") {
            auto cx = w.size() == 3 ? wordNumber(w[1]) : std::nullopt;
            auto cy = w.size() == 3 ? wordNumber(w[2]) : std::nullopt;
            if (!cx || !cy || *cx <= 0 || *cy <= 0) return fail("expected: size W H (positive)");
            out.size = {*cx, *cy};
            sawSize = true;
        } else if (key == "units") {
            const std::string u = w.size() == 2 ? lowerAscii(w[1].text) : std::string();
            if (u == "pixels") out.pixels = true;
            else if (u == "dialog") out.pixels = false;
            else return fail("expected: units dialog|pixels");
        } else if (key == "style") {
            sawStyle = true;
            for (size_t i = 1; i < w.size(); ++i) {
                const std::string s = lowerAscii(w[i].text);
                if (s == "popup") out.style |= kStylePopup;
                else if (s == "caption") out.style |= kStyleCaption;
                else if (s == "modalframe") out.style |= kStyleModalFrame;
                else if (s == "border") out.style |= kStyleBorder;
                else if (s == "visible") out.style |= kStyleVisible;
                else if (s == "disabled") out.style |= kStyleDisabled;
                else return fail("unknown style '" + w[i].text + "'");
            }
        } else if (key == "caption") {
            if (w.size() != 2 || !w[1].quoted) return fail("expected: caption \"TEXT\"");
            out.caption = w[1].text;
        } else if (key == "font") {
            auto pt = w.size() == 3 ? wordNumber(w[2]) : std::nullopt;
            if (!pt || !w[1].quoted || *pt <= 0) return fail("expected: font \"FACE\" POINTS");
            out.fontFace = w[1].text;
            out.fontPoints = *pt;
        } else if (key == "item") {
            if (w.size() < 2) return fail("expected: item KIND ID X Y W H [\"TEXT\"] [FLAG...]");
            DialogItem item;
            const std::string kind = lowerAscii(w[1].text);
            if (kind == "dropdownlist") item.kind = ItemKind::DropDownList;
            else if (kind == "dropdown") item.kind = ItemKind::DropDown;
            else if (kind == "edit") item.kind = ItemKind::Edit;
            else if (kind == "button") item.kind = ItemKind::PushButton;
            else
                return fail("unknown item kind '" + w[1].text +
                            "' (known: dropdownlist, dropdown, edit, button)");
            int v[5];
            for (int i = 0; i < 5; ++i) {
                auto n = w.size() > static_cast<size_t>(2 + i) ? wordNumber(w[2 + static_cast<size_t>(i)])
                                                               : std::nullopt;
                if (!n) return fail("expected: item " + kind + " ID X Y W H [\"TEXT\"] [FLAG...]");
                v[i] = *n;
            }
            if (v[3] < 0 || v[4] < 0) return fail("an item's width and height cannot be negative");
            item.id = v[0];
            item.rect = Rect::ofSize(v[1], v[2], v[3], v[4]);
            size_t i = 7;
            if (i < w.size() && w[i].quoted) item.text = w[i++].text;
            for (; i < w.size(); ++i) {
                const std::string f = lowerAscii(w[i].text);
                if (w[i].quoted) return fail("an item has one text, right after its size");
                if (f == "hidden") item.flags |= kItemHidden;
                else if (f == "disabled") item.flags |= kItemDisabled;
                else if (f == "vscroll") item.flags |= kItemVScroll;
                else if (f == "default") item.flags |= kItemDefault;
                else if (f == "tabstop") item.flags |= kItemTabStop;
                else return fail("unknown item flag '" + w[i].text + "'");
            }
            out.items.push_back(std::move(item));
        } else {
            return fail("unknown statement '" + w[0].text +
                        "' (known: size, units, style, caption, font, item)");
        }
    }
    if (!sawSize) {
        lineNumber = std::max(lineNumber, 1);
        return fail("the template has no size");
    }
    if (!sawStyle) out.style = kStylePopup | kStyleCaption;
    return true;
}

bool loadDialogTemplate(const os::ResourceModule& module, const os::ResourceId& name,
                        DialogTemplate& out, std::string& error) {
    const std::string label = name.isNumber() ? std::to_string(name.number) : name.text;
    auto bytes = module.find(os::ResourceId::of(kResourceDialog), name);
    if (!bytes) {
        error = "dialog template " + label + " not found";
        return false;
    }
    std::string text(reinterpret_cast<const char*>(bytes->data()), bytes->size());
    if (!parseDialogTemplate(text, out, error)) {
        error = "dialog template " + label + " " + error;
        return false;
    }
    return true;
}

std::shared_ptr<const Font> dialogFont(const DialogTemplate& t) {
    if (isOriginalFont(t)) return Font::interfaceFont();
    auto f = Font::create(FontSpec{-mulDiv(t.fontPoints, 96, 72), false, false});
    return f ? f : Font::interfaceFont();
}

Size dialogBaseUnits(const DialogTemplate& t) {
    if (isOriginalFont(t)) return {6, 13};
    auto f = dialogFont(t);
    if (!f) return {6, 13};
    const Size e = f->extent("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    return {(e.width / 26 + 1) / 2, f->cellHeight()};
}

Rect mapDialogRect(const DialogTemplate& t, const Rect& r) {
    if (t.pixels) return r;
    const Size base = dialogBaseUnits(t);
    return {mulDiv(r.left, base.width, 4), mulDiv(r.top, base.height, 8),
            mulDiv(r.right, base.width, 4), mulDiv(r.bottom, base.height, 8)};
}

intptr_t runModalDialog(const DialogTemplate& t, void* owner, DialogProcedure procedure,
                        LParam initParam) {
    detail::UiState& s = detail::state();
    Window* ownerWindow = asWindow(owner);
    if (ownerWindow) ownerWindow = &ownerWindow->topLevel();

    const Rect client = mapDialogRect(t, Rect::ofSize(0, 0, t.size.width, t.size.height));
    WindowSpec shape;
    shape.style = (t.style | kStylePopup) & ~(kStyleChild | kStyleVisible | kStyleDisabled);
    shape.rect = windowRectForClient(client, shape.style);
    shape.text = t.caption;
    shape.owner = ownerWindow;
    std::unique_ptr<Window> dialog = createWindow(std::move(shape));
    dialog->centreOnScreen();
    auto part = std::make_unique<DialogPart>(std::move(procedure));
    DialogPart* dp = part.get();
    dialog->setPart(std::move(part));
    dialog->setProcedure([dp](Window& w, uint32_t m, WParam wp, LParam lp) -> LResult {
        const intptr_t r = dp->procedure ? dp->procedure(w, m, wp, lp) : 0;
        if (r != 0 || m == kWmInitDialog) return r;
        return dialogDefault(w, m, wp, lp);
    });

    auto font = dialogFont(t);
    dialog->surface().selectFont(font);
    for (const DialogItem& item : t.items)
        createControl(*dialog, item.kind, item.id, mapDialogRect(t, item.rect), item.text, item.flags, font);

    Window* focusBefore = focusWindow();
    const bool ownerWasEnabled = ownerWindow && ownerWindow->isEnabled();
    if (ownerWasEnabled) ownerWindow->enable(false);
    s.modal.push_back(dialog.get());

    Window* first = firstFocusable(*dialog);
    if (dialog->send(kWmInitDialog, reinterpret_cast<WParam>(first), initParam) != 0 && first)
        setFocus(first);
    if (!dialog->contains(focusWindow())) setFocus(dialog.get());

    bool closeSent = false;
    if (!dp->ended) dialog->show();
    while (!dp->ended) {
        Message m;
        if (!getMessage(m)) {
            // Nothing more can come: close it as the window manager would, then insist.
            if (!closeSent) {
                closeSent = true;
                dialog->send(kWmClose);
            } else {
                endDialog(*dialog, kIdCancelCommand);
            }
            continue;
        }
        if (!dialogKey(*dialog, m)) dispatchMessage(m);
    }
    const intptr_t code = dp->code;

    s.modal.erase(std::remove(s.modal.begin(), s.modal.end(), dialog.get()), s.modal.end());
    if (ownerWasEnabled && isWindow(ownerWindow)) ownerWindow->enable(true);
    dialog->show(false);
    dialog.reset();
    if (isWindow(focusBefore)) setFocus(focusBefore);
    detail::flushPresent();
    return code;
}

intptr_t runModalDialog(const os::ResourceModule& module, const os::ResourceId& name, void* owner,
                        DialogProcedure procedure, LParam initParam) {
    DialogTemplate t;
    std::string error;
    if (!loadDialogTemplate(module, name, t, error)) {
        std::fprintf(stderr, "quillmere: %s\n", error.c_str());
        return -1;
    }
    return runModalDialog(t, owner, std::move(procedure), initParam);
}

void endDialog(Window& dialog, intptr_t code) {
    if (DialogPart* p = dialogPartOf(&dialog)) {
        p->ended = true;
        p->code = code;
    }
}

bool isDialog(const Window* w) { return dialogPartOf(w) != nullptr; }

Window* dialogItem(Window& dialog, int id) { return isWindow(&dialog) ? dialog.child(id) : nullptr; }

}  // namespace qm::ui
