// Marbleloom 3D through quillmere: listed from its PiPL; every run writes the
// factory pattern databases beside the plug-in and opens the dialog, which
// a run without a script closes at once; a factory preset runs in batch.
#include <gtest/gtest.h>

#include <filesystem>

#include "host/image.h"
#include "tests/e2e/plugin_run.h"

using namespace qm;
namespace fs = std::filesystem;

namespace {

std::string savePng(const std::string& path, int w, int h) {
    host::Image img;
    img.width = w;
    img.height = h;
    img.pixels.assign(img.rowBytes() * static_cast<size_t>(h), 90);
    std::string error;
    host::saveImage(path, img, error);
    return error;
}

class MarbleloomEndToEnd : public test::PluginRun {
protected:
    MarbleloomEndToEnd() : PluginRun("Marbleloom 3D", QM_PLUGIN_DIR) {}
    void SetUp() override {
        PluginRun::SetUp();
        // Not the user's shared pattern folder.
        env.push_back("QUILLMERE_SHARED_DATA=" + dir + "/shared");
    }
};

}  // namespace

TEST_F(MarbleloomEndToEnd, WritesItsDatabasesAndOpensItsDialog) {
    const std::string plugins = dir + "/plugins";
    fs::create_directory(plugins);
    fs::copy_file(QM_PLUGIN_DIR "/Marbleloom3d.8bf", plugins + "/Marbleloom3d.8bf");
    auto listed = test::runQuillmere({"list", "--plugins", plugins}, env);
    EXPECT_EQ(listed.status, 0) << listed.err;
    EXPECT_NE(listed.out.find("Marbleloom 3D\n"), std::string::npos) << listed.out;
    EXPECT_NE(listed.out.find("modes: RGB\n"), std::string::npos) << listed.out;

    ASSERT_EQ(savePng(dir + "/in.png", 30, 25), "");
    auto r = test::runQuillmere({"apply", "Marbleloom 3D", "--plugins", plugins, dir + "/in.png", "-o", dir + "/out.png"},
                                env);
    EXPECT_EQ(r.status, 130) << r.err;
    EXPECT_NE(r.err.find("cancelled"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir + "/out.png"));
    for (const char* name : {"Textures.8tx", "Textures02.8tx", "Textures03.8tx", "Textures04.8tx"}) {
        const std::string written = plugins + "/" + name;
        ASSERT_TRUE(fs::exists(written)) << name;
        EXPECT_EQ(fs::file_size(written), fs::file_size(std::string(QM_SOURCE_DIR "/resources/marbleloom/patterns/") + name))
            << name;
    }
}

TEST_F(MarbleloomEndToEnd, RefusesImagesBelow25Pixels) {
    ASSERT_EQ(savePng(dir + "/small.png", 24, 1000), "");
    auto r = apply("small.png", "out.png");
    EXPECT_EQ(r.status, 130) << r.err;
    EXPECT_NE(r.err.find("Sorry,: Image size is too small"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir + "/out.png"));
}

TEST_F(MarbleloomEndToEnd, AFactoryPresetRunsInBatchWithoutADisplay) {
    host::Image img;
    img.width = 64;
    img.height = 48;
    img.pixels.resize(img.rowBytes() * 48);
    for (size_t i = 0; i < img.pixels.size(); ++i) img.pixels[i] = static_cast<uint8_t>(i * 29 % 253);
    save("in.png", img);
    env.push_back("DISPLAY=");
    auto one = apply("in.png", "one.jpg", {"--preset", "PRESET1"});
    ASSERT_EQ(one.status, 0) << one.err;
    auto two = apply("in.png", "two.png", {"--preset", "PRESET2"});
    ASSERT_EQ(two.status, 0) << two.err;
    auto again = apply("in.png", "again.png", {"--preset", "PRESET1"});
    ASSERT_EQ(again.status, 0) << again.err;
    EXPECT_NE(load("again.png").pixels, load("two.png").pixels);
    EXPECT_NE(load("again.png").pixels, img.pixels);
    EXPECT_GT(fs::file_size(dir + "/one.jpg"), 0u);
}
