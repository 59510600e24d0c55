#include "host/image.h"

#include <gtest/gtest.h>
#include <png.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <csetjmp>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using qm::host::ColourSpace;
using qm::host::Image;
using qm::host::loadImage;
using qm::host::saveImage;

namespace {

using Bytes = std::vector<uint8_t>;

class ScratchDir {
public:
    ScratchDir() {
        std::string pattern = (fs::temp_directory_path() / "qm_image_test_XXXXXX").string();
        path_ = ::mkdtemp(pattern.data()) ? pattern : std::string();
    }
    ~ScratchDir() {
        std::error_code ignored;
        if (!path_.empty()) fs::remove_all(path_, ignored);
    }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(path_)) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    std::string path_;
};

// Deterministic pseudo-random numbers, so failures reproduce.
struct Lcg {
    uint32_t state;
    uint32_t next() {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    }
};

Bytes readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

void writeBytes(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

Image blankImage(ColourSpace colour, bool alpha, int depth, int32_t width, int32_t height) {
    Image image;
    image.width = width;
    image.height = height;
    image.colour = colour;
    image.hasAlpha = alpha;
    image.depth = depth;
    image.pixels.assign(image.rowBytes() * static_cast<size_t>(height), 0);
    return image;
}

// Noise over the full range, with the extremes in the first and last pixel.
Image noiseImage(ColourSpace colour, bool alpha, int depth, int32_t width, int32_t height, uint32_t seed) {
    Image image = blankImage(colour, alpha, depth, width, height);
    const uint32_t maxValue = depth == 16 ? 0xffff : 0xff;
    Lcg rng{seed};
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x)
            for (int c = 0; c < image.channels(); ++c) image.setSample(x, y, c, rng.next() & maxValue);
    for (int c = 0; c < image.channels(); ++c) {
        image.setSample(0, 0, c, 0);
        image.setSample(width - 1, height - 1, c, maxValue);
    }
    return image;
}

// Gradients running different ways in each channel, the kind of content JPEG
// keeps well. Sides up to 40 x 24.
Image smoothImage(ColourSpace colour, int32_t width, int32_t height) {
    Image image = blankImage(colour, false, 8, width, height);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            const int values[4] = {20 + x * 4 + y, 20 + y * 8 + x, 220 - x * 4 - y * 2, 60 + x * 2 + y * 2};
            for (int c = 0; c < image.channels(); ++c) image.setSample(x, y, c, static_cast<uint32_t>(values[c]));
        }
    return image;
}

int maxDifference(const Image& a, const Image& b) {
    int worst = 0;
    for (size_t i = 0; i < a.pixels.size() && i < b.pixels.size(); ++i)
        worst = std::max(worst, std::abs(int{a.pixels[i]} - int{b.pixels[i]}));
    return worst;
}

void expectSameLayout(const Image& expected, const Image& actual) {
    EXPECT_EQ(actual.width, expected.width);
    EXPECT_EQ(actual.height, expected.height);
    EXPECT_EQ(actual.colour, expected.colour);
    EXPECT_EQ(actual.hasAlpha, expected.hasAlpha);
    EXPECT_EQ(actual.depth, expected.depth);
    EXPECT_EQ(actual.pixels.size(), expected.pixels.size());
}

TEST(ImageSample, AddressesInterleavedRowsInNativeOrder) {
    Image wide = blankImage(ColourSpace::RGB, true, 16, 3, 2);
    wide.setSample(2, 1, 3, 0xabcd);
    uint16_t stored;
    std::memcpy(&stored, wide.pixels.data() + ((1 * 3 + 2) * 4 + 3) * 2, 2);
    EXPECT_EQ(stored, 0xabcd);
    EXPECT_EQ(wide.sample(2, 1, 3), 0xabcdu);
    EXPECT_EQ(std::count(wide.pixels.begin(), wide.pixels.end(), 0), 46);

    Image narrow = blankImage(ColourSpace::Grey, true, 8, 3, 2);
    narrow.setSample(1, 1, 1, 200);
    EXPECT_EQ(narrow.pixels[(1 * 3 + 1) * 2 + 1], 200);
    EXPECT_EQ(narrow.sample(1, 1, 1), 200u);
}

// --- PNG written and read back by the host ---

struct PngKind {
    ColourSpace colour;
    bool alpha;
    int depth;
};

