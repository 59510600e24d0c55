#include "platform/os/regedit_text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

using qm::os::regedit::format;
using qm::os::regedit::parse;
using qm::os::regedit::RootedKey;
using qm::os::registry::Key;
using qm::os::registry::Value;
namespace reg = qm::os::registry;

std::vector<uint8_t> bytes(std::string_view s) { return {s.begin(), s.end()}; }

Value value(std::string name, uint32_t type, std::vector<uint8_t> data) {
    return Value{std::move(name), type, std::move(data)};
}

void expectSameKeys(const std::vector<RootedKey>& actual, const std::vector<RootedKey>& expected) {
    ASSERT_EQ(actual.size(), expected.size());
    for (size_t k = 0; k < expected.size(); ++k) {
        SCOPED_TRACE("key " + expected[k].key.path);
        EXPECT_EQ(actual[k].root, expected[k].root);
        EXPECT_EQ(actual[k].key.path, expected[k].key.path);
        ASSERT_EQ(actual[k].key.values.size(), expected[k].key.values.size());
        for (size_t v = 0; v < expected[k].key.values.size(); ++v) {
            const Value& a = actual[k].key.values[v];
            const Value& e = expected[k].key.values[v];
            SCOPED_TRACE("value " + e.name);
            EXPECT_EQ(a.name, e.name);
            EXPECT_EQ(a.type, e.type);
            EXPECT_EQ(a.data, e.data);
        }
    }
}

// Other programs (regedit, the preset export) read this text, so its exact
// shape matters, not only that parse() can read it back.
TEST(RegeditText, FormatWritesRegeditLines) {
    const std::vector<RootedKey> keys = {
        {"HKEY_CURRENT_USER",
         {"Software\\Quillmere\\X",
          {value("Soft", reg::kTypeBinary, {0x3f, 0xce, 0x0d}),
           value("Empty", reg::kTypeBinary, {}),
           value("a\"b\\c", reg::kTypeString, bytes("C:\\dir \"q\"")),
           value("", reg::kTypeString, bytes("default")),
           value("Count", reg::kTypeDword, {0x2a, 0, 0, 0}),
           value("Path", 2, {0x25, 0x00}),
           value("Big", 0xb, {1, 0, 0, 0, 0, 0, 0, 0}),
           value("Zero", reg::kTypeString, {'a', 'b', 'c', 0}),
           value("Lines", reg::kTypeString, bytes("a\nb"))}}},
        {"HKEY_LOCAL_MACHINE", {"", {value("k", reg::kTypeBinary, {0})}}},
    };
    EXPECT_EQ(format(keys),
              "REGEDIT4\n"
              "\n"
              "[HKEY_CURRENT_USER\\Software\\Quillmere\\X]\n"
              "\"Soft\"=hex:3f,ce,0d\n"
              "\"Empty\"=hex:\n"
              "\"a\\\"b\\\\c\"=\"C:\\\\dir \\\"q\\\"\"\n"
              "@=\"default\"\n"
              "\"Count\"=dword:0000002a\n"
              "\"Path\"=hex(2):25,00\n"
              "\"Big\"=hex(b):01,00,00,00,00,00,00,00\n"
              "\"Zero\"=\"abc\"\n"
              "\"Lines\"=hex(1):61,0a,62\n"
              "\n"
              "[HKEY_LOCAL_MACHINE]\n"
              "\"k\"=hex:00\n"
              "\n");
}

TEST(RegeditText, ParseReadsBackWhatFormatWrote) {
    std::vector<uint8_t> everyByte;
    for (int b = 0; b < 256; ++b) everyByte.push_back(static_cast<uint8_t>(b));
    const std::vector<RootedKey> keys = {
        {"HKEY_CURRENT_USER",
         {"Software\\Quillmere\\Keenwright \"HD\"",
          {value("say \"hi\" \\ bye\\", reg::kTypeString, bytes("ends in a backslash\\")),
           value("\\", reg::kTypeString, bytes("\"")),
           value("", reg::kTypeBinary, everyByte),
           value("@", reg::kTypeString, bytes("")),
           value("=", reg::kTypeDword, {0xff, 0xfe, 0xfd, 0xfc}),
           value("short dword", reg::kTypeDword, {1, 2}),
           value("nul inside", reg::kTypeString, {'a', 0, 'b'}),
           value("none", reg::kTypeNone, {}),
           value("custom", 0x12345678, {9})}}},
        {"HKEY_CURRENT_USER", {"Empty\\Key", {}}},
    };
    const auto parsed = parse(format(keys));
    EXPECT_TRUE(parsed.hasHeader);
    EXPECT_TRUE(parsed.badLines.empty());
    expectSameKeys(parsed.keys, keys);
}

