#include "filters/marbleloom/image_container.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <jpeglib.h>

#include "tests/filters/marbleloom/test_records.h"

namespace qm::marbleloom {
namespace {

using test::jpegOf;

std::vector<uint8_t> encode(const CxImage& image) {
    uint8_t* buffer = nullptr;
    long length = 0;
    EXPECT_TRUE(image.Encode(buffer, length));
    std::vector<uint8_t> out(buffer, buffer + length);
    std::free(buffer);  // the caller frees with the standard allocator
    return out;
}

// The stream's scanlines as libjpeg itself hands them out: the top row first.
std::vector<std::vector<uint8_t>> scanlines(const std::vector<uint8_t>& stream) {
    jpeg_decompress_struct cinfo{};
    jpeg_error_mgr err{};
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, stream.data(), static_cast<unsigned long>(stream.size()));
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&cinfo);
    std::vector<std::vector<uint8_t>> rows;
    while (cinfo.output_scanline < cinfo.output_height) {
        rows.emplace_back(cinfo.output_width * 3);
        JSAMPROW row = rows.back().data();
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return rows;
}

TEST(ImageContainer, DecodeThenEncodeAtQuality100KeepsTheSize) {
    const std::vector<uint8_t> original = jpegOf(40, 40, 7);
    CxImage image;
    ASSERT_TRUE(image.Decode(original.data(), original.size()));
    image.SetJpegQuality(100);
    const std::vector<uint8_t> again = encode(image);
    CxImage decoded;
    ASSERT_TRUE(decoded.Decode(again.data(), again.size()));
    EXPECT_EQ(decoded.GetWidth(), 40);
    EXPECT_EQ(decoded.GetHeight(), 40);
    // Quality 100 keeps the colours close.
    for (int y = 0; y < 40; y += 13)
        for (int x = 0; x < 40; x += 13) {
            const PixelColor a = image.GetPixelColor(x, y), b = decoded.GetPixelColor(x, y);
            EXPECT_NEAR(a.red, b.red, 6);
            EXPECT_NEAR(a.green, b.green, 6);
            EXPECT_NEAR(a.blue, b.blue, 6);
        }
}

TEST(ImageContainer, PixelZeroZeroIsTheBottomLeft) {
    CxImage image(16, 16);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) image.SetPixelColor(x, y, PixelColor{255, 255, 255, 0});
    // A block, so that the colour survives the 8 x 8 transform.
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) image.SetPixelColor(x, y, PixelColor{0, 0, 255, 0});
    image.SetJpegQuality(100);
    const auto rows = scanlines(encode(image));
    ASSERT_EQ(rows.size(), 16u);
    const auto& bottom = rows.back();
    const auto& top = rows.front();
    EXPECT_GT(bottom[0], 240);  // red
    EXPECT_LT(bottom[2], 15);
    EXPECT_GT(top[2], 240);  // white
    EXPECT_GT(bottom[15 * 3 + 2], 240);  // the bottom right stays white
}

TEST(ImageContainer, OutsideTheBitmapReadsBlackAndWritesNothing) {
    CxImage image(4, 4);
    image.SetPixelColor(-1, 0, PixelColor{9, 9, 9, 0});
    image.SetPixelColor(4, 3, PixelColor{9, 9, 9, 0});
    EXPECT_EQ(image.GetPixelColor(-1, 0), PixelColor{});
    EXPECT_EQ(image.GetPixelColor(0, 4), PixelColor{});
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_EQ(image.GetPixelColor(x, y), PixelColor{});
}

TEST(ImageContainer, QualityIsLimited) {
    CxImage image(8, 8);
    image.SetJpegQuality(0);
    EXPECT_EQ(image.GetJpegQuality(), 1);
    image.SetJpegQuality(250);
    EXPECT_EQ(image.GetJpegQuality(), 100);
}

TEST(ImageContainer, EncodeWithoutPixelsFails) {
    CxImage image;
    uint8_t* buffer = reinterpret_cast<uint8_t*>(1);
    long length = 5;
    EXPECT_FALSE(image.Encode(buffer, length));
    EXPECT_EQ(buffer, nullptr);
    EXPECT_EQ(length, 0);
    EXPECT_FALSE(CxImage(0, 5).IsValid());
    EXPECT_FALSE(CxImage(-3, 5).IsValid());
    EXPECT_FALSE(CxImage(70000, 1).IsValid());
}

// A start-of-frame marker's size fields rewritten.
std::vector<uint8_t> withFrameSize(std::vector<uint8_t> s, int width, int height) {
    for (size_t i = 2; i + 9 < s.size(); ++i)
        if (s[i] == 0xFF && s[i + 1] == 0xC0) {
            s[i + 5] = static_cast<uint8_t>(height >> 8);
            s[i + 6] = static_cast<uint8_t>(height);
            s[i + 7] = static_cast<uint8_t>(width >> 8);
            s[i + 8] = static_cast<uint8_t>(width);
            break;
        }
    return s;
}

TEST(ImageContainer, DamagedStreamsAreRefused) {
    const std::vector<uint8_t> good = jpegOf(32, 32, 3);
    const std::vector<uint8_t> cut(good.begin(), good.begin() + static_cast<long>(good.size() / 2));
    const std::vector<uint8_t> soiOnly{0xFF, 0xD8, 0xFF, 0xD9};
    const std::vector<uint8_t> text{'n', 'o', 't', ' ', 'a', ' ', 'j', 'p', 'e', 'g'};
    const struct {
        const char* what;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {"not JPEG", text},
        {"markers only", soiOnly},
        {"cut in the middle", cut},
        {"header only", std::vector<uint8_t>(good.begin(), good.begin() + 200)},
        {"width zero", withFrameSize(good, 0, 32)},
        {"huge, data missing", withFrameSize(good, 65000, 65000)},
        {"large, data missing", withFrameSize(good, 4000, 4000)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CxImage image(5, 5);
        image.SetPixelColor(1, 1, PixelColor{1, 2, 3, 0});
        EXPECT_FALSE(image.Decode(c.bytes.data(), c.bytes.size()));
        // The bitmap is left as it was.
        EXPECT_EQ(image.GetWidth(), 5);
        EXPECT_EQ(image.GetPixelColor(1, 1), (PixelColor{1, 2, 3, 0}));
    }
    CxImage image;
    EXPECT_FALSE(image.Decode(nullptr, 100));
}

TEST(ImageContainer, LoadReadsAFileAndRefusesAMissingOne) {
    test::ScratchFolder dir;
    test::writeFile(dir / "p.jpg", jpegOf(24, 12, 1));
    CxImage image;
    ASSERT_TRUE(image.load(dir / "p.jpg"));
    EXPECT_EQ(image.GetWidth(), 24);
    EXPECT_EQ(image.GetHeight(), 12);
    EXPECT_FALSE(image.load(dir / "missing.jpg"));
    EXPECT_FALSE(image.IsValid());
}

}  // namespace
}  // namespace qm::marbleloom
