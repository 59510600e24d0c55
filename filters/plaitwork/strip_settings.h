// The settings of Plaitwork 2000 as its dialog's controls hold them: one
// value slot per control, in creation order.
#pragma once

#include <cstdint>

#include "framework/settings/record.h"

namespace qm::plaitwork {

enum Field : int {
    kHSpacing1, kHSpacing2, kVSpacing1, kVSpacing2,
    kShadowDepth1, kShadowDepth2, kCurvedDeformation, kCurveShape,
    kStretch1, kStretch2, kMoireH, kMoireV,
    kBackgroundDeformation, kWhiteCanvas, kShadowColour1, kShadowColour2,
    kSideShading1, kSideShading2, kSideShadowColour1, kSideShadowColour2,
    kSideBlur1, kSideBlur2, kOrientation1, kOrientation2,
    kLightExiting, kBrightnessRatio, kSaturation, kAntialiasing,
    kBackgroundColour, kMeshDisplacement, kMeshSmoothness, kViewAngle,
    kRotate,
    kFieldCount
};

// A pad packs x in bits 0-6 and y in bits 7-13.
struct Pad {
    int x = 25, y = 25;
    static Pad unpack(int32_t v) { return {v & 0x7F, (v >> 7) & 0x7F}; }
    int32_t pack() const { return x | y << 7; }
};

// A colour word: red in bits 0-7, green 8-15, blue 16-23, mode in 24-25
// (0 host foreground, 1 host background, 2 own colour, 3 transparent).
struct StripColour {
    uint8_t r = 0, g = 0, b = 0;
    int mode = 2;
    static StripColour unpack(uint32_t v) {
        return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
                static_cast<int>((v >> 24) & 3)};
    }
    uint32_t pack() const {
        return static_cast<uint32_t>(r) | static_cast<uint32_t>(g) << 8 |
               static_cast<uint32_t>(b) << 16 | static_cast<uint32_t>(mode) << 24;
    }
};

// The host's colours behind modes 0 and 1 (red, green, blue).
struct HostColours {
    uint8_t foreground[3] = {0, 0, 0};
    uint8_t background[3] = {255, 255, 255};
};

struct StripSettings {
    int hSpacing1 = 2, hSpacing2 = 2, vSpacing1 = 2, vSpacing2 = 2;
    Pad shadowDepth1, shadowDepth2, curvedDeformation;
    int curveShape = 0;
    Pad stretch1, stretch2;
    int moireH = 50, moireV = 50;
    int backgroundDeformation = 0;
    int whiteCanvas = 0;
    StripColour shadowColour1, shadowColour2;
    int sideShading1 = 50, sideShading2 = 50;
    StripColour sideShadowColour1, sideShadowColour2;
    int sideBlur1 = 0, sideBlur2 = 0;
    int orientation1 = 0, orientation2 = 0;
    int lightExiting = 0, brightnessRatio = 0, saturation = 0, antialiasing = 0;
    StripColour backgroundColour;
    Pad meshDisplacement;
    int meshSmoothness = 0, viewAngle = 0, rotate = 50;
};

// Limits each slot as its control limits a loaded value (sliders to their
// range, each part of a pad to 0..50, selectors and toggles to 0..maximum)
// and resolves colour modes 0 and 1 to the host's colours, as the colour
// control shows them. The result is what the controls would hand back.
fw::ValueSlots limitSlots(const fw::ValueSlots& slots, const HostColours& host);

// The slots of fields 0..32 as settings (no limiting; call limitSlots first).
StripSettings settingsFromSlots(const fw::ValueSlots& slots);

}  // namespace qm::plaitwork
