#include <gtest/gtest.h>

#include "platform/ui/headless/script.h"

namespace qm::ui::script {
namespace {

std::vector<Action> parsed(const char* text) {
    std::vector<Action> out;
    std::string error;
    EXPECT_TRUE(parse(text, out, error)) << error;
    return out;
}

TEST(ScriptParse, EveryActionWithItsArguments) {
    const std::vector<Action> a = parsed(R"(# a comment line
move 10 20
press x1 3 4 shift
dblclick left 5 6 ctrl shift   # a trailing comment
wheel -120 7 8
key F1
key Enter
key a
type 2000 "My \"best\" preset"
select 1033 "#Last Used"
select 1033 3
answer cancel
choose "/tmp/out.reg"
choose cancel
colour 1A2B3C
idle
idle 250
mark after-load window
)");
    ASSERT_EQ(a.size(), 17u);
    EXPECT_EQ(a[0].kind, Kind::Move);
    EXPECT_EQ(a[0].line, 2);
    EXPECT_EQ(a[0].x, 10);
    EXPECT_EQ(a[0].y, 20);
    EXPECT_EQ(a[1].kind, Kind::Press);
    EXPECT_EQ(a[1].button, 4);
    EXPECT_TRUE(a[1].shift);
    EXPECT_FALSE(a[1].control);
    EXPECT_EQ(a[2].kind, Kind::DoubleClick);
    EXPECT_TRUE(a[2].shift && a[2].control);
    EXPECT_EQ(a[3].amount, -120);
    EXPECT_EQ(a[4].vk, 0x70u);
    EXPECT_EQ(a[5].vk, 0x0Du);
    EXPECT_EQ(a[5].character, U'\r');
    EXPECT_EQ(a[6].vk, static_cast<uint32_t>('A'));
    EXPECT_EQ(a[6].character, U'a');
    EXPECT_EQ(a[7].id, 2000);
    EXPECT_EQ(a[7].text, "My \"best\" preset");
    EXPECT_EQ(a[8].text, "#Last Used") << "quoted: a text, not an index";
    EXPECT_EQ(a[8].index, -1);
    EXPECT_EQ(a[9].index, 3);
    EXPECT_EQ(a[10].amount, 2);
    EXPECT_EQ(a[11].text, "/tmp/out.reg");
    EXPECT_TRUE(a[12].cancel);
    EXPECT_EQ(a[13].colour, 0x3C2B1Au) << "RRGGBB becomes 0x00BBGGRR";
    EXPECT_EQ(a[14].amount, 5000);
    EXPECT_EQ(a[15].amount, 250);
    EXPECT_EQ(a[16].text, "after-load");
    EXPECT_TRUE(a[16].window);
}

TEST(ScriptParse, ALineThatDoesNotParseIsNamed) {
    struct Case {
        const char* text;
        const char* error;
    };
    const Case cases[] = {
        {"move 1 1\nmove 1", "line 2: expected: move X Y"},
        {"\n\nclick sideways 1 2", "line 3: expected: click left|right|middle|x1|x2"},
        {"click left 1 2 alt", "line 1: expected: click"},
        {"key hyper", "line 1: expected: key NAME"},
        {"type 2000 unquoted", "line 1: expected: type ID \"TEXT\""},
        {"select 1033 x", "line 1: expected: select ID"},
        {"answer maybe", "line 1: expected: answer ok|cancel"},
        {"colour 12345", "line 1: expected: colour RRGGBB"},
        {"idle soon", "line 1: expected: idle [MS]"},
        {"mark a/b", "line 1: expected: mark NAME"},
        {"type 1 \"open", "line 1: unterminated quoted text"},
        {"wave 1 2", "line 1: unknown action 'wave'"},
    };
    for (const Case& c : cases) {
        std::vector<Action> out;
        std::string error;
        EXPECT_FALSE(parse(c.text, out, error)) << c.text;
        EXPECT_EQ(error.rfind(c.error, 0), 0u) << "got: " << error;
    }
}

}  // namespace
}  // namespace qm::ui::script
