#include "filters/lumivex/lens_settings.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace qm::lumivex {
namespace {

int limit(int32_t v, int hi) { return std::clamp<int32_t>(v, 0, hi); }
// One packed part: bits [shift, shift + width) of the slot, as unsigned.
int32_t part(int32_t v, int shift, int width) {
    return static_cast<int32_t>((static_cast<uint32_t>(v) >> shift) & ((1u << width) - 1));
}

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
    LensSettings s;
    s.smoothing = limit(slots[kSmoothing], 60);
    s.maskRight = limit(part(slots[kMaskRightLeft], 0, 9), 160);
    s.maskLeft = limit(part(slots[kMaskRightLeft], 9, 9), 160);
    s.angle = ringValue({limit(part(slots[kRefractionAngle], 0, 7), 50),
                          limit(part(slots[kRefractionAngle], 7, 7), 50)});
    s.deformation = limit(slots[kDeformation], 150);
    s.shiftX = limit(part(slots[kLensShift], 0, 7), 60);
    s.shiftY = limit(part(slots[kLensShift], 7, 7), 60);
    s.inclusion = limit(slots[kMaskInclusion], 100);
    s.maskBottom = limit(part(slots[kMaskBottomTop], 0, 9), 160);
    s.maskTop = limit(part(slots[kMaskBottomTop], 9, 9), 160);
    s.previewOn = limit(slots[kPreviewOn], 3);
    s.skewX = limit(part(slots[kLensSkew], 0, 7), 60);
    s.skewY = limit(part(slots[kLensSkew], 7, 7), 60);
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

}  // namespace qm::lumivex