class PngRoundTrip : public ::testing::TestWithParam<PngKind> {};

TEST_P(PngRoundTrip, IsExact) {
    ScratchDir dir;
    const PngKind kind = GetParam();
    // Odd sizes catch row stride mistakes.
    Image original = noiseImage(kind.colour, kind.alpha, kind.depth, 7, 5, 12345);
    std::string error;
    ASSERT_TRUE(saveImage(dir.file("a.png"), original, error)) << error;
    Image loaded;
    ASSERT_TRUE(loadImage(dir.file("a.png"), loaded, error)) << error;
    expectSameLayout(original, loaded);
    EXPECT_EQ(loaded.pixels, original.pixels);
}

INSTANTIATE_TEST_SUITE_P(
    AllKinds, PngRoundTrip,
    ::testing::Values(PngKind{ColourSpace::Grey, false, 8}, PngKind{ColourSpace::Grey, true, 8},
                      PngKind{ColourSpace::RGB, false, 8}, PngKind{ColourSpace::RGB, true, 8},
                      PngKind{ColourSpace::Grey, false, 16}, PngKind{ColourSpace::Grey, true, 16},
                      PngKind{ColourSpace::RGB, false, 16}, PngKind{ColourSpace::RGB, true, 16}),
    [](const auto& p) {
        const PngKind& k = p.param;
        return std::string(k.colour == ColourSpace::Grey ? "Grey" : "RGB") + (k.alpha ? "Alpha" : "") +
               std::to_string(k.depth);
    });

// --- PNG kinds the host never writes, made with libpng directly ---

struct ForeignPng {
    const char* name;
    int colorType;
    int bitDepth;
    bool interlaced;
    std::vector<png_color> palette;
    std::vector<png_byte> paletteAlpha;     // tRNS of a palette image
    std::optional<png_color_16> keyColour;  // tRNS of a grey or RGB image
    // What the host should load.
    ColourSpace colour;
    bool alpha;
    int depth;
    // Expected samples of one pixel from its stored values.
    std::function<std::vector<uint32_t>(const uint32_t* stored)> expand;
};

int storedChannels(int colorType) {
    switch (colorType) {
        case PNG_COLOR_TYPE_GRAY:
        case PNG_COLOR_TYPE_PALETTE: return 1;
        case PNG_COLOR_TYPE_GRAY_ALPHA: return 2;
        case PNG_COLOR_TYPE_RGB: return 3;
        default: return 4;
    }
}

bool writeRowsWithLibpng(std::FILE* file, const ForeignPng& c, int32_t width, int32_t height, png_bytepp rows) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), c.bitDepth,
                 c.colorType, c.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!c.palette.empty()) png_set_PLTE(png, info, c.palette.data(), static_cast<int>(c.palette.size()));
    if (!c.paletteAlpha.empty())
        png_set_tRNS(png, info, c.paletteAlpha.data(), static_cast<int>(c.paletteAlpha.size()), nullptr);
    if (c.keyColour) png_set_tRNS(png, info, nullptr, 0, &*c.keyColour);
    png_write_info(png, info);
    png_set_interlace_handling(png);
    png_write_image(png, rows);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}

// Packs stored values as PNG holds them: below 8 bits most significant first,
// 16 bits big-endian.
bool writeForeignPng(const std::string& path, const ForeignPng& c, int32_t width, int32_t height,
                     const std::vector<uint32_t>& stored) {
    const int channels = storedChannels(c.colorType);
    const size_t rowBytes = (static_cast<size_t>(width) * static_cast<size_t>(channels * c.bitDepth) + 7) / 8;
    std::vector<Bytes> rows(static_cast<size_t>(height), Bytes(rowBytes, 0));
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t i = 0; i < width * channels; ++i) {
            uint32_t v = stored[static_cast<size_t>(y * width * channels + i)];
            Bytes& row = rows[static_cast<size_t>(y)];
            if (c.bitDepth == 16) {
                row[static_cast<size_t>(i) * 2] = static_cast<uint8_t>(v >> 8);
                row[static_cast<size_t>(i) * 2 + 1] = static_cast<uint8_t>(v);
            } else {
                size_t bit = static_cast<size_t>(i) * static_cast<size_t>(c.bitDepth);
                row[bit / 8] = static_cast<uint8_t>(row[bit / 8] | v << (8 - c.bitDepth - bit % 8));
            }
        }
    }
    std::vector<png_bytep> pointers;
    for (Bytes& row : rows) pointers.push_back(row.data());
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    bool ok = writeRowsWithLibpng(file, c, width, height, pointers.data());
    return std::fclose(file) == 0 && ok;
}

