// Named settings and presets through the built quillmere and the shipped
// plug-ins: info, --set, --preset, readable settings files.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "host/image.h"
#include "host/plugin.h"
#include "host/plugin_settings.h"
#include "platform/os/registry.h"
#include "tests/e2e/plugin_run.h"

using namespace qm;
using host::PluginSettings;
using host::SettingInfo;
using host::SettingKind;
namespace reg = qm::os::registry;

namespace {

const std::string kShipped = std::string(QM_BINARY_DIR) + "/plugins";

const PluginSettings& settingsOf(const std::string& file) {
    static std::map<std::string, host::PluginLibrary> open;
    host::PluginLibrary& p = open[file];
    if (p.path().empty()) {
        std::string error;
        EXPECT_TRUE(p.open(kShipped + "/" + file, error)) << error;
    }
    static const PluginSettings none;
    EXPECT_TRUE(p.settings().has_value()) << file << ": " << p.settingsProblem();
    return p.settings() ? *p.settings() : none;
}

// The two ends of a setting's range as --set takes them.
std::vector<std::string> limitsOf(const SettingInfo& s) {
    const std::string lo = std::to_string(s.minimum), hi = std::to_string(s.maximum);
    switch (s.kind) {
        case SettingKind::Pair:
        case SettingKind::Pad: return {lo + "," + hi, hi + "," + lo};
        case SettingKind::Colour: return {"#000000", "#FFFFFF,3"};
        case SettingKind::Pattern: return {"0x00000000", "0xFFFFFFFF"};
        default: return {lo, hi};
    }
}

// "name value" lines of a saved settings file.
std::map<std::string, std::string> savedValues(const std::string& text) {
    std::map<std::string, std::string> values;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        if (line.empty() || line[0] == '#') continue;
        const size_t blank = line.find(' ');
        values[line.substr(0, blank)] = line.substr(line.find_first_not_of(' ', blank));
    }
    return values;
}

class NamedSettings : public test::PluginRun {
protected:
    NamedSettings() : PluginRun("Keenwright HD") {}
    void SetUp() override {
        PluginRun::SetUp();
        host::Image img;
        img.width = 12;
        img.height = 9;
        img.pixels.resize(img.rowBytes() * 9);
        for (size_t i = 0; i < img.pixels.size(); ++i) img.pixels[i] = static_cast<uint8_t>(i * 37 % 251);
        save("in.png", img);
    }
    test::ProgramResult run(const std::vector<std::string>& args) { return test::runQuillmere(args, env); }
    test::ProgramResult applyTo(const std::string& plugin, std::vector<std::string> extra) {
        std::vector<std::string> args = {"apply", plugin, path("in.png"), "-o", path("out.png")};
        args.insert(args.end(), extra.begin(), extra.end());
        return run(args);
    }
};

}  // namespace

TEST_F(NamedSettings, InfoListsEverySettingAndTheFactoryPresetsByTheirShownNames) {
    struct Case {
        const char* plugin;
        const char* file;
        std::vector<std::string> presets;
        const char* byDefault;
    } cases[] = {
        {"Keenwright", "Keenwright.8bf", {"Abitof", "Default", "Hdry"}, "Default"},
        {"Keenwright HD", "KeenwrightHD.8bf",
         {"Default", "Hdry", "Landscape", "Sharpening", "Warmhouse", "X-Noise Reduction"}, "Default"},
        {"Lumivex", "Lumivex.8bf", {"Beetle", "Ellipsoid", "Frown", "Mincing", "Sideways", "Wow!"}, "Sideways"},
        {"Plaitwork 2000", "Plaitwork2000.8bf",
         {"Cyber Birds", "Drapery", "E-Flowers", "La Plage De Lamour", "Lonely Hearts", "Ori Flame",
          "Plaitwork Berry", "Rabbit Factory", "Surrea Faceable", "Wavelet Me"},
         "Surrea Faceable"},
        {"Marbleloom 3D", "Marbleloom3d.8bf", {"Preset1", "Preset2"}, "Preset1"},
    };
    for (const Case& c : cases) {
        auto r = run({"info", c.plugin});
        ASSERT_EQ(r.status, 0) << c.plugin << ": " << r.err;
        const std::string presets = r.out.substr(r.out.find("\nfactory presets:"));
        std::string listed;
        for (const std::string& p : c.presets) listed += "\n  " + p + (p == c.byDefault ? "  (the default)" : "");
        EXPECT_EQ(presets.rfind("\nfactory presets:" + listed + "\nuser presets: none", 0), 0u) << c.plugin << presets;
        for (const SettingInfo& s : settingsOf(c.file).settings)
            EXPECT_NE(r.out.find("\n  " + s.name + " "), std::string::npos) << c.plugin << ": " << s.name;
    }
}

