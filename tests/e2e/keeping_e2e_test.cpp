// What a run must not lose or leave behind: the lines of a registry file it
// does not understand, a file it must not replace, and the output it was
// saving when a signal came.
#include <signal.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <random>
#include <thread>

#include "host/image.h"
#include "tests/e2e/plugin_run.h"

using namespace qm;
namespace fs = std::filesystem;

namespace {

const std::string kPlugins = std::string(QM_BINARY_DIR) + "/tests/plugins";
const std::string kKeyLine = "[HKEY_CURRENT_USER\\Software\\Quillmere\\FrameworkTest]\n";

host::Image flat(int width, int height) {
    host::Image img;
    img.width = width;
    img.height = height;
    img.pixels.assign(img.rowBytes() * static_cast<size_t>(height), 200);
    return img;
}

// The text without its "Last Used" line, and that line.
std::pair<std::string, std::string> withoutLastUsed(const std::string& text) {
    const size_t at = text.find("\"Last Used\"=hex:");
    if (at == std::string::npos) return {text, ""};
    const size_t end = text.find('\n', at) + 1;
    return {text.substr(0, at) + text.substr(end), text.substr(at, end - at)};
}

class RegistryRun : public test::PluginRun {
protected:
    RegistryRun() : PluginRun("Framework Test", kPlugins) {}
    void SetUp() override {
        PluginRun::SetUp();
        fs::create_directory(registry());
        save("in.png", flat(40, 70));
    }
    std::string registry() const { return dir + "/registry"; }
    std::string hkcu() const { return registry() + "/HKEY_CURRENT_USER.reg"; }
    test::ProgramResult run() { return apply("in.png", "out.png"); }
};

}  // namespace

TEST_F(RegistryRun, StoringLastUsedKeepsEveryOtherLineByteForByte) {
    const std::string before = "REGEDIT4\n\n; my notes\n" + kKeyLine +
                               "\"Count\"=dword:0000002a\n\"Soft\"=hex:01,02\n\n"
                               "[HKEY_LOCAL_MACHINE\\Software\\Quillmere\\Lumivex]\n\"m\"=hex:00\n\n"
                               "[HKEY_CURRENT_USER\\Software\\Unknown]\n\"s\"=hex(2):25,00\n";
    test::writeFile(hkcu(), before);
    const auto r = run();
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err.find("warning"), std::string::npos) << r.err;
    const std::string after = test::readFile(hkcu());
    const auto [rest, line] = withoutLastUsed(after);
    EXPECT_EQ(rest, before);
    // In the plug-in's key, after its last value.
    EXPECT_EQ(after.find(line), before.find("\n\n[HKEY_LOCAL") + 1);
    EXPECT_EQ(lastUsed("Software\\Quillmere\\FrameworkTest", 64).size(), 64u);
}

// A file the run must not write is left as it is, and the run says why.
TEST_F(RegistryRun, FilesItMustNotWriteAreKeptAndReported) {
    std::string utf16 = "\xFF\xFE";
    for (char c : "Windows Registry Editor Version 5.00\r\n\r\n" + kKeyLine) utf16 += {c, '\0'};
    struct Case {
        const char* label;
        std::function<void()> setUp;
        const char* warning;
    };
    const Case cases[] = {
        {"UTF-16", [&] { test::writeFile(hkcu(), utf16); }, "is not a REGEDIT4 text file"},
        {"garbage", [&] { test::writeFile(hkcu(), std::string("\x7f" "ELF\x02\x01\x01\n", 8)); },
         "is not a REGEDIT4 text file"},
        {"read-only", [&] {
             test::writeFile(hkcu(), "REGEDIT4\n\n" + kKeyLine);
             ::chmod(hkcu().c_str(), 0444);
         },
         "is read-only"},
        {"a folder", [&] { fs::create_directory(hkcu()); }, "is a folder"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        fs::remove_all(hkcu());
        c.setUp();
        auto content = [&] { return fs::is_directory(hkcu()) ? std::string("(folder)") : test::readFile(hkcu()); };
        const std::string before = content();
        const auto r = run();
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.err.find("warning: " + hkcu() + " " + c.warning), std::string::npos) << r.err;
        EXPECT_EQ(content(), before);
        EXPECT_TRUE(lastUsed("Software\\Quillmere\\FrameworkTest", 64).empty());
    }
    // Listing a root that cannot be read is an error, not an empty list.
    const auto listed = test::runQuillmere({"registry", "list"}, env);
    EXPECT_EQ(listed.status, 2);
    EXPECT_NE(listed.err.find(hkcu() + " is a folder"), std::string::npos) << listed.err;
}

