// The terminology compiler writes what a reader of the documented layout finds.
#include <gtest/gtest.h>

#include <string>

#include "platform/pluginapi/pluginapi.h"
#include "tools/respack/aete_compiler.h"

using namespace qm::tools;

namespace {

struct Reader {
    const std::vector<uint8_t>& b;
    size_t at = 0;
    uint32_t u16() {
        uint32_t v = b.at(at) | b.at(at + 1) << 8;
        at += 2;
        return v;
    }
    uint32_t u32() {
        uint32_t v = u16();
        return v | u16() << 16;
    }
    std::string text() {
        size_t n = b.at(at);
        std::string s(b.begin() + static_cast<long>(at) + 1, b.begin() + static_cast<long>(at + 1 + n));
        at += 1 + n;
        if (at % 2) ++at;
        return s;
    }
};

}  // namespace

TEST(Aete, SixteenIntegerParameters) {
    std::string description =
        "version 1 0\nlanguage 0\n"
        "suite \"Quillmere\" \"Quillmere Plugins\" zqmu 1 1\n"
        "event \"Keenwright HD\" \"Quillmere Plugins\" zqmu zqmu null \"\" null \"\"\n";
    const char* last = "0123456789:;<=>?";
    for (int i = 0; i < 16; ++i)
        description += "param \"" + std::string(i < 10 ? "0" : "1") + std::to_string(i % 10) +
                       "\" kk0" + last[i] + " long \"\"\n";
    std::vector<uint8_t> bytes;
    CompileError error;
    ASSERT_TRUE(compileAete(description, bytes, error)) << error.line << ": " << error.message;

    Reader r{bytes};
    EXPECT_EQ(r.u16(), 1u);
    EXPECT_EQ(r.u16(), 0u);
    EXPECT_EQ(r.u16(), 0u);
    EXPECT_EQ(r.u16(), 0u);
    ASSERT_EQ(r.u16(), 1u);
    EXPECT_EQ(r.text(), "Quillmere");
    EXPECT_EQ(r.text(), "Quillmere Plugins");
    EXPECT_EQ(r.u32(), PI_FOURCC('z', 'q', 'm', 'u'));
    r.u16();
    r.u16();
    ASSERT_EQ(r.u16(), 1u);
    EXPECT_EQ(r.text(), "Keenwright HD");
    r.text();
    EXPECT_EQ(r.u32(), PI_FOURCC('z', 'q', 'm', 'u'));
    EXPECT_EQ(r.u32(), PI_FOURCC('z', 'q', 'm', 'u'));
    EXPECT_EQ(r.u32(), PI_FOURCC('n', 'u', 'l', 'l'));
    r.text();
    r.u32();
    r.text();
    ASSERT_EQ(r.u16(), 16u);
    for (uint32_t i = 0; i < 16; ++i) {
        EXPECT_EQ(r.text(), (i < 10 ? "0" : "1") + std::to_string(i % 10));
        EXPECT_EQ(r.u32(), 0x6B6B3030u + i);  // kk00 + parameter number
        EXPECT_EQ(r.u32(), PI_FOURCC('l', 'o', 'n', 'g'));
        r.text();
        r.u16();
    }
    EXPECT_EQ(r.at, bytes.size());
}

TEST(Aete, NamesTheBadLine) {
    struct Case {
        const char* text;
        int line;
    } cases[] = {
        {"param \"00\" kk00 long \"\"\n", 1},
        {"suite \"Q\" \"d\" zqmt 1 1\nparam \"00\" kk00 long \"\"\n", 2},
        {"suite \"Q\" \"d\" zqm 1 1\n", 1},
        {"version 1\n", 1},
        {"language 0\n", 0},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> bytes;
        CompileError error;
        EXPECT_FALSE(compileAete(c.text, bytes, error)) << c.text;
        EXPECT_EQ(error.line, c.line) << c.text;
    }
}
