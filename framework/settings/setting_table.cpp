#include "framework/settings/setting_table.h"

#include <algorithm>

namespace qm::fw {

const Setting* findSetting(SettingTable table, int slot) {
    for (const Setting& s : table)
        if (s.name != nullptr && s.slot == slot) return &s;
    return nullptr;
}

const Setting* findSetting(SettingTable table, std::string_view name) {
    for (const Setting& s : table)
        if (s.name != nullptr && name == s.name) return &s;
    return nullptr;
}

int32_t limitToSetting(const Setting& setting, int32_t value) {
    if (!hasRange(setting.kind)) return value;
    const int part = partBits(setting.kind);
    if (part == 0) return std::clamp(value, setting.minimum, setting.maximum);
    // Each part limited on its own.
    const Parts p = unpackParts(setting.kind, value);
    return packParts(setting.kind, std::clamp(p.first, setting.minimum, setting.maximum),
                     std::clamp(p.second, setting.minimum, setting.maximum));
}

void limitSlots(SettingTable table, ValueSlots& slots) {
    for (const Setting& s : table)
        if (s.name != nullptr) {
            int32_t& v = slots[static_cast<size_t>(s.slot)];
            v = limitToSetting(s, v);
        }
}

void resetSlots(SettingTable table, ValueSlots& slots, ResetGroups groups) {
    for (const Setting& s : table)
        if (s.name != nullptr && (s.resets & groups) != 0) slots[static_cast<size_t>(s.slot)] = s.reset;
}

void initialSlots(SettingTable table, ValueSlots& slots) {
    for (const Setting& s : table)
        if (s.name != nullptr) slots[static_cast<size_t>(s.slot)] = s.initial;
}

}  // namespace qm::fw
