// The host program end to end, driven through the protocol test plug-in.
#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "host/image.h"
#include "tests/e2e/plugin_run.h"

using namespace qm;
using qm::host::ColourSpace;
using qm::host::Image;

namespace {

const std::string kPlugins = std::string(QM_BINARY_DIR) + "/tests/plugins";
const std::string kBroken = std::string(QM_BINARY_DIR) + "/tests/broken-plugins";

Image pattern(int32_t w, int32_t h, ColourSpace colour, bool alpha, int depth) {
    Image img;
    img.width = w;
    img.height = h;
    img.colour = colour;
    img.hasAlpha = alpha;
    img.depth = depth;
    img.pixels.resize(img.rowBytes() * static_cast<size_t>(h));
    const uint32_t max = depth == 16 ? 65535 : 255;
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x)
            for (int c = 0; c < img.channels(); ++c)
                img.setSample(x, y, c, static_cast<uint32_t>(x * 37 + y * 11 + c * 53) * (max / 255) % (max + 1));
    return img;
}

class HostTest : public test::PluginRun {
protected:
    HostTest() : PluginRun("Protocol Test", kPlugins) {}
    test::ProgramResult apply(const std::vector<std::string>& extra) { return applyArgs(extra); }
};

// out = max - in for colour planes; transparency kept.
void expectInverted(const Image& in, const Image& out, int colourChannels, uint32_t tolerance) {
    ASSERT_EQ(out.width, in.width);
    ASSERT_EQ(out.height, in.height);
    ASSERT_EQ(out.channels(), in.channels());
    ASSERT_EQ(out.depth, in.depth);
    const uint32_t max = in.depth == 16 ? 65535 : 255;
    for (int32_t y = 0; y < in.height; ++y)
        for (int32_t x = 0; x < in.width; ++x)
            for (int c = 0; c < in.channels(); ++c) {
                uint32_t want = c < colourChannels ? max - in.sample(x, y, c) : in.sample(x, y, c);
                uint32_t got = out.sample(x, y, c);
                ASSERT_LE(got > want ? got - want : want - got, tolerance)
                    << "pixel " << x << "," << y << " channel " << c;
            }
}

}  // namespace

TEST_F(HostTest, ListShowsNameCategoryAndModesFromThePipl) {
    auto r = test::runQuillmere({"list", "--plugins", kPlugins}, env);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Protocol Test"), std::string::npos);
    EXPECT_NE(r.out.find("category: Quillmere Tests"), std::string::npos);
    EXPECT_NE(r.out.find("modes: Grayscale RGB CMYK Gray16 RGB48"), std::string::npos);
}

TEST_F(HostTest, FiltersEachKindOfImage) {
    struct Case {
        const char* name;
        ColourSpace colour;
        bool alpha;
        int depth;
        int colourChannels;
        uint32_t tolerance;  // 16-bit samples pass through the 0..32767 scale
        const char* expectedCase;
    } cases[] = {
        {"rgb8.png", ColourSpace::RGB, false, 8, 3, 0, "3 planes, mode 3, case 1"},
        {"rgb16.png", ColourSpace::RGB, false, 16, 3, 2, "3 planes, mode 11, case 1"},
        {"rgba8.png", ColourSpace::RGB, true, 8, 3, 0, "4 planes, mode 3, case 4"},
        {"rgba16.png", ColourSpace::RGB, true, 16, 3, 2, "4 planes, mode 11, case 4"},
        {"grey8.png", ColourSpace::Grey, false, 8, 1, 0, "1 planes, mode 1, case 1"},
        {"grey16.png", ColourSpace::Grey, false, 16, 1, 2, "1 planes, mode 10, case 1"},
    };
    for (const Case& c : cases) {
        Image in = pattern(23, 17, c.colour, c.alpha, c.depth);
        std::string file = save(c.name, in);
        std::string settings = path("mbox.txt");
        test::writeFile(settings, "mbox 1\n");
        auto r = apply({file, "-o", path(std::string("out-") + c.name), "--settings", settings});
        ASSERT_EQ(r.status, 0) << c.name << ": " << r.err;
        // The plug-in's message box, in its no-display form.
        EXPECT_NE(r.err.find(std::string("Protocol Test: processed 23 x 17 pixels, ") + c.expectedCase),
                  std::string::npos)
            << r.err;
        expectInverted(in, load(path(std::string("out-") + c.name)), c.colourChannels, c.tolerance);
    }
}

