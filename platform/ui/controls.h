// The few standard controls the dialogs keep from the system: combo boxes
// (a drop-down list and an editable drop-down), an edit box and a push
// button (also invisible). Each is a child window with one of these parts;
// find it with ComboBox::of(dialogItem(dialog, id)) and the like.
//
// Notifications go to the parent as WM_COMMAND (id | code << 16) with the
// control's Window* in lParam: CBN_SELCHANGE when the user picks an entry,
// CBN_EDITCHANGE and EN_CHANGE when the user edits, BN_CLICKED for a click.
// Changes made through these calls notify nothing, as in Windows.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui/font.h"
#include "platform/ui/window.h"

namespace qm::ui {

// The text, caret and selection of a one-line field (edit box, the edit
// part of a drop-down); byte offsets on character boundaries.
struct TextField {
    std::string text;
    size_t caret = 0;
    size_t anchor = 0;  // the selection runs between anchor and caret
    size_t limit = 0;   // characters, 0: no limit
    int scroll = 0;     // pixels hidden at the left

    void setText(std::string_view t);
    void selectAll();
    bool hasSelection() const { return anchor != caret; }
    // Typing: answers whether the text changed.
    bool typeCharacter(char32_t c);
    bool key(uint32_t vk, bool shift, bool control);
    void clickAt(const Font& font, int x);
    void draw(Surface& s, const Rect& area, const Font& font, bool focused, bool enabled);
};

class ComboBox : public WindowPart {
public:
    static ComboBox* of(Window* w);
    ~ComboBox() override;

    bool editable() const { return editable_; }
    void reset();                                   // CB_RESETCONTENT
    int add(std::string_view text);                 // CB_ADDSTRING (unsorted): its index
    int count() const { return static_cast<int>(items_.size()); }
    std::optional<std::string> text(int index) const;  // CB_GETLBTEXT
    bool select(int index);                         // CB_SETCURSEL; -1 clears; false out of range
    int selection() const { return selection_; }    // CB_GETCURSEL, -1 for none
    // CB_FINDSTRINGEXACT: from the entry after `after` (-1: the first) round
    // to it, case-insensitive; -1 when none.
    int findExact(std::string_view text, int after = -1) const;
    std::string editText() const;                   // GetWindowText
    void setEditText(std::string_view text);
    void setEditLimit(size_t characters) { field_.limit = characters; }
    void selectEditText();                          // CB_SETEDITSEL 0, -1
    // What a user's pick does: select, then CBN_SELCHANGE to the parent.
    void choose(int index);
    bool isDropped() const;
    void showDropDown(bool show);
    Window& window() const { return *window_; }

    // Layout: the field's height and the list's row height.
    int fieldHeight() const;
    int itemHeight() const;
    void adjustRect(Rect& r) override;

private:
    friend struct ControlFactory;
    ComboBox(Window& w, bool editable, std::shared_ptr<const Font> font, int droppedHeight);
    LResult handle(Window& w, uint32_t m, WParam wp, LParam lp);
    LResult handleList(Window& w, uint32_t m, WParam wp, LParam lp);
    void paint();
    void paintList();
    void notify(uint32_t code);
    void ensureVisible(int index);
    int visibleRows() const;
    Rect scrollBarRect() const;

    Window* window_;
    bool editable_;
    std::shared_ptr<const Font> font_;
    int droppedHeight_;
    std::vector<std::string> items_;
    int selection_ = -1;
    TextField field_;
    std::unique_ptr<Window> list_;
    int hot_ = -1;
    int top_ = 0;
    bool draggingThumb_ = false;
    int dragOffset_ = 0;
};

class EditBox : public WindowPart {
public:
    static EditBox* of(Window* w);
    std::string text() const { return field_.text; }
    void setText(std::string_view text);
    void setLimit(size_t characters) { field_.limit = characters; }  // EM_LIMITTEXT
    void selectAll();
    Window& window() const { return *window_; }

private:
    friend struct ControlFactory;
    EditBox(Window& w, std::shared_ptr<const Font> font);
    LResult handle(Window& w, uint32_t m, WParam wp, LParam lp);
    Window* window_;
    std::shared_ptr<const Font> font_;
    TextField field_;
};

class PushButton : public WindowPart {
public:
    static PushButton* of(Window* w);
    // BM_CLICK: takes the focus and sends BN_CLICKED, also when hidden.
    void click();
    bool isDefault() const { return default_; }
    Window& window() const { return *window_; }

private:
    friend struct ControlFactory;
    PushButton(Window& w, std::shared_ptr<const Font> font, bool isDefault);
    LResult handle(Window& w, uint32_t m, WParam wp, LParam lp);
    Window* window_;
    std::shared_ptr<const Font> font_;
    bool default_;
    bool pressed_ = false;
    bool tracking_ = false;
};

// Whether a shift or control key is held (GetKeyState of kVkShift, kVkControl).
bool keyHeld(uint32_t vk);

// The classic two-pixel three-dimensional edge the controls draw.
enum class Edge { Sunken, Raised };
void drawEdge(Surface& s, const Rect& r, Edge edge);

}  // namespace qm::ui
