#include "host/plugin_settings.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>

#include "host/settings_file.h"
#include "platform/pluginapi/settings_record.h"

namespace qm::host {
namespace {

constexpr int kMaxRecordLength = 256;
constexpr size_t kListNameLimit = 64;

bool sameText(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

std::vector<std::string_view> cells(std::string_view line) {
    std::vector<std::string_view> out;
    size_t start = 0;
    while (true) {
        const size_t tab = line.find('\t', start);
        out.push_back(line.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start));
        if (tab == std::string_view::npos) return out;
        start = tab + 1;
    }
}

template <typename T>
bool number(std::string_view text, T& out, int base = 10) {
    if (text.empty()) return false;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out, base);
    return ec == std::errc() && end == text.data() + text.size();
}

bool kindOf(std::string_view name, SettingKind& kind) {
    for (SettingKind k : {SettingKind::Slider, SettingKind::Pair, SettingKind::Pad, SettingKind::Selector,
                          SettingKind::Toggle, SettingKind::Colour, SettingKind::Pattern})
        if (name == kindName(k)) {
            kind = k;
            return true;
        }
    return false;
}

int partBits(SettingKind kind) { return kind == SettingKind::Pair ? 9 : kind == SettingKind::Pad ? 7 : 0; }

std::string trimmed(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
    return std::string(s);
}

bool validFor(const PluginSettings& s, const std::vector<uint8_t>& data) {
    return s.whyInvalid(data).empty();
}

}  // namespace

const char* kindName(SettingKind kind) {
    switch (kind) {
        case SettingKind::Slider: return "slider";
        case SettingKind::Pair: return "pair";
        case SettingKind::Pad: return "pad";
        case SettingKind::Selector: return "selector";
        case SettingKind::Toggle: return "toggle";
        case SettingKind::Colour: return "colour";
        case SettingKind::Pattern: return "pattern";
    }
    return "slider";
}

const SettingInfo* PluginSettings::find(std::string_view name) const {
    for (const SettingInfo& s : settings)
        if (sameText(s.name, name)) return &s;
    return nullptr;
}

std::string PluginSettings::names() const {
    std::string out;
    for (const SettingInfo& s : settings) out += (out.empty() ? "" : ", ") + s.name;
    return out;
}

const FactoryPreset* PluginSettings::defaultPreset() const {
    if (presets.empty()) return nullptr;
    const int n = static_cast<int>(presets.size());
    const int at = n >= defaultPosition ? n - defaultPosition : 0;
    return &presets[static_cast<size_t>(at)];
}

std::string PluginSettings::whyInvalid(const Record& record) const {
    if (static_cast<int>(record.size()) != length)
        return std::to_string(record.size()) + " bytes, not " + std::to_string(length);
    if (record[4] != id) return "made for another plug-in (id " + std::to_string(record[4]) + ", not " + std::to_string(id) + ")";
    if (!record::checkValueMatches(record.data(), length)) return "its check value does not match its contents";
    return {};
}

bool PluginSettings::valid(const Record& record) const { return whyInvalid(record).empty(); }

uint32_t PluginSettings::value(const Record& record, int slot) const {
    uint32_t v = 0;
    int p = record::kFirstFieldBit;
    for (const Field& f : fields) {
        if (f.slot == slot) v = record::readField(record.data(), length * 8, p, f.width);
        p += f.width;
    }
    return v;
}

void PluginSettings::setValue(Record& record, int slot, uint32_t v) const {
    int p = record::kFirstFieldBit;
    for (const Field& f : fields) {
        if (f.slot == slot) record::writeField(record.data(), length * 8, p, f.width, v);
        p += f.width;
    }
}

void PluginSettings::seal(Record& record) const {
    record.resize(static_cast<size_t>(length), 0);
    record[4] = id;
    record[5] = version;
    record::writeCheckValue(record.data(), length);
}

