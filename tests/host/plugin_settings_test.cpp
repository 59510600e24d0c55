// The host's reading and writing of settings records, against the records
// the plug-ins' own build made: their factory presets.
#include <gtest/gtest.h>

#include "host/plugin.h"
#include "host/plugin_settings.h"

using namespace qm::host;

namespace {

const char* kPlugins[] = {"Keenwright.8bf", "KeenwrightHD.8bf", "Lumivex.8bf", "Plaitwork2000.8bf", "Marbleloom3d.8bf"};

std::string limit(const SettingInfo& s, bool high) {
    const std::string lo = std::to_string(s.minimum), hi = std::to_string(s.maximum);
    switch (s.kind) {
        case SettingKind::Pair:
        case SettingKind::Pad: return high ? hi + "," + lo : lo + "," + hi;
        case SettingKind::Colour: return high ? "#FFFFFF,3" : "#000000";
        case SettingKind::Pattern: return high ? "0xFFFFFFFF" : "0x00000000";
        default: return high ? hi : lo;
    }
}

class ShippedPlugin : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(plugin.open(std::string(QM_BINARY_DIR) + "/plugins/" + GetParam(), error)) << error;
        ASSERT_TRUE(plugin.settings()) << plugin.settingsProblem();
    }
    PluginLibrary plugin;
};

}  // namespace

// Named lines of each factory preset, read back onto an empty record, give
// the preset's fields bit for bit.
TEST_P(ShippedPlugin, FactoryPresetsSurviveTheirNamedForm) {
    const PluginSettings& s = *plugin.settings();
    ASSERT_FALSE(s.presets.empty());
    for (const FactoryPreset& p : s.presets) {
        ASSERT_TRUE(s.valid(p.record)) << p.displayName << ": " << s.whyInvalid(p.record);
        Record back(static_cast<size_t>(s.length), 0);
        std::string error;
        ASSERT_TRUE(readSettingsText(s, settingsText(s, p.record), back, error)) << p.displayName << ": " << error;
        EXPECT_TRUE(s.valid(back));
        EXPECT_EQ(std::vector<uint8_t>(back.begin() + 6, back.end()), std::vector<uint8_t>(p.record.begin() + 6, p.record.end()))
            << p.displayName;
    }
}

// Each setting at either end of its range, and one step beyond it.
TEST_P(ShippedPlugin, EverySettingTakesItsLimitsAndRefusesWhatIsBeyond) {
    const PluginSettings& s = *plugin.settings();
    for (const SettingInfo& setting : s.settings)
        for (bool high : {false, true}) {
            Record record = s.defaultPreset()->record;
            std::string error;
            const std::string value = limit(setting, high);
            ASSERT_TRUE(applySetting(s, setting.name + "=" + value, record, error)) << error;
            EXPECT_TRUE(s.valid(record));
            EXPECT_EQ(formatValue(setting, s.value(record, setting.slot)), value) << setting.name;
            if (setting.kind == SettingKind::Colour || setting.kind == SettingKind::Pattern) continue;
            const int32_t beyond = high ? setting.maximum + 1 : setting.minimum - 1;
            std::string bad = std::to_string(beyond);
            if (setting.kind == SettingKind::Pair || setting.kind == SettingKind::Pad) bad += "," + std::to_string(setting.minimum);
            EXPECT_FALSE(applySetting(s, setting.name + "=" + bad, record, error)) << setting.name << "=" << bad;
            EXPECT_NE(error.find("out of its range"), std::string::npos) << error;
        }
}

INSTANTIATE_TEST_SUITE_P(All, ShippedPlugin, ::testing::ValuesIn(kPlugins));

TEST(SettingsResource, DamagedTextIsRefusedWithItsLine) {
    PluginSettings s;
    std::string error;
    const char* good = "quillmere-settings\t1\nrecord\t25\t1\t64\nfield\t0\t18\nsetting\tradius\t0\tpair\t0\t200\t200\tRadius\t\n";
    ASSERT_TRUE(parsePluginSettings(good, s, error)) << error;
    EXPECT_EQ(s.find("RADIUS"), &s.settings[0]);
    struct Bad {
        const char* text;
        const char* message;
    } cases[] = {
        {"quillmere-settings\t2\n", "line 1"},
        {"quillmere-settings\t1\nrecord\t25\t1\t63\n", "line 2: bad record format"},
        {"quillmere-settings\t1\nrecord\t25\t1\t64\nsetting\tx\t0\twheel\t0\t1\t0\t\t\n", "line 3: bad setting"},
        {"quillmere-settings\t1\nrecord\t1\t1\t8\nfield\t0\t16\n", "pinned flag"},
        {"quillmere-settings\t1\n", "no record format"},
    };
    for (const Bad& b : cases) {
        EXPECT_FALSE(parsePluginSettings(b.text, s, error)) << b.text;
        EXPECT_NE(error.find(b.message), std::string::npos) << error;
    }
}
