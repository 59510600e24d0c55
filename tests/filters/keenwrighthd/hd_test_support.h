// Shared by KeenwrightHD's tests: the factory preset records, settings
// records made from control values, and the framework's final render over an
// image held in buffers of exactly the image's size (so the address
// sanitizer sees any read outside it).
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "filters/keenwrighthd/hd_kernel.h"
#include "filters/keenwrighthd/keenwrighthd_filter.h"
#include "framework/host/filter_description.h"
#include "framework/host/filter_session.h"
#include "framework/host/preview_geometry.h"
#include "framework/host/render_loop.h"
#include "framework/host/render_state.h"
#include "framework/settings/record.h"
#include "tests/support/fake_host.h"
#include "tools/presetc/preset_text.h"

namespace qm::khd::test {

inline const fw::FilterDescription& hd() { return fw::filterDescription(); }

// A factory preset's record, compiled from its source in resources/.
inline std::vector<uint8_t> presetRecord(const std::string& file) {
    const std::string path = std::string(QM_SOURCE_DIR) + "/resources/keenwrighthd/presets/" + file;
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in) << path;
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<uint8_t> record;
    tools::PresetTextError error;
    EXPECT_TRUE(tools::compilePresetText(text, hd(), record, error)) << path << ":" << error.line << ": "
                                                                      << error.message;
    return record;
}

// Control values as a settings record.
struct Controls {
    int high = 200, low = 25, highlights = 200, shadows = 60, contrast = 125, softness = 50;
    int preview = 2, mask = 0;
};
inline std::vector<uint8_t> recordOf(const Controls& c) {
    std::vector<uint8_t> r(64, 0);
    fw::ValueSlots slots{};
    slots[kSlotRadius] = c.low * 512 + c.high;
    slots[kSlotPreview] = c.preview;
    slots[kSlotBrightness] = c.shadows * 512 + c.highlights;
    slots[kSlotContrast] = c.contrast;
    slots[kSlotMask] = c.mask;
    slots[kSlotSoftness] = c.softness;
    fw::packFields(r.data(), hd().format, slots);
    fw::sealRecord(r.data(), hd().format, false);
    return r;
}
// The settings the filter decodes from those controls.
inline HdSettings settingsOf(const Controls& c) {
    fw::ValueSlots slots{};
    const std::vector<uint8_t> r = recordOf(c);
    fw::decodeRecord(r.data(), hd().format, slots);
    return decodeSettings(slots);
}

// An interleaved image as the host hands it over, rows without padding.
struct HostImage {
    int width = 0, height = 0, planes = 3;
    bool sixteenBit = false;
    std::vector<uint8_t> bytes;

    HostImage(int w, int h, int p, bool sixteen) : width(w), height(h), planes(p), sixteenBit(sixteen) {
        bytes.assign(static_cast<size_t>(w) * static_cast<size_t>(h) * static_cast<size_t>(p) *
                         (sixteen ? 2 : 1),
                     0);
    }
    size_t index(int x, int y, int c) const {
        return ((static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) *
                    static_cast<size_t>(planes) +
                static_cast<size_t>(c)) *
               (sixteenBit ? 2 : 1);
    }
    // 8 bits: 0..255; 16 bits: 0..32768.
    int32_t get(int x, int y, int c) const {
        const size_t i = index(x, y, c);
        return sixteenBit ? bytes[i] | bytes[i + 1] << 8 : bytes[i];
    }
    void set(int x, int y, int c, int32_t v) {
        const size_t i = index(x, y, c);
        bytes[i] = static_cast<uint8_t>(v);
        if (sixteenBit) bytes[i + 1] = static_cast<uint8_t>(v >> 8);
    }
    int32_t rowBytes() const { return width * planes * (sixteenBit ? 2 : 1); }
};

// A textured test picture: smooth gradients, a hard edge, fine detail.
inline int32_t pattern8(int x, int y, int c) {
    const int base = (x * 5 + y * 3 + c * 40) % 200 + 20;
    const int edge = x > 17 ? 30 : 0;
    const int detail = ((x * 7 + y * 13 + c) % 5) * 6;
    return std::min(base + edge + detail, 255);
}
inline HostImage patternImage(int w, int h, int planes, bool sixteenBit) {
    HostImage img(w, h, planes, sixteenBit);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < planes; ++c) {
                const int32_t v = c == 3 ? (x * 9 + y) % 256 : pattern8(x, y, c);
                img.set(x, y, c, sixteenBit ? v * 128 : v);
            }
    return img;
}

// One filter session of the framework over an image, opened as the continue
// selector opens it, with working buffers of exactly the image's size.
class FinalSession {
public:
    FinalSession(const HostImage& image, const std::vector<uint8_t>& record,
                 const std::vector<uint8_t>* mask = nullptr)
        : host_(hd(), {image.width, image.height, image.planes, image.sixteenBit, mask != nullptr}),
          in_(image),
          out_(image) {
        std::copy(image.bytes.begin(), image.bytes.end(), host_.in.begin());
        if (mask) std::copy(mask->begin(), mask->end(), host_.mask.begin());
        EXPECT_EQ(host_.open(), 0);
        EXPECT_TRUE(state().allocateWorkingBuffers(static_cast<size_t>(image.width) *
                                                   static_cast<size_t>(image.height)));
        setRecord(record);
    }

    void setRecord(const std::vector<uint8_t>& record) {
        std::copy(record.begin(), record.end(), host_.session.settings.begin());
    }
    int16_t render() {
        const int16_t result = host_.render();
        out_.bytes = host_.out;
        return result;
    }

    fw::RenderState& state() { return host_.state(); }
    fw::FilterSession& session() { return host_.session; }
    HdKernel& kernel() { return hdSessionOf(host_.session).kernel; }
    const HostImage& output() const { return out_; }
    const HostImage& input() const { return in_; }

private:
    qm::test::FakeHost host_;
    HostImage in_, out_;
};

inline HostImage renderOnce(const HostImage& image, const std::vector<uint8_t>& record,
                            const std::vector<uint8_t>* mask = nullptr) {
    FinalSession s(image, record, mask);
    EXPECT_EQ(s.render(), 0);
    return s.output();
}

}  // namespace qm::khd::test
