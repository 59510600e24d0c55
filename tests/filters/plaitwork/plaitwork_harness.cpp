#include "tests/filters/plaitwork/plaitwork_harness.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>

#include "framework/host/entry.h"
#include "framework/host/filter_session.h"
#include "framework/host/preview_geometry.h"
#include "framework/host/render_loop.h"
#include "framework/host/render_state.h"
#include "tests/filters/final_pass_run.h"
#include "tools/presetc/preset_text.h"
#include "tools/respack/manifest.h"

namespace qm::plaitwork::test {
namespace {

struct CompiledPreset {
    std::string name;
    std::vector<uint8_t> record;
};

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "cannot read %s\n", path.c_str());
        std::abort();
    }
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The presets of the plug-in's manifest, compiled as the build compiles them,
// in resource order (text names ascending).
std::vector<CompiledPreset>& compiledPresets() {
    static std::vector<CompiledPreset> presets = [] {
        const std::string folder = std::string(QM_SOURCE_DIR) + "/resources/plaitwork/";
        std::vector<tools::ManifestEntry> entries;
        std::string error;
        if (!tools::parseManifest(readText(folder + "resources.manifest"), entries, error)) {
            std::fprintf(stderr, "manifest: %s\n", error.c_str());
            std::abort();
        }
        std::vector<CompiledPreset> out;
        for (const tools::ManifestEntry& e : entries) {
            if (e.kind != "preset") continue;
            CompiledPreset p;
            p.name = e.name;
            tools::PresetTextError perror;
            if (!tools::compilePresetText(readText(folder + e.source), fw::filterDescription(), p.record,
                                          perror)) {
                std::fprintf(stderr, "%s:%d: %s\n", e.source.c_str(), perror.line, perror.message.c_str());
                std::abort();
            }
            out.push_back(std::move(p));
        }
        std::sort(out.begin(), out.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
        return out;
    }();
    return presets;
}

QmResourceTable buildTable() {
    static std::vector<QmResource> entries;
    for (const CompiledPreset& p : compiledPresets())
        entries.push_back({{nullptr, 2000}, {p.name.c_str(), 0}, p.record.data(),
                           static_cast<uint32_t>(p.record.size())});
    return {QM_RESOURCE_TABLE_MAGIC, static_cast<uint32_t>(entries.size()), entries.data()};
}

size_t bytesOf(const Picture& p) {
    return static_cast<size_t>(p.width) * static_cast<size_t>(p.height) * static_cast<size_t>(p.planes);
}

}  // namespace

const std::vector<std::string>& presetNames() {
    static std::vector<std::string> names = [] {
        std::vector<std::string> n;
        for (const CompiledPreset& p : compiledPresets()) n.push_back(p.name);
        return n;
    }();
    return names;
}

std::vector<uint8_t> presetRecord(const std::string& name) {
    for (const CompiledPreset& p : compiledPresets())
        if (p.name == name) return p.record;
    return {};
}

fw::ValueSlots presetSlots(const std::string& name) {
    fw::ValueSlots slots{};
    const std::vector<uint8_t> record = presetRecord(name);
    if (!record.empty()) fw::decodeRecord(record.data(), fw::filterDescription().format, slots);
    return slots;
}

Picture uniformPicture(int width, int height, int planes, std::vector<uint8_t> value) {
    Picture p{width, height, planes, {}};
    p.pixels.resize(bytesOf(p));
    for (size_t i = 0; i < p.pixels.size(); ++i) p.pixels[i] = value[i % static_cast<size_t>(planes)];
    return p;
}

Picture testPicture(int width, int height, int planes) {
    Picture p{width, height, planes, {}};
    p.pixels.resize(bytesOf(p));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* px = p.at(x, y);
            px[0] = static_cast<uint8_t>(255 * x / std::max(1, width - 1));
            px[1] = static_cast<uint8_t>(255 * y / std::max(1, height - 1));
            px[2] = static_cast<uint8_t>(128 + 100 * std::sin((x + 2 * y) * 0.15));
            if (planes == 4) px[3] = static_cast<uint8_t>((x * 7 + y * 3) % 256);
        }
    return p;
}

int16_t renderFinal(const Picture& in, const fw::ValueSlots& slots, Picture& out,
                    const RenderOptions& options) {
    // Buffers of exactly the image's size unless padding is asked for.
    qm::test::FinalPassRun run(in.width, in.height, in.planes, options.mask != nullptr,
                               options.exactBuffers ? 0 : 16);
    if (!run.opened) return memFullErr;
    for (int y = 0; y < in.height; ++y)
        std::copy_n(in.at(0, y), static_cast<size_t>(in.width * in.planes), &run.in[run.index(0, y)]);
    if (options.mask) std::copy(options.mask->begin(), options.mask->end(), run.mask.begin());
    std::copy_n(options.foreground, 3, run.fr.foregroundColor);
    std::copy_n(options.background, 3, run.fr.backColor);
    const int16_t result = run.renderSlots(slots);

    out = Picture{in.width, in.height, in.planes, {}};
    out.pixels.resize(bytesOf(out));
    for (int y = 0; y < in.height; ++y)
        std::copy_n(&run.out[run.index(0, y)], static_cast<size_t>(in.width * in.planes), out.at(0, y));
    return result;
}

int16_t runAsHost(const Picture& in, Picture& out, const RenderOptions& options, int16_t filterCase) {
    const fw::FilterDescription& filter = fw::filterDescription();
    fw::libraryState() = fw::LibraryState();
    FilterRecord fr{};
    fr.imageSize = {static_cast<int16_t>(in.height), static_cast<int16_t>(in.width)};
    fr.planes = static_cast<int16_t>(in.planes);
    fr.imageMode = RGBMode;
    fr.filterCase = filterCase;
    fr.haveMask = options.mask != nullptr;
    std::copy_n(options.foreground, 3, fr.foregroundColor);
    std::copy_n(options.background, 3, fr.backColor);
    auto call = [&](int16_t selector) {
        int16_t result = 12345;
        intptr_t data = 0;
        fw::handleSelector(filter, selector, &fr, &data, &result);
        return result;
    };
    out = Picture{in.width, in.height, in.planes, {}};
    int16_t r = call(filterSelectorPrepare);
    if (r == noErr) r = call(filterSelectorStart);
    if (r != noErr) return r;

    const int planes = fr.inHiPlane - fr.inLoPlane + 1;
    if (planes != in.planes) return -1;
    std::vector<uint8_t> source = in.pixels, destination(in.pixels.size(), 0);
    fr.inData = source.data();
    fr.outData = destination.data();
    fr.inRowBytes = fr.outRowBytes = in.width * in.planes;
    fr.maskData = options.mask ? const_cast<uint8_t*>(options.mask->data()) : nullptr;
    fr.maskRowBytes = in.width;
    r = call(filterSelectorContinue);
    out.pixels = destination;
    return r;
}

}  // namespace qm::plaitwork::test

extern "C" const QmResourceTable quillmere_resources = qm::plaitwork::test::buildTable();
