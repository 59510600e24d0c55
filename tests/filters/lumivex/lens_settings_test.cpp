// Lumivex's settings, derived values and kernel, from the worked examples.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <fstream>
#include <iterator>
#include <map>
#include <numbers>
#include <string>
#include <utility>
#include <vector>

#include "filters/lumivex/blur_kernel.h"
#include "filters/lumivex/lens_prepare.h"
#include "filters/lumivex/lens_settings.h"
#include "framework/host/filter_description.h"
#include "framework/settings/record.h"
#include "tests/support/setting_table_checks.h"
#include "tools/presetc/preset_text.h"

using namespace qm;
using namespace qm::lumivex;

TEST(LumivexKernel, WidthPeakAndReachFollowSmoothing) {
    struct Case {
        int smoothing;
        double sigma;
        int peak, halfWidth;
    } cases[] = {{60, 24.33, 32, 64}, {0, 3.72, 82, 11}};
    for (const Case& c : cases) {
        LensSettings s;
        s.smoothing = c.smoothing;
        const LensParams p = deriveParams(s, 800, 600, 1.0f);
        BlurKernel k;
        ASSERT_TRUE(k.ensure(p.kernelKey, 800));
        EXPECT_NEAR(BlurKernel::sigmaFor(p.kernelKey), c.sigma, 0.005) << c.smoothing;
        EXPECT_EQ(k.weight(BlurKernel::kCentre), c.peak) << c.smoothing;
        EXPECT_EQ(BlurKernel::kCentre - k.first(), c.halfWidth) << c.smoothing;
        EXPECT_EQ(k.weight(k.first() - 1), 0);
        EXPECT_EQ(k.weight(BlurKernel::kTaps - 1 - k.first()), k.weight(k.first()));  // symmetric
    }
}

TEST(LumivexKernel, IsRebuiltOnlyForANewKeyOrWidth) {
    BlurKernel k;
    EXPECT_TRUE(k.ensure(400, 800));
    EXPECT_FALSE(k.ensure(400, 800));
    EXPECT_TRUE(k.ensure(400, 801));
    EXPECT_TRUE(k.ensure(57, 801));
    EXPECT_EQ(k.builtN(), 57);
    k.invalidate();
    EXPECT_TRUE(k.ensure(57, 801));
}

TEST(LumivexKernel, BlurSkipsTapsOffTheLine) {
    BlurKernel k;
    k.ensure(0, 5);  // sigma 0.3: taps -1..+1
    ASSERT_EQ(BlurKernel::kCentre - k.first(), 1);
    const int32_t side = k.weight(BlurKernel::kCentre - 1), mid = k.weight(BlurKernel::kCentre);
    const int16_t line[5] = {100, 200, 300, 400, 500};
    EXPECT_EQ(k.blurAt(line, 5, 2), 6 * (side * 200 + mid * 300 + side * 400) / (2 * side + mid + 1));
    // At the ends only the taps on the line count, in the sum and in the weights.
    EXPECT_EQ(k.blurAt(line, 5, 0), 6 * (mid * 100 + side * 200) / (mid + side + 1));
    EXPECT_EQ(k.blurAt(line, 5, 4), 6 * (side * 400 + mid * 500) / (mid + side + 1));
}

TEST(LumivexKernel, BlurMatchesTheTapByTapSumOnLongAndShortLines) {
    uint32_t seed = 3;
    for (const auto& [n, length] : {std::pair{400, 300}, std::pair{2666, 1500}, std::pair{57, 9}}) {
        BlurKernel k;
        k.ensure(n, length);
        std::vector<int16_t> line(static_cast<size_t>(length));
        for (int16_t& v : line) {
            seed = seed * 1664525u + 1013904223u;
            v = static_cast<int16_t>(seed >> 17);  // 0..32767, the blurred range
        }
        for (int p = 0; p < length; p += 7) {
            int64_t sum = 0, wsum = 0;
            for (int i = k.first(); i <= BlurKernel::kTaps - 1 - k.first(); ++i) {
                const int at = p + i - BlurKernel::kCentre;
                if (at < 0 || at >= length) continue;
                sum += int64_t{k.weight(i)} * line[static_cast<size_t>(at)];
                wsum += k.weight(i);
            }
            ASSERT_EQ(k.blurAt(line.data(), length, p), (6 * sum) / (wsum + 1)) << n << " at " << p;
        }
    }
}

