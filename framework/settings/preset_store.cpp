#include "framework/settings/preset_store.h"

#include <algorithm>
#include <array>
#include <optional>
#include <span>

#include "framework/settings/record.h"
#include "platform/os/registry.h"
#include "platform/ui/message_box.h"

namespace qm::fw {
namespace {

namespace reg = os::registry;

char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
bool letter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// What the registry held is a record only when it is binary and exactly L
// bytes long; a string or a short value never validates by accident.
bool validValue(const PresetContext& session, const RecordBuffer& data, uint32_t type,
                uint32_t size) {
    return type == reg::kTypeBinary && size == static_cast<uint32_t>(session.recordBytes()) &&
           validateRecord(data.data(), session.format);
}

std::vector<os::ResourceId> factoryNames(const os::ResourceModule& resources) {
    std::vector<os::ResourceId> names;
    resources.enumerateNames(os::ResourceId::of(kFactoryPresetType), [&](const os::ResourceId& n) {
        names.push_back(n);
        return true;
    });
    return names;
}

}  // namespace

PresetValue presetValueAt(const PresetContext& session, uint32_t index) {
    PresetValue v;
    std::array<char, kPresetNameBuffer> name{};
    uint32_t nameLength = kPresetNameBuffer;
    uint32_t type = reg::kTypeNone;
    uint32_t size = static_cast<uint32_t>(session.recordBytes());
    v.result = reg::enumValue(reg::Root::CurrentUser, session.registryKey, index, name.data(),
                              &nameLength, &type, v.data.data(), &size);
    if (v.result == reg::kSuccess) {
        v.name.assign(name.data(), std::min<uint32_t>(nameLength, kPresetNameBuffer - 1));
        v.valid = validValue(session, v.data, type, size);
        return v;
    }
    if (v.result != reg::kMoreData) return v;
    // A name of 64 or more characters, or data longer than a record: the
    // value is there but no record. It is listed as invalid rather than
    // ending the list, which would hide every preset after it.
    std::string longName(kLongNameBuffer, '\0');
    uint32_t longLength = kLongNameBuffer;
    if (reg::enumValue(reg::Root::CurrentUser, session.registryKey, index, longName.data(),
                       &longLength, nullptr, nullptr, nullptr) != reg::kSuccess)
        return v;
    v.name.assign(longName.data(), std::min<uint32_t>(longLength, kLongNameBuffer - 1));
    v.result = reg::kSuccess;
    v.data.fill(0);
    v.valid = false;
    return v;
}

void writeLastUsed(const PresetContext& session, const uint8_t* record) {
    reg::setValue(reg::Root::CurrentUser, session.registryKey, kLastUsedName, reg::kTypeBinary,
                  std::span<const uint8_t>(record, static_cast<size_t>(session.recordBytes())));
}

void acceptRecord(PresetContext& session, const uint8_t* record) {
    session.settings.fill(0);
    std::copy_n(record, session.recordBytes(), session.settings.begin());
    if (session.upgradeRecord != nullptr && session.recordBytes() > 5)
        session.upgradeRecord(session.settings.data());
}

bool readLastUsed(const PresetContext& session, RecordBuffer& record) {
    uint32_t type = reg::kTypeNone;
    uint32_t size = static_cast<uint32_t>(session.recordBytes());
    return reg::queryValue(reg::Root::CurrentUser, session.registryKey, kLastUsedName, &type,
                           record.data(), &size) == reg::kSuccess &&
           validValue(session, record, type, size);
}

void startOnDefaultFactoryPreset(PresetContext& session, const os::ResourceModule& resources) {
    const std::vector<os::ResourceId> names = factoryNames(resources);
    session.settings.fill(0);
    if (names.empty()) return;
    const int n = static_cast<int>(names.size());
    const int pick = n >= session.defaultPosition && session.defaultPosition > 0
                         ? n - session.defaultPosition
                         : 0;
    const auto bytes =
        resources.find(os::ResourceId::of(kFactoryPresetType), names[static_cast<size_t>(pick)]);
    if (!bytes) return;
    RecordBuffer record{};
    std::copy_n(bytes->begin(),
                std::min<size_t>(bytes->size(), static_cast<size_t>(session.recordBytes())),
                record.begin());
    if (validateRecord(record.data(), session.format))
        acceptRecord(session, record.data());
    else
        std::copy_n(record.begin(), session.recordBytes(), session.settings.begin());
}

std::string presetDisplayName(std::string_view resourceName) {
    std::string s(resourceName);
    for (char& c : s) c = lower(c);
    if (!s.empty()) s[0] = upper(s[0]);
    // The length is read anew at each step: "__" and ":" shorten the name.
    for (size_t i = 0; i + 1 < s.size(); ++i) {
        if (s[i] == '_' && s[i + 1] == '_') {
            s.erase(i, 2);
            if (i >= s.size()) break;
            s[i] = upper(s[i]);
        }
        if (s[i] == '_') s[i] = ' ';
        if (s[i] == ':') {
            // The character moving into the colon's place is passed over.
            s.erase(i, 1);
            continue;
        }
        if (!letter(s[i]) && s[i] != '\'' && s[i] != '.' && s[i] != '8' && i + 1 < s.size())
            s[i + 1] = upper(s[i + 1]);
    }
    return s;
}

std::string presetResourceName(std::string_view entryText) {
    std::string s(entryText);
    for (size_t i = 0; i < s.size(); ++i) {
        s[i] = upper(s[i]);
        if (s[i] == ' ' && i + 1 < s.size()) s[i] = '_';
    }
    return s;
}

PresetList buildPresetList(const PresetContext& session, const os::ResourceModule& resources) {
    PresetList list;
    for (uint32_t i = 0; i < static_cast<uint32_t>(kMaxUserPresets); ++i) {
        // A name or data that does not fit ends the list here.
        const PresetValue v = presetValueAt(session, i);
        if (v.result != reg::kSuccess) break;
        const char prefix =
            !v.valid ? '?' : (isPinned(v.data.data(), session.recordBytes()) ? '#' : '>');
        list.entries.push_back(prefix + v.name);
    }
    for (const os::ResourceId& name : factoryNames(resources))
        // A numbered resource is named the way ResourceId::of reads it back.
        list.entries.push_back(name.isNumber() ? "#" + std::to_string(name.number)
                                               : presetDisplayName(name.text));
    list.count = static_cast<int>(list.entries.size());
    list.entries.push_back(kSavePresetEntry);
    return list;
}

int defaultPresetIndex(int count, int defaultPosition) {
    const int index = count - defaultPosition;
    return index < 0 ? count - 2 : index;
}

int firstPresetIndex(const PresetList& list, const PresetContext& session) {
    const std::string wanted = std::string("#") + kLastUsedName;
    // The earlier variant keeps no settings between runs, whatever the key holds.
    for (int i = 0; session.keepsLastUsed && i < static_cast<int>(list.entries.size()); ++i) {
        const std::string& e = list.entries[static_cast<size_t>(i)];
        if (e.size() == wanted.size() &&
            std::equal(e.begin(), e.end(), wanted.begin(),
                       [](char a, char b) { return upper(a) == upper(b); }))
            return i;
    }
    return std::max(defaultPresetIndex(list.count, session.defaultPosition), 0);
}

PresetLoad loadPresetAt(PresetContext& session, PresetList& list,
                        const os::ResourceModule& resources, int index) {
    if (index == -1) index = defaultPresetIndex(list.count, session.defaultPosition);
    if (index < 0) return PresetLoad::Nothing;

    // The value of that number, whether or not the list showed it there.
    const PresetValue v = presetValueAt(session, static_cast<uint32_t>(index));
    if (v.result == reg::kSuccess) {
        PresetLoad outcome = PresetLoad::InvalidUserPreset;
        if (v.valid) {
            acceptRecord(session, v.data.data());
            session.showRecord();
            outcome = PresetLoad::UserPreset;
        } else {
            ui::messageBox(session.messageOwner(),
                           kNotValidPresetText, "Error", ui::kMbIconError);
        }
        list.selected = list.current = index;
        return outcome;
    }
    if (!session.dialogOpen()) return PresetLoad::Nothing;

    std::optional<std::span<const uint8_t>> bytes;
    if (index < static_cast<int>(list.entries.size()))
        bytes = resources.find(
            os::ResourceId::of(kFactoryPresetType),
            os::ResourceId::of(presetResourceName(list.entries[static_cast<size_t>(index)])));
    if (!bytes) {
        list.selected = list.current;
        return PresetLoad::PresetDialog;
    }
    list.selected = index;
    PresetLoad outcome = PresetLoad::InvalidFactoryPreset;
    const size_t length = static_cast<size_t>(session.recordBytes());
    if (bytes->size() >= length && validateRecord(bytes->data(), session.format)) {
        acceptRecord(session, bytes->data());
        session.showRecord();
        list.selected = list.current = index;
        outcome = PresetLoad::FactoryPreset;
    }
    // The next encode rebuilds the record from the controls.
    session.settings.fill(0);
    return outcome;
}

}  // namespace qm::fw
