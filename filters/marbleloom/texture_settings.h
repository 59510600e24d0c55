// The texture filter's 63 settings: their slots, their table (the 128-byte
// record that keeps them, value 3 twice; ranges; what "Reset All" and the
// layer resets set), and the colour words of the background and the
// reference colours.
#pragma once

#include <cstdint>

#include "framework/host/filter_description.h"
#include "framework/settings/record.h"
#include "framework/settings/setting_table.h"

namespace qm::marbleloom {

// Global settings.
constexpr int kRefract = 0;
constexpr int kShaping = 1;
constexpr int kRelief = 2;        // pad: x in bits 0..6, y in bits 7..13
constexpr int kSmooth = 3;
constexpr int kDisplacement = 4;  // pad
constexpr int kBackground = 5;    // colour word
constexpr int kCorrugation = 53;
constexpr int kReliefSmoothness = 54;
constexpr int kEyedropper1 = 55;      // .. 57
constexpr int kPatternSelector1 = 58; // .. 61 (61: the base)
constexpr int kOutline = 62;
constexpr int kSettingCount = 63;

// The base layer: 6..13.
namespace base {
constexpr int kPattern = 6, kRotation = 7, kScaling = 8, kHue = 9, kSaturation = 10, kBrightness = 11,
              kMixing = 12, kVisible = 13;
}

// Layer k (1..3) starts at 14 + 13 (k - 1); these are offsets from there.
namespace layer {
constexpr int kPattern = 0, kRotation = 1, kScaling = 2, kHue = 3, kSaturation = 4, kBrightness = 5,
              kExtraMixing = 6, kVisible = 7, kColour = 8, kWidth = 9, kHighlight = 10, kShapeness = 11,
              kMixing = 12;
constexpr int kSize = 13;
constexpr int first(int k) { return 14 + kSize * (k - 1); }
}  // namespace layer

constexpr uint8_t kTextureFilterId = 3;
constexpr uint8_t kTextureRecordVersion = 3;
constexpr int kTextureRecordLength = 128;

const fw::RecordFormat& textureRecordFormat();

// Every setting in record order (value 3 first as its 6-bit copy), then the
// controls the record does not keep: the names of preset texts, the ranges
// decoding limits to, the resets.
fw::SettingTable textureSettingTable();

// "Reset All": every value that has a default takes it; rotations,
// visibilities, colours, widths of selection and patterns stay.
void resetAll(fw::ValueSlots& slots);
// "Reset the Layer Settings" of layer k (1..3), or of the base for k = 0.
void resetLayer(fw::ValueSlots& slots, int k);

// A record that passed its check, brought up to date: a 7-bit copy of value
// 3 smaller than its 6-bit copy takes the 6-bit value (and a new check
// value); versions below 2 and 3 get the settings those versions lacked.
void repairTextureRecord(uint8_t* record);

// Colour words: red in bits 0..7, green 8..15, blue 16..23, mode 24..25.
enum ColourMode : uint32_t { kForeground = 0, kHostBackground = 1, kFixed = 2, kTransparent = 3 };
constexpr uint32_t colourWord(uint8_t r, uint8_t g, uint8_t b, uint32_t mode) {
    return uint32_t{r} | uint32_t{g} << 8 | uint32_t{b} << 16 | mode << 24;
}
// As a loaded setting: modes 0 and 1 take the host's colour again; mode 3
// stands only with 4 channels, else the stored colour is a fixed one.
uint32_t resolveColourWord(uint32_t word, const uint8_t foreground[3], const uint8_t background[3],
                           int planes);

// One layer's settings, limited to their ranges (a record may hold any bits).
struct LayerSettings {
    uint32_t pattern = 0;
    int rotation = 0;  // 0..7, 45 degree steps
    int scaling = 50, hue = 50, saturation = 50, brightness = 50;
    bool visible = false;
    int mixing = 50;  // back/front mixing of a layer, layer mixing of the base
    // Layers 1..3 only.
    uint32_t colour = 0;
    int width = 0, highlight = 50, shapeness = 50;
};

struct TextureSettings {
    int refract = 25, shaping = 25, smooth = 5;
    int reliefX = 25, reliefY = 25, displacementX = 25, displacementY = 25;
    uint32_t background = 0;
    int corrugation = 10, reliefSmoothness = 5, outline = 35;
    LayerSettings layers[3];  // layers 1, 2, 3
    LayerSettings base;
};

TextureSettings decodeTextureSettings(const fw::ValueSlots& slots);

}  // namespace qm::marbleloom
