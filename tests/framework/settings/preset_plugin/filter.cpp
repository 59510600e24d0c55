// A filter that exists for its factory presets: the tests read the records
// the preset compiler made for it out of its plug-in's resource table. Its
// record layout is KeenwrightHD's, so "DEFAULT" has known bytes.
#include "framework/host/filter_description.h"

namespace qm::fw {
namespace {

constexpr Setting kSettings[] = {
    pair(0, 0, 511, 0, 0, "radius"),     toggle(1, 2, 3, 0, "mode"),
    pair(7, 0, 511, 0, 0, "amount"),     slider(8, 8, 0, 255, 0, "threshold"),
    selector(9, 4, 15, 0, "softness"),   slider(10, 8, 0, 255, 0, "contrast"),
};
constexpr auto kFields = fieldBytesOf(kSettings);

int prepareNothing(RenderState&) { return 0; }
void renderNothing(RenderState&) {}  // never run

const FilterDescription kFilter{
    .name = "Preset Test", .format = RecordFormat{25, 1, 64, fieldTableOf(kFields)},
    .registryKey = "Software\\Quillmere\\PresetTest", .defaultPosition = 2, .passCount = 1,
    .variant = laterVariant("Please use images in RGB 8/16 mode"), .prepare = prepareNothing,
    .renderPass = renderNothing, .settings = kSettings
};

}  // namespace

const FilterDescription& filterDescription() { return kFilter; }

}  // namespace qm::fw
