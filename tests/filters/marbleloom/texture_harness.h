// Drives Marbleloom's final pass as the framework runs it after its dialog,
// with a settings record of the test's choosing: a host record over the
// test's buffers, a texture session whose library holds the four factory
// databases, and the render loop.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "filters/marbleloom/texture_renderer.h"
#include "filters/marbleloom/texture_session.h"
#include "filters/marbleloom/texture_settings.h"
#include "framework/host/filter_session.h"
#include "framework/host/preview_geometry.h"
#include "framework/host/render_loop.h"
#include "framework/host/render_state.h"
#include "framework/settings/record.h"
#include "platform/pluginapi/pluginapi.h"
#include "tests/filters/marbleloom/test_records.h"
#include "tools/presetc/preset_text.h"

namespace qm::marbleloom::test {

inline const char* const kFactoryFiles[] = {"Textures.8tx", "Textures02.8tx", "Textures03.8tx", "Textures04.8tx"};

inline std::string sourcePath(const std::string& relative) { return std::string(QM_SOURCE_DIR "/") + relative; }

// A plug-in folder holding the four factory databases, as the write-out
// leaves it.
struct FactoryFolders {
    ScratchFolder plugin, shared;
    FactoryFolders() {
        for (const char* f : kFactoryFiles)
            std::filesystem::copy_file(sourcePath(std::string("resources/marbleloom/patterns/") + f), plugin / f);
    }
    PatternFolders folders() const { return {plugin.path(), shared.path()}; }
};

// A factory preset's record, compiled from its text.
inline std::vector<uint8_t> factoryPreset(const std::string& stem) {
    std::ifstream in(sourcePath("resources/marbleloom/presets/" + stem + ".txt"));
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::vector<uint8_t> record;
    tools::PresetTextError error;
    if (!tools::compilePresetText(text, fw::filterDescription(), record, error)) record.clear();
    return record;
}

inline fw::ValueSlots presetSlots(const std::string& stem) {
    fw::ValueSlots slots{};
    const std::vector<uint8_t> record = factoryPreset(stem);
    if (!record.empty()) fw::decodeRecord(record.data(), textureRecordFormat(), slots);
    return slots;
}

// Every default, every layer and the base visible on "default raw".
inline fw::ValueSlots defaultSlots() {
    fw::ValueSlots slots{};
    resetAll(slots);
    for (int k = 1; k <= 3; ++k) {
        slots[static_cast<size_t>(layer::first(k) + layer::kVisible)] = 2;
        slots[static_cast<size_t>(layer::first(k) + layer::kWidth)] = 50;
        slots[static_cast<size_t>(layer::first(k) + layer::kColour)] = static_cast<int32_t>(colourWord(128, 128, 128, kFixed));
    }
    slots[base::kVisible] = 2;
    slots[kBackground] = static_cast<int32_t>(colourWord(0, 0, 0, kFixed));
    return slots;
}

struct TextureRun {
    TextureRun(int w, int h, int planes = 3, bool withMask = false)
        : width(w), height(h), stride(w * planes) {
        in.assign(static_cast<size_t>(stride) * static_cast<size_t>(h), 0);
        out.assign(in.size(), 0);
        fr.imageSize = {static_cast<int16_t>(h), static_cast<int16_t>(w)};
        fr.planes = static_cast<int16_t>(planes);
        fr.imageMode = RGBMode;
        fr.inData = in.data();
        fr.outData = out.data();
        fr.inRowBytes = fr.outRowBytes = stride;
        if (withMask) {
            mask.assign(static_cast<size_t>(w) * static_cast<size_t>(h), 255);
            fr.haveMask = true;
            fr.maskData = mask.data();
            fr.maskRowBytes = w;
        }
        const fw::FilterDescription& f = fw::filterDescription();
        session.record = &fr;
        session.filter = &f;
        session.format = f.format;
        session.planes = planes;
        session.registryKey = f.registryKey;
        const fw::PreviewGeometry g = fw::earlierPreviewGeometry(w, h);
        session.previewScale = static_cast<float>(g.previewScale);
        session.imageSizeFactor = g.imageSizeFactor;
        state = std::make_unique<fw::RenderState>(session, f.passCount, f.format.length);
        session.renderState = state.get();
    }
    ~TextureRun() { closeTextureSession(session); }
    TextureRun(const TextureRun&) = delete;
    TextureRun& operator=(const TextureRun&) = delete;

    // Opens the session (after the test has filled the input).
    bool open() {
        return openTextureSession(session, os::ResourceModule(&noResources), factory.folders());
    }
    TextureSession& texture() { return *textureSessionOf(session); }

    int16_t render(const fw::ValueSlots& slots) {
        fw::packFields(session.settings.data(), session.format, slots);
        fw::sealRecord(session.settings.data(), session.format, false);
        return fw::render(*state);
    }

    void fill(uint8_t r, uint8_t g, uint8_t b, uint8_t a = 255) {
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) set(x, y, r, g, b, a);
    }
    void set(int x, int y, uint8_t r, uint8_t g, uint8_t b, uint8_t a = 255) {
        uint8_t* p = &in[index(x, y)];
        p[0] = r;
        p[1] = g;
        p[2] = b;
        if (fr.planes == 4) p[3] = a;
    }
    const uint8_t* outAt(int x, int y) const { return &out[index(x, y)]; }
    size_t index(int x, int y) const {
        return static_cast<size_t>(y) * static_cast<size_t>(stride) + static_cast<size_t>(x) * static_cast<size_t>(fr.planes);
    }

    int width, height, stride;
    std::vector<uint8_t> in, out, mask;
    FilterRecord fr{};
    fw::FilterSession session;
    std::unique_ptr<fw::RenderState> state;
    FactoryFolders factory;
    QmResourceTable noResources{QM_RESOURCE_TABLE_MAGIC, 0, nullptr};
};

}  // namespace qm::marbleloom::test
