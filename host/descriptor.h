// The host's side of scripting parameters: descriptors, their read and write
// procedures, and the handle procedures that dispose of them.
//
// The procedures are plain C callbacks without a context, so the suite is
// process-wide, as the host runs one filter at a time. Every handle and token
// a plug-in passes back is checked against the live ones: a stale or foreign
// pointer gets an error, never a crash.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/pluginapi/pluginapi.h"

namespace qm::host {

struct DescriptorItem {
    DescriptorKeyID key = 0;
    DescriptorTypeID type = typeInteger;
    int32_t integer = 0;
    double number = 0;  // typeFloat
    std::string text;   // typeChar
};

using DescriptorItems = std::vector<DescriptorItem>;

ReadDescriptorProcs* readDescriptorProcs();
WriteDescriptorProcs* writeDescriptorProcs();
HandleProcs* handleProcs();

// A new descriptor holding the items (the host hands it to a plug-in).
PIDescriptorHandle makeDescriptor(const DescriptorItems& items);
// The items of a live descriptor; false for a handle the host does not know.
bool descriptorContents(PIDescriptorHandle handle, DescriptorItems& out);
void disposeDescriptor(PIDescriptorHandle handle);
// Handles and tokens not yet released, for leak checks.
size_t liveDescriptorObjects();

}  // namespace qm::host
