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
#include <map>
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

// What a write does not touch stays byte for byte where it was: comments,
// other value types, other roots and keys, lines that do not parse, a cut-off
// end, CRLF line ends.
TEST_F(Registry, WritesKeepEveryLineTheyDoNotChange) {
    const std::string key = std::string("[HKEY_CURRENT_USER\\") + kKey + "]";
    const std::string head = "REGEDIT4\n\n; kept by hand\n" + key +
                             "\n\"Count\"=dword:0000002A\n; between values\n\"Soft\"=hex:01,02\n";
    const std::string rest = "\n[HKEY_LOCAL_MACHINE\\Software\\Quillmere\\Lumivex]\n\"m\"=hex:00\n\n"
                             "[HKEY_CLASSES_ROOT\\.reg]\n@=\"regfile\"\n[-HKEY_CURRENT_USER\\Old]\n"
                             "[HKEY_CURRENT_USER\\Software\\Other]\n\"Multi\"=hex(7):61,00,00,00\n"
                             "\"Path\"=\"C:\\\\x\"\nno value line\n";
    const std::string cut = "\"Cut\"=hex:0";  // a file that ends in the middle of a line
    struct Case {
        const char* label;
        std::string before;
        std::function<long()> change;
        std::string after;
    };
    const Case cases[] = {
        {"a new value after the key's last one", head + rest,
         [] { return set("Last Used", "\x11"); }, head + "\"Last Used\"=hex:11\n" + rest},
        {"a value replaced in its line", head + rest, [] { return set("soft", "\x03"); },
         head.substr(0, head.size() - 17) + "\"Soft\"=hex:03\n" + rest},
        {"a value deleted with its line", head + rest,
         [] { return reg::deleteValue(Root::CurrentUser, kKey, "Soft"); },
         head.substr(0, head.size() - 17) + rest},
        {"a new key at the end", head + rest, [] { return set("x", "\x01", "Software\\New"); },
         head + rest + "\n[HKEY_CURRENT_USER\\Software\\New]\n\"x\"=hex:01\n\n"},
        {"a cut-off end", head + rest + cut, [] { return set("Last Used", "\x11", "Software\\Other"); },
         head + rest.substr(0, rest.size() - 14) + "\"Last Used\"=hex:11\nno value line\n" + cut},
        {"a last line without its line end", "REGEDIT4\n\n" + key + "\n\"a\"=hex:01",
         [] { return set("b", "\x02"); },
         "REGEDIT4\n\n" + key + "\n\"a\"=hex:01\n\"b\"=hex:02\n"},
        {"a lone carriage return at the end", "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\z]\r",
         [] { return set("x", "\x01", "Software\\New"); },
         "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\z]\r\n\r\n[HKEY_CURRENT_USER\\Software\\New]\r\n\"x\"=hex:01\r\n\r\n"},
        {"a byte-order mark", "\xEF\xBB\xBFREGEDIT4\n\n" + key + "\n\"a\"=hex:01\n",
         [] { return set("b", "\x02"); },
         "\xEF\xBB\xBFREGEDIT4\n\n" + key + "\n\"a\"=hex:01\n\"b\"=hex:02\n"},
        {"CRLF line ends", "REGEDIT4\r\n\r\n" + key + "\r\n\"a\"=hex:01\r\n\r\n",
         [] { return set("b", "\x02"); },
         "REGEDIT4\r\n\r\n" + key + "\r\n\"a\"=hex:01\r\n\"b\"=hex:02\r\n\r\n"},
        {"a repeated value: the later one is what reads, both lines go",
         "REGEDIT4\n\n" + key + "\n\"a\"=hex:01\n\"b\"=hex:02\n\"A\"=hex:03\n",
         [] { return query("a") == "\x03" ? set("a", "\x04") : -1; },
         "REGEDIT4\n\n" + key + "\n\"a\"=hex:04\n\"b\"=hex:02\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        writeText(hkcuFile(), c.before);
        ASSERT_EQ(c.change(), reg::kSuccess);
        EXPECT_EQ(readText(hkcuFile()), c.after);
    }
    // What the untouched lines say still reads.
    writeText(hkcuFile(), head + rest);
    uint32_t type = 0;
    EXPECT_EQ(reg::queryValue(Root::CurrentUser, kKey, "Count", &type, nullptr, nullptr), reg::kSuccess);
    EXPECT_EQ(type, reg::kTypeDword);
    EXPECT_EQ(query("Path", "Software\\Other"), "C:\\x");
    EXPECT_EQ(query("m", "Software\\Quillmere\\Lumivex"), std::nullopt);  // another root's section
}

// UTF-16 text, binary noise or a foreign format reads as an empty root and is
// never rewritten from that emptiness.
TEST_F(Registry, FilesThatAreNoRegistryTextAreLeftAlone) {
    auto utf16 = [](std::string_view ascii, bool bom) {
        std::string out = bom ? std::string("\xFF\xFE") : std::string();
        for (char c : ascii) {
            out += c;
            out += '\0';
        }
        return out;
    };
    const std::string text = std::string("Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\") +
                             kKey + "]\r\n\"Soft\"=hex:01\r\n";
    std::string noise;
    uint32_t seed = 12345;
    for (int i = 0; i < 4096; ++i) {
        seed = seed * 1103515245u + 12345u;
        noise += static_cast<char>(seed >> 24);
    }
    const std::pair<const char*, std::string> cases[] = {
        {"UTF-16 with its mark", utf16(text, true)},
        {"UTF-16 without", utf16(text.substr(38), false)},
        {"noise", noise},
        {"another format", "<?xml version=\"1.0\"?>\n[HKEY_CURRENT_USER\\x]\n"},
    };
    for (const auto& [label, content] : cases) {
        SCOPED_TRACE(label);
        writeText(hkcuFile(), content);
        EXPECT_EQ(names(), std::vector<std::string>{});
        EXPECT_EQ(set("Last Used", "1"), reg::kRegistryCorrupt);
        EXPECT_EQ(reg::mergeIntoRoot(Root::CurrentUser, {{kKey, {}}}), reg::kRegistryCorrupt);
        EXPECT_EQ(reg::deleteValue(Root::CurrentUser, kKey, "Soft"), reg::kFileNotFound);
        EXPECT_EQ(readText(hkcuFile()), content);
        EXPECT_NE(reg::rootTrouble(Root::CurrentUser, false).find("not a REGEDIT4"), std::string::npos);
    }
    // The same text in plain bytes is a registry file like any other.
    writeText(hkcuFile(), text);
    EXPECT_EQ(names(), std::vector<std::string>{"Soft"});
    EXPECT_EQ(reg::rootTrouble(Root::CurrentUser, true), "");
}

TEST_F(Registry, ReadOnlyFileIsNotReplaced) {
    ASSERT_EQ(set("kept", "1"), reg::kSuccess);
    ASSERT_EQ(::chmod(hkcuFile().c_str(), 0444), 0);
    const std::string before = readText(hkcuFile());
    struct stat was {};
    ASSERT_EQ(::stat(hkcuFile().c_str(), &was), 0);

    EXPECT_EQ(set("new", "2"), reg::kAccessDenied);
    EXPECT_EQ(reg::deleteValue(Root::CurrentUser, kKey, "kept"), reg::kAccessDenied);
    EXPECT_EQ(reg::mergeIntoRoot(Root::CurrentUser, {{kKey, {}}}), reg::kAccessDenied);
    struct stat now {};
    ASSERT_EQ(::stat(hkcuFile().c_str(), &now), 0);
    EXPECT_EQ(now.st_ino, was.st_ino);
    EXPECT_EQ(now.st_mode & 0777, 0444u);
    EXPECT_EQ(readText(hkcuFile()), before);
    EXPECT_EQ(query("kept"), "1");
    EXPECT_NE(reg::rootTrouble(Root::CurrentUser, true).find("read-only"), std::string::npos);
    EXPECT_EQ(reg::rootTrouble(Root::CurrentUser, false), "");
}

TEST_F(Registry, SymbolicLinkIsWrittenThroughToItsTarget) {
    ASSERT_TRUE(fs::create_directory(dir_ + "/elsewhere"));
    const std::string target = dir_ + "/elsewhere/presets.reg";
    const std::pair<const char*, std::string> links[] = {
        {"absolute", target},
        {"relative", "elsewhere/presets.reg"},
    };
    for (const auto& [label, link] : links) {
        SCOPED_TRACE(label);
        fs::remove(target);
        fs::remove(hkcuFile());
        fs::create_symlink(link, hkcuFile());  // dangling until the first write
        ASSERT_EQ(set("a", "1"), reg::kSuccess);
        ASSERT_EQ(set("b", "2"), reg::kSuccess);
        EXPECT_TRUE(fs::is_symlink(hkcuFile()));
        EXPECT_EQ(fs::read_symlink(hkcuFile()), link);
        EXPECT_EQ(names(), (std::vector<std::string>{"a", "b"}));
        EXPECT_NE(readText(target).find("\"b\"=hex:32"), std::string::npos);
    }
    // The link's folder holds no leftovers of the write.
    EXPECT_EQ(folderEntries(dir_), (std::set<std::string>{"HKEY_CURRENT_USER.reg", "elsewhere"}));
}

TEST_F(Registry, FolderInPlaceOfTheFileIsReported) {
    ASSERT_TRUE(fs::create_directory(hkcuFile()));
    EXPECT_EQ(set("a", "1"), reg::kAccessDenied);
    EXPECT_EQ(names(), std::vector<std::string>{});
    EXPECT_NE(reg::rootTrouble(Root::CurrentUser, false).find("is a folder"), std::string::npos);
    EXPECT_TRUE(fs::is_empty(hkcuFile()));
    EXPECT_EQ(reg::rootTrouble(Root::LocalMachine, true), "");  // no file yet: nothing wrong
}

// Writers killed at every sort of moment, a few hundred times: every value a
// writer reported done is still there, and the file always parses whole.
TEST_F(Registry, KillLoopLosesNoFinishedWrite) {
    constexpr int kRounds = 250;
    std::vector<std::pair<std::string, std::string>> done;
    for (int round = 0; round < kRounds; ++round) {
        int pipeFds[2];
        ASSERT_EQ(::pipe(pipeFds), 0);
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::close(pipeFds[0]);
            for (int i = 0;; ++i) {
                const std::string name = "r" + std::to_string(round) + "-" + std::to_string(i);
                if (set(name, payload(round, i).substr(0, 64)) != reg::kSuccess) ::_exit(1);
                const auto length = static_cast<uint8_t>(name.size());
                if (::write(pipeFds[1], &length, 1) != 1 || ::write(pipeFds[1], name.data(), name.size()) !=
                                                              static_cast<ssize_t>(name.size()))
                    ::_exit(1);
            }
        }
        ASSERT_GT(pid, 0);
        ::close(pipeFds[1]);
        auto collect = [&](bool all) {
            uint8_t length = 0;
            char name[256];
            while (::read(pipeFds[0], &length, 1) == 1 && ::read(pipeFds[0], name, length) == length) {
                const std::string n(name, length);
                const size_t dash = n.find('-');
                done.emplace_back(
                    n, payload(std::stoi(n.substr(1, dash - 1)), std::stoi(n.substr(dash + 1))).substr(0, 64));
                if (!all) return;
            }
        };
        // After its first write the writer dies at a different moment each round.
        collect(false);
        ::usleep(static_cast<useconds_t>(round * 397 % 5000));
        ::kill(pid, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer stopped on its own";
        collect(true);
        ::close(pipeFds[0]);

        const auto parsed = qm::os::regedit::parse(readText(hkcuFile()));
        ASSERT_EQ(parsed.keys.size(), 1u) << "round " << round;
        ASSERT_TRUE(parsed.badLines.empty()) << "round " << round;
        std::map<std::string, std::vector<uint8_t>> stored;
        for (const auto& value : parsed.keys[0].key.values) stored[value.name] = value.data;
        for (const auto& [n, data] : done) ASSERT_EQ(stored[n], bytes(data)) << n << " in round " << round;
    }
    EXPECT_GE(done.size(), static_cast<size_t>(kRounds));
    // The next write clears what the dead writers left behind.
    ASSERT_EQ(set("after", "1"), reg::kSuccess);
    EXPECT_EQ(folderEntries(dir_),
              (std::set<std::string>{"HKEY_CURRENT_USER.reg", "HKEY_CURRENT_USER.reg.lock"}));
}

}  // namespace
