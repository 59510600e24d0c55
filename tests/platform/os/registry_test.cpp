#include "platform/os/registry.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "platform/os/regedit_text.h"

namespace {

namespace fs = std::filesystem;
namespace reg = qm::os::registry;
using reg::Root;

constexpr const char* kKey = "Software\\Quillmere\\KeenwrightHD";

std::vector<uint8_t> bytes(std::string_view s) { return {s.begin(), s.end()}; }

// Sets or clears an environment variable for one scope.
class EnvGuard {
public:
    EnvGuard(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        set(value);
    }
    ~EnvGuard() { set(old_ ? old_->c_str() : nullptr); }
    EnvGuard(const EnvGuard&) = delete;
    EnvGuard& operator=(const EnvGuard&) = delete;

private:
    void set(const char* value) {
        if (value) {
            ::setenv(name_, value, 1);
        } else {
            ::unsetenv(name_);
        }
    }
    const char* name_;
    std::optional<std::string> old_;
};

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeText(const std::string& path, std::string_view text) {
    std::ofstream(path, std::ios::binary) << text;
}

long set(std::string_view name, std::string_view data, std::string_view key = kKey,
         Root root = Root::CurrentUser) {
    const auto b = bytes(data);
    return reg::setValue(root, key, name, reg::kTypeBinary, b);
}

std::optional<std::string> query(std::string_view name, std::string_view key = kKey,
                                 Root root = Root::CurrentUser) {
    uint32_t size = 0;
    if (reg::queryValue(root, key, name, nullptr, nullptr, &size) != reg::kSuccess) {
        return std::nullopt;
    }
    std::string data(size, '\0');
    if (reg::queryValue(root, key, name, nullptr, reinterpret_cast<uint8_t*>(data.data()),
                        &size) != reg::kSuccess) {
        return std::nullopt;
    }
    return data;
}

std::vector<std::string> names(std::string_view key = kKey) {
    std::vector<std::string> out;
    char name[256];
    for (uint32_t i = 0;; ++i) {
        uint32_t length = sizeof name;
        const long r = reg::enumValue(Root::CurrentUser, key, i, name, &length, nullptr, nullptr,
                                      nullptr);
        if (r != reg::kSuccess) break;
        out.emplace_back(name, length);
    }
    return out;
}

// Runs body in a child process; true when it returned true there.
bool inChild(const std::function<bool()>& body) {
    const pid_t pid = ::fork();
    if (pid == 0) ::_exit(body() ? 0 : 1);
    int status = 0;
    return pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

std::set<std::string> folderEntries(const std::string& folder) {
    std::set<std::string> out;
    for (const auto& entry : fs::directory_iterator(folder)) {
        out.insert(entry.path().filename().string());
    }
    return out;
}

class Registry : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "qm-registry-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        // Others may look in: the unwritable-root test reads it as another user.
        ::chmod(dir_.c_str(), 0755);
        env_.emplace("QUILLMERE_REGISTRY", dir_.c_str());
    }
    void TearDown() override {
        ::chmod(dir_.c_str(), 0755);
        env_.reset();
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }
    std::string hkcuFile() const { return dir_ + "/HKEY_CURRENT_USER.reg"; }

    std::string dir_;
    std::optional<EnvGuard> env_;
};

