// qm_pattern_maker OUTDIR [--sheet FILE.png] [--tiles FILE.png]
//
// Makes the four factory pattern databases. Not run by the build: its output
// is committed, since the pattern identities (checksums of the JPEG streams)
// must stay the same from build to build.
#include <png.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "filters/marbleloom/image_container.h"
#include "filters/marbleloom/pattern_database.h"
#include "framework/settings/record.h"
#include "platform/os/clock.h"
#include "tools/patterns/catalogue.h"

namespace {

using namespace qm::marbleloom;
using qm::patterns::PatternSpec;

constexpr int kQuality = 80;
// Every factory pattern is dated from here on, a minute apart, so that the
// library lists them in the order of the databases.
constexpr int64_t kFirstStamp = 1767261600;  // 2026-01-01 10:00 UTC
const int kSizes[4] = {48, 40, 30, 40};

struct Made {
    std::vector<uint8_t> record;
    std::vector<uint8_t> decoded;  // RGB, top row first
    int side = 0;
};

std::vector<uint8_t> toRgb(const CxImage& image) {
    const int w = image.GetWidth(), h = image.GetHeight();
    std::vector<uint8_t> out(static_cast<size_t>(w) * static_cast<size_t>(h) * 3);
    for (int i = 0; i < h; ++i)
        for (int x = 0; x < w; ++x) {
            const PixelColor c = image.GetPixelColor(x, h - 1 - i);
            uint8_t* p = out.data() + (static_cast<size_t>(i) * static_cast<size_t>(w) + static_cast<size_t>(x)) * 3;
            p[0] = c.red;
            p[1] = c.green;
            p[2] = c.blue;
        }
    return out;
}

// Area average onto 40 x 40, as blue, green, red.
std::vector<uint8_t> thumbnailOf(const std::vector<uint8_t>& rgb, int n) {
    std::vector<uint8_t> out(kThumbBytes);
    for (int ty = 0; ty < kThumbSide; ++ty)
        for (int tx = 0; tx < kThumbSide; ++tx) {
            const int x0 = tx * n / kThumbSide, x1 = std::max(x0 + 1, (tx + 1) * n / kThumbSide);
            const int y0 = ty * n / kThumbSide, y1 = std::max(y0 + 1, (ty + 1) * n / kThumbSide);
            int sum[3] = {0, 0, 0};
            for (int y = y0; y < y1; ++y)
                for (int x = x0; x < x1; ++x)
                    for (int k = 0; k < 3; ++k)
                        sum[k] += rgb[(static_cast<size_t>(y) * static_cast<size_t>(n) + static_cast<size_t>(x)) * 3 + static_cast<size_t>(k)];
            const int count = (x1 - x0) * (y1 - y0);
            uint8_t* p = out.data() + (static_cast<size_t>(ty) * kThumbSide + static_cast<size_t>(tx)) * 3;
            p[0] = static_cast<uint8_t>(sum[2] / count);
            p[1] = static_cast<uint8_t>(sum[1] / count);
            p[2] = static_cast<uint8_t>(sum[0] / count);
        }
    return out;
}

Made make(const PatternSpec& recipe, int index) {
    const int n = recipe.size;
    const std::vector<uint8_t> rgb = qm::patterns::render(recipe.picture, n);
    CxImage image(n, n);
    for (int i = 0; i < n; ++i)
        for (int x = 0; x < n; ++x) {
            const uint8_t* p = rgb.data() + (static_cast<size_t>(i) * static_cast<size_t>(n) + static_cast<size_t>(x)) * 3;
            image.SetPixelColor(x, n - 1 - i, PixelColor{p[2], p[1], p[0], 0});
        }
    image.SetJpegQuality(kQuality);
    uint8_t* stream = nullptr;
    long length = 0;
    if (!image.Encode(stream, length)) {
        std::fprintf(stderr, "cannot encode %s\n", recipe.name.c_str());
        std::exit(1);
    }
    CxImage decodedImage;
    if (!decodedImage.Decode(stream, static_cast<size_t>(length))) {
        std::fprintf(stderr, "cannot decode %s\n", recipe.name.c_str());
        std::exit(1);
    }
    Made made;
    made.side = n;
    made.decoded = toRgb(decodedImage);

    PatternHeader h;
    h.magic = kPatternMagic;
    h.identity = qm::fw::rollingChecksum(stream, static_cast<size_t>(length));
    h.setName(recipe.name);
    const uint64_t when = qm::os::fileTimeFromUnix(kFirstStamp + int64_t{60} * index, 0);
    qm::os::SystemTime t{};
    qm::os::fileTimeToSystemTime(when, &t);
    h.minuteStamp = minuteStampOf(t);
    h.stats = computeStats(PixelView{made.decoded.data(), n, n, 3, static_cast<ptrdiff_t>(n) * 3});
    h.flags = kFlagFactory;
    h.created = when;
    h.sortTime = when;
    h.dataSize = static_cast<uint32_t>(length);
    h.width = static_cast<int16_t>(n);
    h.height = static_cast<int16_t>(n);
    h.channels = 3;
    h.scaleMin = recipe.scaleMin;
    h.scaleMax = recipe.scaleMax;
    sealHeader(h);
    const std::vector<uint8_t> thumb = thumbnailOf(made.decoded, n);
    made.record = recordBytes(h, thumb.data(), stream, static_cast<size_t>(length));
    std::free(stream);
    return made;
}

// Each pattern tiled 2 x 2, so that seams would show: at half size in cells
// of 128, or at full size in cells of 320.
bool writeSheet(const std::string& path, const std::vector<Made>& all, bool fullSize) {
    const int kCell = fullSize ? 320 : 128, kGap = 6, kColumns = fullSize ? 8 : 12;
    const int rows = static_cast<int>((all.size() + kColumns - 1) / kColumns);
    const int width = kColumns * (kCell + kGap) + kGap, height = rows * (kCell + kGap) + kGap;
    std::vector<uint8_t> sheet(static_cast<size_t>(width) * static_cast<size_t>(height) * 3, 40);
    for (size_t k = 0; k < all.size(); ++k) {
        const int ox = kGap + static_cast<int>(k % kColumns) * (kCell + kGap);
        const int oy = kGap + static_cast<int>(k / kColumns) * (kCell + kGap);
        const int n = all[k].side;
        for (int y = 0; y < kCell; ++y)
            for (int x = 0; x < kCell; ++x) {
                const int sx = fullSize ? x % n : (x % (kCell / 2)) * n / (kCell / 2);
                const int sy = fullSize ? y % n : (y % (kCell / 2)) * n / (kCell / 2);
                const uint8_t* p = all[k].decoded.data() + (static_cast<size_t>(sy) * static_cast<size_t>(n) + static_cast<size_t>(sx)) * 3;
                std::copy_n(p, 3, sheet.data() + (static_cast<size_t>(oy + y) * static_cast<size_t>(width) + static_cast<size_t>(ox + x)) * 3);
            }
    }
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(f);
        return false;
    }
    png_init_io(png, f);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y) png_write_row(png, sheet.data() + static_cast<size_t>(y) * static_cast<size_t>(width) * 3);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(f) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: qm_pattern_maker OUTDIR [--sheet FILE.png] [--tiles FILE.png]\n");
        return 2;
    }
    const std::string outdir = argv[1];
    std::string sheetPath, tilesPath;
    for (int i = 2; i + 1 < argc; ++i) {
        if (std::string(argv[i]) == "--sheet") sheetPath = argv[i + 1];
        if (std::string(argv[i]) == "--tiles") tilesPath = argv[i + 1];
    }

    const auto databases = qm::patterns::factoryDatabases();
    std::vector<Made> all;
    int index = 0;
    for (size_t d = 0; d < databases.size(); ++d) {
        const auto& db = databases[d];
        if (static_cast<int>(db.patterns.size()) != kSizes[d]) {
            std::fprintf(stderr, "%s: %zu patterns, not %d\n", db.fileName.c_str(), db.patterns.size(), kSizes[d]);
            return 1;
        }
        std::vector<uint8_t> file;
        for (const PatternSpec& recipe : db.patterns) {
            Made made = make(recipe, index++);
            file.insert(file.end(), made.record.begin(), made.record.end());
            all.push_back(std::move(made));
        }
        const std::string path = outdir + "/" + db.fileName;
        std::FILE* f = std::fopen(path.c_str(), "wb");
        if (!f || std::fwrite(file.data(), 1, file.size(), f) != file.size() || std::fclose(f) != 0) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
        std::printf("%s: %zu patterns, %zu bytes\n", path.c_str(), db.patterns.size(), file.size());
    }
    if (!sheetPath.empty() && !writeSheet(sheetPath, all, false)) {
        std::fprintf(stderr, "cannot write %s\n", sheetPath.c_str());
        return 1;
    }
    if (!tilesPath.empty() && !writeSheet(tilesPath, all, true)) {
        std::fprintf(stderr, "cannot write %s\n", tilesPath.c_str());
        return 1;
    }
    return 0;
}