TEST(LumivexKernel, WholeLinesGiveWhatEachPositionAloneGives) {
    // Keys from the narrowest kernel to the widest, lines shorter and longer
    // than the kernel, and runs that start and end inside the line.
    uint32_t seed = 11;
    bool boxes = false, taps = false;
    for (const int n : {0, 57, 200, 300, 500, 2000, 2666, 4000}) {
        BlurKernel k;
        k.ensure(n, 100);
        (k.usesBoxes() ? boxes : taps) = true;
        for (const int length : {1, 2, 9, 300, 1024, 1500, 6000}) {
            std::vector<int16_t> line(static_cast<size_t>(length));
            for (size_t i = 0; i < line.size(); ++i) {
                seed = seed * 1664525u + 1013904223u;
                // Mostly heights, with runs of the 16-bit extremes.
                const int kind = static_cast<int>(i / 97 % 4);
                line[i] = static_cast<int16_t>(kind == 1 ? 32767 : kind == 2 ? -32768 : static_cast<int>(seed >> 21));
            }
            BlurScratch scratch;
            scratch.reserve(length);
            for (const auto& [from, to] : {std::pair{0, length}, std::pair{length / 3, length - length / 4}}) {
                std::vector<int16_t> out(static_cast<size_t>(2 * std::max(to - from, 0)), 7);
                k.blurLine(line.data(), length, from, to, out.data(), 2, scratch);
                for (int p = from; p < to; ++p) {
                    ASSERT_EQ(out[static_cast<size_t>(2 * (p - from))], static_cast<int16_t>(k.blurAt(line.data(), length, p)))
                        << "key " << n << ", length " << length << " at " << p;
                    ASSERT_EQ(out[static_cast<size_t>(2 * (p - from)) + 1], 7) << "between the steps";
                }
            }
        }
    }
    EXPECT_TRUE(boxes && taps) << "both ways of summing are covered";
}

TEST(LumivexSettings, KnobPositionsGiveTheirAngles) {
    struct Case {
        KnobPoint knob;
        double theta;
    } cases[] = {{{25, 0}, std::numbers::pi}, {{25, 50}, 0.0}, {{50, 25}, std::numbers::pi / 2},
                 {{0, 25}, -std::numbers::pi / 2}};
    for (const Case& c : cases) {
        fw::ValueSlots slots{};
        LensSettings s;
        s.angle = c.knob;
        encodeLensSettings(s, slots);
        const LensSettings read = decodeLensSettings(slots);
        EXPECT_EQ(read.angle, c.knob);  // already on the ring
        EXPECT_DOUBLE_EQ(deriveParams(read, 100, 100, 1.0f).baseAngle, c.theta)
            << c.knob.x << "," << c.knob.y;
    }
}

TEST(LumivexSettings, TheRingSnapsEveryPointOntoItsCircle) {
    EXPECT_EQ(snapToRing({25, 25}), (KnobPoint{25, 50}));  // the centre
    EXPECT_EQ(snapToRing({50, 50}), (KnobPoint{42, 42}));
    EXPECT_EQ(snapToRing({30, 2}), (KnobPoint{30, 1}));
    for (int x = 0; x <= 50; ++x)
        for (int y = 0; y <= 50; ++y) {
            const KnobPoint p = snapToRing({x, y});
            const double r = std::hypot(p.x - 25, p.y - 25);
            EXPECT_TRUE(r > 23 && r <= 25.0) << x << "," << y;
            // A value the ring gave reads back as it was stored.
            EXPECT_EQ(ringValue(p), p) << x << "," << y;
        }
    EXPECT_EQ(ringValue({25, 25}), (KnobPoint{25, 50}));
    EXPECT_EQ(ringValue({50, 50}), (KnobPoint{42, 42}));
    // Snapping again would move this one: (0, 24) snaps to (1, 25), which
    // itself would snap to (0, 25).
    ASSERT_EQ(snapToRing({0, 24}), (KnobPoint{1, 25}));
    ASSERT_EQ(snapToRing({1, 25}), (KnobPoint{0, 25}));
    EXPECT_EQ(ringValue({1, 25}), (KnobPoint{1, 25}));
}