TEST_F(HostTest, AJpegKeepsItsProfileAndExifBlockThroughARun) {
    Image in = pattern(12, 10, ColourSpace::RGB, false, 8);
    in.exif = {'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0, 8, 0, 0, 0, 1, 0, 0x12, 0x01, 3, 0, 1, 0, 0, 0, 6, 0, 0, 0};
    in.icc.assign(70000, 0);
    for (size_t i = 0; i < in.icc.size(); ++i) in.icc[i] = static_cast<uint8_t>(i % 253);
    test::writeFile(path("mbox.txt"), "mbox 1\n");
    auto r = apply({save("photo.jpg", in), "-o", path("out.jpg"), "--settings", path("mbox.txt")});
    ASSERT_EQ(r.status, 0) << r.err;
    const Image out = load(path("out.jpg"));
    EXPECT_EQ(out.exif, in.exif);
    EXPECT_EQ(out.icc, in.icc);
}

TEST_F(HostTest, CmykJpegIsOfferedInCmykMode) {
    std::string file = save("cmyk.jpg", pattern(12, 10, ColourSpace::CMYK, false, 8));
    test::writeFile(path("mbox.txt"), "mbox 1\n");
    auto r = apply({file, "-o", path("out.jpg"), "--settings", path("mbox.txt")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("4 planes, mode 4, case 1"), std::string::npos) << r.err;
    EXPECT_EQ(load(path("out.jpg")).colour, ColourSpace::CMYK);
}

TEST_F(HostTest, CallsTheSelectorsInOrder) {
    Image in = pattern(8, 8, ColourSpace::RGB, true, 8);
    Image mask = pattern(8, 8, ColourSpace::Grey, false, 8);
    std::string trace = path("trace.txt");
    test::writeFile(path("mbox.txt"), "mbox 1\n");
    auto r = apply({save("in.png", in), "-o", path("out.png"), "--mask", save("mask.png", mask),
                    "--trace", trace, "--settings", path("mbox.txt")});
    ASSERT_EQ(r.status, 0) << r.err;
    // RGBA with a selection is offered as editable transparency with selection.
    EXPECT_NE(r.err.find("4 planes, mode 3, case 5"), std::string::npos) << r.err;
    std::string t = test::readFile(trace);
    EXPECT_EQ(t.find("parameters"), std::string::npos);  // only with --dialog
    EXPECT_NE(t.find("prepare 0\nstart 0\n"), std::string::npos) << t;
    EXPECT_NE(t.find("continue 0\nfinish 0\n"), std::string::npos) << t;

    auto withDialog = apply({path("in.png"), "-o", path("out2.png"), "--dialog", "--trace", trace});
    ASSERT_EQ(withDialog.status, 0) << withDialog.err;
    EXPECT_EQ(test::readFile(trace).rfind("parameters 0\nprepare 0\nstart 0\n", 0), 0u);
}

TEST_F(HostTest, SelectionBlendsByTheMask) {
    for (bool alpha : {false, true}) {
        Image in = pattern(16, 9, ColourSpace::RGB, alpha, 8);
        Image mask = pattern(16, 9, ColourSpace::Grey, false, 8);
        auto r = apply({save("in.png", in), "-o", path("out.png"), "--mask", save("mask.png", mask)});
        ASSERT_EQ(r.status, 0) << r.err;
        Image out = load(path("out.png"));
        for (int32_t y = 0; y < 9; ++y)
            for (int32_t x = 0; x < 16; ++x) {
                int32_t m = static_cast<int32_t>(mask.sample(x, y, 0));
                for (int c = 0; c < 3; ++c) {
                    int32_t v = static_cast<int32_t>(in.sample(x, y, c));
                    EXPECT_EQ(static_cast<int32_t>(out.sample(x, y, c)), v + (255 - 2 * v) * m / 255);
                }
                if (alpha) {
                    EXPECT_EQ(out.sample(x, y, 3), in.sample(x, y, 3));
                }
            }
    }
}

TEST_F(HostTest, StripsOfRowsGiveTheSameImage) {
    Image in = pattern(10, 23, ColourSpace::RGB, false, 16);
    std::string file = save("in.png", in);
    std::string settings = path("rows.txt");
    test::writeFile(settings, "rows 7\n");
    std::string trace = path("trace.txt");
    auto r = apply({file, "-o", path("strips.png"), "--settings", settings, "--trace", trace});
    ASSERT_EQ(r.status, 0) << r.err;
    auto whole = apply({file, "-o", path("whole.png")});
    ASSERT_EQ(whole.status, 0) << whole.err;
    EXPECT_EQ(load(path("strips.png")).pixels, load(path("whole.png")).pixels);
    // 23 rows in strips of 7: four continue calls.
    std::string t = test::readFile(trace);
    size_t calls = 0;
    for (size_t at = t.find("continue 0"); at != std::string::npos; at = t.find("continue 0", at + 1)) ++calls;
    EXPECT_EQ(calls, 4u);
}

TEST_F(HostTest, SettingsRoundTripThroughTheDescriptor) {
    Image in = pattern(4, 4, ColourSpace::RGB, false, 8);
    std::string file = save("in.png", in);
    // Without settings the plug-in hands back its own.
    auto first = apply({file, "-o", path("o1.png"), "--save-settings", path("first.txt")});
    ASSERT_EQ(first.status, 0) << first.err;
    EXPECT_NE(test::readFile(path("first.txt")).find("kk00 100\nkk01 -200\n"), std::string::npos);

    test::writeFile(path("mine.txt"), "# mine\nkk00 17681983\nkk0: -4\n0x6B6B303F 2147483647\n'cnt ' -2147483648\n");
    auto second = apply({file, "-o", path("o2.png"), "--settings", path("mine.txt"), "--save-settings",
                         path("second.txt")});
    ASSERT_EQ(second.status, 0) << second.err;
    auto third = apply({file, "-o", path("o3.png"), "--settings", path("second.txt"), "--save-settings",
                        path("third.txt")});
    ASSERT_EQ(third.status, 0) << third.err;
    const std::string expected = "kk00 17681983\nkk0: -4\nkk0? 2147483647\n'cnt ' -2147483648\n";
    EXPECT_NE(test::readFile(path("second.txt")).find(expected), std::string::npos);
    EXPECT_EQ(test::readFile(path("second.txt")), test::readFile(path("third.txt")));
}

TEST_F(HostTest, SeveralInputsGoToAFolder) {
    std::string a = save("a.png", pattern(5, 5, ColourSpace::RGB, false, 8));
    std::string b = save("b.png", pattern(6, 4, ColourSpace::Grey, false, 8));
    auto r = apply({a, b, "-o", path("out")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(load(path("out/a.png")).width, 5);
    EXPECT_EQ(load(path("out/b.png")).width, 6);
}

TEST_F(HostTest, OutputsThatCannotBeWrittenOrWouldCollideFailBeforeRendering) {
    std::string in = save("in.png", pattern(6, 6, ColourSpace::RGB, false, 8));
    std::string other = path("sub/in.png");
    std::filesystem::create_directories(path("sub"));
    std::filesystem::copy_file(in, other);
    std::filesystem::create_directories(path("locked"));
    std::filesystem::permissions(path("locked"), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    test::writeFile(path("mbox.txt"), "mbox 1\n");
    struct Case {
        std::vector<std::string> args;
        const char* message;
    } cases[] = {
        {{in, "-o", path("o.tiff")}, "use .png, .jpg or .jpeg"},
        {{in, "-o", path("missing/o.png")}, "does not exist"},
        {{in, other, "-o", path("outs")}, "would both be written to"},
    };
    const bool root = geteuid() == 0;  // root writes into any folder
    for (const Case& c : cases) {
        std::vector<std::string> args = c.args;
        args.insert(args.end(), {"--settings", path("mbox.txt")});
        auto r = apply(args);
        EXPECT_EQ(r.status, 2) << c.message << "\n" << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find("processed"), std::string::npos) << "rendered before failing: " << r.err;
    }
    if (!root) {
        auto r = apply({in, "-o", path("locked/o.png"), "--settings", path("mbox.txt")});
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(r.err.find("is not writable"), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find("processed"), std::string::npos) << r.err;
    }
    EXPECT_FALSE(std::filesystem::exists(path("outs/in.png")));
}

TEST_F(HostTest, ConventionsOfTheCommandLine) {
    auto version = test::runQuillmere({"--version"}, env);
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.rfind("quillmere ", 0), 0u) << version.out;
    auto help = test::runQuillmere({"apply", "--help"}, env);
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--save-settings FILE"), std::string::npos) << help.out;
    EXPECT_EQ(help.out.find("registry export"), std::string::npos) << "apply's help only";

    // Several inputs end with a summary line.
    std::string a = save("a.png", pattern(5, 5, ColourSpace::RGB, false, 8));
    auto batch = apply({a, path("nothing.png"), "-o", path("out")});
    EXPECT_EQ(batch.status, 2);
    EXPECT_NE(batch.out.find("1 written, 1 failed"), std::string::npos) << batch.out;

    // A file that is not a registry script is refused and imports nothing.
    auto imported = test::runQuillmere({"registry", "import", a}, env);
    EXPECT_EQ(imported.status, 2);
    EXPECT_NE(imported.err.find("is not a registry script"), std::string::npos) << imported.err;
}

// -j N: the same images as one at a time, every line of the children whole;
// -q: nothing but errors.
TEST_F(HostTest, ImagesAtOnceInProcessesAndQuietRuns) {
    std::vector<std::string> inputs;
    for (int i = 0; i < 5; ++i) inputs.push_back(save("in" + std::to_string(i) + ".png", pattern(7 + i, 5, ColourSpace::RGB, false, 8)));
    test::writeFile(path("mbox.txt"), "mbox 1\n");
    std::vector<std::string> one = inputs, many = inputs;
    one.insert(one.end(), {"-o", path("one"), "--settings", path("mbox.txt")});
    many.insert(many.end(), {"-o", path("many"), "--settings", path("mbox.txt"), "-j", "3"});
    auto sequential = apply(one);
    auto parallel = apply(many);
    ASSERT_EQ(sequential.status, 0) << sequential.err;
    ASSERT_EQ(parallel.status, 0) << parallel.err;
    for (int i = 0; i < 5; ++i) {
        const std::string name = "/in" + std::to_string(i) + ".png";
        EXPECT_EQ(load(path("many") + name).pixels, load(path("one") + name).pixels) << name;
        EXPECT_NE(parallel.out.find(inputs[static_cast<size_t>(i)] + " -> " + path("many") + name + "\n"), std::string::npos)
            << parallel.out;
        // The plug-in's own message, one whole line per image.
        const std::string message = "Protocol Test: processed " + std::to_string(7 + i) + " x 5 pixels, 3 planes, mode 3, case 1\n";
        EXPECT_NE(parallel.err.find(message), std::string::npos) << parallel.err;
    }
    EXPECT_NE(parallel.out.find("5 written, 0 failed\n"), std::string::npos) << parallel.out;

    std::vector<std::string> quiet = {"-q", inputs[0], path("missing.png"), "-o", path("quiet")};
    auto q = apply(quiet);
    EXPECT_EQ(q.status, 2);
    EXPECT_EQ(q.out, "");
    EXPECT_NE(q.err.find("missing.png"), std::string::npos) << q.err;
}

TEST_F(HostTest, AnInstalledProgramFindsItsPlugInsManPageAndSample) {
    const std::string prefix = path("prefix");
    const std::string install = std::string("'") + QM_CMAKE_COMMAND + "' --install '" + QM_BINARY_DIR +
                                "' --prefix '" + prefix + "' >/dev/null 2>&1";
    ASSERT_EQ(std::system(install.c_str()), 0) << install;
    for (const char* file : {"bin/quillmere", "lib/quillmere/plugins/Keenwright.8bf", "share/man/man1/quillmere.1",
                             "share/doc/quillmere/README.md", "share/quillmere/samples/seeding.jpg"})
        EXPECT_TRUE(std::filesystem::exists(prefix + "/" + file)) << file;
    // Run from there with no plug-in folder named anywhere.
    const std::string list = "env -u QUILLMERE_PLUGINS '" + prefix + "/bin/quillmere' list > '" + path("list.txt") +
                             "' 2>&1";
    ASSERT_EQ(std::system(list.c_str()), 0);
    const std::string listed = test::readFile(path("list.txt"));
    for (const char* name : {"Keenwright\n", "Keenwright HD\n", "Lumivex\n", "Plaitwork 2000\n", "Marbleloom 3D\n"})
        EXPECT_NE(listed.find(name), std::string::npos) << listed;
    EXPECT_NE(listed.find(prefix + "/lib/quillmere/plugins/"), std::string::npos) << listed;
}

TEST_F(HostTest, BadInputEndsWithOneLineAndStatus) {
    Image in = pattern(6, 6, ColourSpace::RGB, false, 8);
    std::string good = save("in.png", in);
    std::string damaged = path("damaged.png");
    std::string bytes = test::readFile(good);
    test::writeFile(damaged, bytes.substr(0, bytes.size() / 2));
    test::writeFile(path("bad-settings.txt"), "kk00 1\nkk01 twelve\n");
    test::writeFile(path("fail.txt"), "fail -30101\n");
    test::writeFile(path("over.txt"), "over 1\n");
    test::writeFile(path("wide.txt"), "wide 1\n");
    std::string smallMask = save("small-mask.png", pattern(3, 3, ColourSpace::Grey, false, 8));

    struct Case {
        std::vector<std::string> args;
        int status;
        const char* message;
    } cases[] = {
        {{"apply", "Protocol Test", "--plugins", kPlugins, damaged, "-o", path("o.png")}, 2, "damaged.png"},
        {{"apply", "Nonesuch", "--plugins", kPlugins, good, "-o", path("o.png")}, 2, "\"Protocol Test\" (in "},
        {{"apply", kBroken + "/NoTable.8bf", good, "-o", path("o.png")}, 2, "no PiPL"},
        {{"apply", kBroken + "/NoEntry.8bf", good, "-o", path("o.png")}, 2, "MISSING_ENTRY"},
        {{"apply", "Protocol Test", "--plugins", kPlugins, good, "-o", path("o.png"), "--settings",
          path("bad-settings.txt")}, 2, "line 2"},
        {{"apply", "Protocol Test", "--plugins", kPlugins, good, "-o", path("o.png"), "--mask", smallMask},
         2, "mask"},
        {{"apply", "Protocol Test", "--plugins", kPlugins, good, "-o", path("o.png"), "--settings",
          path("fail.txt")}, 1, "filterBadMode (-30101)"},
        {{"apply", "Protocol Test", "--plugins", kPlugins, good, "-o", path("o.png"), "--settings",
          path("over.txt")}, 1, "past the end of its output rows"},
        {{"apply", "Protocol Test", "--plugins", kPlugins, good, "-o", path("o.png"), "--settings",
          path("wide.txt")}, 1, "outside the image"},
        {{"apply", "Protocol Test"}, 2, "usage"},
    };
    for (const Case& c : cases) {
        auto r = test::runQuillmere(c.args, env);
        EXPECT_EQ(r.status, c.status) << c.message << "\n" << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_EQ(test::readFile(path("o.png")), "") << "no output after a failure: " << c.message;
    }
    // The library listing names the broken libraries as skipped.
    auto listed = test::runQuillmere({"list", "--plugins", kBroken}, env);
    EXPECT_EQ(listed.status, 0);
    EXPECT_NE(listed.err.find("NoTable.8bf"), std::string::npos) << listed.err;
}

TEST_F(HostTest, CtrlCCancelsAndWritesNothing) {
    std::string file = save("in.png", pattern(8, 400, ColourSpace::RGB, false, 8));
    test::writeFile(path("slow.txt"), "slow 20\n");
    int pid = test::startQuillmere({"apply", "Protocol Test", "--plugins", kPlugins, file, "-o",
                                    path("o.png"), "--settings", path("slow.txt")},
                                   path("out.txt"), path("err.txt"));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    kill(pid, SIGINT);
    EXPECT_EQ(test::waitFor(pid), 130) << test::readFile(path("err.txt"));
    EXPECT_NE(test::readFile(path("err.txt")).find("cancelled"), std::string::npos);
    EXPECT_EQ(test::readFile(path("o.png")), "");
}

TEST_F(HostTest, RegistryExportImportAndList) {
    test::writeFile(path("presets.reg"),
                    "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Quillmere\\Keenwright]\n"
                    "\"Soft\"=hex:01,02,03\nthis line is garbage\n\"Dir\"=\"/tmp/x/\"\n");
    auto imported = test::runQuillmere({"registry", "import", path("presets.reg")}, env);
    ASSERT_EQ(imported.status, 0) << imported.err;
    EXPECT_NE(imported.err.find(":5: line skipped"), std::string::npos) << imported.err;
    auto listed = test::runQuillmere({"registry", "list"}, env);
    EXPECT_NE(listed.out.find("\"Soft\" = 3 bytes"), std::string::npos) << listed.out;
    EXPECT_NE(listed.out.find("\"Dir\" = \"/tmp/x/\""), std::string::npos) << listed.out;
    // The key with its root, or by the plug-in's name; another plug-in's key lists nothing.
    for (const char* key : {"HKEY_CURRENT_USER\\Software\\Quillmere\\Keenwright", "Keenwright",
                            "Software\\Quillmere\\Keenwright"})
        EXPECT_NE(test::runQuillmere({"registry", "list", key}, env).out.find("\"Soft\" = 3 bytes"),
                  std::string::npos)
            << key;
    EXPECT_EQ(test::runQuillmere({"registry", "list", "Keenwright HD"}, env).out, "");
    auto exported = test::runQuillmere({"registry", "export", path("back.reg")}, env);
    ASSERT_EQ(exported.status, 0) << exported.err;
    std::string back = test::readFile(path("back.reg"));
    EXPECT_EQ(back.rfind("REGEDIT4\n", 0), 0u);
    EXPECT_NE(back.find("\"Soft\"=hex:01,02,03\n"), std::string::npos) << back;
}