// Every setting of the sharpening plug-ins at both ends of its range goes in
// by --set and comes back, by name, from the settings the plug-in applied.
TEST_F(NamedSettings, EverySettingAtItsLimitsRoundTripsThroughARun) {
    for (const char* file : {"Keenwright.8bf", "KeenwrightHD.8bf"}) {
        const PluginSettings& s = settingsOf(file);
        ASSERT_FALSE(s.settings.empty()) << file;
        for (const SettingInfo& setting : s.settings)
            for (const std::string& value : limitsOf(setting)) {
                auto r = applyTo(kShipped + "/" + file, {"--set", setting.name + "=" + value, "--save-settings", path("saved.txt")});
                ASSERT_EQ(r.status, 0) << file << " " << setting.name << "=" << value << ": " << r.err;
                const std::string saved = test::readFile(path("saved.txt"));
                EXPECT_EQ(savedValues(saved)[setting.name], value) << file << "\n" << saved;
                // What was saved is a settings file that gives the same settings again.
                auto again = applyTo(kShipped + "/" + file, {"--settings", path("saved.txt"), "--save-settings", path("again.txt")});
                ASSERT_EQ(again.status, 0) << again.err;
                EXPECT_EQ(test::readFile(path("again.txt")), saved);
            }
    }
}

TEST_F(NamedSettings, WrongNamesValuesAndRecordsAreRefusedBeforeRendering) {
    test::writeFile(path("unknown.txt"), "# mine\nradius 10,10\nloudness 3\n");
    test::writeFile(path("range.txt"), "contrast 201\n");
    test::writeFile(path("mixed.txt"), "contrast 20\nkk00 5\n");
    // A record the plug-in returned, with one integer edited: its check value no longer holds.
    auto first = applyTo("Keenwright HD", {"--preset", "Landscape", "--save-settings", path("named.txt")});
    ASSERT_EQ(first.status, 0) << first.err;
    std::remove(path("out.png").c_str());
    std::string raw;
    {
        const PluginSettings& s = settingsOf("KeenwrightHD.8bf");
        host::Record record;
        std::string error;
        ASSERT_TRUE(host::readSettingsText(s, test::readFile(path("named.txt")), record, error)) << error;
        for (const auto& item : host::itemsOfRecord(record))
            raw += "kk0" + std::string(1, static_cast<char>('0' + (item.key - 0x6B6B3030u))) + " " +
                   std::to_string(item.integer + (item.key == 0x6B6B3032u ? 1 : 0)) + "\n";
    }
    test::writeFile(path("edited.txt"), raw);
    struct Case {
        std::vector<std::string> args;
        const char* message;
    } cases[] = {
        {{"--set", "loudness=3"}, "its settings are radius, preview, brightness, contrast, mask, softness"},
        {{"--set", "contrast=201"}, "contrast: 201 is out of its range 0..200"},
        {{"--set", "radius=200"}, "takes two values"},
        {{"--set", "contrast"}, "expected NAME=VALUE"},
        {{"--settings", path("unknown.txt")}, "line 3: \"loudness\" is not a setting"},
        {{"--settings", path("range.txt")}, "line 1: contrast: 201 is out of its range"},
        {{"--settings", path("mixed.txt")}, "line 2: a key line in a file of named settings"},
        {{"--settings", path("edited.txt")}, "line 1: the record is not valid for Keenwright HD"},
        {{"--preset", "Nonesuch"}, "its presets are \"Last Used\", \"Default\", \"Hdry\""},
    };
    for (const Case& c : cases) {
        auto r = applyTo("Keenwright HD", c.args);
        EXPECT_EQ(r.status, 2) << c.message << "\n" << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_FALSE(std::filesystem::exists(path("out.png"))) << "rendered before failing: " << c.message;
    }
    // The protocol test plug-in describes no settings: nothing to name.
    auto none = run({"apply", "Protocol Test", "--plugins", std::string(QM_BINARY_DIR) + "/tests/plugins", path("in.png"),
                     "-o", path("out.png"), "--set", "x=1"});
    EXPECT_EQ(none.status, 2);
    EXPECT_NE(none.err.find("describes no settings"), std::string::npos) << none.err;
}

