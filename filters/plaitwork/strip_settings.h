// The settings of Plaitwork 2000 as its dialog's controls hold them: one
// value slot per control, in creation order.
#pragma once

#include <cstdint>
#include <iterator>

#include "framework/settings/record.h"
#include "framework/settings/setting_table.h"

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
    static Pad unpack(int32_t v) {
        const fw::Parts p = fw::unpackParts(fw::ControlKind::Pad, v);
        return {p.first, p.second};
    }
    int32_t pack() const { return fw::packParts(fw::ControlKind::Pad, x, y); }
    bool operator==(const Pad&) const = default;
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
    bool operator==(const StripColour&) const = default;
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
    bool operator==(const StripSettings&) const = default;
};

// "Reset Sliders" is the dialog's one reset command.
constexpr fw::ResetGroups kResetSliders = fw::kResetAll;

// A colour control's first value: (227, 217, 203) as its own colour.
inline constexpr int32_t kDefaultColour = 0x02CBD9E3;

// Plaitwork's settings, in the dialog's creation order, which is the
// record's. A control without a double-click value starts at the default
// preset's (SURREA_FACEABLE), except antialiasing, which starts off.
inline constexpr fw::Setting kSettings[] = {
    fw::slider(kHSpacing1, 10, 2, 250, 43, "hSpacing1").labelled(nullptr, "Horizontal Spacing  (first stage)"),
    fw::slider(kHSpacing2, 10, 2, 250, 86, "hSpacing2").labelled(nullptr, "Horizontal Spacing  (second stage)"),
    fw::slider(kVSpacing1, 10, 2, 250, 117, "vSpacing1").labelled(nullptr, "Vertical Spacing  (first stage)"),
    fw::slider(kVSpacing2, 10, 2, 250, 57, "vSpacing2").labelled(nullptr, "Vertical Spacing  (second stage)"),
    fw::pad(kShadowDepth1, 0, 50, 25, 25, "shadowDepth1").labelled(nullptr, "Gradient Shadow Depth  (first stage)").resetBy(kResetSliders),
    fw::pad(kShadowDepth2, 0, 50, 25, 25, "shadowDepth2").labelled(nullptr, "Gradient Shadow Depth  (second stage)").resetBy(kResetSliders),
    fw::pad(kCurvedDeformation, 0, 50, 25, 25, "curvedDeformation").labelled("Curve", "Curved Deformation").resetBy(kResetSliders),
    fw::selector(kCurveShape, 4, 7, 4, "curveShape").labelled(nullptr, "Curve Shape selector"),
    fw::pad(kStretch1, 0, 50, 25, 25, "stretch1").labelled(nullptr, "Stretch Deformation  (first stage)").resetBy(kResetSliders),
    fw::pad(kStretch2, 0, 50, 25, 25, "stretch2").labelled(nullptr, "Stretch Deformation  (second stage)").resetBy(kResetSliders),
    fw::slider(kMoireH, 7, 0, 100, 50, "moireH").labelled(nullptr, "Moire Adjustment  (horizontal)").resetBy(kResetSliders),
    fw::slider(kMoireV, 7, 0, 100, 50, "moireV").labelled(nullptr, "Moire Adjustment  (vertical)").resetBy(kResetSliders),
    fw::slider(kBackgroundDeformation, 7, 0, 100, 0, "backgroundDeformation").labelled("Deformation", "Deformation of Background Picture"),
    fw::toggle(kWhiteCanvas, 2, 3, 2, "whiteCanvas").labelled("White Canvas", "White Canvas Mode"),
    fw::colour(kShadowColour1, kDefaultColour, "shadowColour1").labelled(nullptr, "Gradient Shadow Color (first stage)"),
    fw::colour(kShadowColour2, kDefaultColour, "shadowColour2").labelled(nullptr, "Gradient Shadow Color (second stage)"),
    fw::slider(kSideShading1, 7, 0, 100, 50, "sideShading1").labelled("S-Shading", "Side Shading (first stage)").resetBy(kResetSliders),
    fw::slider(kSideShading2, 7, 0, 100, 50, "sideShading2").labelled(nullptr, "Side Shading (second stage)").resetBy(kResetSliders),
    fw::colour(kSideShadowColour1, kDefaultColour, "sideShadowColour1").labelled(nullptr, "Side Shadow Color (first stage)"),
    fw::colour(kSideShadowColour2, kDefaultColour, "sideShadowColour2").labelled(nullptr, "Side Shadow Color (second stage)"),
    fw::slider(kSideBlur1, 7, 0, 50, 0, "sideBlur1").labelled("S-Blur", "Side Blur (first stage)").resetBy(kResetSliders),
    fw::slider(kSideBlur2, 7, 0, 50, 0, "sideBlur2").labelled(nullptr, "Side Blur (second stage)").resetBy(kResetSliders),
    fw::selector(kOrientation1, 3, 5, 2, "orientation1").labelled(nullptr, "Strip Orientation Selector (first stage)"),
    fw::selector(kOrientation2, 3, 5, 4, "orientation2").labelled(nullptr, "Strip Orientation Selector (second stage)"),
    fw::slider(kLightExiting, 7, 0, 100, 0, "lightExiting").labelled("Light Exiting", "Light Exiting"),
    fw::slider(kBrightnessRatio, 7, 0, 100, 0, "brightnessRatio").labelled("Brightness Ratio", "Correction of Background Picture"),
    fw::slider(kSaturation, 7, 0, 100, 0, "saturation").labelled("Saturation", "Saturation Adjustment"),
    fw::toggle(kAntialiasing, 2, 3, 0, "antialiasing").labelled("Antialiasing", "Antialiasing on/off"),
    fw::colour(kBackgroundColour, kDefaultColour, "backgroundColour").labelled("BG", "Background Color Selector"),
    fw::pad(kMeshDisplacement, 0, 50, 25, 25, "meshDisplacement").labelled("Displacement", "Mesh Displacement").resetBy(kResetSliders),
    fw::slider(kMeshSmoothness, 7, 0, 50, 0, "meshSmoothness").labelled(nullptr, "Mesh Smoothness").resetBy(kResetSliders),
    fw::slider(kViewAngle, 7, 0, 100, 0, "viewAngle").labelled(nullptr, "View Angle").resetBy(kResetSliders),
    fw::slider(kRotate, 7, 0, 100, 50, "rotate").labelled("Rotate", "Rotate").resetBy(kResetSliders),
};
static_assert(std::size(kSettings) == kFieldCount);
static_assert(fw::wellFormed(kSettings, 64));

inline constexpr auto kFieldBytes = fw::fieldBytesOf(kSettings);
inline constexpr fw::RecordFormat kRecordFormat{0, 2, 64, fw::fieldTableOf(kFieldBytes)};

// Limits each slot as its control limits a loaded value (the table's
// ranges, each part of a pad on its own) and resolves colour modes 0 and 1
// to the host's colours, as the colour control shows them. The result is
// what the controls would hand back.
fw::ValueSlots limitSlots(const fw::ValueSlots& slots, const HostColours& host);

// The slots of fields 0..32 as settings (no limiting; call limitSlots first).
StripSettings settingsFromSlots(const fw::ValueSlots& slots);

// "Reset Sliders" (212): the double-click values of the pads and of the
// sliders the dialog resets; spacings, colours, selectors, toggles and the
// double-click-only sliders keep theirs.
void resetSliders(fw::ValueSlots& slots);

}  // namespace qm::plaitwork
