// Resources of a module: the table the resource packer generated and linked in.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/pluginapi/pluginapi.h"

namespace qm::os {

// A resource type or name: a number, or an upper-case text.
struct ResourceId {
    std::string text;  // empty: a number
    uint32_t number = 0;

    static ResourceId of(uint32_t n) { return {std::string(), n}; }
    static ResourceId of(std::string_view t);  // upper-cased; "#123" is the number 123
    bool isNumber() const { return text.empty(); }
    bool operator==(const ResourceId&) const = default;
};

class ResourceModule {
public:
    explicit ResourceModule(const QmResourceTable* table) : table_(table) {}

    // FindResource + SizeofResource + LoadResource in one: the bytes, or none.
    std::optional<std::span<const uint8_t>> find(const ResourceId& type,
                                                 const ResourceId& name) const;

    // EnumResourceNames: names of one type in the order a Windows resource
    // directory lists them, text names ascending, then numbers ascending. The
    // callback answers false to stop.
    void enumerateNames(const ResourceId& type,
                        const std::function<bool(const ResourceId&)>& callback) const;

    const QmResourceTable* table() const { return table_; }

private:
    const QmResourceTable* table_;
};

// The resources of the module this code is linked into (its generated table).
const ResourceModule& thisModule();

}  // namespace qm::os
