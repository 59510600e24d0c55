#include "filters/marbleloom/pattern_transfer.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "filters/marbleloom/texture_session.h"
#include "framework/settings/record.h"
#include "platform/os/registry.h"
#include "tests/filters/marbleloom/test_records.h"
#include "tests/support/fake_host.h"

namespace qm::marbleloom {
namespace {

namespace fs = std::filesystem;
namespace reg = os::registry;
using test::readFileBytes;
using test::ScratchFolder;
using test::writeFile;

const std::string kFactory = QM_SOURCE_DIR "/resources/marbleloom/patterns/Textures.8tx";

// The value from one hive, or "<none>".
std::string hiveValue(reg::Root root, const char* name) {
    char text[400] = {};
    uint32_t size = sizeof text - 1;
    uint32_t type = 0;
    if (reg::queryValue(root, "Software\\Quillmere", name, &type, reinterpret_cast<uint8_t*>(text), &size) !=
            reg::kSuccess ||
        type != reg::kTypeString)
        return "<none>";
    return std::string(text, size);
}

void expectRemembered(const char* name, const std::string& folder) {
    EXPECT_EQ(hiveValue(reg::Root::CurrentUser, name), folder);
    EXPECT_EQ(hiveValue(reg::Root::LocalMachine, name), folder);
    EXPECT_EQ(rememberedFolder(name), folder);
}

std::vector<uint8_t> pixelsOf(const PatternSlot& slot) {
    const PixelView p = slot.pixels();
    std::vector<uint8_t> out;
    for (int y = 0; y < p.height; ++y) out.insert(out.end(), p.at(0, y), p.at(0, y) + p.width * p.bytesPerPixel);
    return out;
}

std::vector<std::string> filesIn(const std::string& folder) {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(folder)) out.push_back(e.path().filename().string());
    return out;
}

class PatternTransfer : public ::testing::Test {
protected:
    void SetUp() override {
        qm::test::useOwnRegistry();
        ts.library.buildLibrary(plugin.path(), shared.path());
        ASSERT_EQ(ts.library.count(), 2);
    }
    ScratchFolder plugin, shared, dir;
    TextureSession ts;
};

TEST_F(PatternTransfer, ImportedDatabasePatternIsAddedWithItsStreamChecksum) {
    PatternEntry first;
    loadEntry(first, kFactory, 0, {});
    ASSERT_NE(first.header.identity, 0u);

    const ImportOutcome out = importPatternFile(ts, kFactory, {});
    EXPECT_TRUE(out.imported);
    EXPECT_EQ(out.name, "Textures");
    EXPECT_EQ(out.problem, "");
    ASSERT_EQ(ts.editor.entry(), ts.imported.get());
    EXPECT_EQ(ts.imported->header.identity, 0u);
    EXPECT_EQ(ts.imported->header.nameText(), first.header.nameText());
    ASSERT_TRUE(ts.editor.hasPixels());
    EXPECT_EQ(ts.library.count(), 2);  // importing adds nothing
    expectRemembered(kImportDirValue, QM_SOURCE_DIR "/resources/marbleloom/patterns/");

    const std::vector<uint8_t> thumb(kThumbBytes, 9);
    const int index = addToCollection(ts.library, ts.editor, out.name, thumb.data());
    ASSERT_GE(index, 2);
    const uint32_t identity = ts.library.entry(index).header.identity;
    EXPECT_EQ(identity, fw::rollingChecksum(ts.editor.stream(), ts.editor.streamLength()));
    EXPECT_EQ(identity, first.header.identity);
}

TEST_F(PatternTransfer, ExportWritesTheStoredStreamAndImportsToTheSamePixels) {
    const auto database = readFileBytes(kFactory);
    PatternEntry e;
    uint64_t offset = 0;
    for (int record = 0; record < 2; ++record) {  // the first record and one further in
        SCOPED_TRACE("record at " + std::to_string(offset));
        loadEntry(e, kFactory, offset, {});
        ts.editor.unload();
        ts.editor.load(e, {});
        ASSERT_TRUE(ts.editor.hasPixels());
        const std::vector<uint8_t> pixels = pixelsOf(ts.editor);
        const std::string target = dir / "out.jpg";

        ASSERT_EQ(exportPatternTo(ts, target, [](const std::string&) { return true; }), ExportResult::Written);
        const std::vector<uint8_t> stored(database.begin() + static_cast<ptrdiff_t>(e.jpegOffset),
                                          database.begin() + static_cast<ptrdiff_t>(e.jpegOffset + e.header.dataSize));
        EXPECT_EQ(readFileBytes(target), stored);
        EXPECT_EQ(filesIn(dir.path()), std::vector<std::string>{"out.jpg"});
        expectRemembered(kExportDirValue, dir.path());

        const ImportOutcome out = importPatternFile(ts, target, {});
        ASSERT_TRUE(out.imported) << out.problem;
        EXPECT_EQ(out.name, "out");
        EXPECT_EQ(ts.editor.entry(), ts.imported.get());
        EXPECT_EQ(ts.editor.pixels().width, e.header.width);
        EXPECT_EQ(ts.editor.pixels().height, e.header.height);
        EXPECT_EQ(pixelsOf(ts.editor), pixels);
        expectRemembered(kImportDirValue, dir.path());
        offset = e.nextOffset;
    }
}

TEST(PatternTransferNames, ImportedAndExportNames) {
    const struct {
        const char* path;
        const char* name;
    } imported[] = {
        {"/a/b/Old Bark.8tx", "Old Bark"},
        {"/a/b/name.tar.gz", "name"},
        {"/a.b/c.d/file", "file"},
        {"/a/.hidden.jpg", ".hidden"},
        {"/a/.hidden", ".hidden"},
        {"plain.jpg", "plain"},
        {"/x/A very long file name for a pattern.jpg", "A very long file name f"},
        {"/x/", ""},
    };
    for (const auto& c : imported) EXPECT_EQ(importedName(c.path), c.name) << c.path;

    const struct {
        const char* name;
        const char* file;
    } exported[] = {
        {"Old Bark!", "OldBark.jpg"},
        {"Stone 2", "Stone2.jpg"},
        // Cut to 23 characters before the others are removed.
        {"A very long file name for a pattern", "Averylongfilenamef.jpg"},
        {"........................Tail", ".jpg"},
    };
    for (const auto& c : exported) EXPECT_EQ(exportFileName(c.name), c.file) << c.name;
}

TEST_F(PatternTransfer, ExistingFileIsReplacedOnlyWhenTheAnswerIsYes) {
    PatternEntry e;
    loadEntry(e, kFactory, 0, {});
    ts.editor.load(e, {});
    const std::string target = dir / "there.jpg";
    const std::vector<uint8_t> old = {'k', 'e', 'e', 'p', '\n'};
    writeFile(target, old);

    std::vector<std::string> asked;
    const auto no = [&](const std::string& p) {
        asked.push_back(p);
        return false;
    };
    EXPECT_EQ(exportPatternTo(ts, target, no), ExportResult::Cancelled);
    EXPECT_EQ(asked, std::vector<std::string>{target});
    EXPECT_EQ(exportPatternTo(ts, target, nullptr), ExportResult::Cancelled);
    EXPECT_EQ(readFileBytes(target), old);
    EXPECT_EQ(filesIn(dir.path()), std::vector<std::string>{"there.jpg"});
    EXPECT_NE(hiveValue(reg::Root::LocalMachine, kExportDirValue), dir.path());

    EXPECT_EQ(exportPatternTo(ts, target, [](const std::string&) { return true; }), ExportResult::Written);
    EXPECT_EQ(readFileBytes(target).size(), e.header.dataSize);
}

TEST_F(PatternTransfer, UnreadableFilesGiveDefaultRawAndAProblem) {
    const auto jpeg = test::jpegOf(32, 24, 3);
    ASSERT_EQ(jpeg[3], 0xE0);
    auto exif = jpeg;
    {
        // The JFIF APP0 segment (length 16) rewritten as an APP1 "Exif" one.
        const uint8_t app1[] = {0xFF, 0xE1, 0x00, 0x10, 'E', 'x', 'i', 'f', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
        std::copy(std::begin(app1), std::end(app1), exif.begin() + 2);
    }
    auto lying = test::recordOf("Lying", 1);
    auto past = test::recordOf("Past", 2);
    for (auto* r : {&lying, &past}) {
        PatternHeader h = parseHeader(r->data());
        if (r == &lying) h.width = h.height = 30000;
        if (r == &past) h.dataSize += 100;
        sealHeader(h);
        serializeHeader(h, r->data());
    }
    const std::string good = dir / "good.jpg";
    writeFile(good, jpeg);
    fs::create_directory(dir / "folder.jpg");

    const struct {
        const char* what;
        std::string file;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {"not a JPEG", "text.jpg", {'h', 'e', 'l', 'l', 'o'}},
        {"empty", "empty.jpg", {}},
        {"truncated JPEG", "cut.jpg", std::vector<uint8_t>(jpeg.begin(), jpeg.begin() + jpeg.size() / 2)},
        {"Exif JPEG", "camera.jpg", exif},
        {"sizes that cannot be", "lying.8tx", lying},
        {"stream past the end", "past.8tx", past},
        {"missing file", "missing.jpg", {}},
        {"folder", "folder.jpg", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = dir / c.file;
        if (c.file != "missing.jpg" && c.file != "folder.jpg") writeFile(path, c.bytes);
        // A good import first: the bad one must not leave its picture behind.
        ASSERT_TRUE(importPatternFile(ts, good, {}).imported);
        ASSERT_TRUE(ts.editor.hasPixels());

        const ImportOutcome out = importPatternFile(ts, path, {});
        EXPECT_FALSE(out.imported);
        EXPECT_NE(out.problem, "");
        ASSERT_NE(ts.editor.entry(), nullptr);
        EXPECT_EQ(ts.editor.entry()->header.nameText(), "default raw");
        EXPECT_FALSE(ts.editor.hasPixels());
        EXPECT_EQ(ts.library.count(), 2);
        EXPECT_EQ(filesIn(plugin.path()), std::vector<std::string>{});
        // "default raw" has no picture to export.
        EXPECT_EQ(exportPatternTo(ts, dir / "none.jpg", nullptr), ExportResult::NoPicture);
        EXPECT_FALSE(fs::exists(dir / "none.jpg"));
    }
}

TEST_F(PatternTransfer, FailedWritesLeaveNothingBehind) {
    PatternEntry e;
    loadEntry(e, kFactory, 0, {});
    EXPECT_EQ(exportPatternTo(ts, dir / "x.jpg", nullptr), ExportResult::NoPicture);  // empty editor
    ts.editor.load(e, {});
    rememberFolderOf(kExportDirValue, "/before/x.jpg");
    const struct {
        const char* what;
        std::string path;
    } cases[] = {
        {"missing folder", dir / "missing/x.jpg"},
        // The temporary file is written, the rename onto this name fails.
        {"name too long", dir / (std::string(300, 'n') + ".jpg")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(exportPatternTo(ts, c.path, nullptr), ExportResult::WriteFailed);
        EXPECT_EQ(filesIn(dir.path()), std::vector<std::string>{});
        expectRemembered(kExportDirValue, "/before/");
    }
}

TEST_F(PatternTransfer, ExportIntoAReadOnlyFolderFailsWithoutLeftovers) {
    if (::geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
    PatternEntry e;
    loadEntry(e, kFactory, 0, {});
    ts.editor.load(e, {});
    const std::string locked = dir / "locked/";
    fs::create_directory(locked);
    writeFile(locked + "old.jpg", {1, 2, 3});
    ::chmod(locked.c_str(), 0555);
    EXPECT_EQ(exportPatternTo(ts, locked + "new.jpg", nullptr), ExportResult::WriteFailed);
    EXPECT_EQ(exportPatternTo(ts, locked + "old.jpg", [](const std::string&) { return true; }),
              ExportResult::WriteFailed);
    EXPECT_EQ(filesIn(locked), std::vector<std::string>{"old.jpg"});
    EXPECT_EQ(readFileBytes(locked + "old.jpg"), (std::vector<uint8_t>{1, 2, 3}));
    ::chmod(locked.c_str(), 0755);
}

}  // namespace
}  // namespace qm::marbleloom
