// The help file's write-out and opening on a resource table of the test's
// own, and the help files packed into the three built plug-ins, read back
// with Debian's CHM tools.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "framework/host/help_file.h"
#include "host/plugin_settings.h"
#include "platform/os/shell.h"

namespace fs = std::filesystem;
using namespace qm;

namespace {

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

const std::string kHelp = "ITSF: the help file of the test, a few bytes long";
const QmResource kHelpEntry{{nullptr, 3000}, {"MARBLELOOM3D.CHM", 0},
                            reinterpret_cast<const uint8_t*>(kHelp.data()), static_cast<uint32_t>(kHelp.size())};
const QmResource kOtherEntry{{nullptr, 2000}, {"PRESET1", 0}, reinterpret_cast<const uint8_t*>("x"), 1};

class HelpFile : public ::testing::Test {
protected:
    void SetUp() override {
        root = fs::temp_directory_path() / ("qm-help-file-" + std::to_string(getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        plugin = root / "plugin";
        shared = root / "data" / "quillmere";
        TearDown();
        fs::create_directories(plugin);
        setenv("QUILLMERE_HEADLESS", "1", 1);
        // One level missing: the fallback creates it.
        setenv("QUILLMERE_SHARED_DATA", shared.c_str(), 1);
    }
    void TearDown() override {
        std::error_code ec;
        fs::permissions(plugin, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(root, ec);
    }

    // Opens the help with these resources; checks that the current directory
    // stayed, and answers what was opened ("" for nothing).
    std::string open(std::vector<QmResource> entries = {kOtherEntry, kHelpEntry}) {
        const QmResourceTable table{QM_RESOURCE_TABLE_MAGIC, static_cast<uint32_t>(entries.size()), entries.data()};
        const fs::path before = fs::current_path();
        const size_t opens = os::recordedShellOpens().size();
        const bool opened = fw::openHelpFile(os::ResourceModule(&table), plugin.string() + "/");
        EXPECT_EQ(fs::current_path(), before);
        const auto& recorded = os::recordedShellOpens();
        EXPECT_EQ(recorded.size(), opens + (opened ? 1 : 0));
        return opened && recorded.size() > opens ? recorded.back() : std::string();
    }

    fs::path root, plugin, shared;
    fs::path besidePlugin() const { return plugin / "Marbleloom3D.chm"; }
    fs::path inShared() const { return shared / "Marbleloom3D.chm"; }
};

TEST_F(HelpFile, WrittenBesideThePluginAndOpenedThere) {
    EXPECT_EQ(open(), besidePlugin().string());
    EXPECT_EQ(readFile(besidePlugin()), kHelp);
    EXPECT_FALSE(fs::exists(shared));
}

TEST_F(HelpFile, ACopyOfTheSameSizeStaysAnotherIsReplaced) {
    const struct {
        std::string existing, after;
    } cases[] = {
        {std::string(kHelp.size(), 'z'), std::string(kHelp.size(), 'z')},  // damaged but of the right size
        {"short", kHelp},
        {kHelp + " and more", kHelp},
    };
    for (const auto& c : cases) {
        writeFile(besidePlugin(), c.existing);
        EXPECT_EQ(open(), besidePlugin().string()) << c.existing;
        EXPECT_EQ(readFile(besidePlugin()), c.after) << c.existing;
    }
}

TEST_F(HelpFile, APluginFolderThatCannotTakeItFallsBackToTheSharedFolder) {
    const struct {
        const char* what;
        void (*prepare)(const fs::path& plugin);
    } cases[] = {
        {"read-only", [](const fs::path& p) { fs::permissions(p, fs::perms::owner_read | fs::perms::owner_exec); }},
        {"missing", [](const fs::path& p) { fs::remove_all(p); }},
        {"a folder in the file's place", [](const fs::path& p) { fs::create_directory(p / "Marbleloom3D.chm"); }},
    };
    for (const auto& c : cases) {
        SetUp();
        c.prepare(plugin);
        if (c.what == cases[0].what && access(plugin.c_str(), W_OK) == 0) continue;  // root writes anyway
        EXPECT_EQ(open(), inShared().string()) << c.what;
        EXPECT_EQ(readFile(inShared()), kHelp) << c.what;
    }
}

TEST_F(HelpFile, TheSharedCopyIsOpenedFirst) {
    fs::create_directories(shared);
    writeFile(inShared(), kHelp);
    EXPECT_EQ(open(), inShared().string());
    // The plug-in folder still gets its copy.
    EXPECT_EQ(readFile(besidePlugin()), kHelp);
}

TEST_F(HelpFile, NothingIsOpenedWithoutAHelpResourceOrAPlaceForIt) {
    EXPECT_EQ(open({kOtherEntry}), "");
    EXPECT_TRUE(fs::is_empty(plugin));

    // Neither folder can take it: the shared folder's parent is a file.
    fs::remove_all(plugin);
    writeFile(root / "data", "not a folder");
    EXPECT_EQ(open(), "");
}

// The built plug-ins' help files.

bool haveChmTools() {
    return std::system("command -v enum_chmLib >/dev/null 2>&1 && command -v extract_chmLib >/dev/null 2>&1") == 0;
}

struct BuiltHelp {
    const char* file;      // under build/plugins
    const char* resource;  // type 3000
    // The dialog's controls that hold no setting (the settings come from the
    // plug-in's settings resource).
    std::vector<std::string> buttons;
};

const std::vector<std::string> kCommon = {
    "Undo Last Operation", "Redo Last Operation", "Help/Tutorial", "Apply the filter", "Cancel the filter",
    "Visit Quillmere Plugins Home Page", "SAVE USER PRESET"};

const BuiltHelp kBuilt[] = {
    {"Lumivex.8bf", "LUMIVEX.CHM",
     {"Random Mask", "Random Settings", "Random Variations", "Reset All Settings", "Reset Mask", "Performance Meter"}},
    {"Plaitwork2000.8bf", "PLAITWORK2000.CHM",
     {"Random Variations", "Random Settings Generator", "Random Color Variations", "Increase Spacing",
      "Decrease Spacing", "Diagonal Flip", "Reset Sliders", "Performance Meter", "Foreground", "Background", "Picker",
      "Transparent"}},
    {"Marbleloom3d.8bf", "MARBLELOOM3D.CHM",
     {"Increase Texture Scaling", "Decrease Texture Scaling", "Random Settings Generator", "Random Patterns",
      "Random Variations", "Reset the Layer Settings", "Reset All", "Pattern Selector", "Eyedropper tool",
      "Previous Page", "Next Page", "Thumbnail Preview", "Thumbnail Shift", "Thumbnail Scaling",
      "Add the Pattern to collection", "Back to Patterns Viewer", "Remove the Pattern from collection",
      "Load pattern from disk", "Export the Pattern to JPEG", "Foreground", "Background", "Picker", "Transparent"}},
};

void PrintTo(const BuiltHelp& b, std::ostream* os) { *os << b.file; }

// The names a setting goes by in its dialog: its label and its hint texts
// (one a thumb, split at '@'), without the hint's explanation after " (" or ". ".
std::vector<std::string> namesOf(const host::SettingInfo& s) {
    std::vector<std::string> names;
    if (!s.label.empty()) names.push_back(s.label);
    size_t from = 0;
    while (from <= s.status.size() && !s.status.empty()) {
        size_t to = s.status.find('@', from);
        std::string part = s.status.substr(from, to == std::string::npos ? std::string::npos : to - from);
        for (const char* cut : {" (", ". "})
            if (const size_t at = part.find(cut); at != std::string::npos) part.resize(at);
        while (!part.empty() && part.back() == ' ') part.pop_back();
        if (!part.empty()) names.push_back(part);
        if (to == std::string::npos) break;
        from = to + 1;
    }
    return names;
}

// The pages' text: tags out, entities and runs of white space as one character.
// (Plain loops: std::regex trips a false warning of the sanitizer build.)
std::string pageText(const std::string& html) {
    std::string t;
    bool inTag = false;
    for (char c : html) {
        if (c == '<') inTag = true;
        if (!inTag) t += c;
        if (c == '>') {
            inTag = false;
            t += ' ';
        }
    }
    for (const auto& [entity, c] : {std::pair{"&gt;", ">"}, {"&lt;", "<"}, {"&quot;", "\""}, {"&amp;", "&"}})
        for (size_t at = t.find(entity); at != std::string::npos; at = t.find(entity, at + 1))
            t.replace(at, std::string(entity).size(), c);
    std::string out;
    for (char c : t) {
        const bool space = c == ' ' || c == '\n' || c == '\r' || c == '\t';
        if (space && (out.empty() || out.back() == ' ')) continue;
        out += space ? ' ' : c;
    }
    return out;
}

bool mentions(const std::string& text, const std::string& name) {
    // A whole word or phrase: "h" must not be found inside "the".
    for (size_t at = text.find(name); at != std::string::npos; at = text.find(name, at + 1)) {
        const auto word = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; };
        if ((at == 0 || !word(text[at - 1])) && (at + name.size() == text.size() || !word(text[at + name.size()])))
            return true;
    }
    return false;
}

class BuiltHelpFile : public ::testing::TestWithParam<BuiltHelp> {};

TEST_P(BuiltHelpFile, IsACompiledHelpFileDescribingEveryControl) {
    const BuiltHelp& b = GetParam();
    const std::string path = std::string(QM_BINARY_DIR) + "/plugins/" + b.file;
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle, nullptr) << dlerror();
    const auto* table = static_cast<const QmResourceTable*>(dlsym(handle, QM_RESOURCE_TABLE_SYMBOL));
    ASSERT_NE(table, nullptr);
    const QmResource *help = nullptr, *settings = nullptr;
    for (uint32_t i = 0; i < table->count; ++i) {
        const QmResource& r = table->entries[i];
        if (!r.type.text && r.type.number == 3000) {
            EXPECT_EQ(help, nullptr) << "one help file";
            if (r.name.text && std::string(r.name.text) == b.resource) help = &r;
        }
        if (r.type.text && std::string(r.type.text) == "SETTINGS") settings = &r;
    }
    ASSERT_NE(help, nullptr) << b.resource;
    ASSERT_NE(settings, nullptr);
    host::PluginSettings described;
    std::string error;
    ASSERT_TRUE(host::parsePluginSettings({reinterpret_cast<const char*>(settings->data), settings->size},
                                          described, error))
        << error;

    if (!haveChmTools()) {
        dlclose(handle);
        GTEST_SKIP() << "enum_chmLib and extract_chmLib (libchm-bin) are not installed";
    }
    const fs::path dir = fs::temp_directory_path() / ("qm-built-help-" + std::to_string(getpid()) + "-" + b.resource);
    fs::remove_all(dir);
    fs::create_directories(dir / "pages");
    const fs::path chm = dir / b.resource;
    writeFile(chm, std::string(reinterpret_cast<const char*>(help->data), help->size));
    dlclose(handle);

    ASSERT_EQ(std::system(("enum_chmLib '" + chm.string() + "' > '" + (dir / "list").string() + "'").c_str()), 0);
    const std::string listing = readFile(dir / "list");
    for (const char* page : {"/index.html", "/controls.html", "/presets.html", "/toc.hhc"})
        EXPECT_NE(listing.find(page), std::string::npos) << page << " in\n" << listing;
    ASSERT_EQ(std::system(("extract_chmLib '" + chm.string() + "' '" + (dir / "pages").string() + "' >/dev/null")
                              .c_str()),
              0);

    std::string text;
    for (const auto& entry : fs::directory_iterator(dir / "pages")) {
        if (entry.path().extension() != ".html") continue;
        const std::string html = readFile(entry.path());
        text += pageText(html) + " ";
        // Every picture a page shows is in the file.
        const std::string img = "<img src=\"";
        for (size_t at = html.find(img); at != std::string::npos; at = html.find(img, at + 1)) {
            const size_t from = at + img.size(), to = html.find('"', from);
            if (to == std::string::npos) break;
            const std::string picture = html.substr(from, to - from);
            EXPECT_TRUE(fs::exists(dir / "pages" / picture)) << picture << " of " << entry.path().filename();
        }
    }
    std::set<std::string> names(kCommon.begin(), kCommon.end());
    names.insert(b.buttons.begin(), b.buttons.end());
    for (const host::SettingInfo& s : described.settings)
        for (const std::string& n : namesOf(s)) names.insert(n);
    for (const host::FactoryPreset& p : described.presets) names.insert(p.displayName);
    for (const std::string& n : names) EXPECT_TRUE(mentions(text, n)) << "\"" << n << "\" is not described";
    fs::remove_all(dir);
}

INSTANTIATE_TEST_SUITE_P(Plugins, BuiltHelpFile, ::testing::ValuesIn(kBuilt),
                         [](const auto& p) { return std::string(p.param.resource).substr(0, 4); });

}  // namespace
