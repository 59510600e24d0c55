// Driving one filter over one image through the plug-in interface, as a host
// does: parameters (when the user asked for the dialog), prepare, start, then
// continue while the plug-in asks for more, finish.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>

#include "host/descriptor.h"
#include "host/image.h"
#include "host/plugin.h"

namespace qm::host {

struct RunOptions {
    bool dialog = false;                        // send the parameters selector
    std::optional<DescriptorItems> settings;    // the descriptor handed in
    uint8_t foreground[3] = {0, 0, 0};
    uint8_t background[3] = {255, 255, 255};
    std::function<void(int32_t done, int32_t total)> progress;
    std::function<bool()> abortRequested;       // polled by abortProc
    FILE* trace = nullptr;                      // one line per call into the host
};

enum class RunStatus {
    Done,            // the image holds the result
    PluginError,     // the plug-in answered an error code; the image is unchanged
    Cancelled,       // userCanceledErr
    Refused,         // the host does not offer this image to this plug-in
    ProtocolError,   // the plug-in broke the interface; the image is unchanged
    OutOfMemory,     // the host could not allocate the buffers asked for
};

struct RunResult {
    RunStatus status = RunStatus::Done;
    int16_t code = 0;            // the plug-in's result for PluginError / Cancelled
    std::string message;         // one line for every status but Done
    bool hasReturnedSettings = false;
    DescriptorItems returnedSettings;  // the descriptor the plug-in left behind
};

// The mode the host offers the image in, and its filter case.
int imageModeOf(const Image& image);
int16_t filterCaseOf(const Image& image, bool withMask);

// Runs the plug-in on image (replaced by the result on success). mask, when
// given, is an 8-bit grey image of the same size (255 = selected).
RunResult runFilter(const PluginLibrary& plugin, Image& image, const Image* mask,
                    const RunOptions& options);

// "filterBadMode (-30101)", or "error -42" for codes without a name.
std::string resultCodeName(int16_t code);

}  // namespace qm::host
