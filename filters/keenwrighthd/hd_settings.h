// KeenwrightHD's settings: one table, in record order, and the settings as
// the kernel reads them.
#pragma once

#include "framework/settings/record.h"
#include "framework/settings/setting_table.h"

namespace qm::khd {

// Value slots of the settings record (2..6: the navigator and the zoom
// buttons, not stored).
constexpr int kSlotRadius = 0;      // pair: High in bits 0-8, Low in bits 9-17
constexpr int kSlotPreview = 1;     // 0 off, 2 on
constexpr int kSlotBrightness = 7;  // pair: Highlights, Shadows
constexpr int kSlotContrast = 8;    // 50 neutral
constexpr int kSlotMask = 9;        // stored only
constexpr int kSlotSoftness = 10;

// A two-thumb slider starts with its first thumb at the track's end and its
// second at 0; Contrast at the quarter (50), Edge Softness in the middle.
inline constexpr fw::Setting kSettings[] = {
    fw::pair(kSlotRadius, 0, 200, 200, 0, "radius").labelled("Radius", "Radius High@Radius Low"),
    fw::toggle(kSlotPreview, 2, 3, 2, "preview").labelled("Preview", "Preview"),
    fw::pair(kSlotBrightness, 0, 200, 200, 0, "brightness").labelled("Brightness", "Highlights@Shadows"),
    fw::slider(kSlotContrast, 8, 0, 200, 50, "contrast")
        .labelled("Contrast", "Contrast (double-click to reset)"),
    fw::selector(kSlotMask, 4, 15, 0, "mask").labelled("Mask", nullptr),
    fw::slider(kSlotSoftness, 8, 0, 100, 50, "softness").labelled("Softness", "Edge Softness"),
};
static_assert(fw::wellFormed(kSettings, 64));

inline constexpr auto kFieldBytes = fw::fieldBytesOf(kSettings);
inline constexpr fw::RecordFormat kFormat{25, 1, 64, fw::fieldTableOf(kFieldBytes)};

// The decoded settings, limited to the ranges their controls allow.
struct HdSettings {
    int radiusHigh = 0, radiusLow = 0;  // 0..200
    int highlights = 0, shadows = 0;    // 0..200
    int contrast = 50;                  // 0..200
    int softness = 0;                   // 0..100
    bool preview = true;
    int mask = 0;
};
HdSettings decodeSettings(const fw::ValueSlots& values);

}  // namespace qm::khd
