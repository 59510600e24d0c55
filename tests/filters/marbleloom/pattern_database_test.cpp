#include "filters/marbleloom/pattern_database.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/filters/marbleloom/test_records.h"

namespace qm::marbleloom {
namespace {

TEST(PatternHeader, SerialisesAtItsOffsets) {
    PatternHeader h;
    h.magic = kPatternMagic;
    h.identity = 0x11223344;
    h.setName("A name longer than twenty-three characters");
    h.flags = 5;
    h.created = 0x0102030405060708ull;
    h.dataSize = 0xA0B0C0D0;
    h.height = -2;
    h.width = 300;
    h.channels = 3;
    h.scaleMin = 16;
    h.scaleMax = 40;
    h.stats.bytes[23] = 255;
    sealHeader(h);
    uint8_t b[kHeaderSize];
    serializeHeader(h, b);
    EXPECT_EQ(b[0], 0x12);
    EXPECT_EQ(b[3], 0xAB);
    EXPECT_EQ(b[4], 0x44);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(b + 8)), "A name longer than twen");
    EXPECT_EQ(b[60], 5);
    EXPECT_EQ(b[64], 0x08);
    EXPECT_EQ(b[71], 0x01);
    EXPECT_EQ(b[80], 0xD0);
    EXPECT_EQ(b[96], 0xFE);
    EXPECT_EQ(b[97], 0xFF);
    EXPECT_EQ(b[98], 0x2C);
    EXPECT_EQ(b[99], 0x01);
    EXPECT_EQ(b[100], 3);
    EXPECT_EQ(b[102], 16);
    EXPECT_EQ(b[103], 40);
    EXPECT_EQ(b[59], 255);
    const PatternHeader back = parseHeader(b);
    EXPECT_EQ(back.nameText(), "A name longer than twen");
    EXPECT_EQ(back.created, h.created);
    EXPECT_EQ(back.height, -2);
    EXPECT_EQ(back.headerChecksum, h.headerChecksum);
    EXPECT_TRUE(headerPasses(b));
}

TEST(PatternHeader, ChecksumCoversBytes0To101ButNotItself) {
    const std::vector<uint8_t> record = test::recordOf("Checked", 3);
    ASSERT_TRUE(headerPasses(record.data()));
    for (int i = 0; i < 104; ++i) {
        for (int mask : {0x01, 0x80, 0xFF}) {
            std::vector<uint8_t> r(record.begin(), record.begin() + kHeaderSize);
            r[static_cast<size_t>(i)] = static_cast<uint8_t>(r[static_cast<size_t>(i)] ^ mask);
            const bool inChecksum = i >= 84 && i <= 87;
            const bool covered = i <= 101 && !inChecksum;
            if (covered || inChecksum)
                EXPECT_FALSE(headerPasses(r.data())) << "byte " << i << " mask " << mask;
            else
                EXPECT_TRUE(headerPasses(r.data())) << "byte " << i;  // the scaling bytes
        }
    }
}

TEST(PatternHeader, DisabledRecordDoesNotPass) {
    std::vector<uint8_t> r = test::recordOf("Off", 3, 0, 8, 8, kFlagDisabled);
    EXPECT_FALSE(headerPasses(r.data()));
    r = test::recordOf("Factory", 3, 0, 8, 8, kFlagFactory | kFlagHighQuality);
    EXPECT_TRUE(headerPasses(r.data()));
}

TEST(PatternHeader, SizesMustBeBelievable) {
    PatternHeader good;
    good.width = 64;
    good.height = 32;
    good.channels = 3;
    good.dataSize = 1000;
    const uint64_t fileSize = kRecordPrefix + 1000;
    EXPECT_TRUE(headerSizesPlausible(good, 0, fileSize));
    struct Case {
        const char* what;
        int16_t w, h, ch;
        uint32_t dataSize;
        uint64_t offset;
    } cases[] = {
        {"width zero", 0, 32, 3, 1000, 0},          {"height negative", 64, -5, 3, 1000, 0},
        {"one channel", 64, 32, 1, 1000, 0},        {"stream past the end", 64, 32, 3, 1001, 0},
        {"stream of 2^31", 64, 32, 3, 0x80000000u, 0}, {"empty stream", 64, 32, 3, 0, 0},
        {"record past the end", 64, 32, 3, 10, fileSize},
        {"huge picture", 32767, 32767, 3, 1000, 0},
    };
    for (const Case& c : cases) {
        PatternHeader h = good;
        h.width = c.w;
        h.height = c.h;
        h.channels = c.ch;
        h.dataSize = c.dataSize;
        EXPECT_FALSE(headerSizesPlausible(h, c.offset, fileSize)) << c.what;
    }
}

TEST(PatternStats, MaximaMeansAndMinima) {
    // Orange (hue 128) and dark blue (hue 1024 + 0: low byte 0).
    const uint8_t px[] = {255, 128, 0, 0, 0, 100};
    const PatternStats s = computeStats(PixelView{px, 2, 1, 3, 6});
    const uint8_t expected[24] = {255, 128, 100, 0,    //
                                  255, 0,   255, 0,    // hue 1024 keeps its low 8 bits
                                  127, 64,  50,  0,    //
                                  177, 64,  255, 0,    // mean hue (128 + 1024) / 2 = 576
                                  0,   0,   0,   255,  //
                                  100, 128, 255, 255};
    for (int i = 0; i < 24; ++i) EXPECT_EQ(s.bytes[static_cast<size_t>(i)], expected[i]) << "byte " << i;
}

TEST(PatternStats, DefaultRaw) {
    const PatternStats s = defaultRawStats();
    for (int i = 0; i < 24; ++i) EXPECT_EQ(s.bytes[static_cast<size_t>(i)], i == 9 || i == 10 ? 64 : 128);
}

TEST(PatternHeader, MinuteStamp) {
    os::SystemTime t{2026, 12, 0, 10, 1, 35, 0, 0};
    EXPECT_EQ(minuteStampOf(t), 2026u * 535680 + 12 * 44640 + 10 * 1440 + 60 + 35);
}

}  // namespace
}  // namespace qm::marbleloom
