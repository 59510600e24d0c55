#include "filters/marbleloom/texture_settings.h"

#include <iterator>
#include <string_view>

namespace qm::marbleloom {
namespace {

using fw::kResetAll;

constexpr int32_t kPadCentre = fw::packParts(fw::ControlKind::Pad, 25, 25);  // 3225
// What a colour well holds before anything is chosen.
constexpr auto kNewWellColour = static_cast<int32_t>(colourWord(227, 217, 203, kFixed));

// "Reset All", and one "Reset the Layer Settings" button for the base and
// for each of layers 1..3.
constexpr fw::ResetGroups kResetBase = 2;
constexpr fw::ResetGroups resetGroupOfLayer(int k) {
    return k >= 1 && k <= 3 ? static_cast<fw::ResetGroups>(4 << (k - 1)) : fw::kKeptByResets;
}
constexpr fw::ResetGroups kResetBaseOrAll = kResetAll | kResetBase;

// Value 3 is kept twice: a 6-bit copy ahead of the layers and the 7-bit one
// that is read, near the end.
constexpr fw::Setting kSmoothSetting =
    fw::slider(kSmooth, 7, 0, 50, 5, "smooth").labelled("Smooth", "Shape Smoothnes").resetBy(kResetAll);

// Record orders 1 and 2: global values, then the base.
constexpr fw::Setting kAheadOfLayers[] = {
    fw::slider(kRefract, 7, 0, 50, 25, "refract").labelled("Refract", "Refraction 3d effect").resetBy(kResetAll),
    fw::slider(kShaping, 7, 0, 50, 25, "shaping")
        .labelled("Shaping", "Mixing with Source Image Shape").resetBy(kResetAll),
    kSmoothSetting.copyOf(6),
    fw::pad(kDisplacement, 0, 50, 25, 25, "displacement")
        .labelled("Displacement", "Shape Displacement. Use Doubleclick to Reset.").resetBy(kResetAll),
    fw::colour(kBackground, kNewWellColour, "background").labelled(nullptr, "Background Color selector"),
    fw::pattern(base::kPattern, "basePattern"),
    fw::selector(base::kRotation, 3, 7, 0, "baseRotation")
        .labelled(nullptr, "Rotates the Pattern. Use right-click for CCW rotation."),
    fw::slider(base::kScaling, 7, 0, 100, 50, "baseScaling")
        .labelled(nullptr, "Pattern Scaling").resetBy(kResetBaseOrAll),
    fw::slider(base::kHue, 7, 0, 100, 50, "baseHue").labelled("h", "Pattern Hue").resetBy(kResetBaseOrAll),
    fw::slider(base::kSaturation, 7, 0, 100, 50, "baseSaturation")
        .labelled("s", "Pattern Saturation").resetBy(kResetBaseOrAll),
    fw::slider(base::kBrightness, 7, 0, 100, 50, "baseBrightness")
        .labelled("v", "Pattern Brightness correction").resetBy(kResetBaseOrAll),
    fw::slider(base::kMixing, 7, 0, 100, 50, "baseMixing").labelled(nullptr, "Layer Mixing").resetBy(kResetBaseOrAll),
    // Any non-zero value is on; the dialog stores 2.
    fw::toggle(base::kVisible, 3, 7, 0, "baseVisible").labelled(nullptr, "Layer Visibility"),
};

// Record orders 3 to 5, one a layer: slots are offsets from the layer's
// first, names follow "layerK". What "Reset All" resets, the layer's own
// reset resets too.
constexpr fw::Setting kEachLayer[] = {
    fw::pattern(layer::kPattern, "Pattern"),
    fw::selector(layer::kRotation, 3, 7, 0, "Rotation")
        .labelled(nullptr, "Rotates the Pattern. Use right-click for CCW rotation."),
    fw::slider(layer::kScaling, 7, 0, 100, 50, "Scaling").labelled(nullptr, "Pattern Scaling").resetBy(kResetAll),
    fw::slider(layer::kHue, 7, 0, 100, 50, "Hue").labelled(nullptr, "Pattern Hue").resetBy(kResetAll),
    fw::slider(layer::kSaturation, 7, 0, 100, 50, "Saturation")
        .labelled(nullptr, "Pattern Saturation").resetBy(kResetAll),
    fw::slider(layer::kBrightness, 7, 0, 100, 50, "Brightness")
        .labelled(nullptr, "Pattern Brightness correction").resetBy(kResetAll),
    fw::slider(layer::kExtraMixing, 7, 0, 100, 50, "ExtraMixing"),  // never shown, never read
    fw::toggle(layer::kVisible, 3, 7, 0, "Visible").labelled(nullptr, "Layer Visibility"),
    fw::colour(layer::kColour, kNewWellColour, "Colour").labelled(nullptr, "Reference Color of Selection Area"),
    fw::slider(layer::kWidth, 7, 0, 100, 0, "Width").labelled(nullptr, "Width of Selection Area"),
    fw::slider(layer::kHighlight, 7, 0, 100, 50, "Highlight").labelled(nullptr, "Highlight").resetBy(kResetAll),
    fw::slider(layer::kShapeness, 7, 0, 100, 50, "Shapeness").labelled(nullptr, "Shapeness").resetBy(kResetAll),
    fw::slider(layer::kMixing, 7, 0, 100, 50, "Mixing")
        .labelled(nullptr, "Layer Mixing (back/front position)").resetBy(kResetAll),
};

// Record order 6, then the controls the record does not keep.
constexpr fw::Setting kAfterLayers[] = {
    kSmoothSetting,
    fw::pad(kRelief, 0, 50, 25, 25, "relief")
        .labelled("Relief", "Relief. Use Doubleclick to Reset.").resetBy(kResetAll),
    fw::slider(kCorrugation, 7, 0, 50, 10, "corrugation").labelled(nullptr, "Corrugation").resetBy(kResetAll),
    fw::slider(kReliefSmoothness, 7, 0, 50, 5, "reliefSmoothness")
        .labelled("Smooth", "Relief Smoothnes").resetBy(kResetAll),
    fw::slider(kOutline, 7, 0, 50, 35, "outline").labelled(nullptr, "Outline").resetBy(kResetAll),
    fw::toggle(kEyedropper1, 0, 3, 0, "layer1Eyedropper")
        .labelled(nullptr, "Eyedropper tool. Click on screen to pull a color").resetBy(kResetAll),
    fw::toggle(kEyedropper1 + 1, 0, 3, 0, "layer2Eyedropper")
        .labelled(nullptr, "Eyedropper tool. Click on screen to pull a color").resetBy(kResetAll),
    fw::toggle(kEyedropper1 + 2, 0, 3, 0, "layer3Eyedropper")
        .labelled(nullptr, "Eyedropper tool. Click on screen to pull a color").resetBy(kResetAll),
    // Push buttons: they hold no value of their own.
    fw::toggle(kPatternSelector1, 0, 0, 0, "layer1PatternSelector").labelled(nullptr, "Pattern Selector"),
    fw::toggle(kPatternSelector1 + 1, 0, 0, 0, "layer2PatternSelector").labelled(nullptr, "Pattern Selector"),
    fw::toggle(kPatternSelector1 + 2, 0, 0, 0, "layer3PatternSelector").labelled(nullptr, "Pattern Selector"),
    fw::toggle(kPatternSelector1 + 3, 0, 0, 0, "basePatternSelector").labelled(nullptr, "Pattern Selector"),
};

constexpr bool inOffsetOrder() {
    for (size_t i = 0; i < std::size(kEachLayer); ++i)
        if (kEachLayer[i].slot != static_cast<int>(i)) return false;
    return std::size(kEachLayer) == layer::kSize;
}
static_assert(inOffsetOrder());

// "layerK" + the entry's name, for each layer.
struct LayerNames {
    char text[3][layer::kSize][24];
};
constexpr LayerNames kLayerNames = [] {
    LayerNames names{};
    for (int k = 1; k <= 3; ++k)
        for (int i = 0; i < layer::kSize; ++i) {
            char* out = names.text[k - 1][i];
            int at = 0;
            for (char c : std::string_view("layer")) out[at++] = c;
            out[at++] = static_cast<char>('0' + k);
            for (const char* c = kEachLayer[i].name; *c != 0; ++c) out[at++] = *c;
        }
    return names;
}();

struct SettingList {
    fw::Setting entries[std::size(kAheadOfLayers) + 3 * std::size(kEachLayer) + std::size(kAfterLayers)];
};
constexpr SettingList kSettingList = [] {
    SettingList list{};
    size_t at = 0;
    for (const fw::Setting& s : kAheadOfLayers) list.entries[at++] = s;
    for (int k = 1; k <= 3; ++k)
        for (int i = 0; i < layer::kSize; ++i) {
            fw::Setting s = kEachLayer[i];
            s.slot += layer::first(k);
            s.name = kLayerNames.text[k - 1][i];
            if (s.resets != fw::kKeptByResets) s.resets |= resetGroupOfLayer(k);
            list.entries[at++] = s;
        }
    for (const fw::Setting& s : kAfterLayers) list.entries[at++] = s;
    return list;
}();
constexpr const auto& kSettings = kSettingList.entries;
static_assert(fw::wellFormed(kSettings, kTextureRecordLength));

constexpr auto kFields = fw::fieldBytesOf(kSettings);

// The same fields with the first (6-bit) copy of value 3 read into a slot
// of its own, so both copies can be compared.
constexpr int kFirstSmoothCopy = kSettingCount;
constexpr auto kFieldsSplitSmooth = [] {
    auto t = kFields;
    for (size_t i = 0; i + 1 < t.size(); i += 2)
        if (t[i] == kSmooth) {
            t[i] = kFirstSmoothCopy;
            break;
        }
    return t;
}();

const fw::RecordFormat kFormat{kTextureFilterId, kTextureRecordVersion, kTextureRecordLength,
                               fw::fieldTableOf(kFields)};
const fw::RecordFormat kSplitFormat{kTextureFilterId, kTextureRecordVersion, kTextureRecordLength,
                                    fw::fieldTableOf(kFieldsSplitSmooth)};

void writeCheckValue(uint8_t* record) {
    fw::setRecordInteger(record, 0, static_cast<int32_t>(fw::rollingChecksum(record + 4, kTextureRecordLength - 4)));
}

}  // namespace

const fw::RecordFormat& textureRecordFormat() { return kFormat; }
fw::SettingTable textureSettingTable() { return kSettings; }

void resetLayer(fw::ValueSlots& slots, int k) {
    fw::resetSlots(kSettings, slots, k == 0 ? kResetBase : resetGroupOfLayer(k));
}

void resetAll(fw::ValueSlots& slots) { fw::resetSlots(kSettings, slots, kResetAll); }

void repairTextureRecord(uint8_t* record) {
    fw::ValueSlots slots{};
    fw::unpackFields(record, kSplitFormat, slots);
    bool changed = false;
    if (slots[kSmooth] < slots[kFirstSmoothCopy]) {
        slots[kSmooth] = slots[kFirstSmoothCopy];
        changed = true;
    }
    const uint8_t version = record[5];
    if (version < 2) {
        slots[kRelief] = kPadCentre;
        slots[kCorrugation] = 10;
        slots[kReliefSmoothness] = 5;
        slots[kRefract] /= 2;
        slots[kShaping] /= 2;
        slots[kSmooth] /= 2;
        changed = true;
    }
    if (version < 3) {
        slots[kOutline] = 25;
        changed = true;
    }
    if (!changed) return;
    fw::packFields(record, kFormat, slots);
    writeCheckValue(record);
}

uint32_t resolveColourWord(uint32_t word, const uint8_t foreground[3], const uint8_t background[3], int planes) {
    switch (word >> 24) {
        case kForeground: return colourWord(foreground[0], foreground[1], foreground[2], kForeground);
        case kHostBackground: return colourWord(background[0], background[1], background[2], kHostBackground);
        case kTransparent: return planes == 4 ? word : (word & 0xFFFFFFu) | kFixed << 24;
        default: return word;
    }
}

TextureSettings decodeTextureSettings(const fw::ValueSlots& stored) {
    fw::ValueSlots slots = stored;
    fw::limitSlots(kSettings, slots);
    auto at = [&](int slot) { return slots[static_cast<size_t>(slot)]; };
    TextureSettings s;
    s.refract = at(kRefract);
    s.shaping = at(kShaping);
    s.smooth = at(kSmooth);
    const fw::Parts relief = fw::unpackParts(fw::ControlKind::Pad, at(kRelief));
    const fw::Parts displacement = fw::unpackParts(fw::ControlKind::Pad, at(kDisplacement));
    s.reliefX = relief.first;
    s.reliefY = relief.second;
    s.displacementX = displacement.first;
    s.displacementY = displacement.second;
    s.background = static_cast<uint32_t>(at(kBackground));
    s.corrugation = at(kCorrugation);
    s.reliefSmoothness = at(kReliefSmoothness);
    s.outline = at(kOutline);
    auto common = [&](LayerSettings& l, int pattern, int rotation, int scaling, int visible) {
        l.pattern = static_cast<uint32_t>(at(pattern));
        l.rotation = at(rotation) & 7;
        l.scaling = at(scaling);
        l.hue = at(scaling + 1);
        l.saturation = at(scaling + 2);
        l.brightness = at(scaling + 3);
        l.visible = at(visible) != 0;
    };
    common(s.base, base::kPattern, base::kRotation, base::kScaling, base::kVisible);
    s.base.mixing = at(base::kMixing);
    for (int k = 1; k <= 3; ++k) {
        LayerSettings& l = s.layers[k - 1];
        const int f = layer::first(k);
        common(l, f + layer::kPattern, f + layer::kRotation, f + layer::kScaling, f + layer::kVisible);
        l.colour = static_cast<uint32_t>(at(f + layer::kColour));
        l.width = at(f + layer::kWidth);
        l.highlight = at(f + layer::kHighlight);
        l.shapeness = at(f + layer::kShapeness);
        l.mixing = at(f + layer::kMixing);
    }
    return s;
}

}  // namespace qm::marbleloom