TEST(LumivexSettings, ValuesBeyondTheControlsAreLimitedPartByPart) {
    fw::ValueSlots slots{};
    slots[kSmoothing] = 127;
    slots[kMaskRightLeft] = 511 | 200 << 9;   // both thumbs past 160
    slots[kRefractionAngle] = 127 | 127 << 7;  // (50, 50) after the limit, then the ring
    slots[kDeformation] = 255;
    slots[kLensShift] = 100 | 61 << 7;
    slots[kMaskInclusion] = 127;
    slots[kMaskBottomTop] = 161 | 159 << 9;
    slots[kPreviewOn] = 3;
    slots[kLensSkew] = 0 | 127 << 7;
    const LensSettings s = decodeLensSettings(slots);
    EXPECT_EQ(s.smoothing, 60);
    EXPECT_EQ(s.maskRight, 160);
    EXPECT_EQ(s.maskLeft, 160);
    EXPECT_EQ(s.angle, (KnobPoint{42, 42}));
    EXPECT_EQ(s.deformation, 150);
    EXPECT_EQ(s.shiftX, 60);
    EXPECT_EQ(s.shiftY, 60);
    EXPECT_EQ(s.inclusion, 100);
    EXPECT_EQ(s.maskBottom, 160);
    EXPECT_EQ(s.maskTop, 159);
    EXPECT_EQ(s.previewOn, 3);
    EXPECT_EQ(s.skewX, 0);
    EXPECT_EQ(s.skewY, 60);

    slots[kSmoothing] = -5;  // a slot set from elsewhere
    slots[kDeformation] = -1;
    EXPECT_EQ(decodeLensSettings(slots).smoothing, 0);
    EXPECT_EQ(decodeLensSettings(slots).deformation, 0);
}

TEST(LumivexSettingTable, StoresEverySettingAndLimitsADamagedRecord) {
    qm::test::expectTableRoundTrips(fw::filterDescription());
    qm::test::expectDamagedRecordLimited(fw::filterDescription());
}

TEST(LumivexSettingTable, TheRecordLayoutStaysAsStoredPresetsHoldIt) {
    const fw::RecordFormat& format = fw::filterDescription().format;
    EXPECT_EQ(format.id, 12);
    EXPECT_EQ(format.version, 1);
    const std::vector<int> widths = {7, 18, 14, 8, 14, 7, 18, 2, 14};  // of slots 0, 1, ...
    std::vector<int> fields;
    format.fields.forEach([&](int slot, int width) {
        EXPECT_EQ(slot, static_cast<int>(fields.size()));
        fields.push_back(width);
    });
    EXPECT_EQ(fields, widths);
}

TEST(LumivexSettingTable, ARecordOfAllOnesDecodesToEveryMaximum) {
    const fw::FilterDescription& filter = fw::filterDescription();
    std::array<uint8_t, fw::kRecordBufferSize> record{};
    std::fill_n(record.begin() + 6, filter.format.length - 7, uint8_t{0xFF});
    fw::ValueSlots slots{};
    fw::unpackFields(record.data(), filter.format, slots);
    const LensSettings maxima{.smoothing = 60, .maskRight = 160, .maskLeft = 160,
                              .angle = {42, 42},  // (50, 50) onto the ring
                              .deformation = 150, .shiftX = 60, .shiftY = 60, .inclusion = 100,
                              .maskBottom = 160, .maskTop = 160, .previewOn = 3, .skewX = 60, .skewY = 60};
    EXPECT_EQ(decodeLensSettings(slots), maxima);
}

TEST(LumivexSettingTable, ResetButtonsGiveTheirValuesAndKeepTheRest) {
    constexpr int32_t kMarker = 7;  // no reset gives it
    const std::map<int, int32_t> mask = {
        {kMaskInclusion, 100}, {kMaskRightLeft, 160 | 0 << 9}, {kMaskBottomTop, 160 | 0 << 9}};
    std::map<int, int32_t> all = {{kSmoothing, 60},         {kRefractionAngle, 25 | 0 << 7},
                                  {kDeformation, 20},       {kLensShift, 30 | 30 << 7},
                                  {kLensSkew, 30 | 30 << 7}};
    all.insert(mask.begin(), mask.end());
    const struct {
        const char* what;
        void (*reset)(fw::ValueSlots&);
        const std::map<int, int32_t>& expected;
    } cases[] = {{"Reset All Settings", resetAllSettings, all}, {"Reset Mask", resetMask, mask}};
    for (const auto& c : cases) {
        fw::ValueSlots slots;
        slots.fill(kMarker);
        c.reset(slots);
        for (int slot = 0; slot < fw::kValueSlots; ++slot) {
            const auto it = c.expected.find(slot);
            EXPECT_EQ(slots[static_cast<size_t>(slot)], it == c.expected.end() ? kMarker : it->second)
                << c.what << ", slot " << slot;
        }
    }
    // A double-click on the inclusion slider gives less than Reset Mask does.
    EXPECT_EQ(fw::findSetting(kSettings, kMaskInclusion)->initial, 50);
}