std::vector<png_color> testPalette(int entries) {
    std::vector<png_color> palette;
    for (int i = 0; i < entries; ++i)
        palette.push_back(png_color{static_cast<png_byte>(i * 16), static_cast<png_byte>(255 - i * 7),
                                    static_cast<png_byte>(i * 33 % 256)});
    return palette;
}

std::vector<ForeignPng> foreignPngs() {
    const std::vector<png_color> palette = testPalette(16);
    const std::vector<png_byte> paletteAlpha = {0, 100, 200};
    auto fromPalette = [palette](const uint32_t* s) {
        const png_color& p = palette[*s];
        return std::vector<uint32_t>{p.red, p.green, p.blue};
    };
    auto fromPaletteWithAlpha = [palette, paletteAlpha](const uint32_t* s) {
        const png_color& p = palette[*s];
        return std::vector<uint32_t>{p.red, p.green, p.blue, *s < paletteAlpha.size() ? paletteAlpha[*s] : 255u};
    };
    auto scaled = [](uint32_t factor) {
        return [factor](const uint32_t* s) { return std::vector<uint32_t>{*s * factor}; };
    };
    png_color_16 greyKey{};
    greyKey.gray = 7;
    png_color_16 rgbKey{};
    rgbKey.red = 0x1234;
    rgbKey.green = 0x5678;
    rgbKey.blue = 0x9abc;
    auto same = [](int channels) {
        return [channels](const uint32_t* s) { return std::vector<uint32_t>(s, s + channels); };
    };
    return {
        {"Palette8", PNG_COLOR_TYPE_PALETTE, 8, false, palette, {}, {}, ColourSpace::RGB, false, 8, fromPalette},
        {"Palette4WithTransparency", PNG_COLOR_TYPE_PALETTE, 4, false, palette, paletteAlpha, {}, ColourSpace::RGB,
         true, 8, fromPaletteWithAlpha},
        {"Grey1", PNG_COLOR_TYPE_GRAY, 1, false, {}, {}, {}, ColourSpace::Grey, false, 8, scaled(255)},
        {"Grey2", PNG_COLOR_TYPE_GRAY, 2, false, {}, {}, {}, ColourSpace::Grey, false, 8, scaled(85)},
        {"Grey4Interlaced", PNG_COLOR_TYPE_GRAY, 4, true, {}, {}, {}, ColourSpace::Grey, false, 8, scaled(17)},
        {"Grey8WithKeyColour", PNG_COLOR_TYPE_GRAY, 8, false, {}, {}, greyKey, ColourSpace::Grey, true, 8,
         [](const uint32_t* s) { return std::vector<uint32_t>{*s, *s == 7 ? 0u : 255u}; }},
        {"RGB16WithKeyColour", PNG_COLOR_TYPE_RGB, 16, false, {}, {}, rgbKey, ColourSpace::RGB, true, 16,
         [](const uint32_t* s) {
             bool key = s[0] == 0x1234 && s[1] == 0x5678 && s[2] == 0x9abc;
             return std::vector<uint32_t>{s[0], s[1], s[2], key ? 0u : 0xffffu};
         }},
        {"RGBA16Interlaced", PNG_COLOR_TYPE_RGB_ALPHA, 16, true, {}, {}, {}, ColourSpace::RGB, true, 16, same(4)},
        {"RGB8Interlaced", PNG_COLOR_TYPE_RGB, 8, true, {}, {}, {}, ColourSpace::RGB, false, 8, same(3)},
    };
}

class ForeignPngLoad : public ::testing::TestWithParam<ForeignPng> {};

