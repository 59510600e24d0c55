// LensSettings: the nine values of a Lumivex record, as the dialog's controls
// hold them (two-dimensional controls pack x low and y high).
#pragma once

#include <cstdint>

#include "framework/settings/record.h"
#include "framework/settings/setting_table.h"

namespace qm::lumivex {

// Value slots in the dialog's creation order.
enum Slot : int {
    kSmoothing = 0,
    kMaskRightLeft = 1,
    kRefractionAngle = 2,
    kDeformation = 3,
    kLensShift = 4,
    kMaskInclusion = 5,
    kMaskBottomTop = 6,
    kPreviewOn = 7,
    kLensSkew = 8,
};

struct KnobPoint {
    int x = 25, y = 0;
    bool operator==(const KnobPoint&) const = default;
};

// The angle ring's snap of a knob position onto its circle.
KnobPoint snapToRing(KnobPoint p);
// Whether a position is one the snap gives (0..50 each).
bool isOnRing(KnobPoint p);
// The value the ring reads for a position: a point on the circle as it is,
// any other snapped. The snap's truncation moves some points it gave once
// more, so a stored value is not snapped again.
KnobPoint ringValue(KnobPoint p);

struct LensSettings {
    int smoothing = 60;                 // 0..60
    int maskRight = 160, maskLeft = 0;  // 0..160, 1/160 of the width
    KnobPoint angle;                    // on the ring
    int deformation = 20;               // 0..150
    int shiftX = 30, shiftY = 30;       // 0..60
    int inclusion = 100;                // 0..100
    int maskBottom = 160, maskTop = 0;  // 0..160, 1/160 of the height
    int previewOn = 2;                  // 0..3
    int skewX = 30, skewY = 30;         // 0..60

    int32_t packedMaskRightLeft() const { return maskRight | maskLeft << 9; }
    int32_t packedAngle() const { return angle.x | angle.y << 7; }
    int32_t packedShift() const { return shiftX | shiftY << 7; }
    int32_t packedMaskBottomTop() const { return maskBottom | maskTop << 9; }
    int32_t packedSkew() const { return skewX | skewY << 7; }
    bool operator==(const LensSettings&) const = default;
};

// "Reset All Settings" gives every entry of kResetAll its reset value; the
// mask's entries also answer to "Reset Mask".
constexpr fw::ResetGroups kResetMask = 2;
constexpr fw::ResetGroups kResetAllAndMask = fw::kResetAll | kResetMask;

// Lumivex's settings, in the dialog's creation order, which is the record's.
// The reset buttons give smoothing, deformation and inclusion other values
// than a double-click does.
inline constexpr fw::Setting kSettings[] = {
    fw::slider(kSmoothing, 7, 0, 60, 0, "smoothing").labelled("Smoothing", "Smoothing").resetBy(fw::kResetAll, 60),
    fw::pair(kMaskRightLeft, 0, 160, 160, 0, "maskRightLeft").labelled(nullptr, "Mask: right@Mask: left").resetBy(kResetAllAndMask),
    fw::pad(kRefractionAngle, 0, 50, 25, 0, "refractionAngle").labelled("Angle", "Angle of Refraction (double-click to reset)").resetBy(fw::kResetAll),
    fw::slider(kDeformation, 8, 0, 150, 0, "deformation").labelled("Deformatiom", "Deformatiom").resetBy(fw::kResetAll, 20),
    fw::pad(kLensShift, 0, 60, 30, 30, "lensShift").labelled("Shift", "Lens Shift (double-click to reset)").resetBy(fw::kResetAll),
    fw::slider(kMaskInclusion, 7, 0, 100, 50, "maskInclusion").labelled("Mask Inclusion", "Mask Inclusion").resetBy(kResetAllAndMask, 100),
    fw::pair(kMaskBottomTop, 0, 160, 160, 0, "maskBottomTop").labelled(nullptr, "Mask: bottom@Mask: top").resetBy(kResetAllAndMask),
    fw::toggle(kPreviewOn, 2, 3, 2, "previewOn").labelled("Preview", "Preview"),
    fw::pad(kLensSkew, 0, 60, 30, 30, "lensSkew").labelled("Skew", "Lens Skew (double-click to reset)").resetBy(fw::kResetAll),
};
static_assert(fw::wellFormed(kSettings, 64));

inline constexpr auto kFieldBytes = fw::fieldBytesOf(kSettings);
inline constexpr fw::RecordFormat kRecordFormat{12, 1, 64, fw::fieldTableOf(kFieldBytes)};

// Reads the slots as the controls would take them: each value (each packed
// part of a pad or dual slider) limited to its control's range, the angle
// snapped onto the ring.
LensSettings decodeLensSettings(const fw::ValueSlots& slots);
// The settings back into their slots, packed as the controls pack them.
void encodeLensSettings(const LensSettings& settings, fw::ValueSlots& slots);

// The reset buttons: "Reset All Settings" (212) and "Reset Mask" (213). The
// preview toggle keeps its state through both.
void resetAllSettings(fw::ValueSlots& slots);
void resetMask(fw::ValueSlots& slots);

}  // namespace qm::lumivex
