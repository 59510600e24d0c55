// A filter that exists for its factory presets: the tests read the records
// the preset compiler made for it out of its plug-in's resource table. Its
// table and names are KeenwrightHD's, so "DEFAULT" has known bytes.
#include "framework/host/filter_description.h"

namespace qm::fw {
namespace {

constexpr uint8_t kFields[] = {0, 18, 1, 2, 7, 18, 8, 8, 9, 4, 10, 8, 0xFF};
constexpr SlotName kNames[] = {{0, "radius"},    {1, "mode"},     {7, "amount"},
                               {8, "threshold"}, {9, "softness"}, {10, "contrast"}};

int prepareNothing(RenderState&) { return 0; }
void renderNothing(RenderState&) {}  // never run

}  // namespace

const FilterDescription& filterDescription() {
    static const FilterDescription description = [] {
        FilterDescription f{};
        f.name = "Preset Test";
        f.format = RecordFormat{25, 1, 64, fieldTableOf(kFields)};
        f.registryKey = "Software\\Quillmere\\PresetTest";
        f.defaultPosition = 2;
        f.passCount = 1;
        f.variant = FrameworkVariant::Later;
        f.dialogPolicy = DialogPolicy::AfterParameters;
        f.modeMessage = "Please use images in RGB 8/16 mode";
        f.prepare = prepareNothing;
        f.renderPass = renderNothing;
        f.slotNames = kNames;
        f.slotNameCount = static_cast<int>(sizeof kNames / sizeof kNames[0]);
        return f;
    }();
    return description;
}

}  // namespace qm::fw
