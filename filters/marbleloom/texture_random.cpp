#include "filters/marbleloom/texture_random.h"

#include <algorithm>
#include <cstdlib>

#include "filters/marbleloom/texture_settings.h"
#include "framework/settings/random_source.h"

namespace qm::marbleloom {
namespace {

using fw::randomCapped;
using fw::randomInt;

// Colours closer than this are taken for one colour.
constexpr int kNearColours = 40;
constexpr int kMaxRedraws = 1000;
constexpr int kMaxPatternRedraws = 20;

bool visible(const fw::ValueSlots& v, int slot) { return v[static_cast<size_t>(slot)] != 0; }
void set(fw::ValueSlots& v, int slot, int32_t value) { v[static_cast<size_t>(slot)] = value; }
int layerSlot(int k, int offset) { return layer::first(k) + offset; }

int distance(const Rgb& a, const Rgb& b) {
    return std::abs(a.r - b.r) + std::abs(a.g - b.g) + std::abs(a.b - b.b);
}

// A pixel at a random place; the column is drawn before the row. The last
// row and column are never chosen.
Rgb pickColour(const PixelView& source) {
    const int x = randomInt(0, source.width - 2);
    const int y = randomInt(0, source.height - 2);
    if (source.empty()) return {};
    const uint8_t* p = source.at(std::clamp(x, 0, source.width - 1), std::clamp(y, 0, source.height - 1));
    return {p[0], p[1], p[2]};
}

uint8_t jitter(uint8_t channel) { return static_cast<uint8_t>(std::clamp(channel + randomInt(0, 28) - 14, 0, 255)); }

int32_t fixedWord(const Rgb& c) { return static_cast<int32_t>(colourWord(c.r, c.g, c.b, kFixed)); }

// Three reference colours that stand apart from each other and from a
// guard colour; each redraw loop gives up after 1000 draws, so a uniform
// picture ends with colours that are not apart.
void referenceColours(const PixelView& source, Rgb out[3]) {
    Rgb p = pickColour(source);
    Rgb q = pickColour(source);
    Rgb r = pickColour(source);
    // The guard is a copy taken now: redrawing q below does not move it.
    Rgb guard{};
    if (distance(q, r) < kNearColours)
        guard = q;
    else if (distance(p, r) < kNearColours || distance(p, q) < kNearColours)
        guard = p;
    auto near = [](const Rgb& a, const Rgb& b) { return distance(a, b) < kNearColours; };
    for (int n = 0; n < kMaxRedraws && near(guard, p); ++n) p = pickColour(source);
    for (int n = 0; n < kMaxRedraws && (near(p, q) || near(guard, q)); ++n) q = pickColour(source);
    for (int n = 0; n < kMaxRedraws && (near(p, r) || near(q, r) || near(guard, r)); ++n) r = pickColour(source);
    for (Rgb* c : {&p, &q, &r}) {
        c->r = jitter(c->r);
        c->g = jitter(c->g);
        c->b = jitter(c->b);
    }
    out[0] = p;
    out[1] = q;
    out[2] = r;
}

int mixingDraw() { return randomCapped(20, 100, 60, 50); }

// One draw of an entry for a layer: drawn again while it is not shown, at
// most 20 times; when all of them fail the last draw stands (the library
// may hold nothing but removed patterns, and some pattern must be chosen).
int drawEntry(const PatternLibrary& library) {
    int index = randomInt(2, library.count() - 1);
    for (int n = 0; n < kMaxPatternRedraws && !library.entry(index).shown; ++n)
        index = randomInt(2, library.count() - 1);
    return index;
}

int scalingDraw(const PatternEntry& e) { return randomInt(e.header.scaleMin & 63, e.header.scaleMax & 63); }

}  // namespace

bool randomSettings(fw::ValueSlots& v, const PixelView& source, int libraryCount, bool withVisibility) {
    if (libraryCount < 3) return false;
    const int u = randomInt(0, 127);
    if (withVisibility) {
        set(v, layerSlot(1, layer::kVisible), kVisibleOn);
        set(v, layerSlot(2, layer::kVisible), u >= 65 ? kVisibleOn : 0);
        set(v, layerSlot(3, layer::kVisible), u >= 97 ? kVisibleOn : 0);
        set(v, base::kVisible, kVisibleOn);
    }
    const bool shown[4] = {visible(v, base::kVisible), visible(v, layerSlot(1, layer::kVisible)),
                           visible(v, layerSlot(2, layer::kVisible)), visible(v, layerSlot(3, layer::kVisible))};

    Rgb colours[3];
    referenceColours(source, colours);

    for (int k : {3, 2}) {
        if (!shown[k]) continue;
        set(v, layerSlot(k, layer::kColour), fixedWord(colours[k - 1]));
        set(v, layerSlot(k, layer::kWidth), randomInt(10, 50));
        set(v, layerSlot(k, layer::kMixing), mixingDraw());
    }
    if (shown[1]) {
        // The width rule looks at u, not at the visibilities: Random
        // Variations keeps visibilities that u did not choose.
        auto ownColour = [&] {
            set(v, layerSlot(1, layer::kColour), fixedWord(colours[0]));
            set(v, layerSlot(1, layer::kWidth), u > 64 ? randomInt(10, 50) : randomInt(30, 60));
        };
        if (shown[2] || shown[3]) {
            ownColour();
        } else if (randomInt(0, 100) > 19) {
            ownColour();
        } else {
            const auto level = static_cast<uint8_t>(randomInt(64, 192));
            set(v, layerSlot(1, layer::kColour), fixedWord({level, level, level}));
            set(v, layerSlot(1, layer::kWidth), randomInt(60, 75));
        }
        set(v, layerSlot(1, layer::kMixing), mixingDraw());
    }
    if (shown[0]) set(v, base::kMixing, mixingDraw());

    set(v, kRefract, randomInt(25, 40));
    set(v, kSmooth, randomInt(0, 10));
    set(v, kShaping, randomInt(0, 50));
    set(v, kReliefSmoothness, randomCapped(10, 70, 40, 20));
    set(v, kCorrugation, randomCapped(0, 75, 50, 10));
    // Pads: the high part (y) is drawn before the low part (x).
    {
        const int y = randomInt(10, 40);
        const int x = randomInt(10, 40);
        set(v, kRelief, y * 128 + x);
    }
    set(v, kOutline, randomInt(0, 50));
    if (randomInt(0, 100) > 19) {
        set(v, kDisplacement, 3225);
    } else {
        const int y = randomInt(15, 35);
        const int x = randomInt(15, 35);
        set(v, kDisplacement, y * 128 + x);
    }
    return true;
}

bool randomPatterns(fw::ValueSlots& v, const PatternLibrary& library) {
    if (library.count() < 3) return false;
    // Layers 1, 2, 3, then the base.
    int chosen[4];
    for (int& index : chosen) index = drawEntry(library);
    if (randomInt(0, 100) < 5) chosen[3] = 1;  // "Input Image"
    const bool rawLayer1 = randomInt(0, 100) < 10;
    if (rawLayer1) chosen[0] = 0;  // "default raw"

    for (int k = 1; k <= 3; ++k) {
        if (!visible(v, layerSlot(k, layer::kVisible))) continue;
        const PatternEntry& e = library.entry(chosen[k - 1]);
        set(v, layerSlot(k, layer::kRotation), randomCapped(0, 3, 2, 7));
        // A uniform pattern gets its own ranges, in the places of the usual
        // draws, so the sequence of draws stays the same.
        if (k == 1 && rawLayer1) {
            set(v, layerSlot(k, layer::kHue), randomInt(0, 100));
            set(v, layerSlot(k, layer::kSaturation), randomInt(0, 100));
            set(v, layerSlot(k, layer::kBrightness), randomInt(0, 100));
            set(v, layerSlot(k, layer::kHighlight), randomInt(50, 100));
        } else {
            set(v, layerSlot(k, layer::kHue), randomCapped(0, 400, 100, 50));
            set(v, layerSlot(k, layer::kSaturation), randomCapped(10, 400, 100, 50));
            set(v, layerSlot(k, layer::kBrightness), randomCapped(20, 400, 60, 50));
            set(v, layerSlot(k, layer::kHighlight), randomInt(30, 100));
        }
        set(v, layerSlot(k, layer::kShapeness), randomCapped(0, 150, 100, 0));
        set(v, layerSlot(k, layer::kScaling), scalingDraw(e));
        set(v, layerSlot(k, layer::kPattern), static_cast<int32_t>(e.header.identity));
    }
    if (visible(v, base::kVisible)) {
        const PatternEntry& e = library.entry(chosen[3]);
        set(v, base::kRotation, randomCapped(0, 3, 2, 7));
        set(v, base::kHue, randomCapped(0, 400, 100, 50));
        set(v, base::kSaturation, randomCapped(10, 400, 100, 50));
        set(v, base::kBrightness, randomCapped(20, 400, 60, 50));
        set(v, base::kScaling, scalingDraw(e));
        set(v, base::kMixing, mixingDraw());
        set(v, base::kPattern, static_cast<int32_t>(e.header.identity));
    }
    return true;
}

}  // namespace qm::marbleloom