TEST_P(ForeignPngLoad, ExpandsToHostLayout) {
    ScratchDir dir;
    const ForeignPng& c = GetParam();
    // Larger than one interlace block, and not a multiple of it.
    const int32_t width = 13, height = 11;
    const int channels = storedChannels(c.colorType);
    const uint32_t maxStored = c.colorType == PNG_COLOR_TYPE_PALETTE ? static_cast<uint32_t>(c.palette.size() - 1)
                                                                     : (1u << c.bitDepth) - 1;
    std::vector<uint32_t> stored(static_cast<size_t>(width * height * channels));
    Lcg rng{99};
    for (uint32_t& v : stored) v = rng.next() % (maxStored + 1);
    if (c.keyColour) {  // make sure some pixels carry the key colour
        if (channels == 1) {
            for (size_t i = 0; i < stored.size(); i += 5) stored[i] = c.keyColour->gray;
        } else {
            for (size_t i = 0; i < stored.size(); i += 15) {
                stored[i] = c.keyColour->red;
                stored[i + 1] = c.keyColour->green;
                stored[i + 2] = c.keyColour->blue;
            }
        }
    }
    ASSERT_TRUE(writeForeignPng(dir.file("f.png"), c, width, height, stored));

    Image loaded;
    std::string error;
    ASSERT_TRUE(loadImage(dir.file("f.png"), loaded, error)) << error;
    Image expected = blankImage(c.colour, c.alpha, c.depth, width, height);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            std::vector<uint32_t> want = c.expand(&stored[static_cast<size_t>((y * width + x) * channels)]);
            for (int ch = 0; ch < expected.channels(); ++ch) expected.setSample(x, y, ch, want[static_cast<size_t>(ch)]);
        }
    expectSameLayout(expected, loaded);
    EXPECT_EQ(loaded.pixels, expected.pixels);
}

INSTANTIATE_TEST_SUITE_P(Kinds, ForeignPngLoad, ::testing::ValuesIn(foreignPngs()),
                         [](const auto& p) { return std::string(p.param.name); });

// --- JPEG ---

class JpegRoundTrip : public ::testing::TestWithParam<ColourSpace> {};

TEST_P(JpegRoundTrip, StaysCloseAndKeepsColourSpace) {
    ScratchDir dir;
    Image original = smoothImage(GetParam(), 40, 24);
    std::string error;
    ASSERT_TRUE(saveImage(dir.file("a.jpg"), original, error, 95)) << error;
    Image loaded;
    ASSERT_TRUE(loadImage(dir.file("a.jpg"), loaded, error)) << error;
    expectSameLayout(original, loaded);
    EXPECT_LE(maxDifference(original, loaded), 12);
}

INSTANTIATE_TEST_SUITE_P(ColourSpaces, JpegRoundTrip,
                         ::testing::Values(ColourSpace::Grey, ColourSpace::RGB, ColourSpace::CMYK),
                         [](const auto& p) {
                             return std::string(p.param == ColourSpace::Grey  ? "Grey"
                                                : p.param == ColourSpace::RGB ? "RGB"
                                                                                 : "CMYK");
                         });

// An EXIF block (orientation "rotate 90") and a profile of `iccBytes`.
void addMetadata(Image& image, size_t iccBytes) {
    image.exif = {'E', 'x', 'i', 'f', 0, 0, 'M', 'M', 0, 42, 0, 0, 0, 8, 0, 1, 0x01, 0x12, 0, 3, 0, 0, 0, 1, 0, 6, 0, 0};
    image.icc.resize(iccBytes);
    for (size_t i = 0; i < iccBytes; ++i) image.icc[i] = static_cast<uint8_t>(i * 7 + i / 251);
}

TEST(JpegMetadata, ProfileAndExifBlockComeBackByteForByte) {
    ScratchDir dir;
    std::string error;
    // One chunk, exactly one chunk's worth, and a profile in three chunks.
    for (size_t iccBytes : {size_t{3144}, size_t{65519}, size_t{140000}}) {
        Image original = noiseImage(ColourSpace::RGB, false, 8, 16, 12, 5);
        addMetadata(original, iccBytes);
        ASSERT_TRUE(saveImage(dir.file("m.jpg"), original, error)) << error;
        Image back;
        ASSERT_TRUE(loadImage(dir.file("m.jpg"), back, error)) << error;
        EXPECT_EQ(back.exif, original.exif) << iccBytes;
        EXPECT_EQ(back.icc, original.icc) << iccBytes;
        EXPECT_EQ(back.width, 16);  // the orientation is kept, not applied
    }
    // A profile with a chunk missing is dropped, not half kept.
    Image original = noiseImage(ColourSpace::RGB, false, 8, 16, 12, 5);
    addMetadata(original, 140000);
    ASSERT_TRUE(saveImage(dir.file("m.jpg"), original, error)) << error;
    Bytes bytes = readBytes(dir.file("m.jpg"));
    const std::string chunk2("ICC_PROFILE\0\x02", 13);
    const auto second = std::search(bytes.begin(), bytes.end(), chunk2.begin(), chunk2.end());
    ASSERT_NE(second, bytes.end());
    second[12] = 4;  // chunk 2 of 3 now claims to be chunk 4
    writeBytes(dir.file("cut.jpg"), bytes);
    Image cut;
    ASSERT_TRUE(loadImage(dir.file("cut.jpg"), cut, error)) << error;
    EXPECT_TRUE(cut.icc.empty());
    EXPECT_EQ(cut.exif, original.exif);
}

