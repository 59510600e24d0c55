// The sharpening dialog run headless over KeenwrightHD with the resources of
// the built plug-in (templates, skins, factory presets): the preset list and
// dialog, export, undo and redo, the zoom buttons and the history, apply and
// cancel.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "framework/host/filter_dialog.h"
#include "framework/host/help_page.h"
#include "framework/settings/preset_export.h"
#include "platform/os/registry.h"
#include "platform/os/shell.h"
#include "platform/ui/headless/headless.h"
#include "tests/filters/keenwrighthd/hd_test_support.h"
#include "tests/support/dialog_run.h"

using namespace qm;
namespace reg = os::registry;

namespace {

constexpr const char* kKey = "Software\\Quillmere\\KeenwrightHD";

// The window's layout for a 600 x 400 image: pw 600, x0 605, x1 625.
constexpr int kX0 = 605, kX1 = 625;
constexpr int kContrastY = 433;

bool sameSettings(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    return a.size() >= 64 && b.size() >= 64 && std::equal(a.begin() + 6, a.begin() + 64, b.begin() + 6);
}

class HdDialog : public test::DialogRun {
protected:
    HdDialog() : DialogRun(khd::test::hd(), "KeenwrightHD.8bf", kKey) {}
    static std::vector<uint8_t> factory(const char* file) { return khd::test::presetRecord(file); }
};

TEST_F(HdDialog, OpensOnDefaultAppliesAndCancelsWithoutStoring) {
    EXPECT_EQ(run("key enter\n"), noErr);
    EXPECT_TRUE(created);
    EXPECT_TRUE(sameSettings(applied(), factory("default.txt")));
    // The first completed render is slot 1.
    EXPECT_EQ(host->state().history.position, 1);

    // A script that runs out is a window closed by the window manager.
    EXPECT_EQ(run(""), userCanceledErr);
    EXPECT_EQ(run("key escape\n"), userCanceledErr);
    EXPECT_EQ(run("click left " + std::to_string(kX0 + 250) + " 600\n"), userCanceledErr);
    EXPECT_EQ(run("click left " + std::to_string(kX0 + 200) + " 600\n"), noErr);
    // The dialog itself stores nothing: "Last Used" is the session's closing.
    EXPECT_TRUE(registryValue("Last Used").empty());
}

TEST_F(HdDialog, StartsOnLastUsedAndLoadsPicksFromTheList) {
    std::vector<uint8_t> last = factory("hdry.txt");
    fw::sealRecord(last.data(), khd::test::hd().format, true);
    putValue("Last Used", last);
    EXPECT_EQ(run("key enter\n"), noErr);
    EXPECT_TRUE(sameSettings(applied(), last));

    // Entries by their shown names; a factory preset then the user's.
    EXPECT_EQ(run("select 1033 \"X-Noise Reduction\"\nkey enter\n"), noErr);
    EXPECT_EQ(scriptError, "");
    EXPECT_TRUE(sameSettings(applied(), factory("x-noise_reduction.txt")));
    EXPECT_EQ(run("select 1033 \"Warmhouse\"\nselect 1033 \"#Last Used\"\nkey enter\n"), noErr);
    EXPECT_TRUE(sameSettings(applied(), last));
}

TEST_F(HdDialog, ADamagedPresetShowsNotValidAndChangesNothing) {
    std::vector<uint8_t> broken = factory("hdry.txt");
    broken[20] ^= 1;  // the check value no longer holds
    putValue("Broken", broken);
    putValue("Short", std::vector<uint8_t>(10, 1));
    // A name too long for a record's value comes before a good preset.
    putValue(std::string(70, 'n'), factory("landscape.txt"));
    putValue("Good", factory("sharpening.txt"));

    EXPECT_EQ(run("select 1033 \"?Broken\"\nselect 1033 \"?Short\"\nkey enter\n"), noErr);
    EXPECT_EQ(scriptError, "");
    EXPECT_TRUE(sameSettings(applied(), factory("default.txt")));
    EXPECT_EQ(shown("Error: Not Valid Preset         \n"), 2u) << err;

    // The long name is listed as invalid and hides nothing after it.
    EXPECT_EQ(run("select 1033 \"?" + std::string(70, 'n') + "\"\nselect 1033 \">Good\"\nkey enter\n"), noErr);
    EXPECT_EQ(scriptError, "");
    EXPECT_TRUE(sameSettings(applied(), factory("sharpening.txt")));
}

TEST_F(HdDialog, SavesOverwritesAndDeletesUserPresets) {
    const std::string open = "select 1033 \"SAVE USER PRESET\"\n";
    // A leading "#" is dropped; the list then shows ">Mine" selected.
    EXPECT_EQ(run("select 1033 \"Hdry\"\n" + open + "type 2000 \"#Mine\"\nkey enter\nkey enter\n"), noErr);
    EXPECT_EQ(scriptError, "");
    std::vector<uint8_t> mine = registryValue("Mine");
    ASSERT_EQ(mine.size(), 64u);
    EXPECT_TRUE(fw::validateRecord(mine.data(), khd::test::hd().format));
    EXPECT_FALSE(fw::isPinned(mine.data(), 64));
    EXPECT_TRUE(sameSettings(mine, factory("hdry.txt")));

    // The same name again replaces it without a question.
    EXPECT_EQ(run("select 1033 \"Landscape\"\n" + open + "type 2000 \"Mine  \"\nkey enter\nkey enter\n"), noErr);
    EXPECT_TRUE(sameSettings(registryValue("Mine"), factory("landscape.txt")));
    EXPECT_EQ(err.find("Warning"), std::string::npos) << err;

    // Cancel leaves the entry and the settings as they were.
    EXPECT_EQ(run("select 1033 \"Warmhouse\"\n" + open + "type 2000 \"Other\"\nkey escape\nkey enter\n"), noErr);
    EXPECT_TRUE(registryValue("Other").empty());
    EXPECT_TRUE(sameSettings(applied(), factory("warmhouse.txt")));

    // "Last Used" can be deleted; a name that is not there says so.
    std::vector<uint8_t> last = factory("hdry.txt");
    fw::sealRecord(last.data(), khd::test::hd().format, true);
    putValue("Last Used", last);
    const int deleteX = 51 - 45 + 5, buttonsY = 26 + 28 + 5;
    const std::string del = "click left " + std::to_string(deleteX) + " " + std::to_string(buttonsY) + "\n";
    EXPECT_EQ(run(open + "type 2000 \"Last Used\"\n" + del + open + "type 2000 \"Nothing\"\n" + del +
                  "key enter\n"),
              noErr);
    EXPECT_TRUE(registryValue("Last Used").empty());
    EXPECT_NE(err.find("Error: Unable to locate User Preset\n"), std::string::npos) << err;
    // After the delete, entry 0 (">Mine") was loaded.
    EXPECT_TRUE(sameSettings(applied(), factory("landscape.txt")));
}

TEST_F(HdDialog, ExportsEveryValueAndRemembersTheFolder) {
    putValue("Soft \"q\"", factory("hdry.txt"));
    putValue("Last Used", factory("default.txt"));
    const std::string file = (folder / "out.reg").string();
    std::filesystem::remove(file);
    const std::string exportClick = "click left 10 10\n";
    const std::string open = "select 1033 \"SAVE USER PRESET\"\n";
    // A cancelled file dialog keeps the preset dialog open; then export.
    EXPECT_EQ(run(open + "choose cancel\n" + exportClick + "choose \"" + file + "\"\n" + exportClick + "key enter\n"),
              noErr);
    std::ifstream in(file, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, fw::presetExportText(host->session));
    EXPECT_EQ(text.rfind("REGEDIT4\r\n\r\n\r\n[HKEY_CURRENT_USER\\Software\\Quillmere\\KeenwrightHD]\r\n\r\n\"Soft \\\"q\\\"\"=hex:", 0), 0u)
        << text;

    std::vector<uint8_t> dir(400);
    uint32_t size = 400;
    ASSERT_EQ(reg::queryValue(reg::Root::CurrentUser, "Software\\Quillmere", fw::kExportDirValue, nullptr, dir.data(),
                              &size),
              reg::kSuccess);
    EXPECT_EQ(std::string(dir.begin(), dir.begin() + size), folder.string() + "/");

    // An existing file: Cancel to the question returns to the file dialog.
    EXPECT_EQ(run(open + exportClick + "choose \"" + file + "\"\nanswer cancel\nchoose cancel\nkey escape\nkey escape\n"),
              userCanceledErr);
    EXPECT_NE(err.find("out.reg: This file already exists. Replace existing file?\n"), std::string::npos) << err;

    // A file that cannot be written says so instead of seeming saved.
    EXPECT_EQ(run(open + exportClick + "choose \"/nonexistent-folder/x.reg\"\nkey escape\n"), userCanceledErr);
    EXPECT_NE(err.find("Error: The presets could not be written to /nonexistent-folder/x.reg\n"), std::string::npos)
        << err;
}

TEST_F(HdDialog, UndoRedoAndTheForcedZoomRenders) {
    // Contrast 125 sits at x1 + 10 + 125; each drag moves it 20 pixels left.
    std::string drags;
    for (int i = 0; i < 3; ++i) {
        const int x = kX1 + 10 + 125 - 20 * i;
        drags += "press left " + std::to_string(x) + " " + std::to_string(kContrastY) + "\n" + "move " +
                 std::to_string(x - 20) + " " + std::to_string(kContrastY) + "\n" + "release left " +
                 std::to_string(x - 20) + " " + std::to_string(kContrastY) + "\n";
    }
    const std::string undo = "click left " + std::to_string(kX0 + 19 + 5) + " 562\n";
    const std::string redo = "click left " + std::to_string(kX0 + 47 + 5) + " 562\n";
    EXPECT_EQ(run(drags + "key enter\n"), noErr);
    EXPECT_EQ(host->state().history.position, 4);
    std::vector<uint8_t> newest = applied();

    // Three undos return to the start; a fourth stays there.
    EXPECT_EQ(run(drags + undo + undo + undo + undo + "key enter\n"), noErr);
    EXPECT_TRUE(sameSettings(applied(), factory("default.txt")));
    EXPECT_EQ(host->state().history.position, 1);
    // The extra mouse buttons: back twice, forward three times ends on the newest.
    EXPECT_EQ(run(drags + "click x1 300 300\nclick x1 300 300\nclick x2 300 300\nclick x2 300 300\n" + redo +
                  "key enter\n"),
              noErr);
    EXPECT_TRUE(sameSettings(applied(), newest));
    EXPECT_EQ(host->state().history.position, 4);

    // 1200 x 800: the 100 % button at x1 + 120 renders forced, records nothing.
    const fw::ShellLayout big = fw::shellLayout(900, 1200, 800);
    const std::string zoom100 = "click left " + std::to_string(big.x1 + 120 + 3) + " " +
                                std::to_string(big.thumbnail.height + 87 + 3) + "\n";
    EXPECT_EQ(run(zoom100 + zoom100 + "key enter\n", {1200, 800}), noErr);
    EXPECT_EQ(host->state().history.position, 1);
    EXPECT_EQ(host->state().view.kind, fw::SourceView::Kind::Zoom);
    EXPECT_EQ(host->state().view.zoom, 100);
}

TEST_F(HdDialog, ASmallScreenWarnsAndTheDialogStillRuns) {
    ui::headless::setScreenSize({1280, 720});
    EXPECT_EQ(run("key enter\n"), noErr);
    ui::headless::setScreenSize({1280, 1024});
    EXPECT_NE(err.find("Warning!: You are using 1280 x 720 screen resolution.\n It is not enough for this filter.\n"),
              std::string::npos)
        << err;
}

TEST_F(HdDialog, HelpAndLinkOpenTheirPagesAndTheCaptionSaysTheMode) {
    const size_t before = os::recordedShellOpens().size();
    EXPECT_EQ(run("key f1\nclick left " + std::to_string(kX0 + 92 + 5) + " 12\nkey enter\n"), noErr);
    const std::vector<std::string>& opened = os::recordedShellOpens();
    ASSERT_EQ(opened.size(), before + 2);
    EXPECT_EQ(opened[before], fw::helpPagePath("KEENWRIGHTHD"));
    EXPECT_EQ(opened[before + 1], fw::helpPagePath("QUILLMERE"));
    std::ifstream page(opened[before]);
    const std::string html((std::istreambuf_iterator<char>(page)), std::istreambuf_iterator<char>());
    EXPECT_NE(html.find("Edge Softness"), std::string::npos);

    // "PluginsDir" holds the plug-in folder with its separator.
    std::vector<uint8_t> dir(400);
    uint32_t size = 400;
    ASSERT_EQ(reg::queryValue(reg::Root::CurrentUser, "Software\\Quillmere", "PluginsDir", nullptr, dir.data(), &size),
              reg::kSuccess);
    EXPECT_EQ(std::string(dir.begin(), dir.begin() + size).back(), '/');
}

}  // namespace
