#include "tools/presetc/preset_text.h"

#include <algorithm>
#include <charconv>
#include <map>
#include <optional>

#include "framework/settings/record.h"

namespace qm::tools {
namespace {

std::vector<std::string_view> words(std::string_view line) {
    line = line.substr(0, line.find('#'));
    std::vector<std::string_view> out;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) ++i;
        size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') ++i;
        if (i > start) out.push_back(line.substr(start, i - start));
    }
    return out;
}

// -2^31 .. 2^32 - 1, as the 32 bits a slot holds.
std::optional<uint32_t> number(std::string_view v) {
    const bool negative = !v.empty() && v.front() == '-';
    if (negative) v.remove_prefix(1);
    int base = 10;
    if (v.size() > 2 && v[0] == '0' && (v[1] == 'x' || v[1] == 'X')) {
        base = 16;
        v.remove_prefix(2);
    }
    if (v.empty()) return std::nullopt;
    uint64_t value = 0;
    auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), value, base);
    if (ec != std::errc() || end != v.data() + v.size()) return std::nullopt;
    if (negative) {
        if (value > 0x80000000ull) return std::nullopt;
        return static_cast<uint32_t>(0x100000000ull - value);
    }
    if (value > 0xFFFFFFFFull) return std::nullopt;
    return static_cast<uint32_t>(value);
}

bool fail(PresetTextError& error, int line, std::string message) {
    error.line = line;
    error.message = std::move(message);
    return false;
}

}  // namespace

bool compilePresetText(std::string_view text, const fw::FilterDescription& filter,
                       std::vector<uint8_t>& record, PresetTextError& error) {
    const fw::RecordFormat& format = filter.format;
    if (format.length < 8 || format.length > fw::kRecordBufferSize)
        return fail(error, 0, "record length " + std::to_string(format.length) + " is not usable");

    // The widest field of each kept slot, and the fields' end, which must stay
    // clear of the pinned flag.
    std::map<int, int> widest;
    std::vector<int> order;
    int bits = fw::kFirstFieldBit;
    format.fields.forEach([&](int slot, int width) {
        if (!widest.count(slot)) order.push_back(slot);
        widest[slot] = std::max(widest[slot], width);
        bits += std::clamp(width, 0, 32);
    });
    if (bits > format.length * 8 - 1)
        return fail(error, 0, "the fields reach into the pinned flag");

    auto nameOf = [&](int slot) -> const char* {
        const fw::Setting* s = fw::findSetting(filter.settings, slot);
        return s ? s->name : nullptr;
    };
    auto slotOf = [&](std::string_view name) -> std::optional<int> {
        const fw::Setting* s = fw::findSetting(filter.settings, name);
        return s ? std::optional<int>(s->slot) : std::nullopt;
    };

    fw::ValueSlots slots{};
    std::map<int, int> givenOn;  // slot -> line
    int versionLine = 0;
    uint8_t version = format.version;
    int lineNumber = 0;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        const std::vector<std::string_view> w = words(text.substr(pos, end - pos));
        pos = end + 1;
        ++lineNumber;
        if (w.empty()) continue;
        if (w.size() != 2) return fail(error, lineNumber, "expected NAME VALUE");
        const std::string name(w[0]);
        const bool isVersion = name == "version";
        const std::optional<int> slot = isVersion ? std::nullopt : slotOf(name);
        if (!slot && !isVersion) return fail(error, lineNumber, "unknown setting '" + name + "'");
        const std::optional<uint32_t> value = number(w[1]);
        if (!value) return fail(error, lineNumber, "bad number '" + std::string(w[1]) + "'");

        if (isVersion) {
            if (versionLine)
                return fail(
                    error, lineNumber,
                    "version given twice (first on line " + std::to_string(versionLine) + ")");
            if (*value > 0xFF) return fail(error, lineNumber, "version must be 0 to 255");
            versionLine = lineNumber;
            version = static_cast<uint8_t>(*value);
            continue;
        }
        if (*slot < 0 || *slot >= fw::kValueSlots || !widest.count(*slot))
            return fail(error, lineNumber, "'" + name + "' is not kept in the record");
        if (givenOn.count(*slot))
            return fail(error, lineNumber,
                        "'" + name + "' given twice (first on line " +
                            std::to_string(givenOn[*slot]) + ")");
        const int width = widest[*slot];
        if (width < 32 && (*value >> width) != 0)
            return fail(error, lineNumber,
                        "'" + name + "' does not fit in " + std::to_string(width) + " bits");
        givenOn[*slot] = lineNumber;
        slots[static_cast<size_t>(*slot)] = static_cast<int32_t>(*value);
    }

    for (int slot : order) {
        if (givenOn.count(slot)) continue;
        const char* name = nameOf(slot);
        return fail(error, 0,
                    name ? "missing setting '" + std::string(name) + "'"
                         : "slot " + std::to_string(slot) + " has no name in the filter");
    }

    fw::RecordFormat sealed = format;
    sealed.version = version;
    record.assign(static_cast<size_t>(format.length), 0);
    fw::packFields(record.data(), sealed, slots);
    fw::sealRecord(record.data(), sealed, false);
    if (!fw::validateRecord(record.data(), format))
        return fail(error, 0, "the record does not validate");
    return true;
}

}  // namespace qm::tools