TEST_F(NamedSettings, PresetsArePickedByTheirShownNamesUserPresetsFirst) {
    const PluginSettings& s = settingsOf("KeenwrightHD.8bf");
    const char* key = "Software\\Quillmere\\KeenwrightHD";
    // A user preset "Mine" (Landscape with contrast 7), one called like a
    // factory preset, and one that is damaged.
    host::Record mine;
    for (const host::FactoryPreset& p : s.presets)
        if (p.displayName == "Landscape") mine = p.record;
    ASSERT_EQ(mine.size(), 64u);
    std::string error;
    ASSERT_TRUE(host::applySetting(s, "contrast=7", mine, error)) << error;
    host::Record shadow = mine;
    ASSERT_TRUE(host::applySetting(s, "softness=3", shadow, error)) << error;
    host::Record damaged = mine;
    damaged[20] ^= 1;
    ASSERT_EQ(reg::setValue(reg::Root::CurrentUser, key, "Mine", reg::kTypeBinary, mine), 0);
    ASSERT_EQ(reg::setValue(reg::Root::CurrentUser, key, "hdry", reg::kTypeBinary, shadow), 0);
    ASSERT_EQ(reg::setValue(reg::Root::CurrentUser, key, "Broken", reg::kTypeBinary, damaged), 0);

    struct Case {
        const char* name;
        const char* contrast;
        const char* softness;
    } cases[] = {{"mine", "7", nullptr}, {"HDRY", "7", "3"}, {"x-noise REDUCTION", nullptr, nullptr}};
    for (const Case& c : cases) {
        auto r = applyTo("Keenwright HD", {"--preset", c.name, "--save-settings", path("saved.txt")});
        ASSERT_EQ(r.status, 0) << c.name << ": " << r.err;
        auto values = savedValues(test::readFile(path("saved.txt")));
        if (c.contrast) {
            EXPECT_EQ(values["contrast"], c.contrast) << c.name;
        }
        if (c.softness) {
            EXPECT_EQ(values["softness"], c.softness) << c.name;
        }
        if (!c.contrast) {
            const auto* x = &s.presets.back();
            EXPECT_EQ(values["radius"], host::formatValue(*s.find("radius"), s.value(x->record, s.find("radius")->slot)));
        }
    }
    auto broken = applyTo("Keenwright HD", {"--preset", "broken"});
    EXPECT_EQ(broken.status, 2);
    EXPECT_NE(broken.err.find("user preset \"Broken\" of Keenwright HD is not a valid settings record"), std::string::npos)
        << broken.err;
    auto listed = run({"info", "Keenwright HD"});
    EXPECT_NE(listed.out.find("user presets:\n  Mine\n  hdry\n  Broken  (not a valid record"), std::string::npos) << listed.out;
}
