#include "filters/marbleloom/resource_files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <vector>

#include "tests/filters/marbleloom/test_records.h"

namespace qm::marbleloom {
namespace {

namespace fs = std::filesystem;
using test::readFileBytes;
using test::ScratchFolder;
using test::writeFile;

const uint8_t kOne[] = {1, 2, 3, 4, 5};
const uint8_t kTwo[] = {9, 8, 7};
const QmResource kEntries[] = {
    {{nullptr, 4000}, {"TEXTURES02.8TX", 0}, kTwo, sizeof kTwo},
    {{nullptr, 4000}, {"TEXTURES.8TX", 0}, kOne, sizeof kOne},
    {{nullptr, 3000}, {"MARBLELOOM3D.CHM", 0}, kOne, sizeof kOne},
};
const QmResourceTable kTable{QM_RESOURCE_TABLE_MAGIC, 3, kEntries};

TEST(ResourceFiles, DiskNames) {
    EXPECT_EQ(patternDatabaseDiskName("TEXTURES.8TX"), "Textures.8tx");
    EXPECT_EQ(patternDatabaseDiskName("TEXTURES04.8TX"), "Textures04.8tx");
}

TEST(ResourceFiles, WrittenIntoThePluginFolderUnlessTheSizeMatches) {
    ScratchFolder plugin, shared;
    // Same size, other content: left alone. Other size: replaced.
    writeFile(plugin / "Textures.8tx", {0, 0, 0, 0, 0});
    writeFile(plugin / "Textures02.8tx", {0});
    const os::ResourceModule module(&kTable);
    ASSERT_TRUE(writePatternDatabases(module, plugin.path(), shared.path()));
    EXPECT_EQ(readFileBytes(plugin / "Textures.8tx"), (std::vector<uint8_t>{0, 0, 0, 0, 0}));
    EXPECT_EQ(readFileBytes(plugin / "Textures02.8tx"), (std::vector<uint8_t>{9, 8, 7}));
    EXPECT_FALSE(fs::exists(plugin / "Marbleloom3d.chm"));
    EXPECT_TRUE(fs::is_empty(shared.path()));
}

TEST(ResourceFiles, FallBackToTheSharedFolder) {
    ScratchFolder root;
    const std::string shared = root / "shared/";
    const os::ResourceModule module(&kTable);
    // A plug-in folder that does not exist cannot be entered.
    ASSERT_TRUE(writePatternDatabases(module, root / "missing/", shared));
    EXPECT_EQ(readFileBytes(shared + "Textures.8tx"), (std::vector<uint8_t>{1, 2, 3, 4, 5}));
    EXPECT_EQ(readFileBytes(shared + "Textures02.8tx"), (std::vector<uint8_t>{9, 8, 7}));
    // Neither folder usable: the write-out fails.
    writeFile(root / "file", {1});
    EXPECT_FALSE(writePatternDatabases(module, root / "missing/", root / "file/"));
    // No resources of the type: nothing to do is a failure too.
    const QmResourceTable none{QM_RESOURCE_TABLE_MAGIC, 0, kEntries};
    EXPECT_FALSE(writePatternDatabases(os::ResourceModule(&none), root.path(), shared));
}

TEST(ResourceFiles, ReadOnlyPluginFolderFallsBack) {
    if (::geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
    ScratchFolder plugin, shared;
    ::chmod(plugin.path().c_str(), 0555);
    const os::ResourceModule module(&kTable);
    EXPECT_TRUE(writePatternDatabases(module, plugin.path(), shared.path()));
    ::chmod(plugin.path().c_str(), 0755);
    EXPECT_FALSE(fs::exists(plugin / "Textures.8tx"));
    EXPECT_TRUE(fs::exists(shared / "Textures.8tx"));
}

}  // namespace
}  // namespace qm::marbleloom