bool parsePluginSettings(std::string_view text, PluginSettings& out, std::string& error) {
    out = PluginSettings();
    int lineNumber = 0, bits = record::kFirstFieldBit;
    bool header = false, format = false;
    size_t pos = 0;
    auto fail = [&](const std::string& message) {
        error = "line " + std::to_string(lineNumber) + ": " + message;
        return false;
    };
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        ++lineNumber;
        if (line.empty()) continue;
        const std::vector<std::string_view> c = cells(line);
        const std::string_view what = c[0];
        auto want = [&](size_t n) { return c.size() == n; };
        if (!header) {
            if (what != "quillmere-settings" || !want(2) || c[1] != "1")
                return fail("not a settings resource of version 1");
            header = true;
        } else if (what == "plugin" && want(2)) {
            out.plugin = c[1];
        } else if (what == "record" && want(4)) {
            int id = 0, version = 0;
            if (!number(c[1], id) || !number(c[2], version) || !number(c[3], out.length) || id < 0 || id > 255 ||
                version < 0 || version > 255 || out.length < 8 || out.length > kMaxRecordLength || out.length % 4)
                return fail("bad record format");
            out.id = static_cast<uint8_t>(id);
            out.version = static_cast<uint8_t>(version);
            format = true;
        } else if (what == "key" && want(2)) {
            out.registryKey = c[1];
        } else if (what == "variant" && want(2) && (c[1] == "later" || c[1] == "earlier")) {
            out.laterVariant = c[1] == "later";
        } else if (what == "dialog" && want(2) && (c[1] == "parameters" || c[1] == "every-run")) {
            out.dialogAtEveryRun = c[1] == "every-run";
        } else if (what == "default" && want(2)) {
            if (!number(c[1], out.defaultPosition)) return fail("bad default position");
        } else if (what == "field" && want(3)) {
            PluginSettings::Field f{};
            if (!number(c[1], f.slot) || !number(c[2], f.width) || f.width < 0 || f.width > 32)
                return fail("bad field");
            bits += f.width;
            out.fields.push_back(f);
        } else if (what == "setting" && want(9)) {
            SettingInfo s;
            s.name = c[1];
            if (s.name.empty() || !number(c[2], s.slot) || !kindOf(c[3], s.kind) || !number(c[4], s.minimum) ||
                !number(c[5], s.maximum) || !number(c[6], s.initial))
                return fail("bad setting");
            s.label = c[7];
            s.status = c[8];
            out.settings.push_back(std::move(s));
        } else if (what == "preset" && want(3)) {
            out.presets.push_back({std::string(c[1]), std::string(c[2]), {}});
        } else {
            return fail("unexpected '" + std::string(what) + "'");
        }
    }
    lineNumber = 0;
    if (!header) return fail("empty settings resource");
    if (!format) return fail("no record format");
    if (bits > out.length * 8 - 1) return fail("the fields reach into the pinned flag");
    return true;
}

std::string rangeText(const SettingInfo& s) {
    const std::string one = std::to_string(s.minimum) + ".." + std::to_string(s.maximum);
    switch (s.kind) {
        case SettingKind::Pair:
        case SettingKind::Pad: return one + "," + one;
        case SettingKind::Colour: return "#RRGGBB[,mode 0..3]";
        case SettingKind::Pattern: return "32-bit identity";
        default: return one;
    }
}

std::string formatValue(const SettingInfo& s, uint32_t v) {
    char text[32];
    switch (s.kind) {
        case SettingKind::Pair:
        case SettingKind::Pad: {
            const int bits = partBits(s.kind);
            const uint32_t mask = (1u << bits) - 1;
            return std::to_string(v & mask) + "," + std::to_string((v >> bits) & mask);
        }
        case SettingKind::Colour: {
            // Stored red lowest; written as people write colours.
            std::snprintf(text, sizeof text, "#%02X%02X%02X", v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF);
            const uint32_t mode = v >> 24;
            return mode ? std::string(text) + "," + std::to_string(mode) : std::string(text);
        }
        case SettingKind::Pattern:
            std::snprintf(text, sizeof text, "0x%08X", v);
            return text;
        default: return std::to_string(static_cast<int32_t>(v));
    }
}