TEST_F(Registry, RootFileFollowsTheEnvironmentAtEveryCall) {
    struct Case {
        const char* registry;
        const char* xdg;
        const char* home;
        const char* user;
        const char* machine;
    };
    const Case cases[] = {
        {"/r", "/x", "/h", "/r/HKEY_CURRENT_USER.reg", "/r/HKEY_LOCAL_MACHINE.reg"},
        {"/r/", nullptr, "/h", "/r/HKEY_CURRENT_USER.reg", "/r/HKEY_LOCAL_MACHINE.reg"},
        {nullptr, "/x", "/h", "/x/quillmere/HKEY_CURRENT_USER.reg",
         "/etc/quillmere/HKEY_LOCAL_MACHINE.reg"},
        {nullptr, nullptr, "/h", "/h/.config/quillmere/HKEY_CURRENT_USER.reg",
         "/etc/quillmere/HKEY_LOCAL_MACHINE.reg"},
        {"", "relative", "/h", "/h/.config/quillmere/HKEY_CURRENT_USER.reg",
         "/etc/quillmere/HKEY_LOCAL_MACHINE.reg"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.user));
        EnvGuard registry("QUILLMERE_REGISTRY", c.registry);
        EnvGuard xdg("XDG_CONFIG_HOME", c.xdg);
        EnvGuard home("HOME", c.home);
        EXPECT_EQ(reg::rootFile(Root::CurrentUser), c.user);
        EXPECT_EQ(reg::rootFile(Root::LocalMachine), c.machine);
    }
    EXPECT_EQ(reg::rootFile(Root::CurrentUser), hkcuFile());
}

TEST_F(Registry, QueryReportsSizesLikeWindows) {
    uint32_t size = 99;
    EXPECT_EQ(reg::queryValue(Root::CurrentUser, kKey, "Soft", nullptr, nullptr, &size),
              reg::kFileNotFound);  // no file yet

    ASSERT_EQ(set("Soft", "12345"), reg::kSuccess);
    uint32_t type = 0;
    EXPECT_EQ(reg::queryValue(Root::CurrentUser, kKey, "Soft", &type, nullptr, &size),
              reg::kSuccess);
    EXPECT_EQ(size, 5u);
    EXPECT_EQ(type, reg::kTypeBinary);

    uint8_t buffer[8] = {'-', '-', '-', '-', '-', '-', '-', '-'};
    size = 4;
    EXPECT_EQ(reg::queryValue(Root::CurrentUser, kKey, "Soft", nullptr, buffer, &size),
              reg::kMoreData);
    EXPECT_EQ(size, 5u);
    EXPECT_EQ(buffer[0], '-');  // nothing copied

    size = sizeof buffer;
    EXPECT_EQ(reg::queryValue(Root::CurrentUser, kKey, "Soft", nullptr, buffer, &size),
              reg::kSuccess);
    EXPECT_EQ(size, 5u);
    EXPECT_EQ(std::string(buffer, buffer + 6), "12345-");

    // Keys and names compare case-insensitively, as on Windows.
    EXPECT_EQ(query("sOFT", "SOFTWARE\\quillmere\\keenwrighthd"), "12345");
    EXPECT_EQ(query("Hard"), std::nullopt);
    EXPECT_EQ(reg::queryValue(Root::CurrentUser, "Software\\Other", "Soft", nullptr, nullptr,
                              &size),
              reg::kFileNotFound);
    EXPECT_EQ(query("Soft", kKey, Root::LocalMachine), std::nullopt);  // a separate root
}