TEST(LumivexSettings, DerivedValues) {
    LensSettings s;
    s.smoothing = 60;
    s.shiftX = 60;
    s.shiftY = 30;
    s.deformation = 50;
    LensParams p = deriveParams(s, 800, 600, 1.0f);
    EXPECT_DOUBLE_EQ(p.strength, 1.0);
    EXPECT_EQ(p.kernelKey, 400);
    EXPECT_EQ(p.shiftX, 2400);  // 37.5 pixels
    EXPECT_EQ(p.shiftY, 0);
    EXPECT_EQ(p.amplitude, 3500);
    EXPECT_EQ(p.slopeStep, 64);

    s.smoothing = 0;
    s.shiftX = 0;
    s.shiftY = 45;
    s.maskLeft = 30;
    s.maskRight = 130;
    s.maskTop = 10;
    s.maskBottom = 150;
    p = deriveParams(s, 801, 333, 2.5f);
    EXPECT_NEAR(p.strength, 0.1436, 5e-5);
    EXPECT_EQ(p.kernelKey, 143);               // trunc(2.5 x 0.14359 x 400)
    EXPECT_EQ(p.shiftX, -int32_t{2871} * 30 / 100);  // e = trunc(143.59 x 20)
    EXPECT_EQ(p.shiftY, 2871 * 15 / 100);
    EXPECT_EQ(p.amplitude, static_cast<int>(p.strength * 50 * 70));
    EXPECT_EQ(p.mask.left, 150);   // 30 x 801 / 160 = 150.19
    EXPECT_EQ(p.mask.right, 650);  // 650.8
    EXPECT_EQ(p.mask.top, 20);     // 20.8
    EXPECT_EQ(p.mask.bottom, 312); // 312.2
    EXPECT_EQ(p.longSide, 801);
    EXPECT_EQ(p.slopeStep, 160);
}

TEST(LumivexSettings, TheFingerprintIgnoresAngleDeformationSkewAndSize) {
    const LensSettings base;
    const double f = deriveParams(base, 300, 200, 1.0f).fingerprint;
    LensSettings other = base;
    other.deformation = 99;
    other.angle = {50, 25};
    other.skewX = 3;
    other.skewY = 50;
    other.previewOn = 0;
    EXPECT_EQ(deriveParams(other, 640, 480, 1.0f).fingerprint, f);
    struct Change {
        const char* what;
        void (*apply)(LensSettings&);
    } changes[] = {{"smoothing", [](LensSettings& s) { s.smoothing = 59; }},
                   {"inclusion", [](LensSettings& s) { s.inclusion = 99; }},
                   {"left", [](LensSettings& s) { s.maskLeft = 1; }},
                   {"top", [](LensSettings& s) { s.maskTop = 1; }},
                   {"shift", [](LensSettings& s) { s.shiftY = 31; }}};
    for (const Change& c : changes) {
        LensSettings s = base;
        c.apply(s);
        EXPECT_NE(deriveParams(s, 300, 200, 1.0f).fingerprint, f) << c.what;
    }
    EXPECT_NE(deriveParams(base, 300, 200, 2.0f).fingerprint, f) << "scale";
}

TEST(LumivexSettings, AnUnbentAxisGivesTheSameVectorAsThePerPixelAngle) {
    for (const auto& [kx, ky] : {std::pair{30, 7}, std::pair{51, 30}, std::pair{30, 30}}) {
        LensSettings s;
        s.deformation = 120;
        s.angle = {47, 15};
        s.skewX = kx;
        s.skewY = ky;
        LensParams p = deriveParams(s, 37, 23, 1.0f);
        deriveBend(s, p);
        const bool byRow = !p.rowCx.empty();
        ASSERT_TRUE(byRow || !p.columnCx.empty());
        for (int y = 0; y < 23; ++y)
            for (int x = 0; x < 37; ++x) {
                const double phi = refractionAngle(p, p.rowBend[static_cast<size_t>(y)],
                                                   p.columnBend[static_cast<size_t>(x)]);
                const size_t i = static_cast<size_t>(byRow ? y : x);
                EXPECT_EQ((byRow ? p.rowCx : p.columnCx)[i], static_cast<int32_t>(p.amplitude * std::sin(phi)));
                EXPECT_EQ((byRow ? p.rowCy : p.columnCy)[i], static_cast<int32_t>(p.amplitude * std::cos(phi)));
            }
    }
}