bool parseValue(const SettingInfo& s, std::string_view textIn, uint32_t& value, std::string& error) {
    const std::string text = trimmed(textIn);
    const std::string_view t = text;
    auto bad = [&](const std::string& why) {
        error = s.name + ": " + why;
        return false;
    };
    auto inRange = [&](int64_t v) { return v >= s.minimum && v <= s.maximum; };
    auto outOfRange = [&] { return bad(text + " is out of its range " + rangeText(s)); };
    switch (s.kind) {
        case SettingKind::Pair:
        case SettingKind::Pad: {
            const size_t comma = t.find(',');
            int64_t a = 0, b = 0;
            if (comma == std::string_view::npos || !number(trimmed(t.substr(0, comma)), a) ||
                !number(trimmed(t.substr(comma + 1)), b))
                return bad("takes two values, FIRST,SECOND (" + rangeText(s) + "), not \"" + text + "\"");
            if (!inRange(a) || !inRange(b)) return outOfRange();
            value = static_cast<uint32_t>(a) | static_cast<uint32_t>(b) << partBits(s.kind);
            return true;
        }
        case SettingKind::Colour: {
            std::string_view hex = t, mode;
            if (const size_t comma = t.find(','); comma != std::string_view::npos) {
                hex = t.substr(0, comma);
                mode = t.substr(comma + 1);
            }
            uint32_t rgb = 0, m = 0;
            if (hex.size() != 7 || hex[0] != '#' || !number(hex.substr(1), rgb, 16) ||
                (!mode.empty() && !number(trimmed(mode), m)))
                return bad("takes a colour #RRGGBB, optionally ,MODE, not \"" + text + "\"");
            if (m > 3) return outOfRange();
            value = (rgb >> 16 & 0xFF) | (rgb & 0xFF00) | (rgb & 0xFF) << 16 | m << 24;
            return true;
        }
        case SettingKind::Pattern: {
            uint32_t v = 0;
            const bool hex = t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X');
            if (!(hex ? number(t.substr(2), v, 16) : number(t, v)))
                return bad("takes a pattern identity (decimal or 0x hexadecimal), not \"" + text + "\"");
            value = v;
            return true;
        }
        default: {
            int64_t v = 0;
            if (!number(t, v)) return bad("takes a whole number (" + rangeText(s) + "), not \"" + text + "\"");
            if (!inRange(v)) return outOfRange();
            value = static_cast<uint32_t>(v);
            return true;
        }
    }
}

std::vector<UserPreset> listedUserPresets(const PluginSettings& settings, const std::vector<UserPreset>& user) {
    std::vector<UserPreset> listed;
    for (const UserPreset& u : user) {
        if (u.name.size() >= kListNameLimit || u.data.size() > static_cast<size_t>(settings.length)) break;
        listed.push_back(u);
    }
    return listed;
}

PresetChoice choosePreset(const PluginSettings& settings, const std::vector<UserPreset>& user,
                          std::string_view name) {
    PresetChoice c;
    const std::string wanted = trimmed(name);
    for (const UserPreset& u : listedUserPresets(settings, user)) {
        if (!sameText(u.name, wanted)) continue;
        c.found = c.user = true;
        c.shownName = u.name;
        c.record = u.data;
        if (!u.binary) c.problem = "it is not a binary value";
        else if (!validFor(settings, u.data)) c.problem = settings.whyInvalid(u.data);
        return c;
    }
    for (const FactoryPreset& f : settings.presets) {
        if (!sameText(f.displayName, wanted)) continue;
        c.found = true;
        c.shownName = f.displayName;
        c.record = f.record;
        if (!validFor(settings, f.record)) c.problem = settings.whyInvalid(f.record);
        return c;
    }
    return c;
}

std::string presetNames(const PluginSettings& settings, const std::vector<UserPreset>& user) {
    std::string out;
    for (const UserPreset& u : listedUserPresets(settings, user)) out += (out.empty() ? "\"" : ", \"") + u.name + "\"";
    for (const FactoryPreset& f : settings.presets) out += (out.empty() ? "\"" : ", \"") + f.displayName + "\"";
    return out.empty() ? "none" : out;
}

}  // namespace qm::host

