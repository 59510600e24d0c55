#include "host/filter_run.h"

#include <cstring>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "platform/pluginapi/pluginapi.h"

namespace qm::host {
namespace {

// Continue calls allowed before the host gives up on a plug-in that keeps
// asking for more data.
constexpr int kMaxContinueCalls = 1000000;
// Extra bytes at the end of every buffer row; the plug-in must honour the
// row strides, and a write into the padding of outData is caught.
constexpr size_t kRowPadding = 16;
constexpr uint8_t kCanary = 0xA5;

// The image as the plug-in sees it: interleaved planes, 8-bit samples or
// 16-bit samples in 0..32767. A read-only one may view the image's own
// pixels instead of holding a copy; 16-bit ones are then still 0..65535
// (wide) and are brought to the plug-ins' scale as they are read.
struct Document {
    int32_t width = 0, height = 0;
    int planes = 0;
    size_t bytesPerSample = 1;
    std::vector<uint8_t> data;
    const uint8_t* view = nullptr;
    bool wide = false;

    size_t pixelBytes() const { return static_cast<size_t>(planes) * bytesPerSample; }
    size_t size() const { return static_cast<size_t>(width) * static_cast<size_t>(height) * pixelBytes(); }
    size_t offset(int32_t x, int32_t y) const {
        return (static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) *
               pixelBytes();
    }
    const uint8_t* bytes() const { return view ? view : data.data(); }
    uint8_t* at(int32_t x, int32_t y) { return data.data() + offset(x, y); }
    const uint8_t* at(int32_t x, int32_t y) const { return bytes() + offset(x, y); }
};

// 16-bit samples travel on the plug-ins' own scale, 0..32767, rounded to
// the nearest step both ways: 0 and 65535 (an opaque alpha) come back
// exactly. A plug-in may still write 32768, the interface's white.
uint16_t to15(uint32_t v) { return static_cast<uint16_t>((v * 32767u + 32767u) / 65535u); }
uint32_t from15(uint16_t v) {
    const uint32_t w = v > 32767 ? 32767u : v;
    return (w * 65535u + 16383u) / 32767u;
}

// A view of the image's pixels, which stay untouched until the run has
// succeeded.
Document viewOf(const Image& image) {
    Document d;
    d.width = image.width;
    d.height = image.height;
    d.planes = image.channels();
    d.bytesPerSample = image.depth == 16 ? 2 : 1;
    d.view = image.pixels.data();
    d.wide = image.depth == 16;
    return d;
}

Document documentOf(const Image& image) {
    Document d = viewOf(image);
    d.view = nullptr;
    d.wide = false;
    if (image.depth != 16) {
        d.data = image.pixels;
        return d;
    }
    d.data.resize(image.pixels.size());
    const size_t count = image.pixels.size() / 2;
    for (size_t i = 0; i < count; ++i) {
        uint16_t v;
        std::memcpy(&v, image.pixels.data() + 2 * i, 2);
        v = to15(v);
        std::memcpy(d.data.data() + 2 * i, &v, 2);
    }
    return d;
}

void storeDocument(Document&& d, Image& image) {
    if (image.depth != 16) {
        image.pixels = std::move(d.data);
        return;
    }
    const size_t count = d.data.size() / 2;
    for (size_t i = 0; i < count; ++i) {
        uint16_t v;
        std::memcpy(&v, d.data.data() + 2 * i, 2);
        v = static_cast<uint16_t>(from15(v));
        std::memcpy(image.pixels.data() + 2 * i, &v, 2);
    }
}

bool isEmpty(const Rect& r) { return r.bottom <= r.top || r.right <= r.left; }

bool rectInside(const Rect& r, int32_t width, int32_t height) {
    if (isEmpty(r)) return true;
    return r.top >= 0 && r.left >= 0 && r.bottom <= height && r.right <= width;
}

// Bytes left uninitialised: a buffer is filled whole by copyIn, and zeroing
// a photograph's worth first costs as much as the copy.
class RawBytes {
public:
    bool allocate(size_t n) {
        data_.reset(new (std::nothrow) uint8_t[n]);
        size_ = data_ ? n : 0;
        return data_ != nullptr;
    }
    uint8_t* data() { return data_.get(); }
    const uint8_t* data() const { return data_.get(); }
    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    uint8_t operator[](size_t i) const { return data_[i]; }

private:
    std::unique_ptr<uint8_t[]> data_;
    size_t size_ = 0;
};

// One plane range of one rectangle, with its stride.
struct Buffer {
    RawBytes bytes;
    int32_t rowBytes = 0;
    size_t usedRowBytes = 0;
};

bool allocate(Buffer& b, const Rect& r, int planes, size_t bytesPerSample) {
    b = Buffer();
    if (isEmpty(r)) return true;
    size_t width = static_cast<size_t>(r.right - r.left);
    size_t height = static_cast<size_t>(r.bottom - r.top);
    b.usedRowBytes = width * static_cast<size_t>(planes) * bytesPerSample;
    size_t stride = ((b.usedRowBytes + 15) & ~size_t(15)) + kRowPadding;
    if (stride > 0x7FFFFFFF) return false;
    b.rowBytes = static_cast<int32_t>(stride);
    if (!b.bytes.allocate(stride * height)) return false;
    // The padding after each row shows a plug-in that writes past its rows.
    for (size_t y = 0; y < height; ++y)
        std::memset(b.bytes.data() + y * stride + b.usedRowBytes, kCanary, stride - b.usedRowBytes);
    return true;
}

// n bytes of 16-bit samples from the image's scale to the plug-ins'.
void narrow(uint8_t* dst, const uint8_t* src, size_t n) {
    for (size_t i = 0; i + 1 < n; i += 2) {
        uint16_t v;
        std::memcpy(&v, src + i, 2);
        v = to15(v);
        std::memcpy(dst + i, &v, 2);
    }
}

void copyIn(const Document& d, const Rect& r, int lo, int hi, Buffer& b, bool zero) {
    if (isEmpty(r)) return;
    const size_t n = static_cast<size_t>(hi - lo + 1) * d.bytesPerSample;
    // Every plane: a row of the buffer is a stretch of the document's row.
    const bool whole = n == d.pixelBytes();
    for (int32_t y = r.top; y < r.bottom; ++y) {
        uint8_t* row = b.bytes.data() + static_cast<size_t>(y - r.top) * static_cast<size_t>(b.rowBytes);
        if (whole) {
            if (zero) std::memset(row, 0, b.usedRowBytes);
            else if (d.wide) narrow(row, d.at(r.left, y), b.usedRowBytes);
            else std::memcpy(row, d.at(r.left, y), b.usedRowBytes);
            continue;
        }
        for (int32_t x = r.left; x < r.right; ++x) {
            uint8_t* dst = row + static_cast<size_t>(x - r.left) * n;
            const uint8_t* src = d.at(x, y) + static_cast<size_t>(lo) * d.bytesPerSample;
            if (zero) std::memset(dst, 0, n);
            else if (d.wide) narrow(dst, src, n);
            else std::memcpy(dst, src, n);
        }
    }
}

uint32_t readSample(const uint8_t* p, size_t bytes) {
    if (bytes == 1) return *p;
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
}

void writeSample(uint8_t* p, size_t bytes, uint32_t v) {
    if (bytes == 1) {
        *p = static_cast<uint8_t>(v);
        return;
    }
    uint16_t w = static_cast<uint16_t>(v);
    std::memcpy(p, &w, 2);
}

// Puts the plug-in's output into the destination. Without the plug-in's
// promise to respect the selection itself, the host blends by the mask.
void commit(Document& dest, const Document& source, const Document* mask, const Rect& r, int lo,
            int hi, const Buffer& b) {
    if (isEmpty(r)) return;
    const size_t bps = dest.bytesPerSample;
    const size_t n = static_cast<size_t>(hi - lo + 1) * bps;
    const bool whole = n == dest.pixelBytes();
    for (int32_t y = r.top; y < r.bottom; ++y) {
        const uint8_t* row =
            b.bytes.data() + static_cast<size_t>(y - r.top) * static_cast<size_t>(b.rowBytes);
        if (!mask && whole) {
            std::memcpy(dest.at(r.left, y), row, b.usedRowBytes);
            continue;
        }
        for (int32_t x = r.left; x < r.right; ++x) {
            const uint8_t* out = row + static_cast<size_t>(x - r.left) * n;
            uint8_t* dst = dest.at(x, y) + static_cast<size_t>(lo) * bps;
            if (!mask) {
                std::memcpy(dst, out, n);
                continue;
            }
            uint32_t m = *mask->at(x, y);
            const uint8_t* src = source.at(x, y) + static_cast<size_t>(lo) * bps;
            for (size_t s = 0; s < n; s += bps) {
                uint32_t source15 = readSample(src + s, bps);
                if (source.wide) source15 = to15(source15);
                int64_t a = source15, o = readSample(out + s, bps);
                int64_t v = a + ((o - a) * m + (o >= a ? 127 : -127)) / 255;
                writeSample(dst + s, bps, static_cast<uint32_t>(v));
            }
        }
    }
}

bool paddingIntact(const Buffer& b) {
    if (b.bytes.empty()) return true;
    const size_t stride = static_cast<size_t>(b.rowBytes);
    for (size_t row = 0; row < b.bytes.size() / stride; ++row)
        for (size_t i = b.usedRowBytes; i < stride; ++i)
            if (b.bytes[row * stride + i] != kCanary) return false;
    return true;
}

// The callbacks have no context argument: the run in progress is process-wide.
const RunOptions* currentOptions = nullptr;

Boolean abortProc() {
    if (currentOptions->trace) std::fprintf(currentOptions->trace, "abort\n");
    return currentOptions->abortRequested && currentOptions->abortRequested();
}

void progressProc(int32_t done, int32_t total) {
    if (currentOptions->trace) std::fprintf(currentOptions->trace, "progress %d %d\n", done, total);
    if (currentOptions->progress) currentOptions->progress(done, total);
}

OSErr colorServicesProc(ColorServicesInfo* info) {
    if (currentOptions->trace)
        std::fprintf(currentOptions->trace, "colorServices %d\n", info ? info->selector : -1);
    // The picker belongs to the window layer, and that lives in the plug-in:
    // it alone holds the dialog's display (or its script's answers) and
    // keeps its windows painted while a picker is open. A second copy in
    // the host would open its own display and read the script from its
    // start. So the host says it has no picker, and the plug-in asks its own.
    return errPlugInHostInsufficient;
}

const char* selectorName(int16_t s) {
    static const char* names[] = {"about", "parameters", "prepare", "start", "continue", "finish"};
    return s >= 0 && s <= 5 ? names[s] : "unknown";
}

const char* caseName(int16_t filterCase) {
    switch (filterCase) {
        case 1: return "flat images";
        case 2: return "flat images with a selection";
        case 4: return "images with transparency";
        case 5: return "images with transparency and a selection";
        default: return "this kind of image";
    }
}

}  // namespace

int imageModeOf(const Image& image) {
    switch (image.colour) {
        case ColourSpace::Grey: return image.depth == 16 ? Gray16Mode : GrayScaleMode;
        case ColourSpace::CMYK: return CMYKMode;
        default: return image.depth == 16 ? RGB48Mode : RGBMode;
    }
}

int16_t filterCaseOf(const Image& image, bool withMask) {
    if (image.hasAlpha)
        return withMask ? filterCaseEditableTransparencyWithSelection
                        : filterCaseEditableTransparencyNoSelection;
    return withMask ? filterCaseFlatImageWithSelection : filterCaseFlatImageNoSelection;
}

std::string resultCodeName(int16_t code) {
    const char* name = nullptr;
    switch (code) {
        case noErr: name = "noErr"; break;
        case memFullErr: name = "memFullErr"; break;
        case userCanceledErr: name = "userCanceledErr"; break;
        case filterBadParameters: name = "filterBadParameters"; break;
        case filterBadMode: name = "filterBadMode"; break;
        case errPlugInHostInsufficient: name = "errPlugInHostInsufficient"; break;
        default: break;
    }
    if (!name) return "error " + std::to_string(code);
    return std::string(name) + " (" + std::to_string(code) + ")";
}

RunResult runFilter(const PluginLibrary& plugin, Image& image, const Image* mask,
                    const RunOptions& options) {
    RunResult result;
    const Pipl& pipl = plugin.pipl();
    auto fail = [&](RunStatus status, std::string message, int16_t code = 0) {
        result.status = status;
        result.message = std::move(message);
        result.code = code;
        return result;
    };

    const int mode = imageModeOf(image);
    if (!pluginEnabledFor(pipl, {mode, image.depth}))
        return fail(RunStatus::Refused, "\"" + pipl.name + "\" is not available for " +
                                            modeName(mode) + " images (its PiPL)");
    const int16_t filterCase = filterCaseOf(image, mask != nullptr);
    FilterCaseInfo caseInfo{filterDataHandlingNone, filterDataHandlingNone, 0, 0};
    if (pipl.filterCases) caseInfo = (*pipl.filterCases)[static_cast<size_t>(filterCase - 1)];
    if (caseInfo.inputHandling == filterDataHandlingCantFilter)
        return fail(RunStatus::Refused,
                    "\"" + pipl.name + "\" does not filter " + caseName(filterCase));
    if (mask && (mask->width != image.width || mask->height != image.height))
        return fail(RunStatus::Refused, "the mask is " + std::to_string(mask->width) + " x " +
                                            std::to_string(mask->height) + ", the image " +
                                            std::to_string(image.width) + " x " +
                                            std::to_string(image.height));

    // The destination starts as a copy of the source, made only when the
    // first output comes back: while the plug-in runs, the host holds the
    // image, its inData and outData and nothing else of that size.
    Document source, dest, maskDoc;
    try {
        source = viewOf(image);
        if (mask) {
            maskDoc.width = mask->width;
            maskDoc.height = mask->height;
            maskDoc.planes = 1;
            maskDoc.data.resize(static_cast<size_t>(mask->width) * static_cast<size_t>(mask->height));
            for (int32_t y = 0; y < mask->height; ++y)
                for (int32_t x = 0; x < mask->width; ++x) {
                    uint32_t v = mask->sample(x, y, 0);
                    *maskDoc.at(x, y) = static_cast<uint8_t>(mask->depth == 16 ? v >> 8 : v);
                }
        }
    } catch (const std::bad_alloc&) {
        return fail(RunStatus::OutOfMemory, "not enough memory to filter a " +
                                                std::to_string(image.width) + " x " +
                                                std::to_string(image.height) + " image");
    }

    PIDescriptorParameters descriptorParameters{};
    descriptorParameters.descriptorParametersVersion = 0;
    descriptorParameters.playInfo = options.dialog ? plugInDialogDisplay : plugInDialogDontDisplay;
    descriptorParameters.recordInfo = plugInDialogDontDisplay;
    descriptorParameters.descriptor =
        options.settings ? makeDescriptor(*options.settings) : nullptr;
    descriptorParameters.readDescriptorProcs = readDescriptorProcs();
    descriptorParameters.writeDescriptorProcs = writeDescriptorProcs();
    PIDescriptorHandle handedIn = descriptorParameters.descriptor;

    FilterRecord fr{};
    fr.abortProc = abortProc;
    fr.progressProc = progressProc;
    fr.imageSize = {image.height, image.width};
    fr.planes = static_cast<int16_t>(source.planes);
    fr.filterRect = {0, 0, image.height, image.width};
    fr.maxSpace = 0x7FFFFFFF;
    fr.bufferSpace = 0x7FFFFFFF;
    fr.haveMask = mask != nullptr;
    std::memcpy(fr.foregroundColor, options.foreground, 3);
    std::memcpy(fr.backColor, options.background, 3);
    fr.foregroundColor[3] = fr.backColor[3] = 255;
    fr.hostSig = PI_FOURCC('Q', 'M', 'H', 'S');
    fr.platformData = nullptr;
    fr.imageMode = static_cast<int16_t>(mode);
    fr.depth = image.depth;
    fr.filterCase = filterCase;
    fr.handleProcs = handleProcs();
    fr.descriptorParameters = &descriptorParameters;
    fr.colorServices = colorServicesProc;

    currentOptions = &options;
    auto call = [&](int16_t selector) {
        int16_t code = 0;
        plugin.call(selector, &fr, &code);
        if (options.trace) std::fprintf(options.trace, "%s %d\n", selectorName(selector), code);
        return code;
    };
    auto cleanUp = [&] {
        disposeDescriptor(handedIn);
        disposeDescriptor(descriptorParameters.descriptor);
        currentOptions = nullptr;
    };
    auto startDestination = [&] {
        dest.width = source.width;
        dest.height = source.height;
        dest.planes = source.planes;
        dest.bytesPerSample = source.bytesPerSample;
        try {
            if (!source.wide) {
                dest.data.assign(source.bytes(), source.bytes() + source.size());
                return true;
            }
            dest.data.resize(source.size());
        } catch (const std::bad_alloc&) {
            return false;
        }
        narrow(dest.data.data(), source.bytes(), source.size());
        return true;
    };
    auto pluginFailed = [&](int16_t code) {
        cleanUp();
        if (code == userCanceledErr) return fail(RunStatus::Cancelled, "cancelled", code);
        return fail(RunStatus::PluginError, resultCodeName(code), code);
    };

    if (options.dialog)
        if (int16_t code = call(filterSelectorParameters)) return pluginFailed(code);
    if (int16_t code = call(filterSelectorPrepare)) return pluginFailed(code);
    if (int16_t code = call(filterSelectorStart)) return pluginFailed(code);

    const bool copySource = !(caseInfo.flags1 & PI_FICI_DONT_COPY_TO_DESTINATION);
    const bool hostMasks = !(caseInfo.flags1 & PI_FICI_WRITES_OUTSIDE_SELECTION);
    auto protocolError = [&](std::string message) {
        cleanUp();
        return fail(RunStatus::ProtocolError, "\"" + pipl.name + "\" broke the interface: " + message);
    };
    auto planesValid = [&](int lo, int hi) { return lo >= 0 && lo <= hi && hi < source.planes; };

    for (int calls = 0;; ++calls) {
        const Rect inRect = fr.inRect, outRect = fr.outRect, maskRect = fr.maskRect;
        const int inLo = fr.inLoPlane, inHi = fr.inHiPlane;
        const int outLo = fr.outLoPlane, outHi = fr.outHiPlane;
        if (isEmpty(inRect) && isEmpty(outRect) && isEmpty(maskRect)) break;
        if (calls == kMaxContinueCalls) return protocolError("it never stops asking for data");
        if (!rectInside(inRect, image.width, image.height) ||
            !rectInside(outRect, image.width, image.height) ||
            !rectInside(maskRect, image.width, image.height))
            return protocolError("it asked for an area outside the image");
        if ((!isEmpty(inRect) && !planesValid(inLo, inHi)) ||
            (!isEmpty(outRect) && !planesValid(outLo, outHi)))
            return protocolError("it asked for planes the image does not have");

        Buffer in, out, maskBuffer;
        if (!allocate(in, inRect, inHi - inLo + 1, source.bytesPerSample) ||
            !allocate(out, outRect, outHi - outLo + 1, source.bytesPerSample) ||
            !allocate(maskBuffer, mask ? maskRect : Rect{}, 1, 1)) {
            cleanUp();
            return fail(RunStatus::OutOfMemory, "not enough memory for the buffers the plug-in asked for");
        }
        copyIn(source, inRect, inLo, inHi, in, false);
        copyIn(dest.data.empty() ? source : dest, outRect, outLo, outHi, out, !copySource);
        if (mask) copyIn(maskDoc, maskRect, 0, 0, maskBuffer, false);
        fr.inData = in.bytes.empty() ? nullptr : in.bytes.data();
        fr.inRowBytes = in.rowBytes;
        fr.outData = out.bytes.empty() ? nullptr : out.bytes.data();
        fr.outRowBytes = out.rowBytes;
        fr.maskData = maskBuffer.bytes.empty() ? nullptr : maskBuffer.bytes.data();
        fr.maskRowBytes = maskBuffer.rowBytes;

        int16_t code = call(filterSelectorContinue);
        fr.inData = fr.outData = fr.maskData = nullptr;
        if (code) return pluginFailed(code);
        if (!paddingIntact(out)) return protocolError("it wrote past the end of its output rows");
        in = Buffer();
        if (dest.data.empty() && !isEmpty(outRect) && !startDestination()) {
            cleanUp();
            return fail(RunStatus::OutOfMemory, "not enough memory to filter a " +
                                                    std::to_string(image.width) + " x " +
                                                    std::to_string(image.height) + " image");
        }
        commit(dest, source, mask && hostMasks ? &maskDoc : nullptr, outRect, outLo, outHi, out);
    }

    if (int16_t code = call(filterSelectorFinish)) return pluginFailed(code);

    if (descriptorParameters.descriptor)
        result.hasReturnedSettings =
            descriptorContents(descriptorParameters.descriptor, result.returnedSettings);
    // Nothing came back: the result is the source (16-bit samples rounded
    // through the plug-ins' scale, as any output would be).
    if (dest.data.empty() && image.depth == 16) storeDocument(documentOf(image), image);
    else if (!dest.data.empty()) storeDocument(std::move(dest), image);
    cleanUp();
    return result;
}

}  // namespace qm::host
