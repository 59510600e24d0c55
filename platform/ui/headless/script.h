// The input script of the headless backend: one action a line, '#' starts a
// comment, texts in double quotes (\" and \\ inside). Coordinates are client
// coordinates of the active window (the innermost modal dialog). Each line
// runs when the dialog has handled everything before it and waits for input.
//
//   move X Y                       the pointer moves
//   press BUTTON X Y [shift] [ctrl]     BUTTON: left right middle x1 x2
//   release BUTTON X Y [shift] [ctrl]
//   click BUTTON X Y [shift] [ctrl]     press and release
//   dblclick BUTTON X Y [shift] [ctrl]  press, release, double-click, release
//   wheel DELTA X Y                (vertical; 120 is one notch away from the user)
//   hwheel DELTA X Y
//   key NAME [shift] [ctrl]        enter escape f1..f12 tab backspace delete left
//                                  right up down home end pageup pagedown space,
//                                  or one character
//   type ID "TEXT"                 replaces the text of edit box (or editable
//                                  drop-down) ID as typing would
//   select ID "TEXT" | select ID N     picks an entry of drop-down ID by its text
//                                  or its index (CBN_SELCHANGE)
//   answer ok|cancel               answer of the next message box
//   choose "PATH" | choose cancel  answer of the next file dialog
//   colour RRGGBB | colour cancel  answer of the next colour picker
//   idle [MS]                      waits until no timer is set (at most MS, default 5000)
//   mark NAME [window]             screenshot NAME.png of the screen (or of the
//                                  active window's client area)
//
// When the script has run out, the running dialog gets WM_CLOSE (which a
// dialog takes as cancel); without a script that happens as soon as the
// dialog waits for input.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qm::ui::script {

enum class Kind {
    Move, Press, Release, Click, DoubleClick, Wheel, HWheel, Key, Type, Select,
    Answer, Choose, Colour, Idle, Mark
};

struct Action {
    int line = 0;
    Kind kind = Kind::Move;
    int button = 0;  // 1 left, 2 right, 3 middle, 4 x1, 5 x2
    int x = 0, y = 0;
    bool shift = false, control = false;
    int id = 0;              // type, select
    std::string text;        // type, select, choose, mark
    int index = -1;          // select ID N
    int amount = 0;          // wheel delta, idle milliseconds, answer (1 ok, 2 cancel)
    uint32_t vk = 0;         // key
    char32_t character = 0;  // key
    uint32_t colour = 0;     // colour, 0x00BBGGRR
    bool cancel = false;     // choose, colour
    bool window = false;     // mark ... window
};

// False with "line N: ..." when a line does not parse.
bool parse(std::string_view text, std::vector<Action>& out, std::string& error);

}  // namespace qm::ui::script