TEST_F(RegistryRun, SymlinkedFileKeepsItsLinkAndTheTargetGetsTheValue) {
    fs::create_directory(dir + "/dotfiles");
    const std::string target = dir + "/dotfiles/quillmere.reg";
    test::writeFile(target, "REGEDIT4\n\n" + kKeyLine + "\"Soft\"=hex:01\n");
    fs::create_symlink(target, hkcu());
    const auto r = run();
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::is_symlink(hkcu()));
    EXPECT_EQ(withoutLastUsed(test::readFile(target)).first, "REGEDIT4\n\n" + kKeyLine + "\"Soft\"=hex:01\n");
    EXPECT_EQ(lastUsed("Software\\Quillmere\\FrameworkTest", 64).size(), 64u);
}

namespace {

class SaveRun : public test::PluginRun {
protected:
    SaveRun() : PluginRun("Protocol Test", kPlugins) {}
    void SetUp() override {
        PluginRun::SetUp();
        // Noise compresses slowly: the save lasts long enough to be hit.
        host::Image img;
        img.width = 3000;
        img.height = 2000;
        img.pixels.resize(img.rowBytes() * 2000);
        std::mt19937 random(7);
        for (uint8_t& b : img.pixels) b = static_cast<uint8_t>(random());
        save("in.png", img);
        fs::create_directory(dir + "/out");
    }
    std::vector<std::string> outputs() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir + "/out")) names.push_back(e.path().filename());
        return names;
    }
    // Starts a run and waits until its save has begun (its temporary file exists).
    int startSaving() {
        const int pid = test::startQuillmere({"apply", "Protocol Test", "--plugins", kPlugins, path("in.png"),
                                              "-o", dir + "/out/o.png"},
                                             path("out.txt"), path("err.txt"));
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
        while (std::chrono::steady_clock::now() < deadline) {
            for (const std::string& name : outputs())
                if (name.find(".quillmere-") != std::string::npos) return pid;
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        ADD_FAILURE() << "the save never began: " << test::readFile(path("err.txt"));
        return pid;
    }
};

}  // namespace

TEST_F(SaveRun, SignalDuringTheSaveLeavesNoFileBehind) {
    const std::pair<const char*, std::vector<int>> cases[] = {
        {"Ctrl-C", {SIGINT}}, {"Ctrl-C twice", {SIGINT, SIGINT}}, {"TERM", {SIGTERM}}};
    for (const auto& [label, signals] : cases) {
        SCOPED_TRACE(label);
        const int pid = startSaving();
        for (int s : signals) kill(pid, s);
        EXPECT_EQ(test::waitFor(pid), 130) << test::readFile(path("err.txt"));
        EXPECT_EQ(outputs(), std::vector<std::string>{});
    }
    // A killed run cannot clean up; its leftover has a name that says whose it
    // is, and the next save into the folder removes it.
    const int pid = startSaving();
    kill(pid, SIGKILL);
    EXPECT_EQ(test::waitFor(pid), 128 + SIGKILL);
    ASSERT_EQ(outputs().size(), 1u);
    EXPECT_EQ(outputs()[0].rfind("o.png.quillmere-" + std::to_string(pid) + "-", 0), 0u) << outputs()[0];
    std::string error;
    ASSERT_TRUE(host::saveImage(dir + "/out/small.png", flat(4, 4), error)) << error;
    EXPECT_EQ(outputs(), std::vector<std::string>{"small.png"});
}
