#include "filters/keenwrighthd/hd_settings.h"

namespace qm::khd {

HdSettings decodeSettings(const fw::ValueSlots& values) {
    fw::ValueSlots v = values;
    fw::limitSlots(kSettings, v);
    HdSettings s;
    s.radiusHigh = v[kSlotRadius] & 511;
    s.radiusLow = v[kSlotRadius] >> 9;
    s.highlights = v[kSlotBrightness] & 511;
    s.shadows = v[kSlotBrightness] >> 9;
    s.contrast = v[kSlotContrast];
    s.softness = v[kSlotSoftness];
    s.preview = v[kSlotPreview] != 0;
    s.mask = v[kSlotMask];
    return s;
}

}  // namespace qm::khd
