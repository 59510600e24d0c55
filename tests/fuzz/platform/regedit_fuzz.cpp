// The REGEDIT4 reader, and the registry's rewrite of a root file holding the
// same text: a stored value reads back, every other value reads as before,
// and a file that is no registry text is left byte for byte.
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/os/regedit_text.h"
#include "platform/os/registry.h"

namespace reg = qm::os::registry;

namespace {

const std::string& folder() {
    // Memory-backed, so the write's sync costs nothing.
    static const std::string path = [] {
        char pattern[] = "/dev/shm/quillmere-fuzz-XXXXXX";
        if (!mkdtemp(pattern)) abort();
        setenv("QUILLMERE_REGISTRY", pattern, 1);
        return std::string(pattern);
    }();
    return path;
}

bool same(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

std::string fileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const auto parsed = qm::os::regedit::parse(text);
    if (parsed.places.size() != parsed.keys.size()) abort();
    for (size_t k = 0; k < parsed.keys.size(); ++k) {
        const auto& places = parsed.places[k];
        if (places.values.size() != parsed.keys[k].key.values.size()) abort();
        for (const auto& span : places.values)
            if (span.begin >= span.end || span.end > text.size()) abort();
    }

    const std::string file = folder() + "/HKEY_CURRENT_USER.reg";
    {
        std::ofstream(file, std::ios::binary | std::ios::trunc) << text;
    }
    std::vector<reg::Key> before = reg::readRoot(reg::Root::CurrentUser);
    const std::vector<uint8_t> stored = {0x5a, 0x00, 0x0a};
    const char* key = "Software\\Quillmere\\Fuzz";
    const long result = reg::setValue(reg::Root::CurrentUser, key, "Last Used", reg::kTypeBinary, stored);
    if (result != reg::kSuccess) {
        if (result != reg::kRegistryCorrupt || fileText(file) != text) abort();
        return 0;
    }
    uint8_t back[8];
    uint32_t length = sizeof back;
    if (reg::queryValue(reg::Root::CurrentUser, key, "Last Used", nullptr, back, &length) != reg::kSuccess ||
        std::vector<uint8_t>(back, back + length) != stored)
        abort();
    // Everything else as it was, in the same order.
    std::vector<reg::Key> after = reg::readRoot(reg::Root::CurrentUser);
    const bool hadKey = std::any_of(before.begin(), before.end(), [&](const reg::Key& k) { return same(k.path, key); });
    for (auto* keys : {&before, &after}) {
        for (reg::Key& k : *keys)
            if (same(k.path, key)) std::erase_if(k.values, [](const reg::Value& v) { return same(v.name, "Last Used"); });
        if (!hadKey) std::erase_if(*keys, [&](const reg::Key& k) { return same(k.path, key); });
    }
    if (after.size() != before.size()) abort();
    for (size_t i = 0; i < after.size(); ++i) {
        if (after[i].path != before[i].path || after[i].values.size() != before[i].values.size()) abort();
        for (size_t v = 0; v < after[i].values.size(); ++v) {
            const reg::Value& a = after[i].values[v];
            const reg::Value& b = before[i].values[v];
            if (a.name != b.name || a.type != b.type || a.data != b.data) abort();
        }
    }
    return 0;
}
