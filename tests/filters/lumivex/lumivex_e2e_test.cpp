// Lumivex through quillmere: listed from its PiPL, and, until its dialog
// exists, every run ends with the message of a dialog that cannot open.
#include <gtest/gtest.h>

#include "host/image.h"
#include "tests/e2e/plugin_run.h"

using namespace qm;

namespace {

class LumivexEndToEnd : public test::PluginRun {
protected:
    LumivexEndToEnd() : PluginRun("Lumivex", QM_PLUGIN_DIR) {}
};

}  // namespace

TEST_F(LumivexEndToEnd, ListedAndEveryRunAsksForItsDialog) {
    auto listed = test::runQuillmere({"list", "--plugins", QM_PLUGIN_DIR}, env);
    EXPECT_EQ(listed.status, 0) << listed.err;
    const size_t at = listed.out.find("Lumivex\n");
    ASSERT_NE(at, std::string::npos) << listed.out;
    EXPECT_NE(listed.out.find("modes: RGB\n", at), std::string::npos) << listed.out;
    EXPECT_NE(listed.out.find("enabled when: in (PSHOP_ImageMode,RGBMode)", at), std::string::npos);

    host::Image img;
    img.width = 30;
    img.height = 20;
    img.pixels.assign(img.rowBytes() * 20, 90);
    std::string error;
    ASSERT_TRUE(host::saveImage(dir + "/in.png", img, error)) << error;
    for (const std::vector<std::string>& extra : {std::vector<std::string>{}, {"--dialog"}}) {
        auto r = apply("in.png", "out.png", extra);
        EXPECT_EQ(r.status, 130) << r.err;
        EXPECT_NE(r.err.find(": E\n"), std::string::npos) << r.err;
        EXPECT_EQ(test::readFile(dir + "/out.png"), "");
    }
}
