#include "tools/presetc/settings_resource.h"

#include <algorithm>

#include "framework/settings/preset_store.h"

namespace qm::tools {
namespace {

const char* kindName(fw::ControlKind kind) {
    switch (kind) {
        case fw::ControlKind::Slider: return "slider";
        case fw::ControlKind::Pair: return "pair";
        case fw::ControlKind::Pad: return "pad";
        case fw::ControlKind::Selector: return "selector";
        case fw::ControlKind::Toggle: return "toggle";
        case fw::ControlKind::Colour: return "colour";
        case fw::ControlKind::Pattern: return "pattern";
    }
    return "slider";
}

// Tabs and line ends would split a text; none of ours has them.
std::string cell(const char* text) {
    std::string s = text ? text : "";
    for (char& c : s)
        if (c == '\t' || c == '\n' || c == '\r') c = ' ';
    return s;
}

}  // namespace

std::string settingsResourceText(const fw::FilterDescription& filter,
                                 std::vector<std::string> presetNames) {
    std::string t = "quillmere-settings\t1\n";
    auto line = [&](std::initializer_list<std::string> cells) {
        bool first = true;
        for (const std::string& c : cells) {
            if (!first) t += '\t';
            t += c;
            first = false;
        }
        t += '\n';
    };
    const fw::RecordFormat& f = filter.format;
    line({"plugin", cell(filter.name)});
    line({"record", std::to_string(f.id), std::to_string(f.version), std::to_string(f.length)});
    line({"key", cell(filter.registryKey)});
    line({"variant", filter.variant.keepsSettings ? "later" : "earlier"});
    line({"dialog", filter.variant.dialogAtEveryRun ? "every-run" : "parameters"});
    line({"default", std::to_string(filter.defaultPosition)});
    f.fields.forEach([&](int slot, int width) { line({"field", std::to_string(slot), std::to_string(width)}); });
    // Only what the record keeps: controls without a field are not settings to a host.
    auto stored = [&](int slot) {
        bool kept = false;
        f.fields.forEach([&](int fieldSlot, int width) { kept = kept || (fieldSlot == slot && width > 0); });
        return kept;
    };
    for (const fw::Setting& s : filter.settings)
        if (s.name != nullptr && stored(s.slot))
            line({"setting", cell(s.name), std::to_string(s.slot), kindName(s.kind),
                  std::to_string(s.minimum), std::to_string(s.maximum), std::to_string(s.initial),
                  cell(s.label), cell(s.status)});
    // The resource directory's order, which the preset list follows.
    std::sort(presetNames.begin(), presetNames.end());
    presetNames.erase(std::unique(presetNames.begin(), presetNames.end()), presetNames.end());
    for (const std::string& name : presetNames) line({"preset", name, fw::presetDisplayName(name)});
    return t;
}

}  // namespace qm::tools
