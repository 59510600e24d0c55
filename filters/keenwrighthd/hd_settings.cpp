#include "filters/keenwrighthd/hd_settings.h"

namespace qm::khd {

HdSettings decodeSettings(const fw::ValueSlots& values) {
    fw::ValueSlots v = values;
    fw::limitSlots(kSettings, v);
    HdSettings s;
    const fw::Parts radius = fw::unpackParts(fw::ControlKind::Pair, v[kSlotRadius]);
    const fw::Parts brightness = fw::unpackParts(fw::ControlKind::Pair, v[kSlotBrightness]);
    s.radiusHigh = radius.first;
    s.radiusLow = radius.second;
    s.highlights = brightness.first;
    s.shadows = brightness.second;
    s.contrast = v[kSlotContrast];
    s.softness = v[kSlotSoftness];
    s.preview = v[kSlotPreview] != 0;
    s.mask = v[kSlotMask];
    return s;
}

}  // namespace qm::khd
