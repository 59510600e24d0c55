// LensSettings: the nine values of a Lumivex record, as the dialog's controls
// hold them (two-dimensional controls pack x low and y high).
#pragma once

#include <cstdint>

#include "framework/settings/record.h"

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

// Reads the slots as the controls would take them: each value (each packed
// part of a pad or dual slider) limited to its control's range, the angle
// snapped onto the ring.
LensSettings decodeLensSettings(const fw::ValueSlots& slots);
// The settings back into their slots, packed as the controls pack them.
void encodeLensSettings(const LensSettings& settings, fw::ValueSlots& slots);

}  // namespace qm::lumivex
