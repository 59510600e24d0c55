// Settings files, the host's descriptor procedures and its start-up choice of huge pages.
#include <gtest/gtest.h>

#include "host/descriptor.h"
#include "host/huge_pages.h"
#include "host/settings_file.h"

using namespace qm::host;

TEST(HugePages, AskedForUnlessTheEnvironmentAlreadyChooses) {
    EXPECT_EQ(qm::host::tunablesWithHugePages(nullptr), "glibc.malloc.hugetlb=1");
    EXPECT_EQ(qm::host::tunablesWithHugePages(""), "glibc.malloc.hugetlb=1");
    EXPECT_EQ(qm::host::tunablesWithHugePages("glibc.malloc.check=3"), "glibc.malloc.check=3:glibc.malloc.hugetlb=1");
    // A choice already made, ours after the restart or the user's, stays.
    EXPECT_EQ(qm::host::tunablesWithHugePages("glibc.malloc.hugetlb=0"), std::nullopt);
    EXPECT_EQ(qm::host::tunablesWithHugePages("a.b=1:glibc.malloc.hugetlb=1"), std::nullopt);
}

TEST(SettingsFile, ParsesKeysAndValuesAndNamesTheBadLine) {
    DescriptorItems items;
    std::string error;
    ASSERT_TRUE(parseSettings("# comment\n\nkk00 1234\r\nkk0: -7\n0x6B6B303F +5\n'cnt ' 0\n"
                              "kk01 1.5\nkk02 \"text\"\n",
                              items, error))
        << error;
    ASSERT_EQ(items.size(), 6u);
    EXPECT_EQ(items[0].key, PI_FOURCC('k', 'k', '0', '0'));
    EXPECT_EQ(items[0].integer, 1234);
    EXPECT_EQ(items[1].key, 0x6B6B303Au);
    EXPECT_EQ(items[1].integer, -7);
    EXPECT_EQ(items[2].key, 0x6B6B303Fu);
    EXPECT_EQ(items[3].key, PI_FOURCC('c', 'n', 't', ' '));
    EXPECT_EQ(items[4].type, typeFloat);
    EXPECT_EQ(items[5].type, typeChar);
    EXPECT_EQ(items[5].text, "text");

    struct Bad {
        const char* text;
        const char* line;
    } bad[] = {
        {"kk00 1\nkk01\n", "line 2"},
        {"kk00 2147483648\n", "line 1"},  // beyond 32 bits
        {"kk0 5\n", "line 1"},
        {"kk00 12abc\n", "line 1"},
        {"kk00\t\n", "line 1"},
        {"\n\n0x6B6B30 1\n", "line 3"},
    };
    for (const Bad& b : bad) {
        EXPECT_FALSE(parseSettings(b.text, items, error)) << b.text;
        EXPECT_EQ(error.rfind(b.line, 0), 0u) << error;
    }
}

TEST(SettingsFile, FormatParsesBack) {
    DescriptorItems items(4);
    items[0].key = PI_FOURCC('k', 'k', '0', '?');
    items[0].integer = INT32_MIN;
    items[1].key = PI_FOURCC('a', 'b', ' ', 'd');
    items[1].integer = 9;
    items[2].key = 0x01020304;
    items[2].type = typeFloat;
    items[2].number = 2.0;
    items[3].key = PI_FOURCC('#', 'x', 'y', 'z');
    items[3].type = typeChar;
    items[3].text = "hello";
    DescriptorItems back;
    std::string error;
    ASSERT_TRUE(parseSettings(formatSettings(items), back, error)) << error << formatSettings(items);
    ASSERT_EQ(back.size(), 4u);
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(back[i].key, items[i].key);
        EXPECT_EQ(back[i].type, items[i].type);
        EXPECT_EQ(back[i].integer, items[i].integer);
        EXPECT_EQ(back[i].number, items[i].number);
        EXPECT_EQ(back[i].text, items[i].text);
    }
}

TEST(Descriptor, ReadWriteAndDisposeAsAPluginDoes) {
    ReadDescriptorProcs* read = readDescriptorProcs();
    WriteDescriptorProcs* write = writeDescriptorProcs();
    const size_t before = liveDescriptorObjects();

    DescriptorItems items(2);
    items[0].key = PI_FOURCC('k', 'k', '0', '0');
    items[0].integer = 42;
    items[1].key = PI_FOURCC('k', 'k', '0', '1');
    items[1].type = typeFloat;
    PIDescriptorHandle handle = makeDescriptor(items);

    const DescriptorKeyID keys[] = {PI_FOURCC('k', 'k', '0', '0'), 0};
    PIReadDescriptor token = read->openReadDescriptorProc(handle, keys);
    ASSERT_NE(token, nullptr);
    DescriptorKeyID key;
    DescriptorTypeID type;
    int32_t flags, value = 0;
    // Reading before the first key, or a value of another type, is an error.
    EXPECT_NE(read->getIntegerProc(token, &value), noErr);
    ASSERT_TRUE(read->getKeyProc(token, &key, &type, &flags));
    EXPECT_EQ(read->getIntegerProc(token, &value), noErr);
    EXPECT_EQ(value, 42);
    ASSERT_TRUE(read->getKeyProc(token, &key, &type, &flags));
    EXPECT_EQ(type, typeFloat);
    EXPECT_EQ(read->getIntegerProc(token, &value), errAECoercionFail);
    EXPECT_FALSE(read->getKeyProc(token, &key, &type, &flags));
    EXPECT_EQ(read->closeReadDescriptorProc(token), noErr);

    PIWriteDescriptor w = write->openWriteDescriptorProc();
    EXPECT_EQ(write->putIntegerProc(w, PI_FOURCC('k', 'k', '0', '5'), -3), noErr);
    PIDescriptorHandle written = nullptr;
    EXPECT_EQ(write->closeWriteDescriptorProc(w, &written), noErr);
    DescriptorItems back;
    ASSERT_TRUE(descriptorContents(written, back));
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(back[0].integer, -3);

    handleProcs()->disposeProc(handle);
    handleProcs()->disposeProc(written);
    EXPECT_EQ(liveDescriptorObjects(), before);
}

TEST(Descriptor, StaleAndForeignPointersAreRefused) {
    ReadDescriptorProcs* read = readDescriptorProcs();
    WriteDescriptorProcs* write = writeDescriptorProcs();
    PIDescriptorHandle handle = makeDescriptor({});
    PIReadDescriptor token = read->openReadDescriptorProc(handle, nullptr);
    ASSERT_NE(token, nullptr);
    EXPECT_EQ(read->closeReadDescriptorProc(token), noErr);
    // A closed token, a token passed as a handle, a handle passed as a token.
    EXPECT_NE(read->closeReadDescriptorProc(token), noErr);
    EXPECT_EQ(read->openReadDescriptorProc(reinterpret_cast<PIDescriptorHandle>(token), nullptr), nullptr);
    EXPECT_NE(write->putIntegerProc(reinterpret_cast<PIWriteDescriptor>(handle), 1, 1), noErr);
    int dummy = 0;
    EXPECT_EQ(read->openReadDescriptorProc(reinterpret_cast<PIDescriptorHandle>(&dummy), nullptr), nullptr);
    handleProcs()->disposeProc(handle);
    handleProcs()->disposeProc(handle);  // twice: ignored
    handleProcs()->disposeProc(nullptr);
    EXPECT_EQ(read->openReadDescriptorProc(handle, nullptr), nullptr);
}
