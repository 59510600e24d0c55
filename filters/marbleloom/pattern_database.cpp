#include "filters/marbleloom/pattern_database.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "filters/marbleloom/image_container.h"
#include "framework/settings/record.h"

namespace qm::marbleloom {
namespace {

namespace off = header_offset;

uint32_t get32(const uint8_t* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}
uint64_t get64(const uint8_t* p) { return uint64_t{get32(p)} | uint64_t{get32(p + 4)} << 32; }
int16_t get16(const uint8_t* p) { return static_cast<int16_t>(p[0] | p[1] << 8); }

void put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
void put64(uint8_t* p, uint64_t v) {
    put32(p, static_cast<uint32_t>(v));
    put32(p + 4, static_cast<uint32_t>(v >> 32));
}
void put16(uint8_t* p, int16_t v) {
    const auto u = static_cast<uint16_t>(v);
    p[0] = static_cast<uint8_t>(u);
    p[1] = static_cast<uint8_t>(u >> 8);
}

}  // namespace

PatternStats computeStats(const PixelView& pixels) {
    PatternStats s;
    if (pixels.empty()) return defaultRawStats();
    int mx[6], mn[6];
    int64_t sum[6] = {};
    std::fill(mx, mx + 6, std::numeric_limits<int>::min());
    std::fill(mn, mn + 6, std::numeric_limits<int>::max());
    for (int y = 0; y < pixels.height; ++y) {
        for (int x = 0; x < pixels.width; ++x) {
            const uint8_t* p = pixels.at(x, y);
            const Hsv hsv = rgbToHsv(p[0], p[1], p[2]);
            const int v[6] = {p[0], p[1], p[2], hsv.v, hsv.h, hsv.s};
            for (int k = 0; k < 6; ++k) {
                mx[k] = std::max(mx[k], v[k]);
                mn[k] = std::min(mn[k], v[k]);
                sum[k] += v[k];
            }
        }
    }
    const int64_t count = int64_t{pixels.width} * pixels.height;
    // Hue runs past 255 (and below 0 between magenta and red); the byte keeps
    // its low 8 bits.
    auto low8 = [](int64_t v) { return static_cast<uint8_t>(v & 0xFF); };
    for (int k = 0; k < 6; ++k) {
        const size_t group = k < 3 ? 0 : 4;
        const size_t i = group + static_cast<size_t>(k % 3);
        s.bytes[i] = low8(mx[k]);
        s.bytes[8 + i] = low8(sum[k] / count);
        s.bytes[16 + i] = low8(mn[k]);
    }
    s.bytes[19] = 255;
    s.bytes[23] = 255;
    return s;
}

PatternStats defaultRawStats() {
    PatternStats s;
    s.bytes.fill(128);
    s.bytes[9] = 64;
    s.bytes[10] = 64;
    return s;
}

std::string PatternHeader::nameText() const {
    const auto end = std::find(name.begin(), name.begin() + kNameLength, '\0');
    return std::string(name.begin(), end);
}

void PatternHeader::setName(std::string_view text) {
    name.fill('\0');
    const size_t n = std::min(text.size(), kNameLength);
    std::copy_n(text.begin(), n, name.begin());
}

PatternHeader parseHeader(const uint8_t* b) {
    PatternHeader h;
    h.magic = get32(b + off::magic);
    h.identity = get32(b + off::identity);
    std::memcpy(h.name.data(), b + off::name, h.name.size());
    h.minuteStamp = get32(b + off::minuteStamp);
    std::memcpy(h.stats.bytes.data(), b + off::stats, h.stats.bytes.size());
    h.flags = get32(b + off::flags);
    h.created = get64(b + off::created);
    h.sortTime = get64(b + off::sortTime);
    h.dataSize = get32(b + off::dataSize);
    h.headerChecksum = get32(b + off::checksum);
    h.value88 = get32(b + off::value88);
    h.value92 = get32(b + off::value92);
    h.height = get16(b + off::height);
    h.width = get16(b + off::width);
    h.channels = get16(b + off::channels);
    h.scaleMin = b[off::scaleMin];
    h.scaleMax = b[off::scaleMax];
    return h;
}

void serializeHeader(const PatternHeader& h, uint8_t* b) {
    put32(b + off::magic, h.magic);
    put32(b + off::identity, h.identity);
    std::memcpy(b + off::name, h.name.data(), h.name.size());
    put32(b + off::minuteStamp, h.minuteStamp);
    std::memcpy(b + off::stats, h.stats.bytes.data(), h.stats.bytes.size());
    put32(b + off::flags, h.flags);
    put64(b + off::created, h.created);
    put64(b + off::sortTime, h.sortTime);
    put32(b + off::dataSize, h.dataSize);
    put32(b + off::checksum, h.headerChecksum);
    put32(b + off::value88, h.value88);
    put32(b + off::value92, h.value92);
    put16(b + off::height, h.height);
    put16(b + off::width, h.width);
    put16(b + off::channels, h.channels);
    b[off::scaleMin] = h.scaleMin;
    b[off::scaleMax] = h.scaleMax;
}

uint32_t headerChecksum(const uint8_t* bytes) {
    // The checksum's own four bytes are left out; the scaling bytes 102 and
    // 103 are not covered.
    uint8_t covered[98];
    std::memcpy(covered, bytes, 84);
    std::memcpy(covered + 84, bytes + 88, 14);
    return fw::rollingChecksum(covered, sizeof covered);
}

uint32_t headerChecksum(const PatternHeader& header) {
    uint8_t bytes[kHeaderSize];
    serializeHeader(header, bytes);
    return headerChecksum(bytes);
}

void sealHeader(PatternHeader& header) { header.headerChecksum = headerChecksum(header); }

bool headerPasses(const uint8_t* bytes) {
    return get32(bytes + off::magic) == kPatternMagic &&
           get32(bytes + off::checksum) == headerChecksum(bytes) &&
           (get32(bytes + off::flags) & kFlagDisabled) == 0;
}

bool headerSizesPlausible(const PatternHeader& h, uint64_t recordOffset, uint64_t fileSize) {
    if (h.width <= 0 || h.height <= 0 || h.channels != 3) return false;
    if (int64_t{h.width} * h.height > kMaxImagePixels) return false;
    if (h.dataSize == 0 || h.dataSize >= 0x80000000u) return false;
    return recordOffset <= fileSize && fileSize - recordOffset >= kRecordPrefix &&
           fileSize - recordOffset - kRecordPrefix >= h.dataSize;
}

uint32_t minuteStampOf(const os::SystemTime& t) {
    return uint32_t{t.year} * 535680u + uint32_t{t.month} * 44640u + uint32_t{t.day} * 1440u +
           uint32_t{t.hour} * 60u + uint32_t{t.minute};
}

std::vector<uint8_t> recordBytes(const PatternHeader& header, const uint8_t* thumbnail,
                                 const uint8_t* stream, size_t streamLength) {
    std::vector<uint8_t> out(kRecordPrefix + streamLength);
    serializeHeader(header, out.data());
    std::memcpy(out.data() + kHeaderSize, thumbnail, kThumbBytes);
    if (streamLength > 0) std::memcpy(out.data() + kRecordPrefix, stream, streamLength);
    return out;
}

}  // namespace qm::marbleloom
