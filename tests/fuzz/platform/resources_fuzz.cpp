// A plug-in's resource table, built from the bytes: the module's lookups
// that every plug-in makes on it, and what the host reads out of it (the
// PiPL, the settings resource and the factory presets it names).
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "host/pipl.h"
#include "host/plugin_settings.h"
#include "platform/os/resources.h"

namespace {

class Reader {
public:
    Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    uint8_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    std::string_view bytes(size_t n) {
        n = std::min(n, size_ - pos_);
        const std::string_view out(reinterpret_cast<const char*>(data_ + pos_), n);
        pos_ += n;
        return out;
    }
    bool done() const { return pos_ >= size_; }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

// An id: a number, or (high bit) a text of the next n bytes; a few texts
// the host and plug-ins look for are one byte away.
QmResourceId readId(Reader& in, std::deque<std::string>& texts) {
    const uint8_t b = in.byte();
    static const char* const kKnown[] = {"PIPL", "SETTINGS", "DEFAULT", "AETE"};
    if (b >= 0xFC) return {(texts.emplace_back(kKnown[b - 0xFC]), texts.back().c_str()), 0};
    if (b & 0x80) return {(texts.emplace_back(in.bytes(b & 0x3F)), texts.back().c_str()), 0};
    return {nullptr, b == 0x7F ? 16000u : b == 0x7E ? 2000u : b};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Reader in(data, size);
    std::deque<std::string> texts;
    std::deque<std::string> blobs;
    std::vector<QmResource> entries;
    while (!in.done() && entries.size() < 32) {
        QmResource r{};
        r.type = readId(in, texts);
        r.name = readId(in, texts);
        const size_t length = static_cast<size_t>(in.byte()) << 4 | (in.byte() & 0x0F);
        const std::string& blob = blobs.emplace_back(in.bytes(length));
        r.data = reinterpret_cast<const uint8_t*>(blob.data());
        r.size = static_cast<uint32_t>(blob.size());
        entries.push_back(r);
    }
    const QmResourceTable table{QM_RESOURCE_TABLE_MAGIC, static_cast<uint32_t>(entries.size()), entries.data()};
    const qm::os::ResourceModule module(&table);

    using qm::os::ResourceId;
    qm::host::PluginSettings settings;
    bool haveSettings = false;
    for (const ResourceId& type : {ResourceId::of("PIPL"), ResourceId::of("SETTINGS"), ResourceId::of(2000),
                                   ResourceId::of("#2000"), ResourceId::of(16000)}) {
        module.enumerateNames(type, [&](const ResourceId& name) {
            const auto bytes = module.find(type, name);
            // An empty text name lists as the number 0 and is then not found;
            // tables the packer makes have none.
            if (!bytes) return name.isNumber() && name.number == 0 ? true : (abort(), false);
            std::string error;
            if (type == ResourceId::of("PIPL")) {
                qm::host::Pipl pipl;
                if (qm::host::parsePipl(*bytes, pipl, error)) (void)qm::host::pluginEnabledFor(pipl, {3, 8});
            } else if (type == ResourceId::of("SETTINGS") && !haveSettings) {
                haveSettings = qm::host::parsePluginSettings(
                    std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()), settings, error);
            } else if (haveSettings && type.isNumber() && type.number == 2000) {
                const qm::host::Record record(bytes->begin(), bytes->end());
                if (!settings.valid(record)) (void)settings.whyInvalid(record);
                else for (const auto& s : settings.settings) (void)settings.value(record, s.slot);
            }
            return true;
        });
    }
    if (haveSettings) (void)settings.defaultPreset();
    return 0;
}
