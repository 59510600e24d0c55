// Drives Marbleloom's final pass as the framework runs it after its dialog,
// with a settings record of the test's choosing and a texture session whose
// library holds the four factory databases.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "filters/marbleloom/texture_renderer.h"
#include "filters/marbleloom/texture_session.h"
#include "filters/marbleloom/texture_settings.h"
#include "tests/filters/final_pass_run.h"
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

// The filter without its own session state: the harness opens that on the
// test's pattern folders.
inline const fw::FilterDescription& filterWithoutSessionState() {
    static const fw::FilterDescription filter = [] {
        fw::FilterDescription f = fw::filterDescription();
        f.beginSession = nullptr;
        return f;
    }();
    return filter;
}

struct TextureRun : qm::test::FinalPassRun {
    TextureRun(int w, int h, int planes = 3, bool withMask = false)
        : FinalPassRun(w, h, planes, withMask, 0, filterWithoutSessionState()) {}

    // Opens the texture session (after the test has filled the input).
    bool open() {
        session.data = openTextureSession(session, qm::test::noResources(), factory.folders());
        return session.data != nullptr;
    }
    TextureSession& texture() { return *textureSessionOf(session); }

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

    FactoryFolders factory;
};

}  // namespace qm::marbleloom::test