namespace qm::host {
namespace {

constexpr uint32_t kKeyBase = 0x6B6B3030u;  // 'kk00'; integer i under kKeyBase + i

std::string_view trimView(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

// 'kk00' .. 'kk0?' as written in settings files, or the number.
bool isRecordKey(std::string_view word) {
    if (word.size() == 4) return word[0] == 'k' && word[1] == 'k' && word[2] == '0' && word[3] >= '0' && word[3] <= '?';
    return word.size() == 10 && (word.substr(0, 8) == "0x6B6B30" || word.substr(0, 8) == "0x6b6b30");
}

void setInteger(Record& record, size_t index, int32_t value) {
    const auto v = static_cast<uint32_t>(value);
    for (size_t i = 0; i < 4; ++i) record[4 * index + i] = static_cast<uint8_t>(v >> (8 * i));
}

int32_t integerAt(const Record& record, size_t index) {
    return static_cast<int32_t>(record::littleEndian32(record.data() + 4 * index));
}

}  // namespace

DescriptorItems itemsOfRecord(const Record& record) {
    DescriptorItems items;
    for (size_t i = 0; i + 4 <= record.size(); i += 4) {
        DescriptorItem item;
        item.key = kKeyBase + static_cast<uint32_t>(i / 4);
        item.integer = integerAt(record, i / 4);
        items.push_back(item);
    }
    return items;
}

bool recordOfItems(const PluginSettings& settings, const DescriptorItems& items, Record& record) {
    record.assign(static_cast<size_t>(settings.length), 0);
    std::vector<bool> seen(record.size() / 4, false);
    for (const DescriptorItem& item : items) {
        const uint32_t index = item.key - kKeyBase;
        if (item.type != typeInteger || index >= seen.size()) continue;
        setInteger(record, index, item.integer);
        seen[index] = true;
    }
    return std::all_of(seen.begin(), seen.end(), [](bool b) { return b; });
}

bool applySetting(const PluginSettings& settings, std::string_view assignment, Record& record, std::string& error) {
    const size_t eq = assignment.find('=');
    const std::string name(trimView(assignment.substr(0, eq)));
    if (eq == std::string_view::npos || name.empty()) {
        error = "expected NAME=VALUE, not \"" + std::string(assignment) + "\"";
        return false;
    }
    const SettingInfo* s = settings.find(name);
    if (!s) {
        error = "\"" + name + "\" is not a setting of " + settings.plugin + "; its settings are " + settings.names();
        return false;
    }
    uint32_t v = 0;
    if (!parseValue(*s, assignment.substr(eq + 1), v, error)) return false;
    settings.setValue(record, s->slot, v);
    settings.seal(record);
    return true;
}

bool readSettingsText(const PluginSettings& settings, std::string_view text, Record& record, std::string& error) {
    record.resize(static_cast<size_t>(settings.length), 0);
    int lineNumber = 0, namedLine = 0, keyLine = 0;
    std::vector<int> keyLines(record.size() / 4, 0);
    size_t pos = 0;
    auto fail = [&](int line, const std::string& message) {
        error = "line " + std::to_string(line) + ": " + message;
        return false;
    };
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view line = trimView(text.substr(pos, end - pos));
        pos = end + 1;
        ++lineNumber;
        if (line.empty() || line[0] == '#') continue;
        const size_t blank = line.find_first_of(" \t");
        const std::string_view word = line.substr(0, blank);
        const std::string_view rest = blank == std::string_view::npos ? std::string_view() : trimView(line.substr(blank));
        if (isRecordKey(word)) {
            if (namedLine) return fail(lineNumber, "a key line in a file of named settings (line " + std::to_string(namedLine) + ")");
            DescriptorItems items;
            std::string why;
            if (!parseSettings(line, items, why) || items.size() != 1 || items[0].type != typeInteger)
                return fail(lineNumber, "expected a key, a blank and a 32-bit integer (\"kk00 1234\")");
            const uint32_t index = items[0].key - kKeyBase;
            if (index >= keyLines.size())
                return fail(lineNumber, "the record of " + settings.plugin + " has only " + std::to_string(keyLines.size()) + " integers");
            setInteger(record, index, items[0].integer);
            keyLines[index] = lineNumber;
            if (!keyLine) keyLine = lineNumber;
            continue;
        }
        if (keyLine) return fail(lineNumber, "a named setting in a file of keys (line " + std::to_string(keyLine) + ")");
        const SettingInfo* s = settings.find(word);
        if (!s)
            return fail(lineNumber, "\"" + std::string(word) + "\" is not a setting of " + settings.plugin +
                                        "; its settings are " + settings.names());
        uint32_t v = 0;
        std::string why;
        if (!parseValue(*s, rest, v, why)) return fail(lineNumber, why);
        settings.setValue(record, s->slot, v);
        if (!namedLine) namedLine = lineNumber;
    }
    if (namedLine) {
        settings.seal(record);
        return true;
    }
    if (!keyLine) return true;  // nothing given: the record as it was
    if (const std::string why = settings.whyInvalid(record); !why.empty()) {
        // The line to blame: the id's integer, else the check value's.
        const int blame = record[4] != settings.id && keyLines[1] ? keyLines[1] : keyLines[0] ? keyLines[0] : keyLine;
        return fail(blame, "the record is not valid for " + settings.plugin + ": " + why);
    }
    return true;
}

std::string settingsText(const PluginSettings& settings, const Record& record) {
    std::string out;
    size_t width = 0;
    for (const SettingInfo& s : settings.settings) width = std::max(width, s.name.size());
    for (const SettingInfo& s : settings.settings) {
        out += s.name;
        out.append(width + 1 - s.name.size(), ' ');
        out += formatValue(s, settings.value(record, s.slot));
        out += '\n';
    }
    return out;
}

}  // namespace qm::host
