// The PiPL compiler and the host's reader agree, and both refuse bad input.
#include <gtest/gtest.h>

#include "host/pipl.h"
#include "platform/pluginapi/pluginapi.h"
#include "tools/respack/manifest.h"
#include "tools/respack/pipl_compiler.h"

using namespace qm;

namespace {

const char* kFullPipl = R"(# a full description
kind  8BFM
name  "Keenwright HD"
catg  "Quillmere"      # the menu
vers  0x00040000
entry ENTRYPOINT
mode  GrayScaleMode RGBMode CMYKMode HSLMode HSBMode MultichannelMode DuotoneMode LabMode
enbl  "in (PSHOP_ImageMode, RGBMode, GrayScaleMode) ||PSHOP_ImageDepth == 16"
hstm  0 zqmu zqmu 16000 "quillmere.example 1.0"
fici  1 1 7 0
fici  1 1 15 0
fici  1 1 15 0
fici  1 1 7 0
fici  1 1 15 0
fici  1 1 7 0
fici  1 1 15 0
)";

uint32_t u32(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

}  // namespace

TEST(Pipl, CompilesTheBinaryLayoutTheHostReads) {
    std::vector<uint8_t> bytes;
    tools::CompileError error;
    ASSERT_TRUE(tools::compilePipl(kFullPipl, 8, bytes, error)) << error.line << ": " << error.message;

    // Nine properties; each a 16-byte head and data padded to 4 bytes.
    ASSERT_EQ(u32(bytes, 0), 9u);
    EXPECT_EQ(bytes.size() % 4, 0u);
    EXPECT_EQ(u32(bytes, 4), PIPL_VENDOR);
    EXPECT_EQ(u32(bytes, 8), PIPL_KIND);
    EXPECT_EQ(u32(bytes, 16), 4u);
    EXPECT_EQ(u32(bytes, 20), PIPL_KIND_FILTER);
    // 'name' follows: a length byte then the characters, padded.
    EXPECT_EQ(u32(bytes, 28), PIPL_NAME);
    EXPECT_EQ(u32(bytes, 36), 14u);
    EXPECT_EQ(bytes[40], 13);
    EXPECT_EQ(std::string(bytes.begin() + 41, bytes.begin() + 54), "Keenwright HD");

    host::Pipl pipl;
    std::string why;
    ASSERT_TRUE(host::parsePipl(bytes, pipl, why)) << why;
    EXPECT_EQ(pipl.name, "Keenwright HD");
    EXPECT_EQ(pipl.category, "Quillmere");
    EXPECT_EQ(pipl.version, 0x00040000u);
    EXPECT_EQ(pipl.entryPoint, "ENTRYPOINT");
    ASSERT_TRUE(pipl.modes);
    EXPECT_EQ(host::describeModes(*pipl.modes), "Grayscale RGB CMYK HSL HSB Multichannel Duotone Lab");
    EXPECT_TRUE(pipl.hasTerminology);
    EXPECT_EQ(pipl.suiteClass, PI_FOURCC('z', 'q', 'm', 'u'));
    EXPECT_EQ(pipl.terminologyId, 16000);
    EXPECT_EQ(pipl.terminologyScope, "quillmere.example 1.0");
    ASSERT_TRUE(pipl.filterCases);
    EXPECT_EQ((*pipl.filterCases)[0].flags1, 7);
    EXPECT_EQ((*pipl.filterCases)[1].flags1, 15);
    EXPECT_EQ((*pipl.filterCases)[6].flags1, 15);
}

TEST(Pipl, EntryPointKeyFollowsThePointerSize) {
    std::vector<uint8_t> bytes;
    tools::CompileError error;
    ASSERT_TRUE(tools::compilePipl("kind 8BFM\nentry ENTRYPOINT\n", 4, bytes, error));
    EXPECT_EQ(u32(bytes, 28), PIPL_ENTRY_X86);
    host::Pipl pipl;
    std::string why;
    ASSERT_TRUE(host::parsePipl(bytes, pipl, why));
    // A 64-bit host finds no entry point of its own in a 32-bit PiPL.
    EXPECT_TRUE(pipl.entryPoint.empty());
    EXPECT_TRUE(pipl.hasOtherEntryPoint);

    ASSERT_TRUE(tools::compilePipl("kind 8BFM\nentry ENTRYPOINT\n", 8, bytes, error));
    EXPECT_EQ(u32(bytes, 28), PIPL_ENTRY_X64);
}

