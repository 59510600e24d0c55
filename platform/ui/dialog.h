// Dialog templates and the modal dialog loop.
//
// A template is text, kept as a resource of type 5 (RT_DIALOG) under its
// name ("MAIN", "SAVE"), one statement a line, '#' starts a comment:
//
//   size W H                 the client area
//   units dialog|pixels      what the numbers count (default: dialog units)
//   style WORD...            popup caption modalframe border visible disabled
//   caption "TEXT"
//   font "FACE" POINTS
//   item KIND ID X Y W H ["TEXT"] [FLAG...]
//
// KIND: dropdownlist (a combo box that only lists), dropdown (a combo box
// with an edit field), edit, button. FLAG: hidden disabled vscroll default
// tabstop. A combo box's H is its height with the list dropped; the field
// itself is as high as its font needs.
//
// Dialog units are those of the template's font: a quarter of the average
// character width across, an eighth of the cell height down. The dialogs
// were laid out for "MS Sans Serif" 8 (6 x 13 pixels), so that font keeps its
// own units and its 13-pixel cell while DejaVu Sans draws the text.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/os/resources.h"
#include "platform/ui/font.h"
#include "platform/ui/window.h"

namespace qm::ui {

enum class ItemKind { DropDownList, DropDown, Edit, PushButton };

constexpr uint32_t kItemHidden = 0x01;
constexpr uint32_t kItemDisabled = 0x02;
constexpr uint32_t kItemVScroll = 0x04;
constexpr uint32_t kItemDefault = 0x08;  // Enter sends this button's id
constexpr uint32_t kItemTabStop = 0x10;

struct DialogItem {
    ItemKind kind = ItemKind::PushButton;
    int id = 0;
    Rect rect;  // in the template's units
    std::string text;
    uint32_t flags = 0;
};

struct DialogTemplate {
    Size size;
    bool pixels = false;  // numbers are pixels rather than dialog units
    uint32_t style = kStylePopup | kStyleCaption;
    std::string caption;
    std::string fontFace = "MS Sans Serif";
    int fontPoints = 8;
    std::vector<DialogItem> items;
};

// False with "line N: ..." when a line does not parse (an unknown item kind
// is named in the message).
bool parseDialogTemplate(std::string_view text, DialogTemplate& out, std::string& error);
// Template `name` of a module's type 5 resources.
bool loadDialogTemplate(const os::ResourceModule& module, const os::ResourceId& name,
                        DialogTemplate& out, std::string& error);

// The template's font and its dialog base units.
std::shared_ptr<const Font> dialogFont(const DialogTemplate& t);
Size dialogBaseUnits(const DialogTemplate& t);
// MapDialogRect: template units to pixels.
Rect mapDialogRect(const DialogTemplate& t, const Rect& r);

// The dialog procedure answers nonzero for a message it handled (for
// WM_INITDIALOG: nonzero gives the focus to the first control that takes it).
// What it leaves goes to the default handling: WM_CLOSE becomes
// WM_COMMAND IDCANCEL, WM_PAINT is validated.
using DialogProcedure = std::function<intptr_t(Window&, uint32_t, WParam, LParam)>;

// DialogBoxParam: makes the window and its items (hidden, centred on the
// screen), sends WM_INITDIALOG with `initParam`, shows it and runs the loop
// until endDialog, whose code it answers. The owner (a Window*, or anything
// else, then ignored) is disabled meanwhile. In the loop, Enter becomes
// WM_COMMAND IDOK (or the default button's id), Escape WM_COMMAND IDCANCEL,
// F1 WM_HELP, Tab moves the focus. When input ends for good (the display is
// gone, the script is over), the dialog gets WM_CLOSE; one that does not end
// then is ended with kIdCancelCommand. -1 when the dialog cannot be made.
intptr_t runModalDialog(const DialogTemplate& t, void* owner, DialogProcedure procedure,
                        LParam initParam = 0);
// The same from a template resource; a missing or broken template is
// reported on stderr and answers -1.
intptr_t runModalDialog(const os::ResourceModule& module, const os::ResourceId& name, void* owner,
                        DialogProcedure procedure, LParam initParam = 0);

// EndDialog: the loop of `dialog` ends with `code` once the current message is handled.
void endDialog(Window& dialog, intptr_t code);
// Whether w is a dialog made by runModalDialog, and whether it has ended.
bool isDialog(const Window* w);
// GetDlgItem.
Window* dialogItem(Window& dialog, int id);

// A control as a dialog item makes it, in pixels inside `parent`.
Window& createControl(Window& parent, ItemKind kind, int id, const Rect& pixels,
                      std::string_view text = {}, uint32_t flags = 0,
                      std::shared_ptr<const Font> font = nullptr);

}  // namespace qm::ui