// A well-formed profile header without tags: size, 'acsp', the colour space
// and a D50 illuminant, which is what a PNG writer checks.
std::vector<uint8_t> minimalProfile(const char space[4], size_t extra) {
    std::vector<uint8_t> p(132 + extra, 0);
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) p[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (24 - 8 * i));
    };
    put32(0, static_cast<uint32_t>(p.size()));
    put32(8, 0x02100000);
    std::memcpy(&p[12], "mntr", 4);
    std::memcpy(&p[16], space, 4);
    std::memcpy(&p[20], "XYZ ", 4);
    std::memcpy(&p[36], "acsp", 4);
    put32(68, 0x0000F6D6);
    put32(72, 0x00010000);
    put32(76, 0x0000D32D);
    for (size_t i = 132; i < p.size(); ++i) p[i] = static_cast<uint8_t>(i * 13);
    return p;
}

TEST(PngMetadata, ProfileTravelsBetweenPngAndJpeg) {
    ScratchDir dir;
    std::string error;
    struct Case {
        const char* from;
        const char* to;
        ColourSpace colour;
        const char* space;
    } cases[] = {{"a.png", "b.png", ColourSpace::RGB, "RGB "}, {"a.png", "b.jpg", ColourSpace::RGB, "RGB "},
                 {"a.jpg", "b.png", ColourSpace::RGB, "RGB "}, {"a.png", "b.png", ColourSpace::Grey, "GRAY"}};
    for (const Case& c : cases) {
        Image original = noiseImage(c.colour, false, 8, 16, 12, 5);
        original.icc = minimalProfile(c.space, 3000);
        ASSERT_TRUE(saveImage(dir.file(c.from), original, error)) << error;
        Image middle, back;
        ASSERT_TRUE(loadImage(dir.file(c.from), middle, error)) << error;
        ASSERT_TRUE(saveImage(dir.file(c.to), middle, error)) << error;
        ASSERT_TRUE(loadImage(dir.file(c.to), back, error)) << error;
        EXPECT_EQ(back.icc, original.icc) << c.from << " -> " << c.to << " " << c.space;
    }
    // A PNG never carries an EXIF block out of a JPEG; the pixels still go.
    Image photo = noiseImage(ColourSpace::RGB, false, 8, 16, 12, 5);
    addMetadata(photo, 0);
    ASSERT_TRUE(saveImage(dir.file("p.png"), photo, error)) << error;
    Image png;
    ASSERT_TRUE(loadImage(dir.file("p.png"), png, error)) << error;
    EXPECT_TRUE(png.exif.empty());
    EXPECT_EQ(png.pixels, photo.pixels);
}

TEST(JpegSave, QualityTradesSizeForFidelity) {
    ScratchDir dir;
    Image original = noiseImage(ColourSpace::RGB, false, 8, 32, 32, 7);
    std::string error;
    ASSERT_TRUE(saveImage(dir.file("low.jpg"), original, error, 10)) << error;
    ASSERT_TRUE(saveImage(dir.file("high.jpg"), original, error, 95)) << error;
    EXPECT_LT(fs::file_size(dir.file("low.jpg")) * 2, fs::file_size(dir.file("high.jpg")));
}

