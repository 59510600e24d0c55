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

namespace {

class ProtocolRun : public test::PluginRun {
protected:
    ProtocolRun() : PluginRun("Protocol Test", kPlugins) {}
};

uint32_t to15(uint32_t v) { return (v * 32767u + 32767u) / 65535u; }
uint32_t from15(uint32_t v) { return (std::min(v, 32767u) * 65535u + 16383u) / 32767u; }

}  // namespace

// The host keeps no whole copies of the image beside the plug-in's buffers;
// what comes back is still exactly the plug-in's output on the host's scale,
// in one piece or in strips, with a selection or without, at both depths.
TEST_F(ProtocolRun, OutputBytesFollowThePlugInExactly) {
    constexpr int kWidth = 13, kHeight = 11;
    host::Image mask;
    mask.width = kWidth;
    mask.height = kHeight;
    mask.colour = host::ColourSpace::Grey;
    for (int i = 0; i < kWidth * kHeight; ++i) mask.pixels.push_back(static_cast<uint8_t>(i * 41));
    const std::string maskFile = save("mask.png", mask);
    test::writeFile(path("strips.txt"), "rows 4\n");
    for (int depth : {8, 16})
        for (bool alpha : {false, true})
            for (bool selection : {false, true})
                for (bool strips : {false, true}) {
                    SCOPED_TRACE(std::to_string(depth) + (alpha ? " alpha" : "") + (selection ? " mask" : "") +
                                 (strips ? " strips" : ""));
                    host::Image in;
                    in.width = kWidth;
                    in.height = kHeight;
                    in.depth = depth;
                    in.hasAlpha = alpha;
                    in.pixels.resize(in.rowBytes() * kHeight);
                    const uint32_t top = depth == 16 ? 65535 : 255;
                    uint32_t n = 0;
                    for (int32_t y = 0; y < kHeight; ++y)
                        for (int32_t x = 0; x < kWidth; ++x)
                            for (int c = 0; c < in.channels(); ++c, ++n)
                                in.setSample(x, y, c, n % 9 == 0 ? top : n % 9 == 1 ? 0 : (n * 2654435761u) % (top + 1));
                    std::vector<std::string> args = {save("in.png", in), "-o", path("out.png")};
                    if (selection) args.insert(args.end(), {"--mask", maskFile});
                    if (strips) args.insert(args.end(), {"--settings", path("strips.txt")});
                    const auto r = applyArgs(args);
                    ASSERT_EQ(r.status, 0) << r.err;
                    const host::Image out = load("out.png");
                    ASSERT_EQ(out.pixels.size(), in.pixels.size());
                    for (int32_t y = 0; y < kHeight; ++y)
                        for (int32_t x = 0; x < kWidth; ++x)
                            for (int c = 0; c < in.channels(); ++c) {
                                const uint32_t raw = in.sample(x, y, c);
                                const int32_t v = static_cast<int32_t>(depth == 16 ? to15(raw) : raw);
                                const int32_t white = depth == 16 ? 32767 : 255;
                                int32_t result = v;
                                if (c < 3) {
                                    const int32_t m = selection ? mask.pixels[static_cast<size_t>(y * kWidth + x)] : 255;
                                    result = selection ? v + (white - v - v) * m / 255 : white - v;
                                }
                                const uint32_t expected =
                                    depth == 16 ? from15(static_cast<uint32_t>(result)) : static_cast<uint32_t>(result);
                                ASSERT_EQ(out.sample(x, y, c), expected) << x << "," << y << " plane " << c;
                            }
                }
}
