#include "filters/lumivex/lens_settings.h"

#include <array>
#include <cmath>

namespace qm::lumivex {
namespace {

// The two parts of a limited pad (7 bits each) or dual slider (9 bits each).
fw::Parts pairOf(const fw::ValueSlots& v, Slot slot) { return fw::unpackParts(fw::ControlKind::Pair, v[slot]); }
fw::Parts padOf(const fw::ValueSlots& v, Slot slot) { return fw::unpackParts(fw::ControlKind::Pad, v[slot]); }

}  // namespace

KnobPoint snapToRing(KnobPoint p) {
    constexpr int w = 50, h = 50;
    const double alpha = std::atan2(static_cast<double>(w * (p.x - w / 2)),
                                    static_cast<double>(h * (p.y - h / 2)));
    return {w / 2 + static_cast<int>(std::sin(alpha) * (w / 2)),
            h / 2 + static_cast<int>(std::cos(alpha) * (h / 2))};
}

bool isOnRing(KnobPoint p) {
    static const std::array<std::array<bool, 51>, 51> onRing = [] {
        std::array<std::array<bool, 51>, 51> table{};
        for (int x = 0; x <= 50; ++x)
            for (int y = 0; y <= 50; ++y) {
                const KnobPoint q = snapToRing({x, y});
                table[static_cast<size_t>(q.x)][static_cast<size_t>(q.y)] = true;
            }
        return table;
    }();
    if (p.x < 0 || p.x > 50 || p.y < 0 || p.y > 50) return false;
    return onRing[static_cast<size_t>(p.x)][static_cast<size_t>(p.y)];
}

KnobPoint ringValue(KnobPoint p) { return isOnRing(p) ? p : snapToRing(p); }

LensSettings decodeLensSettings(const fw::ValueSlots& slots) {
    fw::ValueSlots v = slots;
    fw::limitSlots(kSettings, v);
    LensSettings s;
    s.smoothing = v[kSmoothing];
    const auto [right, left] = pairOf(v, kMaskRightLeft);
    s.maskRight = right;
    s.maskLeft = left;
    const auto [angleX, angleY] = padOf(v, kRefractionAngle);
    s.angle = ringValue({angleX, angleY});
    s.deformation = v[kDeformation];
    const auto [shiftX, shiftY] = padOf(v, kLensShift);
    s.shiftX = shiftX;
    s.shiftY = shiftY;
    s.inclusion = v[kMaskInclusion];
    const auto [bottom, top] = pairOf(v, kMaskBottomTop);
    s.maskBottom = bottom;
    s.maskTop = top;
    s.previewOn = v[kPreviewOn];
    const auto [skewX, skewY] = padOf(v, kLensSkew);
    s.skewX = skewX;
    s.skewY = skewY;
    return s;
}

void encodeLensSettings(const LensSettings& s, fw::ValueSlots& slots) {
    slots[kSmoothing] = s.smoothing;
    slots[kMaskRightLeft] = s.packedMaskRightLeft();
    slots[kRefractionAngle] = s.packedAngle();
    slots[kDeformation] = s.deformation;
    slots[kLensShift] = s.packedShift();
    slots[kMaskInclusion] = s.inclusion;
    slots[kMaskBottomTop] = s.packedMaskBottomTop();
    slots[kPreviewOn] = s.previewOn;
    slots[kLensSkew] = s.packedSkew();
}

void resetAllSettings(fw::ValueSlots& slots) { fw::resetSlots(kSettings, slots, fw::kResetAll); }

void resetMask(fw::ValueSlots& slots) { fw::resetSlots(kSettings, slots, kResetMask); }

}  // namespace qm::lumivex