TEST(JpegSave, ReducesSixteenBitsWithRounding) {
    ScratchDir dir;
    // One flat 8 x 8 block per value: at quality 100 a flat grey block comes
    // back exactly, so the loaded value is the reduction itself.
    const std::vector<std::pair<uint32_t, uint32_t>> cases = {
        {0, 0}, {128, 0}, {129, 1}, {25828, 100}, {25829, 101}, {32767, 127}, {32768, 128}, {65535, 255}};
    Image wide = blankImage(ColourSpace::Grey, false, 16, static_cast<int32_t>(8 * cases.size()), 8);
    for (size_t i = 0; i < cases.size(); ++i)
        for (int32_t y = 0; y < 8; ++y)
            for (int32_t x = 0; x < 8; ++x) wide.setSample(static_cast<int32_t>(i * 8) + x, y, 0, cases[i].first);
    std::string error;
    ASSERT_TRUE(saveImage(dir.file("r.jpg"), wide, error, 100)) << error;
    Image loaded;
    ASSERT_TRUE(loadImage(dir.file("r.jpg"), loaded, error)) << error;
    EXPECT_EQ(loaded.depth, 8);
    ASSERT_EQ(loaded.width, wide.width);
    for (size_t i = 0; i < cases.size(); ++i)
        EXPECT_EQ(loaded.sample(static_cast<int32_t>(i * 8) + 3, 4, 0), cases[i].second) << "from " << cases[i].first;
}

// --- Saving that must be refused or must fail cleanly ---

TEST(ImageSave, RefusesWhatTheFormatCannotHold) {
    struct Case {
        const char* name;
        Image image;
        const char* file;
        int quality;
        std::vector<const char*> messageParts;
    };
    Image shortData = blankImage(ColourSpace::RGB, false, 8, 4, 4);
    shortData.pixels.resize(10);
    const std::vector<Case> cases = {
        {"alpha to JPEG", blankImage(ColourSpace::RGB, true, 8, 4, 4), "a.jpg", 92, {"transparency", ".png"}},
        {"CMYK to PNG", blankImage(ColourSpace::CMYK, false, 8, 4, 4), "a.png", 92, {"CMYK"}},
        {"unknown extension", blankImage(ColourSpace::RGB, false, 8, 4, 4), "a.bmp", 92, {".png", ".jpg", ".jpeg"}},
        {"no extension", blankImage(ColourSpace::RGB, false, 8, 4, 4), "png", 92, {".png"}},
        {"quality out of range", blankImage(ColourSpace::RGB, false, 8, 4, 4), "a.jpg", 0, {"quality"}},
        {"pixel data too short", shortData, "a.png", 92, {"10 bytes"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDir dir;
        std::string error;
        EXPECT_FALSE(saveImage(dir.file(c.file), c.image, error, c.quality));
        for (const char* part : c.messageParts) EXPECT_NE(error.find(part), std::string::npos) << error;
        EXPECT_TRUE(dir.entries().empty());
    }
}

TEST(ImageSave, MissingFolderFails) {
    ScratchDir dir;
    std::string error;
    const std::string path = dir.file("no/such/a.png");
    EXPECT_FALSE(saveImage(path, blankImage(ColourSpace::Grey, false, 8, 2, 2), error));
    EXPECT_NE(error.find(path), std::string::npos) << error;
    EXPECT_NE(error.find(std::strerror(ENOENT)), std::string::npos) << error;
}

// A file size limit makes writes fail part way, as a full disk does.
TEST(ImageSave, FailedWriteKeepsThePreviousFile) {
    for (const char* name : {"out.png", "out.jpg"}) {
        SCOPED_TRACE(name);
        ScratchDir dir;
        const std::string path = dir.file(name);
        writeBytes(path, Bytes{'o', 'l', 'd'});
        // Samples from a generator's high bits: no compressor gets the file
        // under the limit below.
        Image big = blankImage(ColourSpace::RGB, false, 8, 128, 128);
        uint32_t bits = 12345;
        for (int32_t y = 0; y < 128; ++y)
            for (int32_t x = 0; x < 128; ++x)
                for (int c = 0; c < 3; ++c) {
                    bits ^= bits << 13;
                    bits ^= bits >> 17;
                    bits ^= bits << 5;
                    big.setSample(x, y, c, bits >> 24);
                }

        std::string error;
        rlimit saved{};
        ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
        auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limited = saved;
        limited.rlim_cur = 4096;
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
        bool saved_ok = saveImage(path, big, error);
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);

        EXPECT_FALSE(saved_ok);
        EXPECT_NE(error.find("cannot write " + path), std::string::npos) << error;
        EXPECT_EQ(readBytes(path), (Bytes{'o', 'l', 'd'}));
        EXPECT_EQ(dir.entries(), std::vector<std::string>{name});

        // Without the limit the same save replaces the file.
        ASSERT_TRUE(saveImage(path, big, error)) << error;
        Image loaded;
        ASSERT_TRUE(loadImage(path, loaded, error)) << error;
        EXPECT_EQ(loaded.width, 128);
        EXPECT_EQ(dir.entries(), std::vector<std::string>{name});
    }
}

// --- Hostile and broken input ---

uint32_t bigEndian32At(const Bytes& bytes, size_t at) {
    return uint32_t{bytes[at]} << 24 | uint32_t{bytes[at + 1]} << 16 | uint32_t{bytes[at + 2]} << 8 | bytes[at + 3];
}

size_t chunkOffset(const Bytes& png, const char* type) {
    for (size_t at = 8; at + 8 <= png.size();) {
        uint32_t length = bigEndian32At(png, at);
        if (std::memcmp(&png[at + 4], type, 4) == 0) return at;
        at += 12 + length;
    }
    return 0;
}

void putBigEndian32(Bytes& bytes, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (24 - 8 * i));
}

