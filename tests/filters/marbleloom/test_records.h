// Small pattern records and scratch folders for the pattern tests.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "filters/marbleloom/image_container.h"
#include "filters/marbleloom/pattern_database.h"
#include "framework/settings/record.h"

namespace qm::marbleloom::test {

inline std::vector<uint8_t> jpegOf(int w, int h, uint8_t seed, int quality = 90) {
    CxImage image(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.SetPixelColor(x, y, PixelColor{static_cast<uint8_t>(x * 8 + seed), static_cast<uint8_t>(y * 8),
                                                 static_cast<uint8_t>(seed * 3), 0});
    image.SetJpegQuality(quality);
    uint8_t* buffer = nullptr;
    long length = 0;
    image.Encode(buffer, length);
    std::vector<uint8_t> out(buffer, buffer + length);
    std::free(buffer);
    return out;
}

// A sealed record of a w x h picture; seed varies the picture (and so the
// identity), sortTime orders it.
inline std::vector<uint8_t> recordOf(const std::string& name, uint8_t seed, uint64_t sortTime = 0, int w = 8,
                                     int h = 8, uint32_t flags = 0) {
    const std::vector<uint8_t> stream = jpegOf(w, h, seed);
    PatternHeader header;
    header.magic = kPatternMagic;
    header.identity = fw::rollingChecksum(stream.data(), stream.size());
    header.setName(name);
    header.flags = flags;
    header.created = sortTime;
    header.sortTime = sortTime;
    header.dataSize = static_cast<uint32_t>(stream.size());
    header.width = static_cast<int16_t>(w);
    header.height = static_cast<int16_t>(h);
    header.channels = 3;
    header.scaleMin = 32;
    header.scaleMax = 50;
    sealHeader(header);
    std::vector<uint8_t> thumb(kThumbBytes, seed);
    return recordBytes(header, thumb.data(), stream.data(), stream.size());
}

inline std::vector<uint8_t> concat(std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

inline void writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<uint8_t> readFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// A fresh folder under the system's temporary folder, removed afterwards.
class ScratchFolder {
public:
    ScratchFolder() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "qm-patterns-XXXXXX").string();
        path_ = ::mkdtemp(tmpl.data());
        path_ += '/';
    }
    ~ScratchFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + name; }

private:
    std::string path_;
};

}  // namespace qm::marbleloom::test
