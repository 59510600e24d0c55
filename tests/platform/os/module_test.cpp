#include "platform/os/module.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace qm::os {
namespace {

TEST(ModuleTest, FileNameIsThisProgramWhenLinkedIntoIt) {
    std::string self = moduleFileName();
    ASSERT_FALSE(self.empty());
    EXPECT_EQ(self.front(), '/');
    std::error_code ec;
    EXPECT_TRUE(std::filesystem::equivalent(self, "/proc/self/exe", ec)) << self;
    EXPECT_EQ(folderOf(self) + std::filesystem::path(self).filename().string(), self);
}

TEST(ModuleTest, FolderOfCutsAfterTheLastSlash) {
    struct Case {
        const char* path;
        const char* folder;
    } cases[] = {
        {"/opt/quillmere/plugins/blur.8bf", "/opt/quillmere/plugins/"},
        {"plugins/blur.8bf", "plugins/"},
        {"/blur.8bf", "/"},
        {"/opt/plugins/", "/opt/plugins/"},
        {"blur.8bf", ""},
        {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(folderOf(c.path), c.folder) << c.path;
}

}  // namespace
}  // namespace qm::os