TEST_F(Registry, EnumerationAnswersLikeWindows) {
    const std::string name63(63, 'a');
    const std::string name64(64, 'b');
    ASSERT_EQ(set(name63, "1234"), reg::kSuccess);
    ASSERT_EQ(set(name64, "5678"), reg::kSuccess);
    ASSERT_EQ(set("long data", std::string(100, 'x')), reg::kSuccess);

    struct Case {
        uint32_t index;
        uint32_t nameCapacity;
        std::optional<uint32_t> dataCapacity;  // nullopt: no data buffer, size asked only
        long result;
        uint32_t nameLength;
        uint32_t dataSize;
        std::string name;
    };
    const Case cases[] = {
        {0, 64, 4, reg::kSuccess, 63, 4, name63},
        {1, 64, 4, reg::kMoreData, 64, 4, ""},  // where the preset list stops
        {1, 65, 4, reg::kSuccess, 64, 4, name64},
        {2, 64, 99, reg::kMoreData, 9, 100, ""},
        {2, 64, std::nullopt, reg::kSuccess, 9, 100, "long data"},
        {2, 64, 100, reg::kSuccess, 9, 100, "long data"},
        {3, 64, 100, reg::kNoMoreItems, 64, 100, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("index " + std::to_string(c.index) + " capacity " +
                     std::to_string(c.nameCapacity));
        std::vector<char> name(c.nameCapacity + 1, 'z');
        std::vector<uint8_t> data(c.dataCapacity.value_or(0) + 1, 'z');
        uint32_t nameLength = c.nameCapacity;
        uint32_t dataSize = c.dataCapacity.value_or(0);
        uint32_t type = 0;
        EXPECT_EQ(reg::enumValue(Root::CurrentUser, kKey, c.index, name.data(), &nameLength, &type,
                                 c.dataCapacity ? data.data() : nullptr, &dataSize),
                  c.result);
        EXPECT_EQ(nameLength, c.nameLength);
        EXPECT_EQ(dataSize, c.dataSize);
        if (c.result == reg::kSuccess) {
            EXPECT_EQ(std::string(name.data()), c.name);
            EXPECT_EQ(type, reg::kTypeBinary);
            if (c.dataCapacity) {
                EXPECT_EQ(data[c.dataSize], 'z');  // no zero appended
            }
        } else {
            EXPECT_EQ(name[0], 'z');  // nothing copied
        }
    }

    char name[64];
    uint32_t length = sizeof name;
    EXPECT_EQ(reg::enumValue(Root::CurrentUser, "Software\\Missing", 0, name, &length, nullptr,
                             nullptr, nullptr),
              reg::kFileNotFound);
    // Parents of a created key exist too, just without values.
    EXPECT_EQ(reg::enumValue(Root::CurrentUser, "Software\\Quillmere", 0, name, &length, nullptr,
                             nullptr, nullptr),
              reg::kNoMoreItems);
    EXPECT_EQ(reg::enumValue(Root::CurrentUser, "Software\\Quill", 0, name, &length, nullptr,
                             nullptr, nullptr),
              reg::kFileNotFound);
    // A key emptied by deletion stays.
    for (const std::string& n : {name63, name64, std::string("long data")}) {
        ASSERT_EQ(reg::deleteValue(Root::CurrentUser, kKey, n), reg::kSuccess);
    }
    EXPECT_EQ(reg::enumValue(Root::CurrentUser, kKey, 0, name, &length, nullptr, nullptr, nullptr),
              reg::kNoMoreItems);
    EXPECT_EQ(reg::deleteValue(Root::CurrentUser, kKey, name63), reg::kFileNotFound);
    EXPECT_EQ(reg::deleteValue(Root::CurrentUser, "Software\\Missing", "x"), reg::kFileNotFound);
}

TEST_F(Registry, EnumerationKeepsCreationOrder) {
    for (const char* n : {"one", "two", "three"}) ASSERT_EQ(set(n, n), reg::kSuccess);
    ASSERT_EQ(set("TWO", "second"), reg::kSuccess);  // replaced in place, first spelling kept
    EXPECT_EQ(names(), (std::vector<std::string>{"one", "two", "three"}));
    EXPECT_EQ(query("two"), "second");

    ASSERT_EQ(reg::deleteValue(Root::CurrentUser, kKey, "ONE"), reg::kSuccess);
    ASSERT_EQ(set("one", "back"), reg::kSuccess);
    EXPECT_EQ(names(), (std::vector<std::string>{"two", "three", "one"}));

    ASSERT_EQ(set("x", "1", "Software\\Quillmere\\Later"), reg::kSuccess);
    ASSERT_EQ(set("four", "4"), reg::kSuccess);  // the first key does not move
    const auto keys = reg::readRoot(Root::CurrentUser);
    ASSERT_EQ(keys.size(), 2u);
    EXPECT_EQ(keys[0].path, kKey);
    EXPECT_EQ(keys[1].path, "Software\\Quillmere\\Later");
    EXPECT_EQ(names(), (std::vector<std::string>{"two", "three", "one", "four"}));

    // The file is plain REGEDIT4 that reads back completely.
    const auto parsed = qm::os::regedit::parse(readText(hkcuFile()));
    EXPECT_TRUE(parsed.hasHeader);
    EXPECT_TRUE(parsed.badLines.empty());
    ASSERT_EQ(parsed.keys.size(), 2u);
    EXPECT_EQ(parsed.keys[0].root, "HKEY_CURRENT_USER");
}

TEST_F(Registry, MergeReplacesAndAppendsInOneWrite) {
    ASSERT_EQ(set("a", "old"), reg::kSuccess);
    ASSERT_EQ(set("b", "kept"), reg::kSuccess);
    const std::vector<reg::Key> keys = {
        {"software\\quillmere\\keenwrighthd",
         {{"A", reg::kTypeBinary, bytes("new")}, {"c", reg::kTypeString, bytes("text")}}},
        {"Software\\Quillmere\\Empty", {}},
    };
    ASSERT_EQ(reg::mergeIntoRoot(Root::CurrentUser, keys), reg::kSuccess);
    EXPECT_EQ(names(), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(query("a"), "new");
    EXPECT_EQ(query("b"), "kept");
    uint32_t type = 0;
    EXPECT_EQ(reg::queryValue(Root::CurrentUser, kKey, "c", &type, nullptr, nullptr),
              reg::kSuccess);
    EXPECT_EQ(type, reg::kTypeString);
    const auto stored = reg::readRoot(Root::CurrentUser);
    ASSERT_EQ(stored.size(), 2u);
    EXPECT_EQ(stored[1].path, "Software\\Quillmere\\Empty");

    // A name the text file cannot hold is refused before anything is written.
    const std::string before = readText(hkcuFile());
    EXPECT_NE(reg::mergeIntoRoot(Root::CurrentUser,
                                 {{kKey, {{"ok", reg::kTypeBinary, {}}}},
                                  {kKey, {{"line\nbreak", reg::kTypeBinary, {}}}}}),
              reg::kSuccess);
    EXPECT_NE(set("line\nbreak", ""), reg::kSuccess);
    EXPECT_EQ(readText(hkcuFile()), before);
}

// A reader that cached the file would miss the child's changes.
TEST_F(Registry, OtherProcessesSeeEachOthersWrites) {
    ASSERT_EQ(set("shared", "parent"), reg::kSuccess);
    ASSERT_EQ(query("shared"), "parent");
    ASSERT_TRUE(inChild([] {
        return query("shared") == "parent" && set("shared", "child") == reg::kSuccess &&
               set("fromChild", "hello") == reg::kSuccess &&
               set("machine", "wide", kKey, Root::LocalMachine) == reg::kSuccess;
    }));
    EXPECT_EQ(query("shared"), "child");
    EXPECT_EQ(query("fromChild"), "hello");
    EXPECT_EQ(names(), (std::vector<std::string>{"shared", "fromChild"}));
    EXPECT_EQ(query("machine", kKey, Root::LocalMachine), "wide");
    EXPECT_EQ(query("machine"), std::nullopt);
    EXPECT_TRUE(fs::exists(dir_ + "/HKEY_LOCAL_MACHINE.reg"));
}

TEST_F(Registry, ConcurrentWritersLoseNothing) {
    constexpr int kWriters = 4;
    constexpr int kValues = 40;
    int gate[2];
    ASSERT_EQ(::pipe(gate), 0);
    std::vector<pid_t> children;
    for (int w = 0; w < kWriters; ++w) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::close(gate[1]);
            char c;
            (void)::read(gate[0], &c, 1);  // start together when the gate closes
            bool ok = true;
            for (int v = 0; v < kValues; ++v) {
                const std::string name = "w" + std::to_string(w) + "-" + std::to_string(v);
                ok = set(name, name + " data") == reg::kSuccess && ok;
            }
            ::_exit(ok ? 0 : 1);
        }
        ASSERT_GT(pid, 0);
        children.push_back(pid);
    }
    ::close(gate[0]);
    ::close(gate[1]);
    for (const pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    for (int w = 0; w < kWriters; ++w) {
        for (int v = 0; v < kValues; ++v) {
            const std::string name = "w" + std::to_string(w) + "-" + std::to_string(v);
            EXPECT_EQ(query(name), name + " data");
        }
    }
    EXPECT_EQ(names().size(), static_cast<size_t>(kWriters * kValues));
    EXPECT_EQ(folderEntries(dir_),
              (std::set<std::string>{"HKEY_CURRENT_USER.reg", "HKEY_CURRENT_USER.reg.lock"}));
}

std::string payload(int round, int index) {
    std::string data(1500, '\0');
    for (size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<char>((static_cast<size_t>(round * 131 + index * 7) + i) & 0xff);
    }
    return data;
}

// Kills a writer at some point in a stream of writes, several times: whatever
// moment it dies at, the root is the last complete file.
TEST_F(Registry, KilledWriterLeavesAWholeFile) {
    constexpr int kRounds = 4;
    std::vector<size_t> written(kRounds, 0);
    for (int round = 0; round < kRounds; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        int done[2];
        ASSERT_EQ(::pipe(done), 0);
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::close(done[0]);
            for (int i = 0;; ++i) {
                const std::string name = "r" + std::to_string(round) + "-" + std::to_string(i);
                if (set(name, payload(round, i)) != reg::kSuccess) ::_exit(1);
                const char c = 'w';
                if (::write(done[1], &c, 1) != 1) ::_exit(1);
            }
        }
        ASSERT_GT(pid, 0);
        ::close(done[1]);
        int reported = 0;
        char c;
        while (reported < 5 + 3 * round && ::read(done[0], &c, 1) == 1) ++reported;
        ::kill(pid, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ::close(done[0]);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer stopped on its own";

        const auto parsed = qm::os::regedit::parse(readText(hkcuFile()));
        ASSERT_TRUE(parsed.hasHeader);
        ASSERT_TRUE(parsed.badLines.empty());
        ASSERT_EQ(parsed.keys.size(), 1u);
        // Earlier rounds complete and unchanged, then a gapless run of this
        // round's values holding at least every write reported done.
        const auto& values = parsed.keys[0].key.values;
        size_t v = 0;
        for (int r = 0; r <= round; ++r) {
            const size_t count = r < round ? written[r] : values.size() - v;
            for (size_t i = 0; i < count; ++i, ++v) {
                const std::string name = "r" + std::to_string(r) + "-" + std::to_string(i);
                ASSERT_LT(v, values.size());
                ASSERT_EQ(values[v].name, name);
                EXPECT_EQ(values[v].data, bytes(payload(r, static_cast<int>(i)))) << name;
            }
            if (r == round) written[round] = count;
        }
        EXPECT_GE(written[round], static_cast<size_t>(reported));
    }
    // The next write clears what the dead writers left behind.
    ASSERT_EQ(set("after", "1"), reg::kSuccess);
    EXPECT_EQ(folderEntries(dir_),
              (std::set<std::string>{"HKEY_CURRENT_USER.reg", "HKEY_CURRENT_USER.reg.lock"}));
}

// The file size limit stops a write exactly in the middle of the file: its
// signal kills the writer there, or, ignored, the write fails there.
TEST_F(Registry, WriteCutShortLeavesThePreviousFile) {
    ASSERT_EQ(set("before", payload(0, 0)), reg::kSuccess);
    const std::string before = readText(hkcuFile());
    for (const bool killed : {true, false}) {
        SCOPED_TRACE(killed ? "killed" : "write fails");
        const pid_t pid = ::fork();
        if (pid == 0) {
            const rlimit noCore{0, 0};
            ::setrlimit(RLIMIT_CORE, &noCore);
            const rlimit size{before.size() + 64, before.size() + 64};
            ::setrlimit(RLIMIT_FSIZE, &size);
            if (!killed) ::signal(SIGXFSZ, SIG_IGN);
            const long result = set("big", std::string(20000, 'x'));
            ::_exit(result == reg::kAccessDenied ? 0 : 1);
        }
        ASSERT_GT(pid, 0);
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        if (killed) {
            EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ);
        } else {
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
            // A failed write takes its temporary file away with it.
            EXPECT_EQ(folderEntries(dir_), (std::set<std::string>{"HKEY_CURRENT_USER.reg",
                                                                  "HKEY_CURRENT_USER.reg.lock"}));
        }
        EXPECT_EQ(readText(hkcuFile()), before);
    }
}

