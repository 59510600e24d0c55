// The built Plaitwork 2000 plug-in run through quillmere as a user runs it.
#include <gtest/gtest.h>

#include "host/image.h"
#include "tests/e2e/plugin_run.h"

using namespace qm;

namespace {

const std::string kPlugins = std::string(QM_BINARY_DIR) + "/plugins";
const std::string kPhoto = std::string(QM_SOURCE_DIR) + "/samples/seeding.jpg";

class PlaitworkRun : public test::PluginRun {
protected:
    PlaitworkRun() : PluginRun("Plaitwork 2000", kPlugins) {}
};

}  // namespace

TEST_F(PlaitworkRun, ListedWithItsPipl) {
    const auto r = test::runQuillmere({"list", "--plugins", kPlugins}, env);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Plaitwork 2000"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("in (PSHOP_ImageMode,RGBMode)"), std::string::npos) << r.out;
}

// The default preset draws its strips on a white canvas over the unmoved
// picture, so the woven result is the same for any picture of that size.
TEST_F(PlaitworkRun, PhotoBecomesTheDefaultWeave) {
    auto r = apply(kPhoto, dir + "/woven.png");
    ASSERT_EQ(r.status, 0) << r.err;
    const host::Image photo = load(kPhoto), woven = load(dir + "/woven.png");
    ASSERT_EQ(woven.width, photo.width);
    ASSERT_EQ(woven.height, photo.height);
    ASSERT_EQ(woven.channels(), 3);

    host::Image other = photo;
    for (size_t i = 0; i < other.pixels.size(); ++i) other.pixels[i] = static_cast<uint8_t>(i * 13 / 7);
    save(dir + "/other.png", other);
    r = apply(dir + "/other.png", dir + "/other-woven.png");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(load(dir + "/other-woven.png").pixels, woven.pixels);

    // Strips with light and shadow: far from uniform.
    int lo = 255, hi = 0;
    for (uint8_t v : woven.pixels) lo = std::min<int>(lo, v), hi = std::max<int>(hi, v);
    EXPECT_LT(lo, 60);
    EXPECT_GT(hi, 200);
    EXPECT_NE(woven.pixels, photo.pixels);
}

TEST_F(PlaitworkRun, TooSmallImageIsCancelledWithItsMessage) {
    host::Image thin;
    thin.width = 24;
    thin.height = 1000;
    thin.pixels.assign(thin.rowBytes() * 1000, 90);
    save(dir + "/thin.png", thin);
    const auto r = apply(dir + "/thin.png", dir + "/out.png");
    EXPECT_EQ(r.status, 130);
    EXPECT_NE(r.err.find("Sorry,: Image size is too small"), std::string::npos) << r.err;
}

TEST_F(PlaitworkRun, TransparencyIsKeptWhereThePictureIsRead) {
    host::Image rgba;
    rgba.width = 40;
    rgba.height = 30;
    rgba.hasAlpha = true;
    rgba.pixels.resize(rgba.rowBytes() * 30);
    for (size_t i = 0; i < rgba.pixels.size(); ++i) rgba.pixels[i] = static_cast<uint8_t>(i % 4 == 3 ? i / 4 : 100);
    save(dir + "/rgba.png", rgba);
    const auto r = apply(dir + "/rgba.png", dir + "/out.png");
    ASSERT_EQ(r.status, 0) << r.err;
    const host::Image out = load(dir + "/out.png");
    ASSERT_TRUE(out.hasAlpha);
    // No transparent colour in the default preset and no deformation: the
    // fourth channel passes through.
    for (size_t i = 3; i < out.pixels.size(); i += 4) ASSERT_EQ(out.pixels[i], rgba.pixels[i]) << i;
}
