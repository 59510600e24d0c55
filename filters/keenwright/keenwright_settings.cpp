#include "filters/keenwright/keenwright_settings.h"

namespace qm::keenwright {

Settings limitedSettings(const fw::ValueSlots& values) {
    fw::ValueSlots v = values;
    fw::limitSlots(kSettings, v);
    Settings s;
    s.radius = v[kRadius];
    s.preview = v[kPreview];
    s.amount = v[kAmount];
    s.mask = v[kMask];
    s.blur = v[kBlur];
    s.halo = v[kHalo];
    s.balance = v[kBalance];
    return s;
}

void upgradeVersion1Record(uint8_t* record) {
    if (record[5] >= 2) return;
    fw::ValueSlots slots{};
    fw::unpackFields(record, kFormat, slots);
    slots[kMask] = 2;
    slots[kHalo] = 2;
    fw::packFields(record, kFormat, slots);
    fw::setRecordInteger(record, 0,
                         static_cast<int32_t>(fw::rollingChecksum(record + 4, kFormat.length - 4)));
}

}  // namespace qm::keenwright