void appendChunk(Bytes& png, const char* type, const Bytes& data) {
    size_t at = png.size();
    png.resize(at + 12 + data.size());
    putBigEndian32(png, at, static_cast<uint32_t>(data.size()));
    std::memcpy(&png[at + 4], type, 4);
    std::copy(data.begin(), data.end(), png.begin() + static_cast<std::ptrdiff_t>(at + 8));
    putBigEndian32(png, at + 8 + data.size(),
                   static_cast<uint32_t>(crc32(0, &png[at + 4], static_cast<uInt>(4 + data.size()))));
}

// A well-formed grey PNG whose header claims the given size over a few
// bytes of image data.
Bytes pngClaiming(uint32_t width, uint32_t height) {
    Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    Bytes ihdr(13, 0);
    putBigEndian32(ihdr, 0, width);
    putBigEndian32(ihdr, 4, height);
    ihdr[8] = 8;  // bit depth; colour type 0 (grey), no interlace
    appendChunk(png, "IHDR", ihdr);
    Bytes raw(64, 0);
    Bytes packed(compressBound(static_cast<uLong>(raw.size())));
    uLongf packedSize = static_cast<uLongf>(packed.size());
    compress(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()));
    packed.resize(packedSize);
    appendChunk(png, "IDAT", packed);
    appendChunk(png, "IEND", {});
    return png;
}

Bytes cut(const Bytes& bytes, size_t length) { return Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(length)); }

// Damages the IDAT chunk: its first data byte (the zlib header) with the CRC
// made to match, or only the CRC.
Bytes withDamagedIdat(Bytes png, bool dataNotCrc) {
    size_t at = chunkOffset(png, "IDAT");
    size_t length = bigEndian32At(png, at);
    if (dataNotCrc) {
        png[at + 8] = 0;
        putBigEndian32(png, at + 8 + length, static_cast<uint32_t>(crc32(0, &png[at + 4], static_cast<uInt>(4 + length))));
    } else {
        png[at + 8 + length] ^= 0x5a;
    }
    return png;
}

Bytes jpegClaiming(Bytes jpeg, uint16_t width, uint16_t height) {
    for (size_t i = 2; i + 9 < jpeg.size(); ++i) {
        if (jpeg[i] == 0xff && (jpeg[i + 1] == 0xc0 || jpeg[i + 1] == 0xc1 || jpeg[i + 1] == 0xc2)) {
            jpeg[i + 5] = static_cast<uint8_t>(height >> 8);
            jpeg[i + 6] = static_cast<uint8_t>(height);
            jpeg[i + 7] = static_cast<uint8_t>(width >> 8);
            jpeg[i + 8] = static_cast<uint8_t>(width);
            break;
        }
    }
    return jpeg;
}

Bytes randomBytes(size_t count, uint32_t seed) {
    Lcg rng{seed};
    Bytes bytes(count);
    for (uint8_t& b : bytes) b = static_cast<uint8_t>(rng.next());
    return bytes;
}

struct HostileCase {
    std::string name;
    Bytes bytes;
    std::string messagePart;
};

