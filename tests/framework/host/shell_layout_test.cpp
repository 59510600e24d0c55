// Where the sharpening dialog puts its zoom buttons, its caption and its
// screen-size warning.
#include <gtest/gtest.h>

#include "framework/host/filter_description.h"
#include "framework/host/filter_dialog.h"
#include "framework/host/preview_geometry.h"
#include "framework/host/preset_dialog.h"

using namespace qm::fw;

namespace {

TEST(ShellLayout, ZoomLayoutAndNavigatorFollowTheImage) {
    struct Case {
        int width, height, pw, zoomLayout, thumbWidth, thumbHeight;
    };
    const Case cases[] = {
        {600, 600, 600, 2, 200, 200},     // no zoom buttons at all
        {1200, 800, 900, 1, 200, 132},    // Fit and 100 %
        {10000, 8000, 748, 0, 200, 160},  // Fit, 50 % and 100 %
        {659, 659, 600, 2, 200, 200},     // just under 1.1 x pw and 660
        {660, 660, 600, 1, 200, 200},
        {1000, 3000, 600, 0, 64, 200},    // 1320 rows or more
    };
    for (const Case& c : cases) {
        const int pw = laterPreviewGeometry(c.width, c.height).previewWidth;
        ASSERT_EQ(pw, c.pw) << c.width << " x " << c.height;
        const ShellLayout L = shellLayout(pw, c.width, c.height);
        EXPECT_EQ(L.x0, pw + 5);
        EXPECT_EQ(L.x1, pw + 25);
        EXPECT_EQ(L.zoomLayout, c.zoomLayout) << c.width << " x " << c.height;
        EXPECT_EQ(L.thumbnail.width, c.thumbWidth);
        EXPECT_EQ(L.thumbnail.height, c.thumbHeight);
    }
}

TEST(ShellLayout, CaptionAndScreenWarning) {
    DialogSpec hd{.title = "Keenwright HD ", .version = "2.00", .captionExtra = "  High Definition Sharpening"};
    EXPECT_EQ(dialogCaption(hd, true, true), "Keenwright HD 2.00 (64-bit)  High Definition Sharpening      RGB/16");
    DialogSpec k{.title = "Keenwright ", .version = "1.70"};
    EXPECT_EQ(dialogCaption(k, true, false), "Keenwright 1.70 (64-bit)      RGB/8");
    DialogSpec plait{.title = "Plaitwork 2000", .version = " v1.80"};
    EXPECT_EQ(dialogCaption(plait, false, false), "Plaitwork 2000 v1.80");

    EXPECT_EQ(resolutionWarning({1280, 720}),
              "You are using 1280 x 720 screen resolution.\n It is not enough for this filter.");
    EXPECT_EQ(resolutionWarning({999, 1200}), "You are using 999 x 1200 screen resolution.\n It is not enough for this filter.");
    EXPECT_EQ(resolutionWarning({1000, 740}), "");
}

TEST(ShellLayout, PresetNamesFromListEntries) {
    EXPECT_EQ(presetNameOf("#Last Used"), "Last Used");
    EXPECT_EQ(presetNameOf(">Mine   "), "Mine");
    EXPECT_EQ(presetNameOf("?#Odd"), "#Odd");  // only one prefix goes
    EXPECT_EQ(presetNameOf("Default"), "Default");
    EXPECT_EQ(presetNameOf(""), "");
}

}  // namespace
