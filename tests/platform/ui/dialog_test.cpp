// Templates, the modal loop, the standard controls and the answers of the
// headless message boxes and file dialogs, driven by scripts.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "platform/ui/common_dialogs.h"
#include "platform/ui/controls.h"
#include "platform/ui/dialog.h"
#include "platform/ui/environment.h"
#include "platform/ui/headless/headless.h"
#include "platform/ui/message_box.h"
#include "platform/ui/queue.h"
#include "tests/platform/ui/ui_test_support.h"

namespace qm::ui {
namespace {

using testing::Seen;

DialogTemplate parsed(const char* text) {
    DialogTemplate t;
    std::string error;
    EXPECT_TRUE(parseDialogTemplate(text, t, error)) << error;
    return t;
}

void useScript(const std::string& text) {
    std::string error;
    ASSERT_TRUE(headless::loadScript(text, error)) << error;
}

const char* kPresetDialog = R"(
# the preset list as the filter dialogs have it
size 200 120
units pixels
style popup caption modalframe
caption "Presets"
font "MS Sans Serif" 8
item button 1034 0 0 1 1 hidden
item dropdownlist 1033 10 10 160 100 vscroll
item dropdown 2000 10 50 160 100
)";

TEST(DialogTemplate, ParsesSizeStyleFontAndItems) {
    const DialogTemplate t = parsed(R"(
size 144 49
style popup caption modalframe
caption "Save \"preset\""
font "MS Sans Serif" 8
item dropdown 2000 34 16 106 168 vscroll   # the name field
item button 1034 0 0 1 1 "" hidden default
item edit 7 1 2 3 4 "text"
)");
    EXPECT_EQ(t.size, (Size{144, 49}));
    EXPECT_FALSE(t.pixels);
    EXPECT_EQ(t.style, kStylePopup | kStyleCaption | kStyleModalFrame);
    EXPECT_EQ(t.caption, "Save \"preset\"");
    EXPECT_EQ(t.fontPoints, 8);
    ASSERT_EQ(t.items.size(), 3u);
    EXPECT_EQ(t.items[0].kind, ItemKind::DropDown);
    EXPECT_EQ(t.items[0].id, 2000);
    EXPECT_EQ(t.items[0].rect, (Rect{34, 16, 140, 184}));
    EXPECT_EQ(t.items[0].flags, kItemVScroll);
    EXPECT_EQ(t.items[1].flags, kItemHidden | kItemDefault);
    EXPECT_EQ(t.items[2].kind, ItemKind::Edit);
    EXPECT_EQ(t.items[2].text, "text");
    // The original font's units: 6 x 13 pixels a character.
    EXPECT_EQ(mapDialogRect(t, t.items[0].rect), (Rect{51, 26, 210, 299}));
    EXPECT_EQ(mapDialogRect(t, {0, 0, 144, 49}), (Rect{0, 0, 216, 80}));
}

TEST(DialogTemplate, ErrorsNameTheLine) {
    struct Case {
        const char* text;
        const char* message;
    };
    const Case cases[] = {
        {"size 10 10\nitem listbox 5 0 0 1 1", "line 2: unknown item kind 'listbox'"},
        {"size 10 10\n\nitem button 5 0 0 1 1 sparkly", "line 3: unknown item flag 'sparkly'"},
        {"size 10 10\nitem button 5 0 0 1", "line 2: expected: item button"},
        {"size 10 10\ncaption \"open", "line 2: unterminated"},
        {"size 10 10\nstyle popup round", "line 2: unknown style 'round'"},
        {"size ten 10", "line 1: expected: size"},
        {"caption \"x\"", "no size"},
        {"size 10 10\nwidget", "line 2: unknown statement 'widget'"},
    };
    for (const Case& c : cases) {
        DialogTemplate t;
        std::string error;
        EXPECT_FALSE(parseDialogTemplate(c.text, t, error)) << c.text;
        EXPECT_NE(error.find(c.message), std::string::npos) << "got: " << error;
    }
}

TEST(DialogTemplate, LoadsFromTheModulesResources) {
    static const char kText[] = "size 10 20\nitem button 3 0 0 5 5\n";
    const QmResource entries[] = {
        {{nullptr, 5}, {"MAIN", 0}, reinterpret_cast<const uint8_t*>(kText), sizeof kText - 1},
        {{nullptr, 5}, {"BROKEN", 0}, reinterpret_cast<const uint8_t*>("item x"), 6},
    };
    const QmResourceTable table{QM_RESOURCE_TABLE_MAGIC, 2, entries};
    const os::ResourceModule module(&table);
    DialogTemplate t;
    std::string error;
    ASSERT_TRUE(loadDialogTemplate(module, os::ResourceId::of("main"), t, error)) << error;
    EXPECT_EQ(t.items.size(), 1u);
    EXPECT_FALSE(loadDialogTemplate(module, os::ResourceId::of("SAVE"), t, error));
    EXPECT_EQ(error, "dialog template SAVE not found");
    EXPECT_FALSE(loadDialogTemplate(module, os::ResourceId::of("BROKEN"), t, error));
    EXPECT_NE(error.find("BROKEN line 1"), std::string::npos) << error;
    useScript("");
    EXPECT_EQ(runModalDialog(module, os::ResourceId::of("SAVE"), nullptr, {}), -1);
}

TEST(ModalDialog, EndsWithTheCodeAndDisablesItsOwnerMeanwhile) {
    auto owner = createWindow({kStylePopup | kStyleCaption | kStyleVisible, Rect::ofSize(0, 0, 300, 300), "host", 0, nullptr, nullptr, {}});
    bool ownerDisabled = false;
    useScript("");
    const intptr_t code = runModalDialog(parsed(kPresetDialog), owner.get(), [&](Window& w, uint32_t m, WParam wp, LParam) -> intptr_t {
        if (m == kWmInitDialog) postMessage(&w, kWmPrivate, 42);
        if (m == kWmPrivate) {
            ownerDisabled = !owner->isEnabled();
            endDialog(w, static_cast<intptr_t>(wp));
        }
        return 0;
    });
    EXPECT_EQ(code, 42);
    EXPECT_TRUE(ownerDisabled);
    EXPECT_TRUE(owner->isEnabled());
}

TEST(ModalDialog, KeysBecomeCommandsAsADialogManagerMakesThem) {
    struct Case {
        const char* script;
        const char* templateText;
        intptr_t code;
    };
    const std::string withDefault = std::string(kPresetDialog) + "item button 7 100 90 60 20 \"Go\" default\n";
    const Case cases[] = {
        {"key enter", kPresetDialog, 100 + kIdOkCommand},
        {"key escape", kPresetDialog, 100 + kIdCancelCommand},
        {"key f1", kPresetDialog, 500},
        {"key enter", withDefault.c_str(), 107},
    };
    for (const Case& c : cases) {
        useScript(c.script);
        const intptr_t code = runModalDialog(parsed(c.templateText), nullptr, [&](Window& w, uint32_t m, WParam wp, LParam) -> intptr_t {
            if (m == kWmCommand) endDialog(w, 100 + commandIdOf(wp));
            if (m == kWmHelp) endDialog(w, 500);
            return 0;
        });
        EXPECT_EQ(code, c.code) << c.script;
    }
}

TEST(ModalDialog, WhenInputEndsTheDialogIsClosedAsCancelled) {
    // Closing goes through WM_CLOSE, which a dialog takes as IDCANCEL.
    useScript("move 5 5");
    std::vector<uint32_t> seen;
    intptr_t code = runModalDialog(parsed(kPresetDialog), nullptr, [&](Window& w, uint32_t m, WParam wp, LParam) -> intptr_t {
        if (m == kWmClose || m == kWmMouseMove) seen.push_back(m);
        if (m == kWmCommand && commandIdOf(wp) == kIdCancelCommand) endDialog(w, 77);
        return 0;
    });
    EXPECT_EQ(code, 77);
    EXPECT_EQ(seen, (std::vector<uint32_t>{kWmMouseMove, kWmClose}));
    // One that takes no notice is ended all the same.
    useScript("");
    code = runModalDialog(parsed(kPresetDialog), nullptr, [](Window&, uint32_t, WParam, LParam) -> intptr_t { return 1; });
    EXPECT_EQ(code, kIdCancelCommand);
}

TEST(ModalDialog, EachRunTakesTheScriptTheEnvironmentNamesThen) {
    // A host that runs the plug-in again in the same process names a new
    // script file for each run.
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / ("qm-scripts-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    auto run = [&](const char* name, const char* text) {
        const std::string path = (folder / name).string();
        std::ofstream(path) << text;
        setenv(kEnvScript, path.c_str(), 1);
        return runModalDialog(parsed(kPresetDialog), nullptr, [](Window& w, uint32_t m, WParam wp, LParam) -> intptr_t {
            if (m == kWmCommand) endDialog(w, 100 + commandIdOf(wp));
            return 0;
        });
    };
    EXPECT_EQ(run("first.txt", "key enter\n"), 100 + kIdOkCommand);
    EXPECT_EQ(run("second.txt", "key escape\n"), 100 + kIdCancelCommand);
    EXPECT_EQ(run("third.txt", "key enter\n"), 100 + kIdOkCommand);
    unsetenv(kEnvScript);
    std::filesystem::remove_all(folder);
}

TEST(ModalDialog, TimersFireWhileTheScriptWaitsForIdle) {
    useScript("idle 2000\nkey escape");
    std::vector<uint32_t> order;
    runModalDialog(parsed(kPresetDialog), nullptr, [&](Window& w, uint32_t m, WParam wp, LParam) -> intptr_t {
        if (m == kWmInitDialog) setTimer(w, 1000, 20);
        if (m == kWmTimer) {
            order.push_back(static_cast<uint32_t>(wp));
            killTimer(w, wp);  // as the progress strip's timer does
        }
        if (m == kWmCommand) {
            order.push_back(kWmCommand);
            endDialog(w, 0);
        }
        return 0;
    });
    EXPECT_EQ(order, (std::vector<uint32_t>{1000, kWmCommand}));
}

TEST(ModalDialog, ScreenSizeIsTheTestsChoiceAndTheDialogIsCentred) {
    headless::setScreenSize({1280, 720});
    EXPECT_EQ(screenSize(), (Size{1280, 720}));
    useScript("");
    Rect placed;
    runModalDialog(parsed(kPresetDialog), nullptr, [&](Window& w, uint32_t m, WParam, LParam) -> intptr_t {
        if (m == kWmInitDialog) placed = w.windowRect();
        return 0;
    });
    headless::setScreenSize({1280, 1024});
    EXPECT_EQ(placed.left, (1280 - placed.width()) / 2);
    EXPECT_EQ(placed.top, (720 - placed.height()) / 2);
}

TEST(ComboBox, ListOperations) {
    auto host = createWindow({kStylePopup, Rect::ofSize(0, 0, 300, 200), "", 0, nullptr, nullptr, {}});
    ComboBox* c = ComboBox::of(&createControl(*host, ItemKind::DropDownList, 1033, Rect::ofSize(5, 5, 160, 10)));
    ASSERT_TRUE(c);
    EXPECT_EQ(c->window().rect().height(), c->fieldHeight()) << "the given height is the dropped list's";
    for (const char* t : {"#Last Used", ">Soft", "Default", "SAVE USER PRESET"}) c->add(t);
    EXPECT_EQ(c->count(), 4);
    EXPECT_EQ(c->text(1), ">Soft");
    EXPECT_FALSE(c->text(4));
    EXPECT_EQ(c->selection(), -1);
    EXPECT_TRUE(c->select(2));
    EXPECT_EQ(c->editText(), "Default");
    EXPECT_FALSE(c->select(4));
    EXPECT_EQ(c->selection(), 2);
    struct Find {
        const char* text;
        int after, found;
    };
    c->add(">soft");
    for (const Find& f : {Find{">SOFT", -1, 1}, Find{">soft", 1, 4}, Find{">Soft", 4, 1}, Find{"Soft", -1, -1},
                          Find{"save user preset", 3, 3}}) {
        EXPECT_EQ(c->findExact(f.text, f.after), f.found) << f.text << " after " << f.after;
    }
    c->reset();
    EXPECT_EQ(c->count(), 0);
    EXPECT_EQ(c->selection(), -1);
    EXPECT_EQ(c->findExact("Default"), -1);
}

TEST(ComboBox, UserPicksNotifyAndProgramChangesDoNot) {
    // select by script, open the list with a click and pick its third row,
    // type into the editable drop-down, Enter.
    useScript(R"(
select 1033 "beta"
click left 20 20
click left 20 69
type 2000 "My preset"
key enter
)");
    std::vector<std::pair<int, uint32_t>> commands;
    std::vector<int> selections;
    bool listClosed = false, focusOnButton = false;
    std::string edit;
    runModalDialog(parsed(kPresetDialog), nullptr, [&](Window& w, uint32_t m, WParam wp, LParam lp) -> intptr_t {
        if (m == kWmInitDialog) {
            ComboBox* list = ComboBox::of(dialogItem(w, 1033));
            for (const char* t : {"Alpha", "Beta", "Gamma"}) list->add(t);
            list->select(0);
            PushButton::of(dialogItem(w, 1034))->click();
            focusOnButton = focusWindow() == dialogItem(w, 1034);
            return 0;
        }
        if (m != kWmCommand) return 0;
        commands.push_back({commandIdOf(wp), notifyCodeOf(wp)});
        if (commandIdOf(wp) == 1033) selections.push_back(ComboBox::of(reinterpret_cast<Window*>(lp))->selection());
        if (commandIdOf(wp) == kIdOkCommand) {
            listClosed = !ComboBox::of(dialogItem(w, 1033))->isDropped();
            edit = ComboBox::of(dialogItem(w, 2000))->editText();
            endDialog(w, 1);
        }
        return 1;
    });
    EXPECT_TRUE(focusOnButton);
    ASSERT_GE(commands.size(), 4u);
    EXPECT_EQ(commands[0], (std::pair<int, uint32_t>{1034, kBnClicked}));
    EXPECT_EQ(commands[1], (std::pair<int, uint32_t>{1033, kCbnSelChange}));
    EXPECT_EQ(commands[2], (std::pair<int, uint32_t>{1033, kCbnSelChange}));
    EXPECT_EQ(selections, (std::vector<int>{1, 2}));
    size_t edits = 0;
    for (const auto& c : commands) edits += c == std::pair<int, uint32_t>{2000, kCbnEditChange};
    EXPECT_EQ(edits, std::string("My preset").size());
    EXPECT_EQ(commands.back(), (std::pair<int, uint32_t>{kIdOkCommand, kBnClicked}));
    EXPECT_TRUE(listClosed);
    EXPECT_EQ(edit, "My preset");
}

TEST(Script, ProblemsWhileRunningNameTheLineAndEndTheScript) {
    useScript("move 1 1\nselect 1033 \"Nothing\"\nkey enter");
    bool entered = false;
    runModalDialog(parsed(kPresetDialog), nullptr, [&](Window& w, uint32_t m, WParam wp, LParam) -> intptr_t {
        if (m == kWmCommand && commandIdOf(wp) == kIdOkCommand) entered = true;
        if (m == kWmCommand) endDialog(w, 0);
        return 0;
    });
    EXPECT_FALSE(entered) << "the lines after the problem do not run";
    EXPECT_NE(headless::lastScriptError().find("line 2: drop-down 1033 has no entry \"Nothing\""), std::string::npos)
        << headless::lastScriptError();
}

TEST(MessageBox, EchoedAndAnsweredByTheScript) {
    struct Case {
        const char* script;
        uint32_t flags;
        int answer;
    };
    const Case cases[] = {
        {"", kMbOk | kMbIconWarning, kIdOk},
        {"", kMbOkCancel | kMbIconQuestion, kIdOk},
        {"answer cancel", kMbOkCancel | kMbIconQuestion, kIdCancel},
        {"answer cancel", kMbOk, kIdOk},  // a box with one button answers it
        {"answer ok", kMbOkCancel, kIdOk},
    };
    for (const Case& c : cases) {
        useScript(c.script);
        ::testing::internal::CaptureStderr();
        const int answer = messageBox(nullptr, "This file already exists. Replace existing file?", "Presets.reg", c.flags);
        EXPECT_EQ(::testing::internal::GetCapturedStderr(),
                  "Presets.reg: This file already exists. Replace existing file?\n");
        EXPECT_EQ(answer, c.answer) << c.script;
    }
}

TEST(FileDialogs, AnsweredByTheScriptWithTheDefaultExtension) {
    useScript("choose \"/tmp/export\"\nchoose \"/tmp/a.txt\"\nchoose cancel\ncolour FF8000\ncolour cancel");
    FileDialogOptions o;
    o.title = "Export User Presets. Choose a Filename.";
    o.filters = {{"*.reg", "*.reg;"}};
    o.defaultExtension = "reg";
    EXPECT_EQ(saveFileDialog(o), "/tmp/export.reg");
    EXPECT_EQ(openFileDialog(o), "/tmp/a.txt");
    EXPECT_EQ(saveFileDialog(o), std::nullopt);
    EXPECT_EQ(saveFileDialog(o), std::nullopt) << "no answer left: cancelled";
    EXPECT_EQ(chooseColour(nullptr, 0), rgb(255, 128, 0));
    EXPECT_EQ(chooseColour(nullptr, 0), std::nullopt);
}

TEST(FileDialogs, ExtensionAndPatternRules) {
    struct Ext {
        const char* path;
        const char* result;
    };
    for (const Ext& e : {Ext{"name", "name.reg"}, Ext{"dir.d/name", "dir.d/name.reg"}, Ext{"name.txt", "name.txt"},
                         Ext{"dir/", "dir/"}, Ext{"", ""}})
        EXPECT_EQ(withDefaultExtension(e.path, "reg"), e.result) << e.path;
    EXPECT_EQ(withDefaultExtension("name", ""), "name");
    struct Match {
        const char* name;
        bool matches;
    };
    for (const Match& m : {Match{"photo.JPG", true}, Match{"lib.8tx", true}, Match{"notes.txt", false},
                           Match{"jpg", false}})
        EXPECT_EQ(matchesPatterns(m.name, "*.jpg; *.8tx;"), m.matches) << m.name;
}

}  // namespace
}  // namespace qm::ui
