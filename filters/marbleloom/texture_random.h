// The texture dialog's random generators: "Random Settings Generator",
// "Random Variations" and "Random Patterns". Each sets values straight from
// draws of the dialogs' random source, in a fixed order, so that one seed
// always gives the same settings.
#pragma once

#include "filters/marbleloom/pattern_library.h"
#include "filters/marbleloom/pattern_pixels.h"
#include "framework/settings/field_table.h"

namespace qm::marbleloom {

// "On" as the dialog stores a visibility.
constexpr int kVisibleOn = 2;

// Random Settings (withVisibility) and Random Variations (without choosing
// the visibilities): reference colours picked from random pixels of source,
// the preview's copy of the image (3 or 4 bytes a pixel), widths, mixings
// and the global values. False, nothing changed, when the library holds
// fewer than 3 entries. Random Settings goes on with randomPatterns; that
// call is the dialog's.
bool randomSettings(fw::ValueSlots& v, const PixelView& source, int libraryCount, bool withVisibility);

// Random Patterns: one entry drawn for each layer, and for each visible layer
// its rotation, colour corrections, highlight, shapeness and a scaling from
// the chosen pattern's range; the pattern identity settings of the visible
// layers take the chosen entries' identities (the dialog then loads the
// slots from them). False, nothing changed, with fewer than 3 entries.
bool randomPatterns(fw::ValueSlots& v, const PatternLibrary& library);

}  // namespace qm::marbleloom
