#include "platform/os/resources.h"

#include <algorithm>
#include <charconv>
#include <vector>

namespace qm::os {
namespace {

char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

std::string upperCased(std::string_view t) {
    std::string s(t);
    for (char& c : s) c = upper(c);
    return s;
}

bool sameText(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [](char x, char y) { return upper(x) == upper(y); });
}

bool matches(const QmResourceId& entry, const ResourceId& id) {
    if (entry.text == nullptr) return id.isNumber() && entry.number == id.number;
    // An empty text in the table would be ambiguous with a number; never match it.
    return !id.isNumber() && sameText(entry.text, id.text);
}

ResourceId toId(const QmResourceId& entry) {
    if (entry.text == nullptr) return ResourceId::of(entry.number);
    return ResourceId{upperCased(entry.text), 0};
}

// The table's entries, or none when it is not a packer-made table.
std::span<const QmResource> entriesOf(const QmResourceTable* table) {
    if (table == nullptr || table->magic != QM_RESOURCE_TABLE_MAGIC || table->entries == nullptr)
        return {};
    return {table->entries, table->count};
}

}  // namespace

ResourceId ResourceId::of(std::string_view t) {
    if (t.size() > 1 && t.front() == '#') {
        uint32_t n = 0;
        const char* first = t.data() + 1;
        const char* last = t.data() + t.size();
        auto [end, ec] = std::from_chars(first, last, n);
        if (ec == std::errc() && end == last) return of(n);
    }
    return {upperCased(t), 0};
}

std::optional<std::span<const uint8_t>> ResourceModule::find(const ResourceId& type,
                                                             const ResourceId& name) const {
    for (const QmResource& r : entriesOf(table_)) {
        if (matches(r.type, type) && matches(r.name, name))
            return std::span<const uint8_t>(r.data, r.data ? r.size : 0);
    }
    return std::nullopt;
}

void ResourceModule::enumerateNames(
    const ResourceId& type, const std::function<bool(const ResourceId&)>& callback) const {
    std::vector<ResourceId> names;
    for (const QmResource& r : entriesOf(table_)) {
        if (matches(r.type, type)) names.push_back(toId(r.name));
    }
    // A resource directory keeps named entries before numbered ones, each sorted.
    auto before = [](const ResourceId& a, const ResourceId& b) {
        if (a.isNumber() != b.isNumber()) return !a.isNumber();
        if (a.isNumber()) return a.number < b.number;
        return a.text < b.text;
    };
    std::sort(names.begin(), names.end(), before);
    names.erase(std::unique(names.begin(), names.end()), names.end());
    for (const ResourceId& n : names) {
        if (!callback(n)) return;
    }
}

}  // namespace qm::os
