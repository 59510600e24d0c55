// The .8tx pattern database: a plain chain of records, no file header.
//
//   record + 0     PatternHeader (104 bytes, little-endian)
//   record + 104   thumbnail, 40 x 40 blue-green-red, top row first
//   record + 4904  dataSize bytes: the picture as a baseline JPEG stream
//
// The next record starts right after the stream.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "filters/marbleloom/pattern_pixels.h"
#include "platform/os/clock.h"

namespace qm::marbleloom {

constexpr uint32_t kPatternMagic = 0xABCDEF12u;
constexpr size_t kHeaderSize = 104;
constexpr int kThumbSide = 40;
constexpr size_t kThumbBytes = kThumbSide * kThumbSide * 3;
constexpr size_t kRecordPrefix = kHeaderSize + kThumbBytes;  // 4904: the stream's offset
constexpr size_t kNameLength = 23;                           // characters before the NUL

// Header flags.
constexpr uint32_t kFlagFactory = 1u << 0;   // cannot be removed
constexpr uint32_t kFlagDisabled = 1u << 1;  // record not loaded
constexpr uint32_t kFlagHighQuality = 1u << 2;

// Byte offsets inside the header.
namespace header_offset {
constexpr size_t magic = 0, identity = 4, name = 8, minuteStamp = 32, stats = 36, flags = 60,
                 created = 64, sortTime = 72, dataSize = 80, checksum = 84, value88 = 88,
                 value92 = 92, height = 96, width = 98, channels = 100, scaleMin = 102,
                 scaleMax = 103;
}

// Over every pixel: maxima, means and minima of red, green, blue and of
// value, hue (low 8 bits), saturation, in 24 bytes:
//   0..2 max RGB, 3 = 0; 4..6 max VHS, 7 = 0; 8..10 mean RGB, 11 = 0;
//   12..14 mean VHS, 15 = 0; 16..18 min RGB, 19 = 255; 20..22 min VHS, 23 = 255.
struct PatternStats {
    std::array<uint8_t, 24> bytes{};

    uint8_t meanValue() const { return bytes[12]; }
    bool operator==(const PatternStats&) const = default;
};

PatternStats computeStats(const PixelView& pixels);
// "default raw": all 128, but mean green and mean blue 64.
PatternStats defaultRawStats();

struct PatternHeader {
    uint32_t magic = 0;
    uint32_t identity = 0;
    std::array<char, 24> name{};
    uint32_t minuteStamp = 0;
    PatternStats stats;
    uint32_t flags = 0;
    uint64_t created = 0;   // FILETIME, UTC
    uint64_t sortTime = 0;  // FILETIME, the library's order
    uint32_t dataSize = 0;
    uint32_t headerChecksum = 0;
    uint32_t value88 = 0;
    uint32_t value92 = 0;
    int16_t height = 0;
    int16_t width = 0;
    int16_t channels = 0;
    uint8_t scaleMin = 0;
    uint8_t scaleMax = 0;

    std::string nameText() const;
    // Cut to 23 characters, the rest of the field zero.
    void setName(std::string_view text);
};

PatternHeader parseHeader(const uint8_t* bytes);
void serializeHeader(const PatternHeader& header, uint8_t* bytes);

// rollingChecksum over header bytes 0..101 with 84..87 (the checksum) left out.
uint32_t headerChecksum(const uint8_t* bytes);
uint32_t headerChecksum(const PatternHeader& header);
// Recomputes header.headerChecksum.
void sealHeader(PatternHeader& header);

// Magic, checksum and flag bit 1 clear: the record may be loaded.
bool headerPasses(const uint8_t* bytes);

// The sizes a loadable record must have; a header can pass its checksum and
// still lie about them. recordOffset and fileSize bound the stream.
bool headerSizesPlausible(const PatternHeader& header, uint64_t recordOffset, uint64_t fileSize);

// year x 535680 + month x 44640 + day x 1440 + hour x 60 + minute.
uint32_t minuteStampOf(const os::SystemTime& t);

// One whole record: header, thumbnail (kThumbBytes) and stream.
std::vector<uint8_t> recordBytes(const PatternHeader& header, const uint8_t* thumbnail,
                                 const uint8_t* stream, size_t streamLength);

}  // namespace qm::marbleloom