TEST_F(Registry, UnwritableRootAnswersAnErrorAndChangesNothing) {
    ASSERT_EQ(set("kept", "1"), reg::kSuccess);
    const std::string before = readText(hkcuFile());
    const std::set<std::string> entries = folderEntries(dir_);
    auto writesFail = [] {
        return set("new", "2") == reg::kAccessDenied &&
               reg::deleteValue(Root::CurrentUser, kKey, "kept") == reg::kAccessDenied &&
               reg::deleteValue(Root::CurrentUser, kKey, "missing") == reg::kFileNotFound &&
               reg::mergeIntoRoot(Root::CurrentUser, {{kKey, {}}}) == reg::kAccessDenied &&
               query("kept") == "1" && query("new") == std::nullopt;
    };

    // A read-only folder, written by a user without the rights (root ignores
    // permissions, so the writer drops to nobody first).
    ASSERT_EQ(::chmod(dir_.c_str(), 0555), 0);
    EXPECT_TRUE(inChild([&] {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) return false;
        return writesFail();
    }));
    ASSERT_EQ(::chmod(dir_.c_str(), 0755), 0);
    EXPECT_EQ(readText(hkcuFile()), before);
    EXPECT_EQ(folderEntries(dir_), entries);

    // A folder that cannot be created at all.
    writeText(dir_ + "/plain", "not a folder");
    EnvGuard env("QUILLMERE_REGISTRY", (dir_ + "/plain/registry").c_str());
    EXPECT_EQ(set("new", "2"), reg::kAccessDenied);
    EXPECT_EQ(reg::deleteValue(Root::CurrentUser, kKey, "kept"), reg::kFileNotFound);
    EXPECT_EQ(reg::mergeIntoRoot(Root::LocalMachine, {}), reg::kAccessDenied);
    EXPECT_TRUE(reg::readRoot(Root::CurrentUser).empty());
    EXPECT_EQ(readText(dir_ + "/plain"), "not a folder");
}

