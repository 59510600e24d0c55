// The values shared by a render: the curve and brightness tables, the
// settings as the controls limit them and reset them, and the saturation step.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <vector>

#include "filters/plaitwork/render_values.h"
#include "filters/plaitwork/strip_pass.h"
#include "filters/plaitwork/strip_settings.h"
#include "framework/host/filter_description.h"
#include "tests/support/setting_table_checks.h"

using namespace qm::plaitwork;

TEST(CurveTable, ShapesAndTheNotchOfShapeSix) {
    const double a = (std::sin(-0.6283185307179586) + 1) * 0.5;
    const double b = (std::sin(0.6283185307179586) + 1) * 0.5;
    const struct {
        int shape;
        float z;
        double expected;
    } cases[] = {
        {0, 0.5f, 0.25},   {0, 0.9f, 0.81},  {2, 0.0f, 0.4},   {2, 1.0f / 3, 0.8},
        {4, 0.0f, 0.8},    {4, 0.5f, 0.0},   {6, 0.4f, 0.0},   {6, 0.6f, 1.0},
        {6, 0.5f, 0.5},    {6, 0.3f, a},     {6, 0.7f, b},     {6, 0.0f, 0.0},
        {6, 0.35f, a / 2}, {6, 0.999f, 1.0},
    };
    for (const auto& c : cases)
        EXPECT_NEAR(curveValue(c.shape, c.z), c.expected, 1e-5) << c.shape << " at " << c.z;

    CurveTable table{};
    buildCurveTable(table, 6);
    EXPECT_NEAR(table[800], 0, 1e-5);   // z = 0.4
    EXPECT_NEAR(table[1200], 1, 1e-5);  // z = 0.6
    EXPECT_NEAR(table[1000], 0.5, 1e-5);
}

TEST(CurveTable, OddShapesKeepWhatTheLastEvenShapeBuilt) {
    CurveTable table{};
    buildCurveTable(table, 1);
    EXPECT_EQ(table[1000], 0);  // nothing built yet
    buildCurveTable(table, 4);
    const CurveTable built = table;
    buildCurveTable(table, 7);
    EXPECT_EQ(table, built);
}

TEST(BrightnessTable, RatioLiftsTheDarksAndWhiteCanvasIsAllWhite) {
    const auto identity = brightnessTable(0, 0);
    for (int i = 0; i < 256; ++i) ASSERT_EQ(identity[static_cast<size_t>(i)], i);
    const auto lifted = brightnessTable(70, 0);
    EXPECT_EQ(lifted[0], 70);
    EXPECT_EQ(lifted[128], 162);  // trunc(128 x 185 / 255 + 70)
    EXPECT_EQ(lifted[255], 255);
    for (int canvas : {1, 2, 3}) {
        const auto white = brightnessTable(70, canvas);
        for (int i = 0; i < 256; ++i) ASSERT_EQ(white[static_cast<size_t>(i)], 255) << canvas;
    }
}

TEST(LimitSlots, ValuesBeyondTheControlsAreLimitedAsTheControlsLimitThem) {
    HostColours host;
    host.foreground[0] = 10, host.foreground[1] = 20, host.foreground[2] = 30;
    host.background[0] = 200, host.background[1] = 210, host.background[2] = 220;
    const struct {
        Field field;
        int32_t raw, limited;
    } cases[] = {
        {kHSpacing1, 1023, 250},
        {kVSpacing2, 0, 2},           // the spacing sliders stop at 2
        {kVSpacing1, 117, 117},
        {kShadowDepth1, 127 | 3 << 7, 50 | 3 << 7},  // each part of a pad alone
        {kStretch2, 20 | 127 << 7, 20 | 50 << 7},
        {kMeshDisplacement, 0x3FFF, 50 | 50 << 7},
        {kCurveShape, 15, 7},
        {kOrientation1, 7, 5},
        {kMoireH, 127, 100},
        {kSideBlur2, 90, 50},
        {kMeshSmoothness, 51, 50},
        {kRotate, 101, 100},
        {kWhiteCanvas, 3, 3},
        {kShadowColour1, 0x02123456, 0x02123456},
        {kBackgroundColour, 0x03CBD9E3, 0x03CBD9E3},  // transparent keeps its own colour
        {kSideShadowColour1, 0x00FFFFFF, 0x001E140A},  // foreground shown
        {kSideShadowColour2, 0x01000000, 0x01DCD2C8},  // background shown
    };
    for (const auto& c : cases) {
        qm::fw::ValueSlots slots{};
        slots[c.field] = c.raw;
        EXPECT_EQ(limitSlots(slots, host)[c.field], c.limited) << "field " << c.field;
    }
}

TEST(PlaitworkSettingTable, StoresEverySettingAndLimitsADamagedRecord) {
    qm::test::expectTableRoundTrips(qm::fw::filterDescription());
    qm::test::expectDamagedRecordLimited(qm::fw::filterDescription());
}

TEST(PlaitworkSettingTable, TheRecordLayoutStaysAsStoredPresetsHoldIt) {
    const qm::fw::RecordFormat& format = qm::fw::filterDescription().format;
    EXPECT_EQ(format.id, 0);
    EXPECT_EQ(format.version, 2);
    const std::vector<int> widths = {10, 10, 10, 10, 14, 14, 14, 4,  14, 14, 7, 7, 7, 2, 26, 26, 7,
                                     7,  26, 26, 7,  7,  3,  3,  7,  7,  7,  2, 26, 14, 7, 7, 7};
    std::vector<int> fields;
    format.fields.forEach([&](int slot, int width) {
        EXPECT_EQ(slot, static_cast<int>(fields.size()));
        fields.push_back(width);
    });
    EXPECT_EQ(fields, widths);
}