TEST(LumivexSettings, TheBendFollowsTheAccumulatedFractions) {
    LensSettings s;
    s.skewX = 60;
    s.skewY = 0;
    LensParams p = deriveParams(s, 4, 2, 1.0f);
    deriveBend(s, p);
    // Column fractions 0, 1/4, 1/2, 3/4 at kX = 60; row fractions 0, 1/2 at kY = 0.
    EXPECT_DOUBLE_EQ(p.columnBend[0], -1.0);
    EXPECT_DOUBLE_EQ(p.columnBend[2], 0.0);
    EXPECT_NEAR(p.columnBend[3], std::sin(std::numbers::pi / 4), 1e-15);
    EXPECT_DOUBLE_EQ(p.rowBend[0], 1.0);
    EXPECT_DOUBLE_EQ(p.rowBend[1], 0.0);
    EXPECT_TRUE(p.rowCx.empty() && p.columnCx.empty());
}

namespace {

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

TEST(LumivexPresets, FactoryPresetsHoldTheirTableAndLieOnTheRing) {
    struct Case {
        const char* file;
        LensSettings expected;
    };
    auto make = [](int sm, int r, int l, KnobPoint a, int def, int sx, int sy, int inc, int bm,
                   int t, int kx, int ky) {
        LensSettings s;
        s.smoothing = sm;
        s.maskRight = r;
        s.maskLeft = l;
        s.angle = a;
        s.deformation = def;
        s.shiftX = sx;
        s.shiftY = sy;
        s.inclusion = inc;
        s.maskBottom = bm;
        s.maskTop = t;
        s.previewOn = 2;
        s.skewX = kx;
        s.skewY = ky;
        return s;
    };
    const Case cases[] = {
        {"beetle", make(60, 130, 30, {50, 25}, 50, 30, 0, 100, 160, 0, 30, 60)},
        {"ellipsoid", make(60, 160, 0, {26, 1}, 30, 30, 60, 100, 160, 0, 30, 0)},
        {"frown", make(60, 120, 40, {47, 15}, 50, 30, 60, 85, 120, 40, 30, 30)},
        {"mincing", make(60, 90, 70, {46, 13}, 100, 30, 30, 90, 130, 30, 30, 30)},
        {"sideways", make(60, 160, 0, {0, 25}, 50, 0, 30, 95, 140, 90, 60, 30)},
        {"wow", make(60, 120, 40, {24, 49}, 50, 30, 30, 85, 120, 40, 30, 30)},
    };
    const fw::FilterDescription& filter = fw::filterDescription();
    for (const Case& c : cases) {
        const std::string path = std::string(QM_SOURCE_DIR) + "/resources/lumivex/presets/" + c.file + ".txt";
        std::vector<uint8_t> record;
        tools::PresetTextError error;
        ASSERT_TRUE(tools::compilePresetText(readText(path), filter, record, error))
            << c.file << ":" << error.line << ": " << error.message;
        ASSERT_EQ(record.size(), 64u);
        EXPECT_EQ(record[4], 12);
        EXPECT_EQ(record[5], 1);
        fw::ValueSlots slots{};
        fw::decodeRecord(record.data(), filter.format, slots);
        const LensSettings s = decodeLensSettings(slots);
        EXPECT_EQ(s, c.expected) << c.file;
        // Stored as the ring holds it: decoding changed nothing, and saving the
        // settings back gives the same 102 bits.
        fw::ValueSlots again{};
        encodeLensSettings(s, again);
        std::vector<uint8_t> saved(64, 0);
        fw::packFields(saved.data(), filter.format, again);
        fw::sealRecord(saved.data(), filter.format, false);
        EXPECT_TRUE(fw::sameSettings(saved.data(), record.data(), 64)) << c.file;
    }
}
