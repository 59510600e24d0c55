#include <gtest/gtest.h>

#include "framework/controls/skin.h"
#include "tests/framework/controls/controls_test_support.h"

namespace qm::fw {
namespace {

using testing::TestResources;

class SkinCacheTest : public ::testing::Test {
protected:
    SkinCacheTest() {
        resources.addBitmap(121, testing::numbered(11, 11));
        resources.add(ui::kResourceBitmap, 300, {'n', 'o', 't', ' ', 'a', ' ', 'b', 'm', 'p'});
    }
    TestResources resources;
    SkinCache cache;
};

TEST_F(SkinCacheTest, TenLoadsShareOneImageUntilTheLastRelease) {
    std::vector<Skin> skins;
    for (int i = 0; i < 10; ++i) skins.push_back(cache.load(resources.module(), 121));
    for (const Skin& s : skins) EXPECT_EQ(s.image(), skins[0].image());
    EXPECT_EQ(cache.references(121), 10);
    EXPECT_EQ(cache.entriesInUse(), 1);

    for (int i = 0; i < 9; ++i) releaseSkin(skins[i]);
    EXPECT_EQ(cache.references(121), 1);
    ASSERT_NE(skins[9].image(), nullptr);
    EXPECT_EQ(skins[9].image()->pixel(3, 4), testing::numbered(11, 11).pixel(3, 4));

    releaseSkin(skins[9]);
    EXPECT_EQ(cache.references(121), 0);
    EXPECT_EQ(cache.entriesInUse(), 0);
    releaseSkin(skins[9]);  // twice is harmless
    EXPECT_EQ(cache.entriesInUse(), 0);
}

TEST_F(SkinCacheTest, AnIdWithoutABitmapIsTheSizeOfABlankImage) {
    struct Case {
        uint32_t id;
        int width, height;
        bool hasImage;
    };
    const Case cases[] = {
        {0x00140028, 40, 20, true},   // no such resource
        {0x0014012C, 300, 20, true},  // no such resource either: 300 is not 0x0014012C
        {300, 300, 0, false},         // a resource that is not a BMP; no height, no image
        {0x07C00A28, 552, 960, true},  // only ten bits of each half count
        {121, 11, 11, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        Skin s = cache.load(resources.module(), c.id);
        EXPECT_EQ(s.width(), c.width);
        EXPECT_EQ(s.height(), c.height);
        EXPECT_EQ(s.visible, (ui::Rect{0, 0, c.width, c.height}));
        ASSERT_EQ(s.image() != nullptr, c.hasImage);
        if (c.hasImage && c.id != 121) {
            EXPECT_EQ(s.image()->pixel(c.width - 1, c.height - 1), ui::kBlack);
        }
    }
    // Nothing stays cached once the skins are gone.
    EXPECT_EQ(cache.entriesInUse(), 0);
}

TEST_F(SkinCacheTest, AFullCacheOnlyLosesSharing) {
    std::vector<Skin> held;
    for (uint32_t i = 1; i <= SkinCache::kEntries; ++i) held.push_back(cache.load(resources.module(), (1u << 16) | i));
    EXPECT_EQ(cache.entriesInUse(), SkinCache::kEntries);

    Skin a = cache.load(resources.module(), 121);
    Skin b = cache.load(resources.module(), 121);
    ASSERT_NE(a.image(), nullptr);
    EXPECT_NE(a.image(), b.image());
    EXPECT_EQ(cache.references(121), 0);
    EXPECT_EQ(a.width(), 11);

    releaseSkin(held[7]);
    Skin c = cache.load(resources.module(), 121);
    Skin d = cache.load(resources.module(), 121);
    EXPECT_EQ(c.image(), d.image());
    EXPECT_EQ(cache.references(121), 2);
    // Releasing an uncached skin leaves the cached one alone.
    releaseSkin(a);
    EXPECT_EQ(cache.references(121), 2);
}

}  // namespace
}  // namespace qm::fw
