#include "filters/marbleloom/texture_settings.h"

#include <algorithm>
#include <array>
#include <iterator>

namespace qm::marbleloom {
namespace {

// Layer k's fields in record order: pattern 32, rotation 3, five 7-bit
// sliders, visibility 3, colour 26, four 7-bit sliders.
#define QM_LAYER_FIELDS(k)                                                                     \
    layer::first(k), 32, layer::first(k) + 1, 3, layer::first(k) + 2, 7, layer::first(k) + 3, 7, \
        layer::first(k) + 4, 7, layer::first(k) + 5, 7, layer::first(k) + 6, 7, layer::first(k) + 7, 3, \
        layer::first(k) + 8, 26, layer::first(k) + 9, 7, layer::first(k) + 10, 7,                \
        layer::first(k) + 11, 7, layer::first(k) + 12, 7

constexpr uint8_t kFields[] = {
    kRefract, 7, kShaping, 7, kSmooth, 6, kDisplacement, 14, kBackground, 26, base::kPattern, 32,
    base::kRotation, 3,
    base::kScaling, 7, base::kHue, 7, base::kSaturation, 7, base::kBrightness, 7, base::kMixing, 7,
    base::kVisible, 3,
    QM_LAYER_FIELDS(1), QM_LAYER_FIELDS(2), QM_LAYER_FIELDS(3),
    kSmooth, 7, kRelief, 14, kCorrugation, 7, kReliefSmoothness, 7, kOutline, 7,
    fw::kFieldTableEnd};

#undef QM_LAYER_FIELDS

// The same fields with the first (6-bit) copy of value 3 read into a slot
// of its own, so both copies can be compared.
constexpr int kFirstSmoothCopy = kSettingCount;
constexpr auto kFieldsSplitSmooth = [] {
    std::array<uint8_t, std::size(kFields)> t{};
    std::copy(std::begin(kFields), std::end(kFields), t.begin());
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
                                    fw::FieldTable{kFieldsSplitSmooth.data(), kFieldsSplitSmooth.size()}};

#define QM_LAYER_NAMES(k)                                                                          \
    {layer::first(k), "layer" #k "Pattern"}, {layer::first(k) + 1, "layer" #k "Rotation"},           \
        {layer::first(k) + 2, "layer" #k "Scaling"}, {layer::first(k) + 3, "layer" #k "Hue"},        \
        {layer::first(k) + 4, "layer" #k "Saturation"}, {layer::first(k) + 5, "layer" #k "Brightness"}, \
        {layer::first(k) + 6, "layer" #k "ExtraMixing"}, {layer::first(k) + 7, "layer" #k "Visible"}, \
        {layer::first(k) + 8, "layer" #k "Colour"}, {layer::first(k) + 9, "layer" #k "Width"},       \
        {layer::first(k) + 10, "layer" #k "Highlight"}, {layer::first(k) + 11, "layer" #k "Shapeness"}, \
        {layer::first(k) + 12, "layer" #k "Mixing"}

constexpr fw::SlotName kNames[] = {
    {kRefract, "refract"},
    {kShaping, "shaping"},
    {kRelief, "relief"},
    {kSmooth, "smooth"},
    {kDisplacement, "displacement"},
    {kBackground, "background"},
    {base::kPattern, "basePattern"},
    {base::kRotation, "baseRotation"},
    {base::kScaling, "baseScaling"},
    {base::kHue, "baseHue"},
    {base::kSaturation, "baseSaturation"},
    {base::kBrightness, "baseBrightness"},
    {base::kMixing, "baseMixing"},
    {base::kVisible, "baseVisible"},
    QM_LAYER_NAMES(1),
    QM_LAYER_NAMES(2),
    QM_LAYER_NAMES(3),
    {kCorrugation, "corrugation"},
    {kReliefSmoothness, "reliefSmoothness"},
    {kOutline, "outline"},
};
#undef QM_LAYER_NAMES

struct Default {
    int slot;
    int32_t value;
};

constexpr int32_t kPadCentre = 25 * 128 + 25;  // 3225

constexpr Default kGlobalDefaults[] = {
    {kRefract, 25},     {kShaping, 25},          {kRelief, kPadCentre},  {kSmooth, 5},
    {kDisplacement, kPadCentre}, {kCorrugation, 10}, {kReliefSmoothness, 5}, {kOutline, 35},
    {kEyedropper1, 0},  {kEyedropper1 + 1, 0},   {kEyedropper1 + 2, 0},
};
constexpr int kBaseDefaults[] = {base::kScaling, base::kHue, base::kSaturation, base::kBrightness, base::kMixing};
constexpr int kLayerDefaults[] = {layer::kScaling, layer::kHue, layer::kSaturation, layer::kBrightness,
                                  layer::kHighlight, layer::kShapeness, layer::kMixing};
constexpr int32_t kSliderDefault = 50;

void writeCheckValue(uint8_t* record) {
    fw::setRecordInteger(record, 0, static_cast<int32_t>(fw::rollingChecksum(record + 4, kTextureRecordLength - 4)));
}

}  // namespace

const fw::RecordFormat& textureRecordFormat() { return kFormat; }
const fw::SlotName* textureSlotNames() { return kNames; }
int textureSlotNameCount() { return static_cast<int>(std::size(kNames)); }

void resetLayer(fw::ValueSlots& slots, int k) {
    if (k == 0) {
        for (int slot : kBaseDefaults) slots[static_cast<size_t>(slot)] = kSliderDefault;
        return;
    }
    for (int offset : kLayerDefaults) slots[static_cast<size_t>(layer::first(k) + offset)] = kSliderDefault;
}

void resetAll(fw::ValueSlots& slots) {
    for (const Default& d : kGlobalDefaults) slots[static_cast<size_t>(d.slot)] = d.value;
    for (int k = 0; k <= 3; ++k) resetLayer(slots, k);
}

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

namespace {

int limited(const fw::ValueSlots& slots, int slot, int high) {
    return std::clamp(slots[static_cast<size_t>(slot)], 0, high);
}

}  // namespace

TextureSettings decodeTextureSettings(const fw::ValueSlots& slots) {
    TextureSettings s;
    auto at = [&](int slot) { return slots[static_cast<size_t>(slot)]; };
    s.refract = limited(slots, kRefract, 50);
    s.shaping = limited(slots, kShaping, 50);
    s.smooth = limited(slots, kSmooth, 50);
    s.reliefX = std::min(at(kRelief) & 0x7F, 50);
    s.reliefY = std::min((at(kRelief) >> 7) & 0x7F, 50);
    s.displacementX = std::min(at(kDisplacement) & 0x7F, 50);
    s.displacementY = std::min((at(kDisplacement) >> 7) & 0x7F, 50);
    s.background = static_cast<uint32_t>(at(kBackground));
    s.corrugation = limited(slots, kCorrugation, 50);
    s.reliefSmoothness = limited(slots, kReliefSmoothness, 50);
    s.outline = limited(slots, kOutline, 50);
    auto common = [&](LayerSettings& l, int pattern, int rotation, int scaling, int visible) {
        l.pattern = static_cast<uint32_t>(at(pattern));
        l.rotation = at(rotation) & 7;
        l.scaling = limited(slots, scaling, 100);
        l.hue = limited(slots, scaling + 1, 100);
        l.saturation = limited(slots, scaling + 2, 100);
        l.brightness = limited(slots, scaling + 3, 100);
        l.visible = at(visible) != 0;
    };
    common(s.base, base::kPattern, base::kRotation, base::kScaling, base::kVisible);
    s.base.mixing = limited(slots, base::kMixing, 100);
    for (int k = 1; k <= 3; ++k) {
        LayerSettings& l = s.layers[k - 1];
        const int f = layer::first(k);
        common(l, f + layer::kPattern, f + layer::kRotation, f + layer::kScaling, f + layer::kVisible);
        l.colour = static_cast<uint32_t>(at(f + layer::kColour));
        l.width = limited(slots, f + layer::kWidth, 100);
        l.highlight = limited(slots, f + layer::kHighlight, 100);
        l.shapeness = limited(slots, f + layer::kShapeness, 100);
        l.mixing = limited(slots, f + layer::kMixing, 100);
    }
    return s;
}

}  // namespace qm::marbleloom
