// The .8tx reader on hostile files: the library walks the file's chain and
// every entry kept is loaded into a slot.
//
// The first input byte chooses a mode: with bit 0 set, every header along the
// chain gets a correct checksum before the walk, so that mutations reach the
// checks behind it (sizes that lie, streams that are not JPEG).
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "filters/marbleloom/pattern_database.h"
#include "filters/marbleloom/pattern_library.h"

using namespace qm::marbleloom;

namespace {

void resealChain(std::vector<uint8_t>& bytes) {
    size_t offset = 0;
    for (int n = 0; n < 64 && offset + kHeaderSize <= bytes.size(); ++n) {
        uint8_t* h = bytes.data() + offset;
        PatternHeader header = parseHeader(h);
        if (header.magic != kPatternMagic) return;
        header.headerChecksum = headerChecksum(h);
        serializeHeader(header, h);
        const uint64_t next = uint64_t{offset} + kRecordPrefix + header.dataSize;
        if (next >= bytes.size()) return;
        offset = static_cast<size_t>(next);
    }
}

struct ScratchFile {
    std::string path = "/tmp/qm-record-fuzz-" + std::to_string(::getpid()) + ".8tx";
    ~ScratchFile() { std::remove(path.c_str()); }
};

const std::string& scratchPath() {
    static const ScratchFile file;
    return file.path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    std::vector<uint8_t> bytes(data + 1, data + size);
    if (data[0] & 1) resealChain(bytes);
    const std::string& path = scratchPath();
    {
        std::FILE* f = std::fopen(path.c_str(), "wb");
        if (!f) return 0;
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    PatternLibrary lib;
    lib.readFile("", false);
    lib.readFile(path, true);
    if (lib.count() > PatternLibrary::kMaxCount) std::abort();
    for (int i = 1; i < lib.count(); ++i) {
        PatternEntry& e = lib.entry(i);
        if (e.header.width <= 0 || e.header.height <= 0 || e.header.channels != 3) std::abort();
        PatternSlot slot;
        slot.load(e, {});
        if (slot.hasPixels()) {
            const PixelView p = slot.pixels();
            volatile uint8_t last = p.at(p.width - 1, p.height - 1)[2];
            (void)last;
        }
    }
    // A JFIF file or a record at a later offset, as import and the chain see it.
    PatternEntry e;
    loadEntry(e, path, size > 9 ? data[size / 2] : 0, {});
    return 0;
}
