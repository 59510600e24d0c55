// Keenwright's settings: one table, in record order, and the settings as the
// filter reads them.
#pragma once

#include <cstdint>

#include "framework/settings/record.h"
#include "framework/settings/setting_table.h"

namespace qm::keenwright {

// Value slots of the settings (the dialog's control order; 2..6 are the
// navigator and the zoom buttons, not stored).
enum Slot : int {
    kRadius = 0,
    kPreview = 1,
    kAmount = 7,
    kMask = 8,
    kBlur = 9,
    kHalo = 10,
    kBalance = 11,
};

// Selectors show 0 off and 2 on; the sliders start (and reset on a
// double-click) at 0.
inline constexpr fw::Setting kSettings[] = {
    fw::slider(kRadius, 8, 0, 150, 0, "radius").labelled("Radius", "Radius"),
    fw::toggle(kPreview, 2, 3, 2, "preview").labelled("Preview", "Preview"),
    fw::slider(kAmount, 8, 0, 150, 0, "amount").labelled("Amount", nullptr),
    fw::selector(kMask, 4, 3, 0, "mask")
        .labelled("Mask", "Masking already sharp areas. Avoiding over-sharpening."),
    fw::selector(kBlur, 4, 3, 0, "blur").labelled("Blur", nullptr),
    fw::selector(kHalo, 4, 3, 0, "halo").labelled("Halo", "Halo effect on/off"),
    fw::slider(kBalance, 8, 0, 150, 0, "balance").labelled("Balance", nullptr),
};
static_assert(fw::wellFormed(kSettings, 64));

inline constexpr auto kFieldBytes = fw::fieldBytesOf(kSettings);
inline constexpr fw::RecordFormat kFormat{24, 2, 64, fw::fieldTableOf(kFieldBytes)};

// The decoded settings limited to what their controls can hold, as a record
// with larger values would show in the dialog.
struct Settings {
    int radius = 0, preview = 0, amount = 0, mask = 0, blur = 0, halo = 0, balance = 0;
};
Settings limitedSettings(const fw::ValueSlots& values);

// Version-1 records get Mask and Halo switched on (and a new check value);
// their version byte is brought up to date when they are next stored.
void upgradeVersion1Record(uint8_t* record);

}  // namespace qm::keenwright