TEST(Pipl, CompilerNamesTheBadLine) {
    struct Case {
        const char* text;
        int line;
    } cases[] = {
        {"kind 8BFM\nname \"open", 2},
        {"kind 8BFM\n\nmode RGBMode Purple", 3},
        {"kind 8BF", 1},
        {"kind 8BFM\nfici 1 1 7 0\n", 0},  // six fici lines missing
        {"kind 8BFM\nfici 1 1 700 0\nfici 1 1 7 0\n", 2},
        {"name \"x\"\n", 0},                // no kind
        {"kind 8BFM\nkind 8BFM\n", 2},
        {"kind 8BFM\nwhat 1\n", 2},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> bytes;
        tools::CompileError error;
        EXPECT_FALSE(tools::compilePipl(c.text, 8, bytes, error)) << c.text;
        EXPECT_EQ(error.line, c.line) << c.text;
    }
}

TEST(Pipl, ReaderRefusesDamagedResources) {
    std::vector<uint8_t> good;
    tools::CompileError error;
    ASSERT_TRUE(tools::compilePipl(kFullPipl, 8, good, error));
    host::Pipl pipl;
    std::string why;
    // Every truncation is refused or parsed without reading past the end.
    for (size_t n = 0; n < good.size(); ++n) {
        std::vector<uint8_t> cut(good.begin(), good.begin() + static_cast<long>(n));
        EXPECT_FALSE(host::parsePipl(cut, pipl, why)) << n;
    }
    std::vector<uint8_t> huge = good;
    huge[16] = 0xFF, huge[17] = 0xFF, huge[18] = 0xFF, huge[19] = 0x7F;  // kind's length
    EXPECT_FALSE(host::parsePipl(huge, pipl, why));
    std::vector<uint8_t> unterminated = good;
    // The 'name' string claims more characters than its property holds.
    unterminated[40] = 200;
    EXPECT_FALSE(host::parsePipl(unterminated, pipl, why));
}

TEST(EnableExpression, EvaluatesModesAndDepth) {
    const std::string sharpening =
        "in (PSHOP_ImageMode, RGBMode, GrayScaleMode,CMYKMode, HSLMode, HSBMode, "
        "MultichannelMode,DuotoneMode, LabMode, RGB48Mode, Gray16Mode) ||PSHOP_ImageDepth == 16 "
        "||PSHOP_ImageDepth == 32";
    const std::string earlier = "in (PSHOP_ImageMode,RGBMode)";
    struct Case {
        const std::string* expression;
        int mode, depth;
        bool enabled;
    } cases[] = {
        {&sharpening, RGBMode, 8, true},      {&sharpening, GrayScaleMode, 8, true},
        {&sharpening, RGB48Mode, 16, true},   {&sharpening, IndexedColorMode, 8, false},
        {&sharpening, Lab48Mode, 16, true},   {&earlier, RGBMode, 8, true},
        {&earlier, RGB48Mode, 16, false},     {&earlier, GrayScaleMode, 8, false},
    };
    for (const Case& c : cases) {
        auto v = host::evaluateEnable(*c.expression, {c.mode, c.depth});
        ASSERT_TRUE(v) << *c.expression;
        EXPECT_EQ(*v, c.enabled) << *c.expression << " mode " << c.mode;
    }
    EXPECT_EQ(host::evaluateEnable("!(PSHOP_ImageDepth >= 16) && true", {RGBMode, 8}), true);
    for (const char* bad : {"in (PSHOP_ImageMode, Purple)", "PSHOP_ImageDepth ==", "in (", "1 ||"})
        EXPECT_FALSE(host::evaluateEnable(bad, {RGBMode, 8})) << bad;

    // An expression that does not parse falls back to the mode mask.
    host::Pipl pipl;
    pipl.enableExpression = "garbage";
    pipl.modes = PI_MODE_FLAG(RGBMode);
    EXPECT_TRUE(host::pluginEnabledFor(pipl, {RGBMode, 8}));
    EXPECT_FALSE(host::pluginEnabledFor(pipl, {GrayScaleMode, 8}));
}

TEST(Manifest, ParsesLinesAndNamesTheBadOne) {
    std::vector<tools::ManifestEntry> entries;
    std::string error;
    ASSERT_TRUE(tools::parseManifest("# comment\nPIPL 16000 pipl pipl.txt\n2000 default file \"a b.bin\"\n",
                                     entries, error));
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[1].type, "2000");
    EXPECT_EQ(entries[1].name, "DEFAULT");
    EXPECT_EQ(entries[1].source, "a b.bin");
    EXPECT_EQ(entries[1].line, 3);
    EXPECT_FALSE(tools::parseManifest("PIPL 16000 pipl\n", entries, error));
    EXPECT_NE(error.find("line 1"), std::string::npos);
}
