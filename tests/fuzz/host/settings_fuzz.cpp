// The settings-file reader: raw key lines, and named lines against a plug-in's
// settings. What parses must write back to the same items.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "host/plugin_settings.h"
#include "host/settings_file.h"

using namespace qm::host;

namespace {

// Keenwright HD's settings resource as the build writes it.
const char kSettings[] =
    "quillmere-settings\t1\nplugin\tKeenwright HD\nrecord\t25\t1\t64\n"
    "key\tSoftware\\Quillmere\\KeenwrightHD\nvariant\tlater\ndialog\tparameters\ndefault\t6\n"
    "field\t0\t18\nfield\t1\t2\nfield\t7\t18\nfield\t8\t8\nfield\t9\t4\nfield\t10\t8\n"
    "setting\tradius\t0\tpair\t0\t200\t200\tRadius\tRadius High@Radius Low\n"
    "setting\tpreview\t1\ttoggle\t0\t3\t2\tPreview\tPreview\n"
    "setting\tbrightness\t7\tpair\t0\t200\t200\tBrightness\tHighlights@Shadows\n"
    "setting\tcontrast\t8\tslider\t0\t200\t50\tContrast\tContrast (double-click to reset)\n"
    "setting\tmask\t9\tselector\t0\t15\t0\tMask\t\n"
    "setting\tsoftness\t10\tslider\t0\t100\t50\tSoftness\tEdge Softness\n";

bool same(const DescriptorItems& a, const DescriptorItems& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (formatSettings({a[i]}) != formatSettings({b[i]})) return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    DescriptorItems items;
    std::string error;
    if (parseSettings(text, items, error)) {
        DescriptorItems again;
        if (!parseSettings(formatSettings(items), again, error) || !same(items, again)) abort();
    } else if (error.empty()) {
        abort();
    }

    static PluginSettings settings = [] {
        PluginSettings s;
        std::string why;
        if (!parsePluginSettings(kSettings, s, why)) abort();
        return s;
    }();
    Record record(64, 0);
    settings.seal(record);
    if (readSettingsText(settings, text, record, error)) {
        if (!settings.valid(record)) abort();
        (void)settingsText(settings, record);
    } else if (error.empty()) {
        abort();
    }
    return 0;
}
