// A plug-in that exercises the host end to end: it inverts the colour planes
// (transparency is kept), honours the selection itself, works in strips of
// rows when asked, asks abort and progress every row, echoes the descriptor
// integers it was handed and shows a message box when asked.
//
// Behaviour keys in the descriptor: 'rows' strip height (0: the whole image),
// 'fail' a result code for the first continue, 'slow' milliseconds per row,
// 'mbox' 1 to show a message box; 'over' 1 writes one byte past the first
// output row and 'wide' 1 asks for a rectangle wider than the image, so the
// host's checks can be seen. They are echoed like every other integer.
#include <cstdint>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/pluginapi/pluginapi.h"
#include "platform/ui/message_box.h"

namespace {

struct Item {
    DescriptorKeyID key;
    int32_t value;
};

std::vector<Item> items;
int32_t stripRows = 0, failCode = 0, slowMs = 0, showBox = 0, overrun = 0, tooWide = 0;
int planeCount = 0;

int32_t itemValue(DescriptorKeyID key, int32_t fallback) {
    for (const Item& i : items)
        if (i.key == key) return i.value;
    return fallback;
}

void readDescriptor(FilterRecord* fr) {
    items.clear();
    PIDescriptorParameters* dp = fr->descriptorParameters;
    if (dp && dp->descriptor && dp->readDescriptorProcs) {
        static const DescriptorKeyID keys[] = {PI_FOURCC('k', 'k', '0', '0'), 0};
        PIReadDescriptor token = dp->readDescriptorProcs->openReadDescriptorProc(dp->descriptor, keys);
        DescriptorKeyID key;
        DescriptorTypeID type;
        int32_t flags;
        while (token && dp->readDescriptorProcs->getKeyProc(token, &key, &type, &flags)) {
            int32_t v = 0;
            if (dp->readDescriptorProcs->getIntegerProc(token, &v) == noErr) items.push_back({key, v});
        }
        if (token) dp->readDescriptorProcs->closeReadDescriptorProc(token);
    }
    if (items.empty()) items = {{PI_FOURCC('k', 'k', '0', '0'), 100}, {PI_FOURCC('k', 'k', '0', '1'), -200}};
    stripRows = itemValue(PI_FOURCC('r', 'o', 'w', 's'), 0);
    failCode = itemValue(PI_FOURCC('f', 'a', 'i', 'l'), 0);
    slowMs = itemValue(PI_FOURCC('s', 'l', 'o', 'w'), 0);
    showBox = itemValue(PI_FOURCC('m', 'b', 'o', 'x'), 0);
    overrun = itemValue(PI_FOURCC('o', 'v', 'e', 'r'), 0);
    tooWide = itemValue(PI_FOURCC('w', 'i', 'd', 'e'), 0);
}

void writeDescriptor(FilterRecord* fr) {
    PIDescriptorParameters* dp = fr->descriptorParameters;
    if (!dp || !dp->writeDescriptorProcs) return;
    PIWriteDescriptor token = dp->writeDescriptorProcs->openWriteDescriptorProc();
    if (!token) return;
    for (const Item& i : items) dp->writeDescriptorProcs->putIntegerProc(token, i.key, i.value);
    if (dp->descriptor && fr->handleProcs) fr->handleProcs->disposeProc(dp->descriptor);
    dp->descriptor = nullptr;
    dp->writeDescriptorProcs->closeWriteDescriptorProc(token, &dp->descriptor);
    dp->recordInfo = plugInDialogDontDisplay;
}

void setStrip(FilterRecord* fr, int32_t top) {
    int32_t height = fr->imageSize.v;
    int32_t rows = stripRows > 0 ? stripRows : height;
    int32_t bottom = top + rows < height ? top + rows : height;
    if (top >= height) {
        fr->inRect = fr->outRect = fr->maskRect = Rect{0, 0, 0, 0};
        return;
    }
    fr->inRect = fr->outRect = Rect{top, 0, bottom, fr->imageSize.h + (tooWide ? 1 : 0)};
    fr->maskRect = fr->haveMask ? fr->inRect : Rect{0, 0, 0, 0};
    fr->inLoPlane = fr->outLoPlane = 0;
    fr->inHiPlane = fr->outHiPlane = static_cast<int16_t>(planeCount - 1);
}

int16_t filterStrip(FilterRecord* fr) {
    if (!fr->inData || !fr->outData || (fr->haveMask && !fr->maskData)) return memFullErr;
    if (failCode) return static_cast<int16_t>(failCode);
    const bool deep = fr->depth == 16;
    const int32_t white = deep ? 32767 : 255;  // the host's 16-bit scale
    const bool transparency = fr->filterCase == filterCaseEditableTransparencyNoSelection ||
                              fr->filterCase == filterCaseEditableTransparencyWithSelection;
    const int colourPlanes = transparency ? planeCount - 1 : planeCount;
    const Rect r = fr->outRect;
    const int32_t width = r.right - r.left;
    for (int32_t y = r.top; y < r.bottom; ++y) {
        if (fr->abortProc()) return userCanceledErr;
        fr->progressProc(y, fr->imageSize.v);
        if (slowMs) std::this_thread::sleep_for(std::chrono::milliseconds(slowMs));
        const auto* in = static_cast<const uint8_t*>(fr->inData) +
                         static_cast<size_t>(y - r.top) * static_cast<size_t>(fr->inRowBytes);
        auto* out = static_cast<uint8_t*>(fr->outData) +
                    static_cast<size_t>(y - r.top) * static_cast<size_t>(fr->outRowBytes);
        const uint8_t* mask = fr->haveMask ? static_cast<const uint8_t*>(fr->maskData) +
                                                 static_cast<size_t>(y - r.top) *
                                                     static_cast<size_t>(fr->maskRowBytes)
                                           : nullptr;
        for (int32_t x = 0; x < width; ++x)
            for (int p = 0; p < planeCount; ++p) {
                size_t i = static_cast<size_t>(x) * static_cast<size_t>(planeCount) + static_cast<size_t>(p);
                int32_t v;
                if (deep) {
                    uint16_t s;
                    std::memcpy(&s, in + 2 * i, 2);
                    v = s;
                } else {
                    v = in[i];
                }
                int32_t result = v;
                if (p < colourPlanes) {
                    int32_t inverted = white - v;
                    result = mask ? v + (inverted - v) * mask[x] / 255 : inverted;
                }
                if (deep) {
                    uint16_t s = static_cast<uint16_t>(result);
                    std::memcpy(out + 2 * i, &s, 2);
                } else {
                    out[i] = static_cast<uint8_t>(result);
                }
            }
    }
    if (overrun) {
        size_t used = static_cast<size_t>(width) * static_cast<size_t>(planeCount) * (deep ? 2u : 1u);
        static_cast<uint8_t*>(fr->outData)[used] ^= 0xFF;
    }
    return noErr;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) void ENTRYPOINT(int16_t selector, void* record,
                                                                  intptr_t* /*data*/,
                                                                  int16_t* result) {
    auto* fr = static_cast<FilterRecord*>(record);
    *result = noErr;
    switch (selector) {
        case filterSelectorStart:
            if (fr->planes < 1) {
                *result = -1;
                return;
            }
            planeCount = fr->planes > 4 ? 4 : fr->planes;
            readDescriptor(fr);
            setStrip(fr, 0);
            return;
        case filterSelectorContinue: {
            *result = filterStrip(fr);
            if (*result != noErr) return;
            int32_t next = fr->outRect.bottom;
            setStrip(fr, next);
            if (fr->outRect.bottom == 0) {
                fr->progressProc(fr->imageSize.v, fr->imageSize.v);
                writeDescriptor(fr);
                if (showBox) {
                    std::string text = "processed " + std::to_string(fr->imageSize.h) + " x " +
                                       std::to_string(fr->imageSize.v) + " pixels, " +
                                       std::to_string(planeCount) + " planes, mode " +
                                       std::to_string(fr->imageMode) + ", case " +
                                       std::to_string(fr->filterCase);
                    qm::ui::messageBox(fr->platformData, text, "Protocol Test", qm::ui::kMbOk);
                }
            }
            return;
        }
        default:
            return;
    }
}
