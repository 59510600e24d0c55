// Runs Plaitwork 2000 in-process: its factory presets compiled from their
// sources into this program's resource table, the framework's final pass on
// a chosen record, and the whole selector sequence as a host drives it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "filters/plaitwork/strip_settings.h"
#include "framework/settings/record.h"
#include "platform/pluginapi/pluginapi.h"

namespace qm::plaitwork::test {

// Factory preset names in resource order.
const std::vector<std::string>& presetNames();
// The preset's record bytes (empty when there is none by that name).
std::vector<uint8_t> presetRecord(const std::string& name);
fw::ValueSlots presetSlots(const std::string& name);

struct Picture {
    int width = 0, height = 0, planes = 3;
    std::vector<uint8_t> pixels;  // rows without padding
    uint8_t* at(int x, int y) {
        return pixels.data() + (static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) *
                                   static_cast<size_t>(planes);
    }
    const uint8_t* at(int x, int y) const { return const_cast<Picture*>(this)->at(x, y); }
};

Picture uniformPicture(int width, int height, int planes, std::vector<uint8_t> value);
// A smooth colourful gradient with some texture.
Picture testPicture(int width, int height, int planes);

struct RenderOptions {
    const std::vector<uint8_t>* mask = nullptr;  // width x height, no padding
    uint8_t foreground[3] = {0, 0, 0};
    uint8_t background[3] = {255, 255, 255};
    bool exactBuffers = true;  // no row padding: the sanitizer sees any read outside
};

// The framework's final pass over the whole picture with these settings, at
// the scale a session of this size gets. Returns the result code; out holds
// the output.
int16_t renderFinal(const Picture& in, const fw::ValueSlots& slots, Picture& out,
                    const RenderOptions& options = {});

// Prepare, start and continue, as a host runs the filter without its dialog.
int16_t runAsHost(const Picture& in, Picture& out, const RenderOptions& options = {},
                  int16_t filterCase = filterCaseFlatImageNoSelection);

}  // namespace qm::plaitwork::test