TEST(PlaitworkSettingTable, ARecordOfAllOnesDecodesToEveryMaximum) {
    const qm::fw::FilterDescription& filter = qm::fw::filterDescription();
    std::array<uint8_t, qm::fw::kRecordBufferSize> record{};
    std::fill_n(record.begin() + 6, filter.format.length - 7, uint8_t{0xFF});
    qm::fw::ValueSlots slots{};
    qm::fw::unpackFields(record.data(), filter.format, slots);
    const Pad pad{50, 50};
    const StripColour white{255, 255, 255, 3};  // transparent keeps its own colour
    const StripSettings maxima{
        .hSpacing1 = 250, .hSpacing2 = 250, .vSpacing1 = 250, .vSpacing2 = 250,
        .shadowDepth1 = pad, .shadowDepth2 = pad, .curvedDeformation = pad, .curveShape = 7,
        .stretch1 = pad, .stretch2 = pad, .moireH = 100, .moireV = 100,
        .backgroundDeformation = 100, .whiteCanvas = 3, .shadowColour1 = white, .shadowColour2 = white,
        .sideShading1 = 100, .sideShading2 = 100, .sideShadowColour1 = white, .sideShadowColour2 = white,
        .sideBlur1 = 50, .sideBlur2 = 50, .orientation1 = 5, .orientation2 = 5,
        .lightExiting = 100, .brightnessRatio = 100, .saturation = 100, .antialiasing = 3,
        .backgroundColour = white, .meshDisplacement = pad, .meshSmoothness = 50, .viewAngle = 100,
        .rotate = 100};
    EXPECT_EQ(settingsFromSlots(limitSlots(slots, HostColours{})), maxima);
}

TEST(ResetSliders, GivesPadsAndSlidersTheirDoubleClickValuesAndKeepsTheRest) {
    constexpr int32_t kMarker = 7;  // no reset gives it
    const int32_t centre = 25 | 25 << 7;
    const std::map<int, int32_t> reset = {
        {kShadowDepth1, centre}, {kShadowDepth2, centre}, {kCurvedDeformation, centre},
        {kStretch1, centre},     {kStretch2, centre},     {kMoireH, 50},
        {kMoireV, 50},           {kSideShading1, 50},     {kSideShading2, 50},
        {kSideBlur1, 0},         {kSideBlur2, 0},         {kMeshDisplacement, centre},
        {kMeshSmoothness, 0},    {kViewAngle, 0},         {kRotate, 50}};
    qm::fw::ValueSlots slots;
    slots.fill(kMarker);
    resetSliders(slots);
    for (int slot = 0; slot < qm::fw::kValueSlots; ++slot) {
        const auto it = reset.find(slot);
        EXPECT_EQ(slots[static_cast<size_t>(slot)], it == reset.end() ? kMarker : it->second) << "slot " << slot;
    }
}

TEST(Saturation, RescalesTheSaturationAroundTheHue) {
    const struct {
        int64_t in[3];
        int amount;
        int64_t out[3];
    } cases[] = {
        {{200, 100, 50}, 100, {200, 66, 0}},   // doubled: limited to full saturation
        {{200, 100, 50}, -100, {200, 200, 200}},
        {{90, 90, 90}, 80, {90, 90, 90}},      // grey has no hue to strengthen
        {{0, 0, 0}, 50, {0, 0, 0}},
        {{50, 100, 200}, 0, {50, 99, 200}},    // integer steps lose a little
        {{40, 200, 60}, 50, {0, 200, 25}},
    };
    for (const auto& c : cases) {
        int64_t r = c.in[0], g = c.in[1], b = c.in[2];
        saturate(r, g, b, c.amount);
        EXPECT_EQ(r, c.out[0]) << c.in[0] << "," << c.in[1] << "," << c.in[2] << " by " << c.amount;
        EXPECT_EQ(g, c.out[1]) << c.in[0] << "," << c.in[1] << "," << c.in[2] << " by " << c.amount;
        EXPECT_EQ(b, c.out[2]) << c.in[0] << "," << c.in[1] << "," << c.in[2] << " by " << c.amount;
    }
}

// The running box sums against the box summed afresh at every pixel.
TEST(MeshSums, RunningSumsMatchTheBoxAtEveryPixel) {
    const int W = 25, H = 20;
    std::vector<uint8_t> pixels(static_cast<size_t>(W * H * 3));
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>((i * 37 + i / 7 * 11) % 256);
    StripTarget t;
    t.source = pixels.data();
    t.sourceStride = W * 3;
    t.planes = 3;
    t.width = W;
    t.height = H;
    for (int m : {0, 1, 2, 5, 30, 70}) {
        MeshSums mesh;
        mesh.columns.assign(W, 0);
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) {
                int64_t sum = 0;
                for (int r = y - (m + 1) / 2; r <= y + (m + 2) / 2 - 1; ++r)
                    for (int c = x - (m + 1) / 2; c <= x + (m + 2) / 2 - 1; ++c) {
                        const uint8_t* p = &pixels[static_cast<size_t>((std::clamp(r, 0, H - 1) * W + std::clamp(c, 0, W - 1)) * 3)];
                        sum += p[0] + p[1] + p[2];
                    }
                const int expected = static_cast<int>(sum / (m + 1) / (m + 1) / 3 - 128);
                ASSERT_EQ(meshHeight(mesh, t, m, x, y), expected) << "m " << m << " at " << x << "," << y;
            }
    }
}
