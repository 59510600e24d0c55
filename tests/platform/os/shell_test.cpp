#include "platform/os/shell.h"

#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

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

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

class ShellTest : public testing::Test {
protected:
    void SetUp() override {
        std::string pattern = fs::path(testing::TempDir()) / "qm_shell_XXXXXX";
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern + "/";
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    std::string dir_;
};

const char* const kAwkwardTargets[] = {
    "/tmp/My Pictures/photo 1.png",
    "https://example.com/?q=a&b=\"c\"",
    "it's; echo \"hi\" > x; $(id) `id`",
};

TEST_F(ShellTest, RecordsInsteadOfOpeningWhenHeadless) {
    struct Case {
        const char *headless, *display, *wayland;
    } cases[] = {
        {"1", ":0", "wayland-0"},  // asked for, even with a display
        {"", ":0", nullptr},       // any value counts
        {nullptr, nullptr, nullptr},
        {nullptr, "", nullptr},  // an empty DISPLAY names none
    };
    ScopedEnv noLog("QUILLMERE_SHELL_LOG", nullptr);
    for (const Case& c : cases) {
        ScopedEnv headless("QUILLMERE_HEADLESS", c.headless);
        ScopedEnv display("DISPLAY", c.display);
        ScopedEnv wayland("WAYLAND_DISPLAY", c.wayland);
        std::string target = "file:///case/" + std::to_string(recordedShellOpens().size());
        EXPECT_TRUE(shellOpen(target));
        ASSERT_FALSE(recordedShellOpens().empty());
        EXPECT_EQ(recordedShellOpens().back(), target);
    }
}

TEST_F(ShellTest, AppendsEachRecordedTargetToTheLog) {
    std::string log = dir_ + "shell.log";
    std::ofstream(log) << "earlier\n";
    ScopedEnv headless("QUILLMERE_HEADLESS", "1");
    ScopedEnv logEnv("QUILLMERE_SHELL_LOG", log.c_str());
    size_t before = recordedShellOpens().size();
    std::string want = "earlier\n";
    for (const char* t : kAwkwardTargets) {
        EXPECT_TRUE(shellOpen(t));
        want += std::string(t) + "\n";
    }
    EXPECT_EQ(readAll(log), want);
    std::vector<std::string> recorded(recordedShellOpens().begin() + static_cast<long>(before),
                                      recordedShellOpens().end());
    EXPECT_EQ(recorded, std::vector<std::string>(std::begin(kAwkwardTargets),
                                                 std::end(kAwkwardTargets)));
}

TEST_F(ShellTest, EmptyTargetIsRefused) {
    std::string log = dir_ + "shell.log";
    ScopedEnv headless("QUILLMERE_HEADLESS", "1");
    ScopedEnv logEnv("QUILLMERE_SHELL_LOG", log.c_str());
    size_t before = recordedShellOpens().size();
    EXPECT_FALSE(shellOpen(""));
    EXPECT_EQ(recordedShellOpens().size(), before);
    EXPECT_FALSE(fs::exists(log));
}

// With a display, a stand-in xdg-open first on PATH shows what the opener gets.
TEST_F(ShellTest, StartsTheOpenerWithTheTargetAsOneArgument) {
    std::string bin = dir_ + "bin/";
    fs::create_directories(bin);
    std::string out = dir_ + "opened";
    {
        std::ofstream script(bin + "xdg-open");
        script << "#!/bin/sh\nprintf '%s|%s\\n' \"$#\" \"$1\" > '" << out << ".tmp' && mv '" << out
               << ".tmp' '" << out << "'\n";
    }
    fs::permissions(bin + "xdg-open", fs::perms::owner_all);
    std::string path = bin + ":" + (std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin");
    ScopedEnv pathEnv("PATH", path.c_str());
    ScopedEnv headless("QUILLMERE_HEADLESS", nullptr);
    ScopedEnv display("DISPLAY", ":99");
    ScopedEnv noLog("QUILLMERE_SHELL_LOG", nullptr);

    // Were it run as shell text, any of these would leave a file behind.
    const std::string pwned = dir_ + "pwned";
    const std::string target = "it's \"quoted\"; touch " + pwned + "; $(touch " + pwned +
                               ") `touch " + pwned + "`";
    size_t before = recordedShellOpens().size();
    ASSERT_TRUE(shellOpen(target));
    EXPECT_EQ(recordedShellOpens().size(), before);
    // The launcher was reaped before shellOpen returned: no child is left.
    int status = 0;
    EXPECT_EQ(waitpid(-1, &status, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);

    // The opener runs detached; give it ample time to write its answer.
    for (int i = 0; i < 1000 && !fs::exists(out); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(readAll(out), "1|" + target + "\n");
    EXPECT_FALSE(fs::exists(pwned));
}

TEST_F(ShellTest, FailsWhenNoOpenerIsInstalled) {
    std::string empty = dir_ + "nobin";
    fs::create_directories(empty);
    ScopedEnv pathEnv("PATH", empty.c_str());
    ScopedEnv headless("QUILLMERE_HEADLESS", nullptr);
    ScopedEnv display("DISPLAY", ":99");
    EXPECT_FALSE(shellOpen("https://example.com/"));
}

}  // namespace
}  // namespace qm::os