// What regedit itself writes: CRLF, comments, long hex lists wrapped with a
// trailing backslash and indented continuation lines. A header is optional.
TEST(RegeditText, ParseAcceptsRegeditLayouts) {
    struct Case {
        const char* eol;
        bool header;
    };
    for (const Case c : {Case{"\n", true}, Case{"\r\n", true}, Case{"\n", false},
                         Case{"\r\n", false}}) {
        SCOPED_TRACE(std::string(c.eol == std::string("\n") ? "LF" : "CRLF") +
                     (c.header ? " with header" : " without header"));
        std::string text;
        auto line = [&](std::string_view s) { (text += s) += c.eol; };
        if (c.header) line("REGEDIT4");
        line("");
        line("; exported by hand");
        line("[HKEY_CURRENT_USER\\Software\\Quillmere\\X]");
        line("\"Long\"=hex:00,01,02,\\");
        line("  03,04,\\");
        line("  05");
        line("");
        line("\"AfterBlank\"=\"still in X\"");
        line("  @ = dword:0000002A");
        line("[HKEY_CURRENT_USER\\Software\\Quillmere\\Y]");
        text += "\"NoFinalLineEnd\"=HEX:ff";

        const auto parsed = parse(text);
        EXPECT_EQ(parsed.hasHeader, c.header);
        EXPECT_TRUE(parsed.badLines.empty());
        expectSameKeys(parsed.keys,
                       {{"HKEY_CURRENT_USER",
                         {"Software\\Quillmere\\X",
                          {value("Long", reg::kTypeBinary, {0, 1, 2, 3, 4, 5}),
                           value("AfterBlank", reg::kTypeString, bytes("still in X")),
                           value("", reg::kTypeDword, {0x2a, 0, 0, 0})}}},
                        {"HKEY_CURRENT_USER",
                         {"Software\\Quillmere\\Y",
                          {value("NoFinalLineEnd", reg::kTypeBinary, {0xff})}}}});
    }
}

// Each damaged line lands between two good values; only it may be lost.
TEST(RegeditText, DamagedValueLinesAreSkippedAndNumbered) {
    struct Case {
        std::string lines;
        std::vector<int> bad;
    };
    const Case cases[] = {
        {"garbage", {4}},
        {"\"unterminated=hex:01", {4}},
        {"\"x\"=hex:0g", {4}},
        {"\"x\"=hex:1,02", {4}},  // a byte cut short
        {"\"x\"=hex:01,", {4}},
        {"\"x\"=hex:01,\\", {4}},  // continued into a line that is no hex
        {"\"x\"=hex:01,\\\n  0g", {4, 5}},
        {"\"x\"=dword:2a", {4}},
        {"\"x\"=dword:0000002a1", {4}},
        {"\"x\"=\"abc", {4}},
        {"\"x\"=\"a\"b", {4}},
        {"\"x\"=-", {4}},  // deletions are not supported
        {"\"x\"", {4}},
        {"=hex:01", {4}},
        {"\"x\"=hex(zz):01", {4}},
        {"\"x\"=text", {4}},
        {"\x01\xff\xfe\x80 binary", {4}},
        {std::string("\"x\"=hex:01\0,02", 14), {4}},
        {"garbage\n\"x\"=hex:zz\n\n", {4, 5}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lines);
        const auto parsed = parse("REGEDIT4\n[HKEY_CURRENT_USER\\K]\n\"before\"=hex:01\n" +
                                  c.lines + "\n\"after\"=hex:02\n");
        EXPECT_EQ(parsed.badLines, c.bad);
        expectSameKeys(parsed.keys, {{"HKEY_CURRENT_USER",
                                      {"K",
                                       {value("before", reg::kTypeBinary, {1}),
                                        value("after", reg::kTypeBinary, {2})}}}});
    }
}

// A value must never slip into the key before a damaged or deleting key line.
TEST(RegeditText, ValuesWithoutAGoodKeyAreBad) {
    const auto parsed = parse(
        "REGEDIT4\n"                      // 1
        "\"orphan\"=hex:01\n"             // 2
        "[HKEY_CURRENT_USER\\A]\n"        // 3
        "\"a\"=hex:01\n"                  // 4
        "[-HKEY_CURRENT_USER\\B]\n"       // 5
        "\"b\"=hex:02\n"                  // 6
        "[HKEY_CURRENT_USER\\C\n"         // 7
        "\"c\"=hex:03\n"                  // 8
        "[]\n"                            // 9
        "\"e\"=hex:05\n"                  // 10
        "[HKEY_CURRENT_USER\\D]\n"        // 11
        "\"d\"=hex:04\n");                // 12
    EXPECT_EQ(parsed.badLines, (std::vector<int>{2, 5, 6, 7, 8, 9, 10}));
    expectSameKeys(parsed.keys,
                   {{"HKEY_CURRENT_USER", {"A", {value("a", reg::kTypeBinary, {1})}}},
                    {"HKEY_CURRENT_USER", {"D", {value("d", reg::kTypeBinary, {4})}}}});
}

}  // namespace