std::vector<HostileCase> hostileCases(const Bytes& png, const Bytes& jpeg) {
    std::vector<HostileCase> cases;
    for (size_t length : {size_t{8}, size_t{20}, size_t{33}, size_t{60}, png.size() / 2, png.size() - 12, png.size() - 1})
        cases.push_back({"PNG cut at " + std::to_string(length), cut(png, length), "truncated PNG file"});
    cases.push_back({"PNG with a wrong IDAT CRC", withDamagedIdat(png, false), "damaged PNG file: IDAT: CRC error"});
    cases.push_back({"PNG with a damaged zlib stream", withDamagedIdat(png, true), "damaged PNG file: IDAT"});
    cases.push_back({"PNG claiming 1000000 x 1000000", pngClaiming(1000000, 1000000),
                     "image too large to load: 1000000 x 1000000 pixels"});
    cases.push_back({"PNG claiming 70000 x 70000", pngClaiming(70000, 70000),
                     "image too large to load: 70000 x 70000 pixels"});
    cases.push_back({"PNG claiming more than its data holds", pngClaiming(60000, 60000), "truncated PNG file"});
    for (size_t length : {size_t{3}, size_t{200}, jpeg.size() / 2, jpeg.size() - 2})
        cases.push_back({"JPEG cut at " + std::to_string(length), cut(jpeg, length), "truncated JPEG file"});
    Bytes garbage = randomBytes(jpeg.size(), 5);
    garbage[0] = 0xff;
    garbage[1] = 0xd8;
    garbage[2] = 0xff;
    cases.push_back({"JPEG with garbage after SOI", garbage, "JPEG file"});
    Bytes noise = randomBytes(300, 11);
    noise[0] = 0x42;
    cases.push_back({"random bytes", noise, "not a PNG or JPEG file"});
    cases.push_back({"empty file", {}, "not a PNG or JPEG file"});
    return cases;
}

TEST(ImageLoad, RejectsBrokenAndHostileFiles) {
    ScratchDir dir;
    std::string error;
    ASSERT_TRUE(saveImage(dir.file("base.png"), noiseImage(ColourSpace::RGB, false, 8, 32, 32, 1), error)) << error;
    ASSERT_TRUE(saveImage(dir.file("base.jpg"), noiseImage(ColourSpace::RGB, false, 8, 32, 32, 2), error)) << error;
    const Bytes png = readBytes(dir.file("base.png"));
    const Bytes jpeg = readBytes(dir.file("base.jpg"));
    ASSERT_EQ(chunkOffset(png, "IDAT"), 33u);

    for (const HostileCase& c : hostileCases(png, jpeg)) {
        SCOPED_TRACE(c.name);
        writeBytes(dir.file("bad"), c.bytes);
        Image out;
        out.width = 77;
        error.clear();
        EXPECT_FALSE(loadImage(dir.file("bad"), out, error));
        EXPECT_NE(error.find(c.messagePart), std::string::npos) << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
        EXPECT_EQ(out.width, 77) << "a failed load must leave the image alone";
    }
}

// A cut JPEG claiming 12 GiB of pixels must fail before that memory is used.
TEST(ImageLoad, ClaimedHugeJpegFailsBeforeUsingItsMemory) {
    ScratchDir dir;
    std::string error;
    ASSERT_TRUE(saveImage(dir.file("base.jpg"), noiseImage(ColourSpace::RGB, false, 8, 32, 32, 2), error)) << error;
    writeBytes(dir.file("huge.jpg"), jpegClaiming(readBytes(dir.file("base.jpg")), 65500, 65500));
    Image out;
    EXPECT_FALSE(loadImage(dir.file("huge.jpg"), out, error));
#if !defined(__SANITIZE_ADDRESS__)  // the sanitizer's allocator blurs resident size
    rusage usage{};
    ASSERT_EQ(getrusage(RUSAGE_SELF, &usage), 0);
    EXPECT_LT(usage.ru_maxrss, 1024L * 1024L) << "peak resident KiB";
#endif
}

TEST(ImageLoad, ReportsUnreadablePaths) {
    ScratchDir dir;
    Image out;
    std::string error;
    EXPECT_FALSE(loadImage(dir.file("missing.png"), out, error));
    EXPECT_EQ(error, "cannot open " + dir.file("missing.png") + ": " + std::strerror(ENOENT));
    fs::create_directory(dir.file("folder.png"));
    EXPECT_FALSE(loadImage(dir.file("folder.png"), out, error));
    EXPECT_NE(error.find(dir.file("folder.png")), std::string::npos) << error;
}

}  // namespace
