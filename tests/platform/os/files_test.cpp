#include "platform/os/files.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

namespace qm::os {
namespace {

namespace fs = std::filesystem;

// Sets or clears one environment variable for a scope, then puts it back.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~ScopedEnv() {
        if (old_)
            setenv(name_, old_->c_str(), 1);
        else
            unsetenv(name_);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* name_;
    std::optional<std::string> old_;
};

class FilesTest : public testing::Test {
protected:
    void SetUp() override {
        std::string pattern = fs::path(testing::TempDir()) / "qm_files_XXXXXX";
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern + "/";
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    std::string write(const std::string& name, const std::string& bytes) {
        std::ofstream(dir_ + name, std::ios::binary) << bytes;
        return dir_ + name;
    }
    std::string dir_;
};

TEST(SharedDataFolderTest, FollowsTheEnvironmentInOrder) {
    struct Case {
        const char *own, *xdg, *home, *want;
    } cases[] = {
        {"/srv/qm", "/x", "/h", "/srv/qm/"},
        {"/srv/qm/", "/x", "/h", "/srv/qm/"},
        {"", "/x/data", "/h", "/x/data/quillmere/"},  // empty counts as unset
        {nullptr, "/x/data/", "/h", "/x/data/quillmere/"},
        {nullptr, "relative", "/h", "/h/.local/share/quillmere/"},  // XDG ignores it
        {nullptr, nullptr, "/home/ann", "/home/ann/.local/share/quillmere/"},
    };
    for (const Case& c : cases) {
        ScopedEnv own("QUILLMERE_SHARED_DATA", c.own);
        ScopedEnv xdg("XDG_DATA_HOME", c.xdg);
        ScopedEnv home("HOME", c.home);
        EXPECT_EQ(sharedDataFolder(), c.want) << (c.own ? c.own : "-") << " " << (c.xdg ? c.xdg : "-");
    }
}

TEST_F(FilesTest, TellsFilesFromFolders) {
    std::string file = write("a.dat", "hello");
    std::string missing = dir_ + "nothing";
    EXPECT_TRUE(fileExists(file));
    EXPECT_FALSE(isFolder(file));
    EXPECT_TRUE(isFolder(dir_));
    EXPECT_FALSE(fileExists(dir_));
    EXPECT_FALSE(fileExists(missing));
    EXPECT_FALSE(isFolder(missing));
    EXPECT_FALSE(fileExists(""));
    EXPECT_FALSE(isFolder(""));
}

TEST_F(FilesTest, CreatesNestedFolders) {
    std::string deep = dir_ + "one/two/three";
    EXPECT_TRUE(createFolder(deep));
    EXPECT_TRUE(isFolder(deep));
    EXPECT_TRUE(createFolder(deep));  // already there
    std::string file = write("plain", "x");
    EXPECT_FALSE(createFolder(file));
    EXPECT_FALSE(createFolder(file + "/below"));
    EXPECT_FALSE(createFolder(""));
}

TEST_F(FilesTest, MeasuresAndDeletesFiles) {
    std::string five = write("five", "12345");
    std::string empty = write("empty", "");
    EXPECT_EQ(fileSize(five), 5u);
    EXPECT_EQ(fileSize(empty), 0u);
    EXPECT_EQ(fileSize(dir_ + "missing"), std::nullopt);
    EXPECT_EQ(fileSize(dir_), std::nullopt);

    EXPECT_TRUE(deleteFile(five));
    EXPECT_FALSE(fileExists(five));
    EXPECT_FALSE(deleteFile(five));
    ASSERT_TRUE(createFolder(dir_ + "sub"));
    EXPECT_FALSE(deleteFile(dir_ + "sub"));  // folders are not files
    EXPECT_TRUE(isFolder(dir_ + "sub"));
}

}  // namespace
}  // namespace qm::os