TEST_F(Registry, DamagedRootKeepsWhatParses) {
    struct Case {
        const char* label;
        std::string text;
        std::vector<std::string> kept;
    };
    std::string noise;
    uint32_t seed = 12345;
    for (int i = 0; i < 4096; ++i) {
        seed = seed * 1103515245u + 12345u;
        noise += static_cast<char>(seed >> 24);
    }
    const std::string goodKey = "[HKEY_CURRENT_USER\\Software\\Quillmere\\KeenwrightHD]\n";
    const Case cases[] = {
        {"garbage between values",
         "REGEDIT4\n\n" + goodKey + "\"a\"=hex:61\n" + noise.substr(0, 200) +
             "\n\"b\"=hex:62,zz\n\"c\"=hex:63\n[HKEY_LOCAL_MACHINE\\" + kKey +
             "]\n\"other root\"=hex:00\n" + goodKey + "\"d\"=hex:64\n\"cut\"=hex:6",
         {"a", "c", "d"}},
        {"no header, CRLF",
         "\r\n" + goodKey.substr(0, goodKey.size() - 1) + "\r\n\"a\"=hex:61\r\n", {"a"}},
        {"noise only", noise, {}},
        {"empty", "", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        writeText(hkcuFile(), c.text);
        EXPECT_EQ(names(), c.kept);
        for (const std::string& n : c.kept) EXPECT_EQ(query(n), n);
        EXPECT_EQ(query("other root"), std::nullopt);

        // A write rewrites the file from what was kept.
        ASSERT_EQ(set("new", "new"), reg::kSuccess);
        std::vector<std::string> all = c.kept;
        all.push_back("new");
        EXPECT_EQ(names(), all);
        const auto parsed = qm::os::regedit::parse(readText(hkcuFile()));
        EXPECT_TRUE(parsed.hasHeader);
        EXPECT_TRUE(parsed.badLines.empty());
    }
}

}  // namespace
