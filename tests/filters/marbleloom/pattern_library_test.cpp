#include "filters/marbleloom/pattern_library.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "tests/filters/marbleloom/test_records.h"

namespace qm::marbleloom {
namespace {

namespace fs = std::filesystem;
using test::concat;
using test::recordOf;
using test::ScratchFolder;
using test::writeFile;

const char* const kFactoryFiles[] = {"Textures.8tx", "Textures02.8tx", "Textures03.8tx", "Textures04.8tx"};

std::string factoryPath(const char* name) { return std::string(QM_SOURCE_DIR "/resources/marbleloom/patterns/") + name; }

std::vector<std::string> names(const PatternLibrary& lib) {
    std::vector<std::string> out;
    for (int i = 0; i < lib.count(); ++i) out.push_back(lib.entry(i).header.nameText());
    return out;
}

bool isDefaultRaw(const PatternEntry& e) {
    return e.header.nameText() == "default raw" && e.noPixels == 1 && e.header.identity == 0 && e.path.empty() &&
           e.nextOffset == 0;
}

// A library over an empty shared folder and the given plug-in folder.
struct Fixture {
    ScratchFolder plugin, shared;
    PatternLibrary lib;
    void build() { lib.buildLibrary(plugin.path(), shared.path()); }
};

TEST(PatternLibrary, FactoryFilesGive158PatternsAfterTheVirtualOnes) {
    Fixture f;
    for (const char* name : kFactoryFiles) fs::copy_file(factoryPath(name), f.plugin / name);
    f.build();
    ASSERT_EQ(f.lib.count(), 2 + 158);
    EXPECT_EQ(f.lib.entry(0).header.nameText(), "default raw");
    EXPECT_EQ(f.lib.entry(1).header.nameText(), "Input Image");
    EXPECT_EQ(f.lib.entry(1).header.identity, kInputImageIdentity);

    std::set<uint32_t> identities;
    for (int i = 2; i < f.lib.count(); ++i) {
        const PatternEntry& e = f.lib.entry(i);
        EXPECT_TRUE(e.header.flags & kFlagFactory) << e.header.nameText();
        EXPECT_NE(e.header.identity, 0u);
        identities.insert(e.header.identity);
        EXPECT_EQ(e.header.scaleMax & 0x3F, e.header.scaleMax);
        EXPECT_LE(e.header.scaleMin, e.header.scaleMax);
    }
    EXPECT_EQ(identities.size(), 158u);
    // The factory presets name these.
    const auto all = names(f.lib);
    for (const char* name : {"Pasta", "Stained Glass", "Golden Orbs", "Red Hair", "Brush", "Chess Board", "Melony", "Cole"}) {
        const auto at = std::find(all.begin(), all.end(), name);
        ASSERT_NE(at, all.end()) << name;
        EXPECT_EQ(fs::path(f.lib.entry(static_cast<int>(at - all.begin())).path).filename(), "Textures.8tx") << name;
    }
    // Ordered by sortTime from position 2 on.
    for (int p = 3; p < f.lib.count(); ++p)
        EXPECT_LE(f.lib.entry(f.lib.orderAt(p - 1)).header.sortTime, f.lib.entry(f.lib.orderAt(p)).header.sortTime);
}

TEST(PatternLibrary, EveryFactoryPatternLoadsWithItsOwnIdentityAndStatistics) {
    for (const char* name : kFactoryFiles) {
        const std::string path = factoryPath(name);
        const auto bytes = test::readFileBytes(path);
        uint64_t offset = 0;
        int records = 0;
        do {
            PatternEntry e;
            loadEntry(e, path, offset, {});
            ASSERT_FALSE(isDefaultRaw(e)) << name << " record " << records;
            const uint8_t* stream = bytes.data() + e.jpegOffset;
            EXPECT_EQ(e.header.identity, fw::rollingChecksum(stream, e.header.dataSize));
            EXPECT_EQ(stream[0], 0xFF);
            EXPECT_EQ(stream[1], 0xD8);
            EXPECT_EQ(stream[e.header.dataSize - 2], 0xFF);
            EXPECT_EQ(stream[e.header.dataSize - 1], 0xD9);
            PatternSlot slot;
            slot.load(e, {});
            ASSERT_TRUE(slot.hasPixels());
            EXPECT_EQ(slot.pixels().width, e.header.width);
            EXPECT_EQ(computeStats(slot.pixels()), e.header.stats) << e.header.nameText();
            offset = e.nextOffset;
            ++records;
        } while (offset != 0);
        EXPECT_EQ(offset, 0u);
        static const std::map<std::string, int> expected = {
            {"Textures.8tx", 48}, {"Textures02.8tx", 40}, {"Textures03.8tx", 30}, {"Textures04.8tx", 40}};
        EXPECT_EQ(records, expected.at(name));
    }
}

TEST(PatternLibrary, RepeatedRecordIsAddedOnceAndTheChainGoesOn) {
    Fixture f;
    const auto a = recordOf("First", 1), b = recordOf("Second", 2);
    writeFile(f.plugin / "twice.8tx", concat({a, a, b}));
    f.build();
    EXPECT_EQ(names(f.lib), (std::vector<std::string>{"default raw", "Input Image", "First", "Second"}));
    // The same file again adds nothing: every header is already there.
    EXPECT_EQ(f.lib.readFile(f.plugin / "twice.8tx", true), -1);
    EXPECT_EQ(f.lib.count(), 4);
}

TEST(PatternLibrary, AFailingRecordEndsItsFile) {
    const auto a = recordOf("Kept", 1), c = recordOf("After", 3);
    auto badSum = recordOf("Bad sum", 2);
    badSum[84] = static_cast<uint8_t>(badSum[84] ^ 1);
    auto disabled = recordOf("Disabled", 2, 0, 8, 8, kFlagDisabled);
    auto lying = recordOf("Lying", 2);
    {  // Sizes that pass the checksum but cannot be.
        PatternHeader h = parseHeader(lying.data());
        h.width = 30000;
        h.height = 30000;
        sealHeader(h);
        serializeHeader(h, lying.data());
    }
    auto past = recordOf("Past the end", 2);
    {
        PatternHeader h = parseHeader(past.data());
        h.dataSize = 0x7FFFFFF0;
        sealHeader(h);
        serializeHeader(h, past.data());
    }
    auto zero = recordOf("No identity", 2);
    {
        PatternHeader h = parseHeader(zero.data());
        h.identity = 0;
        sealHeader(h);
        serializeHeader(h, zero.data());
    }
    const std::vector<uint8_t> cutThumb(a.begin(), a.begin() + 2000);
    const struct {
        const char* what;
        std::vector<uint8_t> middle;
        std::vector<std::string> expected;
    } cases[] = {
        {"wrong checksum", badSum, {"Kept"}},
        {"disabled", disabled, {"Kept"}},
        {"sizes that lie", lying, {"Kept"}},
        {"dataSize past the end", past, {"Kept"}},
        {"truncated record", cutThumb, {"Kept"}},
        // A record without identity is dropped, but it is a valid record.
        {"identity 0", zero, {"Kept", "After"}},
    };
    for (const auto& c0 : cases) {
        SCOPED_TRACE(c0.what);
        Fixture f;
        writeFile(f.plugin / "chain.8tx", concat({a, c0.middle, c}));
        f.build();
        std::vector<std::string> expected{"default raw", "Input Image"};
        expected.insert(expected.end(), c0.expected.begin(), c0.expected.end());
        EXPECT_EQ(names(f.lib), expected);
    }
}

TEST(PatternLibrary, HostileFilesGiveDefaultRaw) {
    ScratchFolder dir;
    const auto good = recordOf("Good", 1);
    auto width0 = good;
    auto negative = good;
    for (auto* r : {&width0, &negative}) {
        PatternHeader h = parseHeader(r->data());
        h.width = r == &width0 ? 0 : -40;
        sealHeader(h);
        serializeHeader(h, r->data());
    }
    auto exif = test::jpegOf(16, 16, 1);
    exif[3] = 0xE1;  // APP1 in place of the JFIF APP0
    const struct {
        const char* what;
        std::vector<uint8_t> bytes;
        uint64_t offset;
    } cases[] = {
        {"empty", {}, 0},
        {"header cut", std::vector<uint8_t>(good.begin(), good.begin() + 60), 0},
        {"width zero", width0, 0},
        {"width negative", negative, 0},
        {"not a pattern", std::vector<uint8_t>(6000, 'x'), 0},
        {"Exif JPEG", exif, 0},
        {"offset past the end", good, good.size() + 10},
        {"offset into the record", good, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        writeFile(dir / "f.8tx", c.bytes);
        PatternEntry e;
        loadEntry(e, dir / "f.8tx", c.offset, {});
        EXPECT_TRUE(isDefaultRaw(e));
        EXPECT_EQ(e.shown, 1);
        PatternSlot slot;
        slot.load(e, {});
        EXPECT_FALSE(slot.hasPixels());
    }
    PatternEntry missing;
    loadEntry(missing, dir / "missing.8tx", 0, {});
    EXPECT_TRUE(isDefaultRaw(missing));
    PatternEntry none;
    loadEntry(none, "", 0, {});
    EXPECT_TRUE(isDefaultRaw(none));
    EXPECT_EQ(none.header.width, 1);
    EXPECT_EQ(none.header.channels, 1);
    EXPECT_EQ(none.header.scaleMin, 50);
    EXPECT_EQ(none.header.stats, defaultRawStats());
    const uint8_t* p = none.thumbnail.data() + (20 * kDisplayThumbSide + 20) * 3;
    EXPECT_EQ(p[0], 64);  // blue, green, red of (128, 64, 64)
    EXPECT_EQ(p[2], 128);
}

TEST(PatternLibrary, AStreamThatIsNotJpegLoadsAsAnUnfilledPicture) {
    ScratchFolder dir;
    auto r = recordOf("Garbage", 1);
    std::fill(r.begin() + kRecordPrefix, r.end(), uint8_t{0x5A});
    writeFile(dir / "g.8tx", r);
    PatternEntry e;
    loadEntry(e, dir / "g.8tx", 0, {});
    ASSERT_EQ(e.header.nameText(), "Garbage");
    PatternSlot slot;
    slot.load(e, {});
    ASSERT_TRUE(slot.hasPixels());
    EXPECT_EQ(slot.pixels().data[0], 0);
    EXPECT_EQ(slot.streamLength(), e.header.dataSize);
    // A file cut after the library read it: the stream cannot be read.
    writeFile(dir / "g.8tx", std::vector<uint8_t>(r.begin(), r.begin() + kRecordPrefix + 10));
    PatternSlot later;
    later.load(e, {});
    EXPECT_EQ(later.stream(), nullptr);
}

TEST(PatternLibrary, JfifFileIsAnEntryWithoutIdentity) {
    ScratchFolder dir;
    const auto jpeg = test::jpegOf(24, 16, 5);
    ASSERT_EQ(jpeg[3], 0xE0);
    writeFile(dir / "A very long file name for a pattern.jpg", jpeg);
    PatternEntry e;
    loadEntry(e, dir / "A very long file name for a pattern.jpg", 0, {});
    EXPECT_EQ(e.header.nameText(), "A very long file name f");
    EXPECT_EQ(e.header.identity, 0u);
    EXPECT_EQ(e.header.width, 24);
    EXPECT_EQ(e.header.height, 16);
    EXPECT_EQ(e.header.dataSize, jpeg.size());
    EXPECT_EQ(e.header.scaleMin, 32);
    EXPECT_EQ(e.header.scaleMax, 50);
    EXPECT_EQ(e.jpegOffset, 0u);
    PatternSlot slot;
    slot.load(e, {});
    ASSERT_TRUE(slot.hasPixels());
    // The library never keeps it.
    PatternLibrary lib;
    lib.readFile("", false);
    EXPECT_EQ(lib.readFile(dir / "A very long file name for a pattern.jpg", false), -1);
    EXPECT_EQ(lib.count(), 1);
}

TEST(PatternLibrary, InputImageTakesItsSourceAndStatisticsOnce) {
    std::vector<uint8_t> pixels(100 * 60 * 4);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(i % 4 == 2 ? 201 : 100);
    const PixelView source{pixels.data(), 100, 60, 4, 400};
    PatternLibrary lib;
    lib.setSource(source);
    lib.readFile("", false);
    lib.readFile(":", false);
    PatternEntry& input = lib.entry(1);
    EXPECT_EQ(input.header.width, 100);
    EXPECT_EQ(input.header.height, 60);
    EXPECT_EQ(input.virtualState, 1);
    EXPECT_EQ(input.noPixels, 1);
    const uint8_t* p = input.thumbnail.data() + (10 * kDisplayThumbSide + 10) * 3;
    EXPECT_EQ(p[0], 200);  // blue with its lowest bit cleared
    EXPECT_EQ(p[2], 100);

    PatternSlot slot;
    slot.thumbnailButton = 3;
    slot.load(input, SlotContext{false, {}, source});
    EXPECT_EQ(slot.pixels().data, pixels.data());
    EXPECT_EQ(input.virtualState, 2);
    EXPECT_EQ(slot.stats.bytes[2], 201);  // max blue
    // Outside the dialog a virtual entry is loaded again, inside it is not.
    std::vector<uint8_t> preview(pixels);
    const PixelView previewView{preview.data(), 100, 60, 4, 400};
    slot.load(input, SlotContext{true, previewView, source});
    EXPECT_EQ(slot.pixels().data, pixels.data());
    slot.load(input, SlotContext{false, previewView, source});
    EXPECT_EQ(slot.pixels().data, pixels.data());
    PatternSlot layer;
    layer.thumbnailButton = 2;
    layer.load(input, SlotContext{true, previewView, source});
    EXPECT_EQ(layer.pixels().data, preview.data());
}

TEST(PatternLibrary, SlotReloadsOnlyForANewIdentity) {
    ScratchFolder dir;
    writeFile(dir / "a.8tx", concat({recordOf("A", 1), recordOf("B", 2)}));
    PatternLibrary lib;
    lib.readFile("", false);
    lib.readFile(dir / "a.8tx", true);
    int refreshed = 0;
    PatternSlot slot;
    slot.refresh = [&](PatternSlot&) { ++refreshed; };
    slot.load(lib.entry(1), {});
    const uint8_t* first = slot.pixels().data;
    slot.load(lib.entry(1), {});
    EXPECT_EQ(slot.pixels().data, first);
    EXPECT_EQ(refreshed, 1);
    slot.load(lib.entry(2), {});
    EXPECT_EQ(refreshed, 2);
    EXPECT_EQ(slot.entry(), &lib.entry(2));
    EXPECT_EQ(slot.pixels().width, 8);
}

TEST(PatternLibrary, OrderSortsFromFourEntriesOn) {
    struct Case {
        std::vector<uint64_t> times;  // of the file records, in file order
        std::vector<int> order;       // expected order positions 2..
    } cases[] = {
        {{}, {}},
        {{50}, {2}},
        {{50, 10}, {3, 2}},
        {{50, 10, 30, 10}, {3, 5, 4, 2}},  // equal times keep their order
    };
    for (const Case& c : cases) {
        ScratchFolder dir;
        std::vector<uint8_t> file;
        for (size_t i = 0; i < c.times.size(); ++i) {
            const auto r = recordOf("R" + std::to_string(i), static_cast<uint8_t>(i + 1), c.times[i]);
            file.insert(file.end(), r.begin(), r.end());
        }
        PatternLibrary lib;
        lib.readFile("", false);
        lib.readFile(":", false);
        if (!file.empty()) {
            writeFile(dir / "o.8tx", file);
            lib.readFile(dir / "o.8tx", true);
        } else {
            lib.orderLibrary();
        }
        ASSERT_EQ(lib.count(), 2 + static_cast<int>(c.times.size()));
        EXPECT_EQ(lib.orderAt(0), 0);
        EXPECT_EQ(lib.orderAt(1), 1);
        for (size_t i = 0; i < c.order.size(); ++i) EXPECT_EQ(lib.orderAt(static_cast<int>(i) + 2), c.order[i]);
        EXPECT_EQ(lib.orderAt(1023), 1023);
        for (int i = 0; i < lib.count(); ++i) EXPECT_EQ(lib.entry(i).displayId, -2);
    }
}

TEST(PatternLibrary, HoldsAtMost1023Entries) {
    ScratchFolder dir;
    std::vector<uint8_t> file;
    const auto stream = test::jpegOf(8, 8, 1);
    for (int i = 0; i < 1030; ++i) {
        // One picture, distinct headers: each record is its own entry.
        PatternHeader h = parseHeader(recordOf("x", 1).data());
        h.setName("P" + std::to_string(i));
        sealHeader(h);
        const std::vector<uint8_t> thumb(kThumbBytes, 0);
        const auto r = recordBytes(h, thumb.data(), stream.data(), stream.size());
        file.insert(file.end(), r.begin(), r.end());
    }
    writeFile(dir / "many.8tx", file);
    PatternLibrary lib;
    lib.readFile("", false);
    lib.readFile(":", false);
    EXPECT_EQ(lib.readFile(dir / "many.8tx", true), 1022);
    EXPECT_EQ(lib.count(), 1023);
    EXPECT_EQ(lib.readFile(dir / "many.8tx", false), -1);
    EXPECT_EQ(lib.lastPage(), 7);
}

TEST(PatternLibrary, PagesClampAndCellsHit) {
    Fixture f;
    std::vector<uint8_t> file;
    for (int i = 0; i < 150; ++i) {
        const auto r = recordOf("R", static_cast<uint8_t>(i), static_cast<uint64_t>(i));
        file.insert(file.end(), r.begin(), r.end());
    }
    writeFile(f.plugin / "p.8tx", file);
    f.build();
    ASSERT_EQ(f.lib.count(), 152);
    EXPECT_EQ(f.lib.clampPage(-3), 0);
    EXPECT_EQ(f.lib.clampPage(0), 0);
    EXPECT_EQ(f.lib.clampPage(1), 1);
    EXPECT_EQ(f.lib.clampPage(7), 1);
    const struct {
        int x, y, page, position;
    } hits[] = {
        {2, 2, 0, 0},     {47, 47, 0, 0}, {48, 2, 0, 1},   {2, 48, 0, 12},  {553, 553, 0, 143},
        {2, 2, 1, 144},   {48, 2, 1, 145}, {2, 48, 1, -1},  // beyond the count
        {553, 600, 0, -1},                                  // below the last row
    };
    for (const auto& h : hits) EXPECT_EQ(f.lib.hitTest(h.x, h.y, h.page), h.position) << h.x << "," << h.y;
    f.lib.entry(f.lib.orderAt(1)).shown = 0;
    EXPECT_EQ(f.lib.hitTest(48, 2, 0), -1);
}

TEST(PatternLibrary, InformationLine) {
    setenv("TZ", "UTC", 1);
    tzset();
    PatternEntry e;
    e.header.width = 64;
    e.header.height = 128;
    e.header.setName("Oak");
    e.header.identity = 0xABCD;
    e.header.created = os::fileTimeFromUnix(1767272700, 0);  // 2026-01-01 13:05 UTC
    InfoLine line = infoLine(e);
    EXPECT_EQ(line.size, "064 x 128");
    EXPECT_EQ(line.name, "Oak");
    EXPECT_EQ(line.month, "Jan");
    EXPECT_EQ(line.date, "Jan.01.2026  13:05");
    EXPECT_EQ(line.id, "ID = 0000ABCD");
    EXPECT_EQ(InfoLine::dateX(20), 230);
    e.header.identity = 0;
    e.displayId = -2;
    EXPECT_EQ(infoLine(e).id, "ID = FFFFFFFE");
}

// The editor slot holding a picture of its own, like an imported pattern.
struct Editor {
    std::vector<uint8_t> pixels = std::vector<uint8_t>(20 * 10 * 3, 90);
    PatternEntry entry;
    PatternSlot slot;
    explicit Editor(PatternLibrary& lib) {
        lib.readFile(":", false);
        entry = lib.entry(lib.count() - 1);
        slot.load(entry, SlotContext{false, {}, PixelView{pixels.data(), 20, 10, 3, 60}});
    }
};

TEST(PatternLibrary, WriteHeaderFlagsAndIdentity) {
    const struct {
        int quality;
        uint32_t flags;
    } cases[] = {{100, 0}, {101, kFlagFactory}, {201, kFlagHighQuality | kFlagFactory}};
    for (const auto& c : cases) {
        PatternLibrary lib;
        Editor ed(lib);
        const PatternHeader h = writeHeader(ed.slot, "Named", c.quality, 0, 7);
        EXPECT_EQ(h.flags, c.flags);
        EXPECT_EQ(h.magic, kPatternMagic);
        EXPECT_EQ(h.value88, 7u);
        EXPECT_EQ(h.width, 20);
        EXPECT_EQ(h.height, 10);
        EXPECT_EQ(h.nameText(), "Named");
        EXPECT_EQ(h.created, h.sortTime);
        ASSERT_NE(ed.slot.stream(), nullptr);
        EXPECT_EQ(h.dataSize, ed.slot.streamLength());
        EXPECT_EQ(ed.entry.header.dataSize, ed.slot.streamLength());
        EXPECT_EQ(h.identity, fw::rollingChecksum(ed.slot.stream(), ed.slot.streamLength()));
        uint8_t b[kHeaderSize];
        serializeHeader(h, b);
        EXPECT_TRUE(headerPasses(b));
    }
}

TEST(PatternLibrary, AddingNamesTheFileAfterTheName) {
    Fixture f;
    f.build();
    Editor ed(f.lib);
    const std::vector<uint8_t> thumb(kThumbBytes, 77);
    const int first = addToCollection(f.lib, ed.slot, "Old Bark!", thumb.data());
    ASSERT_GE(first, 0);
    EXPECT_TRUE(fs::exists(f.plugin / "OldBark.8tx"));
    EXPECT_EQ(f.lib.entry(first).header.nameText(), "Old Bark!");
    EXPECT_EQ(f.lib.entry(first).header.flags, 0u);
    EXPECT_EQ(f.lib.entry(first).path, f.plugin / "OldBark.8tx");
    EXPECT_EQ(f.lib.entry(first).thumbnail[(5 * kDisplayThumbSide + 5) * 3], 77);
    // A name taken in the shared folder counts too.
    writeFile(f.shared / "OldBark01.8tx", {});
    const int second = addToCollection(f.lib, ed.slot, "Old Bark!`", thumb.data());
    ASSERT_GT(second, first);
    EXPECT_TRUE(fs::exists(f.plugin / "OldBark02.8tx"));
    EXPECT_EQ(f.lib.entry(second).header.nameText(), "Old Bark!");
    EXPECT_EQ(f.lib.entry(second).header.flags, kFlagFactory);
    EXPECT_EQ(f.lib.orderAt(f.lib.count() - 1), second);  // newest last

    EXPECT_EQ(collectionBaseName("Old Bark!"), "OldBark");
    EXPECT_EQ(collectionFileName("Bark", f.plugin.path(), f.shared.path()), "Bark.8tx");
    for (int n = 0; n <= 99; ++n) {
        char file[32];
        std::snprintf(file, sizeof file, n == 0 ? "Full.8tx" : "Full%02d.8tx", n);
        writeFile(f.plugin / file, {});
    }
    EXPECT_EQ(collectionFileName("Full", f.plugin.path(), f.shared.path()), "");
}

TEST(PatternLibrary, RemovingRefusesVirtualAndFactoryPatterns) {
    Fixture f;
    writeFile(f.plugin / "factory.8tx", recordOf("Factory", 1, 0, 8, 8, kFlagFactory));
    writeFile(f.plugin / "mine.8tx", recordOf("Mine", 2, 5));
    f.build();
    ASSERT_EQ(f.lib.count(), 4);
    const int factoryAt = f.lib.entry(f.lib.orderAt(2)).header.nameText() == "Factory" ? 2 : 3;
    const int mineAt = 5 - factoryAt;
    const struct {
        int position;
        RemoveResult result;
        const char* message;
    } cases[] = {
        {0, RemoveResult::RefusedVirtual, "Warning: Can't delete virtual pattern\n"},
        {1, RemoveResult::RefusedVirtual, "Warning: Can't delete virtual pattern\n"},
        {factoryAt, RemoveResult::RefusedFactory, "Warning: Can't delete factory pattern\n"},
    };
    for (const auto& c : cases) {
        PatternSlot slot;
        slot.load(f.lib.entry(f.lib.orderAt(c.position)), {});
        testing::internal::CaptureStderr();
        EXPECT_EQ(removeFromCollection(f.lib, slot, c.position), c.result);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.message);
    }
    EXPECT_TRUE(fs::exists(f.plugin / "factory.8tx"));

    PatternSlot slot;
    PatternEntry& mine = f.lib.entry(f.lib.orderAt(mineAt));
    slot.load(mine, {});
    testing::internal::CaptureStderr();
    // Without a display the confirmation answers OK.
    EXPECT_EQ(removeFromCollection(f.lib, slot, mineAt), RemoveResult::Removed);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Warning: " + f.plugin / "mine.8tx" + "\n\nDo you really want to delete this file?\n");
    EXPECT_FALSE(fs::exists(f.plugin / "mine.8tx"));
    EXPECT_EQ(mine.shown, 0);
    EXPECT_EQ(f.lib.count(), 4);  // the entry keeps its index
}

TEST(PatternLibrary, RemovingWhatCannotBeDeletedSaysSo) {
    Fixture f;
    writeFile(f.plugin / "mine.8tx", recordOf("Mine", 2));
    f.build();
    PatternEntry& mine = f.lib.entry(2);
    PatternSlot slot;
    slot.load(mine, {});
    // A folder in its place cannot be deleted as a file, even by root.
    fs::remove(f.plugin / "mine.8tx");
    fs::create_directory(f.plugin / "mine.8tx");
    testing::internal::CaptureStderr();
    EXPECT_EQ(removeFromCollection(f.lib, slot, 2), RemoveResult::NoPermission);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("Restricted Area: You do not have permission to delete file in this location.\n"
                       "Contact the administrator to obtain permission.\n"),
              std::string::npos);
    EXPECT_EQ(mine.shown, 1);
}

TEST(PatternLibrary, BuildReadsBothFoldersAndOnlyTheExtension) {
    Fixture f;
    writeFile(f.plugin / "a.8tx", recordOf("Plug-in", 1));
    writeFile(f.plugin / "b.8TX", recordOf("Upper case", 2));
    writeFile(f.plugin / "c.jpg", test::jpegOf(8, 8, 1));
    writeFile(f.plugin / "d.8tx.bak", recordOf("Backup", 3));
    writeFile(f.shared / "e.8tx", recordOf("Shared", 4));
    writeFile(f.shared / "a.8tx", recordOf("Plug-in", 1));  // the same record again
    f.build();
    auto all = names(f.lib);
    std::sort(all.begin() + 2, all.end());
    EXPECT_EQ(all, (std::vector<std::string>{"default raw", "Input Image", "Plug-in", "Shared", "Upper case"}));
    // A missing shared folder is created.
    ScratchFolder plugin;
    const std::string shared = plugin / "shared/";
    PatternLibrary lib;
    lib.buildLibrary(plugin.path(), shared);
    EXPECT_TRUE(fs::is_directory(shared));
    EXPECT_EQ(lib.count(), 2);
}

}  // namespace
}  // namespace qm::marbleloom
