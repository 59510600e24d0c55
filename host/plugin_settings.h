// A plug-in's settings as the host knows them from its settings resource
// (type "SETTINGS"): the record format, every named setting with its range,
// the factory presets by their shown names. With it the host reads, edits
// and writes settings records by name; the record codec is the interface's
// (platform/pluginapi/settings_record.h).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "host/descriptor.h"

namespace qm::host {

enum class SettingKind { Slider, Pair, Pad, Selector, Toggle, Colour, Pattern };

struct SettingInfo {
    std::string name;
    int slot = 0;
    SettingKind kind = SettingKind::Slider;
    int32_t minimum = 0, maximum = 0;  // of the value, or of each part of a pair or pad
    int32_t initial = 0;               // packed as the record holds it
    std::string label, status;
};

struct FactoryPreset {
    std::string resourceName;  // "X-NOISE_REDUCTION"
    std::string displayName;   // "X-Noise Reduction", as the preset list shows it
    std::vector<uint8_t> record;
};

using Record = std::vector<uint8_t>;

struct PluginSettings {
    std::string plugin;
    uint8_t id = 0, version = 0;
    int length = 64;
    std::string registryKey;     // under HKEY_CURRENT_USER
    bool laterVariant = true;    // the record travels in the scripting descriptor
    bool dialogAtEveryRun = false;
    int defaultPosition = 2;     // D: the default factory preset, D-th from the end
    struct Field {
        int slot, width;
    };
    std::vector<Field> fields;
    std::vector<SettingInfo> settings;
    std::vector<FactoryPreset> presets;  // in the preset list's order

    // By name, case not minding.
    const SettingInfo* find(std::string_view name) const;
    std::string names() const;  // "radius, preview, ..."
    // The factory preset a run starts from when nothing else is given.
    const FactoryPreset* defaultPreset() const;

    // Length, id and check value.
    bool valid(const Record& record) const;
    std::string whyInvalid(const Record& record) const;  // one phrase; empty when valid
    // A slot as the plug-in decodes it (its last field), and into every field of it.
    uint32_t value(const Record& record, int slot) const;
    void setValue(Record& record, int slot, uint32_t value) const;
    // Id, version and check value, as a record leaving the host.
    void seal(Record& record) const;
};

// False with a line-numbered message when the text is not a settings resource.
bool parsePluginSettings(std::string_view text, PluginSettings& out, std::string& error);

const char* kindName(SettingKind kind);
// "200", "200,25" (pair, pad), "#FFE0C0" or "#FFE0C0,1" (colour and its
// mode), "0x1234ABCD" (pattern).
std::string formatValue(const SettingInfo& setting, uint32_t value);
// The text of formatValue back, checked against the range (a message naming
// the range when it is outside).
bool parseValue(const SettingInfo& setting, std::string_view text, uint32_t& value,
                std::string& error);
// "0..200", "0..200,0..200", "#RRGGBB[,mode 0..3]", "any 32-bit value".
std::string rangeText(const SettingInfo& setting);

// A settings file for a plug-in with a settings resource, on top of
// `record`: named lines ("radius 200,25", names case not minding) change
// single settings and the record is sealed again; key lines ("kk00 17681983")
// give the record's integers as a plug-in returned them, and the record they
// make must be valid as it is. One kind a file. False with "line N: ..." for
// an unknown name (listing the names), a value out of range or an invalid record.
bool readSettingsText(const PluginSettings& settings, std::string_view text, Record& record,
                      std::string& error);
// The record as named lines, one setting a line, in table order.
std::string settingsText(const PluginSettings& settings, const Record& record);
// The record's integers under the keys 'kk00'.. and back (false when the
// items do not hold the whole record).
DescriptorItems itemsOfRecord(const Record& record);
bool recordOfItems(const PluginSettings& settings, const DescriptorItems& items, Record& record);
// NAME=VALUE on top of the record, which is sealed again.
bool applySetting(const PluginSettings& settings, std::string_view assignment, Record& record,
                  std::string& error);

// The entries of a plug-in's preset list: the values of its registry key
// (name and bytes, in enumeration order), then its factory presets.
struct UserPreset {
    std::string name;
    std::vector<uint8_t> data;
    bool binary = true;
};
struct PresetChoice {
    bool found = false;
    bool user = false;
    std::string shownName;
    Record record;
    std::string problem;  // a user preset that is not a valid record
};
// The entry shown as `name` (without the list's one-character prefix; case
// not minding; the first in list order wins). The user presets follow the
// list's limits: a name of 64 characters or more, or data longer than the
// record, ends them.
PresetChoice choosePreset(const PluginSettings& settings, const std::vector<UserPreset>& user,
                          std::string_view name);
// The shown names of the list, user presets first, as one line.
std::string presetNames(const PluginSettings& settings, const std::vector<UserPreset>& user);
std::vector<UserPreset> listedUserPresets(const PluginSettings& settings,
                                          const std::vector<UserPreset>& user);

}  // namespace qm::host
