#include "filters/marbleloom/texture_random.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "filters/marbleloom/texture_settings.h"
#include "framework/settings/random_source.h"
#include "tests/filters/marbleloom/test_records.h"

namespace qm::marbleloom {
namespace {

using test::ScratchFolder;

constexpr int kSeeds = 1000;
constexpr int32_t kUntouched = -12345;

// A fixed list spread over the whole range: the generator's first draw
// grows with small seeds almost in step, as tick counts would not.
uint32_t seedAt(uint32_t i) { return i * 0x9E3779B9u + 12345u; }

int L(int k, int offset) { return layer::first(k) + offset; }

fw::ValueSlots untouchedSlots() {
    fw::ValueSlots v;
    v.fill(kUntouched);
    return v;
}

// Four far-apart colours in quadrants, none near black; the last row and
// column hold a fifth colour that must never be picked.
const Rgb kQuadrants[4] = {{200, 40, 40}, {40, 200, 40}, {40, 40, 200}, {200, 200, 100}};
const Rgb kEdge{120, 120, 250};

struct Picture {
    static constexpr int kW = 9, kH = 7, kBpp = 4, kStride = kW * kBpp + 5;
    std::vector<uint8_t> bytes = std::vector<uint8_t>(kStride * kH, 0);
    Picture() {
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) {
                const Rgb c = x == kW - 1 || y == kH - 1 ? kEdge : kQuadrants[(x < 4 ? 0 : 1) + (y < 3 ? 0 : 2)];
                uint8_t* p = &bytes[static_cast<size_t>(y * kStride + x * kBpp)];
                p[0] = c.r;
                p[1] = c.g;
                p[2] = c.b;
                p[3] = 77;
            }
    }
    PixelView view() const { return {bytes.data(), kW, kH, kBpp, kStride}; }
};

// The quadrant colour this word came from (each channel within the jitter
// of 14), or -1.
int originOf(int32_t word) {
    const auto w = static_cast<uint32_t>(word);
    for (int i = 0; i < 4; ++i) {
        const Rgb& c = kQuadrants[i];
        if (std::abs(int(w & 0xFF) - c.r) <= 14 && std::abs(int(w >> 8 & 0xFF) - c.g) <= 14 &&
            std::abs(int(w >> 16 & 0xFF) - c.b) <= 14)
            return i;
    }
    return -1;
}

bool isGrey(int32_t word) {
    const auto w = static_cast<uint32_t>(word);
    return (w & 0xFF) == (w >> 8 & 0xFF) && (w & 0xFF) == (w >> 16 & 0xFF);
}

void expectPad(int32_t value, int low, int high, const char* what) {
    EXPECT_GE(value & 127, low) << what;
    EXPECT_LE(value & 127, high) << what;
    EXPECT_GE(value >> 7, low) << what;
    EXPECT_LE(value >> 7, high) << what;
}

TEST(RandomSettings, ValuesStayInRangeAndVisibilityFollowsTheFirstDraw) {
    const Picture picture;
    struct Range {
        int slot, low, high;
    };
    const Range globals[] = {
        {kRefract, 25, 40}, {kSmooth, 0, 10}, {kShaping, 0, 50}, {kReliefSmoothness, 10, 40},
        {kCorrugation, 0, 50}, {kOutline, 0, 50}, {base::kMixing, 20, 60},
    };
    int layer2 = 0, layer3 = 0, ownDisplacement = 0;
    for (uint32_t i = 1; i <= kSeeds; ++i) {
        const uint32_t seed = seedAt(i);
        SCOPED_TRACE("seed " + std::to_string(seed));
        fw::seedRandom(seed);
        const int u = fw::randomInt(0, 127);
        fw::seedRandom(seed);
        fw::ValueSlots v = untouchedSlots();
        ASSERT_TRUE(randomSettings(v, picture.view(), 5, true));

        EXPECT_EQ(v[L(1, layer::kVisible)], kVisibleOn);
        EXPECT_EQ(v[L(2, layer::kVisible)], u >= 65 ? kVisibleOn : 0);
        EXPECT_EQ(v[L(3, layer::kVisible)], u >= 97 ? kVisibleOn : 0);
        EXPECT_EQ(v[base::kVisible], kVisibleOn);
        layer2 += u >= 65;
        layer3 += u >= 97;

        for (const Range& r : globals) {
            EXPECT_GE(v[r.slot], r.low) << "slot " << r.slot;
            EXPECT_LE(v[r.slot], r.high) << "slot " << r.slot;
        }
        expectPad(v[kRelief], 10, 40, "relief");
        if (v[kDisplacement] != 3225) {
            ++ownDisplacement;
            expectPad(v[kDisplacement], 15, 35, "displacement");
        }

        std::set<int> origins;
        bool grey = false;
        for (int k = 1; k <= 3; ++k) {
            SCOPED_TRACE("layer " + std::to_string(k));
            if (v[L(k, layer::kVisible)] == 0) {
                for (int offset : {layer::kColour, layer::kWidth, layer::kMixing})
                    EXPECT_EQ(v[L(k, offset)], kUntouched);
                continue;
            }
            const int32_t colour = v[L(k, layer::kColour)];
            EXPECT_EQ(static_cast<uint32_t>(colour) >> 24, kFixed);
            EXPECT_GE(v[L(k, layer::kMixing)], 20);
            EXPECT_LE(v[L(k, layer::kMixing)], 60);
            const int width = v[L(k, layer::kWidth)];
            // Only a lone layer 1 may take a grey.
            if (k == 1 && u < 65 && isGrey(colour)) {
                EXPECT_GE(width, 60);
                EXPECT_LE(width, 75);
                grey = true;
                continue;
            }
            const int origin = originOf(colour);
            EXPECT_NE(origin, -1) << std::hex << colour;
            origins.insert(origin);
            if (k > 1 || u > 64) {
                EXPECT_GE(width, 10);
                EXPECT_LE(width, 50);
            } else {
                EXPECT_GE(width, 30);
                EXPECT_LE(width, 60);
            }
        }
        // The visible layers' colours come from different parts of the picture.
        EXPECT_EQ(origins.size(), 1u - grey + (u >= 65) + (u >= 97));
    }
    // u = rand(0, 127): about 49% and 24%.
    EXPECT_GT(layer2, kSeeds * 40 / 100);
    EXPECT_LT(layer2, kSeeds * 58 / 100);
    EXPECT_GT(layer3, kSeeds * 17 / 100);
    EXPECT_LT(layer3, kSeeds * 31 / 100);
    // rand(0, 100) > 19 keeps 3225 about four times in five.
    EXPECT_GT(ownDisplacement, kSeeds * 14 / 100);
    EXPECT_LT(ownDisplacement, kSeeds * 26 / 100);
}

TEST(RandomSettings, OnlyALoneLayerOneTakesAGreyAboutOneTimeInFive) {
    const Picture picture;
    // Visibilities kept as they are (Random Variations).
    const struct {
        bool layer2, layer3;
        int minGrey, maxGrey;  // in percent
    } cases[] = {{false, false, 14, 26}, {true, false, 0, 0}, {false, true, 0, 0}, {true, true, 0, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string("layer 2 ") + (c.layer2 ? "on" : "off") + ", layer 3 " + (c.layer3 ? "on" : "off"));
        int grey = 0;
        for (uint32_t i = 1; i <= kSeeds; ++i) {
            const uint32_t seed = seedAt(i);
            SCOPED_TRACE("seed " + std::to_string(seed));
            fw::ValueSlots v = untouchedSlots();
            v[L(1, layer::kVisible)] = kVisibleOn;
            v[L(2, layer::kVisible)] = c.layer2 ? kVisibleOn : 0;
            v[L(3, layer::kVisible)] = c.layer3 ? kVisibleOn : 0;
            v[base::kVisible] = 0;
            fw::seedRandom(seed);
            const int u = fw::randomInt(0, 127);
            fw::seedRandom(seed);
            ASSERT_TRUE(randomSettings(v, picture.view(), 3, false));
            // Visibilities are kept, hidden layers and the hidden base not touched.
            EXPECT_EQ(v[L(2, layer::kVisible)], c.layer2 ? kVisibleOn : 0);
            EXPECT_EQ(v[L(3, layer::kVisible)], c.layer3 ? kVisibleOn : 0);
            EXPECT_EQ(v[base::kVisible], 0);
            EXPECT_EQ(v[base::kMixing], kUntouched);
            EXPECT_EQ(v[L(2, layer::kColour)] == kUntouched, !c.layer2);
            EXPECT_EQ(v[L(3, layer::kWidth)] == kUntouched, !c.layer3);

            const int32_t colour = v[L(1, layer::kColour)];
            const int width = v[L(1, layer::kWidth)];
            EXPECT_EQ(static_cast<uint32_t>(colour) >> 24, kFixed);
            if (isGrey(colour)) {
                ++grey;
                EXPECT_GE(colour & 0xFF, 64);
                EXPECT_LE(colour & 0xFF, 192);
                EXPECT_GE(width, 60);
                EXPECT_LE(width, 75);
            } else {
                EXPECT_NE(originOf(colour), -1);
                // The width follows u, not the visibilities.
                EXPECT_GE(width, u > 64 ? 10 : 30);
                EXPECT_LE(width, u > 64 ? 50 : 60);
            }
        }
        EXPECT_GE(grey, kSeeds * c.minGrey / 100);
        EXPECT_LE(grey, kSeeds * c.maxGrey / 100);
    }
}

TEST(RandomSettings, PicturesWithoutDistinctColoursStillEnd) {
    const std::vector<uint8_t> uniform(16 * 16 * 3, 90);
    const uint8_t one[3] = {90, 90, 90};
    const struct {
        const char* what;
        PixelView view;
    } cases[] = {
        {"uniform 16 x 16", {uniform.data(), 16, 16, 3, 48}},
        {"2 x 2", {uniform.data(), 2, 2, 3, 48}},
        {"1 x 1", {one, 1, 1, 3, 3}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        for (uint32_t i = 1; i <= 20; ++i) {
            fw::seedRandom(seedAt(i));
            fw::ValueSlots v = untouchedSlots();
            ASSERT_TRUE(randomSettings(v, c.view, 3, true));
            // Layers 2 and 3 always take picked colours (layer 1 may be a grey).
            for (int k = 2; k <= 3; ++k) {
                if (v[L(k, layer::kVisible)] == 0) continue;
                const auto w = static_cast<uint32_t>(v[L(k, layer::kColour)]);
                for (int shift : {0, 8, 16}) EXPECT_LE(std::abs(int(w >> shift & 0xFF) - 90), 14);
            }
        }
    }
}

// A library of "default raw", "Input Image" and records with their own
// scaling ranges.
struct SmallLibrary {
    struct Pattern {
        const char* name;
        uint8_t scaleMin, scaleMax;
    };
    static constexpr Pattern kPatterns[] = {{"Fine", 10, 20}, {"Mid", 33, 33}, {"Coarse", 40, 63}, {"Wide", 0, 63}};
    ScratchFolder dir;
    PatternLibrary lib;
    explicit SmallLibrary(int records = 4) {
        std::vector<uint8_t> file;
        for (int i = 0; i < records; ++i) {
            auto r = test::recordOf(kPatterns[i].name, static_cast<uint8_t>(i + 1));
            PatternHeader h = parseHeader(r.data());
            h.scaleMin = kPatterns[i].scaleMin;
            h.scaleMax = kPatterns[i].scaleMax;
            sealHeader(h);
            serializeHeader(h, r.data());
            file.insert(file.end(), r.begin(), r.end());
        }
        lib.readFile("", false);
        lib.readFile(":", false);
        if (records > 0) {
            test::writeFile(dir / "lib.8tx", file);
            lib.readFile(dir / "lib.8tx", true);
        }
    }
};

TEST(RandomPatterns, VisibleLayersTakeShownPatternsWithTheirScalings) {
    SmallLibrary s;
    ASSERT_EQ(s.lib.count(), 6);
    // "Mid" is hidden: twenty redraws make choosing it next to impossible.
    PatternEntry& hidden = s.lib.entry(3);
    ASSERT_EQ(hidden.header.nameText(), "Mid");
    hidden.shown = 0;

    struct Layer {
        int pattern, rotation, scaling, hue, saturation, brightness, visible;
    };
    const Layer layers[4] = {
        {base::kPattern, base::kRotation, base::kScaling, base::kHue, base::kSaturation, base::kBrightness,
         base::kVisible},
        {L(1, layer::kPattern), L(1, layer::kRotation), L(1, layer::kScaling), L(1, layer::kHue),
         L(1, layer::kSaturation), L(1, layer::kBrightness), L(1, layer::kVisible)},
        {L(2, layer::kPattern), L(2, layer::kRotation), L(2, layer::kScaling), L(2, layer::kHue),
         L(2, layer::kSaturation), L(2, layer::kBrightness), L(2, layer::kVisible)},
        {L(3, layer::kPattern), L(3, layer::kRotation), L(3, layer::kScaling), L(3, layer::kHue),
         L(3, layer::kSaturation), L(3, layer::kBrightness), L(3, layer::kVisible)},
    };
    int raw = 0, input = 0;
    std::set<std::string> used;
    for (uint32_t i = 1; i <= kSeeds; ++i) {
        const uint32_t seed = seedAt(i);
        SCOPED_TRACE("seed " + std::to_string(seed));
        fw::ValueSlots v = untouchedSlots();
        // Every combination of visibilities comes round.
        for (int k = 0; k < 4; ++k) v[layers[k].visible] = (i >> k & 1) ? kVisibleOn : 0;
        fw::seedRandom(seed);
        ASSERT_TRUE(randomPatterns(v, s.lib));
        for (int k = 0; k < 4; ++k) {
            SCOPED_TRACE("layer " + std::to_string(k) + " (0: base)");
            const Layer& l = layers[k];
            if (v[l.visible] == 0) {
                for (int slot : {l.pattern, l.rotation, l.scaling, l.hue, l.saturation, l.brightness})
                    EXPECT_EQ(v[slot], kUntouched);
                continue;
            }
            const int index = s.lib.findIdentity(static_cast<uint32_t>(v[l.pattern]));
            ASSERT_NE(index, -1) << v[l.pattern];
            const PatternEntry& e = s.lib.entry(index);
            used.insert(e.header.nameText());
            EXPECT_NE(index, 3);
            // Only layer 1 may be "default raw", only the base "Input Image".
            if (index == 0) {
                EXPECT_EQ(k, 1);
            }
            if (index == 1) {
                EXPECT_EQ(k, 0);
            }
            raw += index == 0;
            input += index == 1;
            EXPECT_GE(v[l.scaling], e.header.scaleMin);
            EXPECT_LE(v[l.scaling], e.header.scaleMax);
            const int rotation = v[l.rotation];
            EXPECT_TRUE(rotation == 0 || rotation == 1 || rotation == 2 || rotation == 7) << rotation;
            if (index == 0) {
                EXPECT_GE(v[l.hue], 0);
                EXPECT_LE(v[l.hue], 100);
                EXPECT_GE(v[l.saturation], 0);
                EXPECT_LE(v[l.brightness], 100);
                EXPECT_GE(v[L(1, layer::kHighlight)], 50);
            } else {
                EXPECT_GE(v[l.hue], 0);
                EXPECT_LE(v[l.hue], 100);
                EXPECT_GE(v[l.saturation], 10);
                EXPECT_LE(v[l.saturation], 100);
                EXPECT_GE(v[l.brightness], 20);
                EXPECT_LE(v[l.brightness], 60);
            }
            if (k == 0) {
                EXPECT_GE(v[base::kMixing], 20);
                EXPECT_LE(v[base::kMixing], 60);
            } else {
                EXPECT_GE(v[L(k, layer::kHighlight)], 30);
                EXPECT_LE(v[L(k, layer::kHighlight)], 100);
                EXPECT_GE(v[L(k, layer::kShapeness)], 0);
                EXPECT_LE(v[L(k, layer::kShapeness)], 100);
            }
        }
    }
    EXPECT_EQ(used, (std::set<std::string>{"default raw", "Input Image", "Fine", "Coarse", "Wide"}));
    // Half the seeds show layer 1, half the base: about 10% and 5% of those.
    EXPECT_GT(raw, kSeeds / 2 * 5 / 100);
    EXPECT_LT(raw, kSeeds / 2 * 15 / 100);
    EXPECT_GT(input, kSeeds / 2 * 2 / 100);
    EXPECT_LT(input, kSeeds / 2 * 9 / 100);
}

TEST(RandomGenerators, FewerThanThreeEntriesChangeNothing) {
    const Picture picture;
    SmallLibrary two(0);
    ASSERT_EQ(two.lib.count(), 2);
    fw::ValueSlots v = untouchedSlots();
    for (int k = 1; k <= 3; ++k) v[L(k, layer::kVisible)] = kVisibleOn;
    v[base::kVisible] = kVisibleOn;
    const fw::ValueSlots before = v;
    for (int count : {0, 1, 2}) {
        fw::seedRandom(5);
        EXPECT_FALSE(randomSettings(v, picture.view(), count, true));
        EXPECT_FALSE(randomSettings(v, picture.view(), count, false));
    }
    EXPECT_FALSE(randomPatterns(v, two.lib));
    EXPECT_EQ(v, before);
    // Nothing was drawn either.
    const int next = fw::randomValue();
    fw::seedRandom(5);
    EXPECT_EQ(next, fw::randomValue());
}

}  // namespace
}  // namespace qm::marbleloom
