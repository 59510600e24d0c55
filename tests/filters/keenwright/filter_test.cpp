// Keenwright through the framework's render loop: whole images in the final
// pass (the host's buffers and the working buffers sized exactly, so the
// sanitizer sees any read outside the region) and the dialog's preview.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <memory>
#include <vector>

#include "filters/keenwright/keenwright_filter.h"
#include "framework/host/filter_session.h"
#include "framework/host/preview_buffers.h"
#include "framework/host/render_loop.h"
#include "framework/host/render_state.h"
#include "framework/settings/record.h"
#include "tests/filters/quiet_dialog.h"
#include "tests/support/fake_host.h"
#include "tests/support/setting_table_checks.h"

using namespace qm;
using namespace qm::keenwright;

namespace {

const fw::FilterDescription& filter() { return fw::filterDescription(); }

struct Values {
    int radius = 75, preview = 2, amount = 60, mask = 2, blur = 0, halo = 2, balance = 0;
    fw::ValueSlots slots() const {
        fw::ValueSlots s{};
        s[kRadius] = radius;
        s[kPreview] = preview;
        s[kAmount] = amount;
        s[kMask] = mask;
        s[kBlur] = blur;
        s[kHalo] = halo;
        s[kBalance] = balance;
        return s;
    }
};

// An interleaved image as the host hands it over: samples 0..255 at 8 bits,
// 0..32768 at 16 bits (low byte first).
struct Image {
    Image(int w, int h, int p, bool sixteen) : width(w), height(h), planes(p), sixteenBit(sixteen) {
        data.assign(rowBytes() * static_cast<size_t>(h), 0);
    }
    size_t rowBytes() const {
        return static_cast<size_t>(width) * static_cast<size_t>(planes) * (sixteenBit ? 2u : 1u);
    }
    size_t at(int x, int y, int c) const {
        return static_cast<size_t>(y) * rowBytes() +
               (static_cast<size_t>(x) * static_cast<size_t>(planes) + static_cast<size_t>(c)) *
                   (sixteenBit ? 2u : 1u);
    }
    int32_t get(int x, int y, int c) const {
        const size_t i = at(x, y, c);
        return sixteenBit ? data[i] | data[i + 1] << 8 : data[i];
    }
    void set(int x, int y, int c, int32_t v) {
        const size_t i = at(x, y, c);
        data[i] = static_cast<uint8_t>(v);
        if (sixteenBit) data[i + 1] = static_cast<uint8_t>(v >> 8);
    }
    int width, height, planes;
    bool sixteenBit;
    std::vector<uint8_t> data;
};

// A grey-free pattern of blocks with noise, full scale at 16 bits.
Image textured(int w, int h, int planes, bool sixteen, uint32_t seed = 7) {
    Image img(w, h, planes, sixteen);
    uint32_t s = seed;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < planes; ++c) {
                s = s * 1664525u + 1013904223u;
                const int base = ((x / 6 + y / 4 + c * 3) % 5) * 50 + 20;
                const int v8 = std::clamp(base + static_cast<int>(s >> 28) - 8, 0, 255);
                img.set(x, y, c, sixteen ? v8 * 128 + static_cast<int>((s >> 20) & 127) : v8);
            }
    return img;
}

Image uniform(int w, int h, int planes, bool sixteen, int32_t value) {
    Image img(w, h, planes, sixteen);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < planes; ++c) img.set(x, y, c, value);
    return img;
}

struct Result {
    Image output;
    std::vector<uint8_t> mask;  // the filter's mask buffer
};

// The final pass of one filter session over the image.
Result renderFinal(const Image& in, const Values& values, const std::vector<uint8_t>* selection = nullptr,
                   double previewScale = 1.0) {
    test::FakeHost host(filter(), {in.width, in.height, in.planes, in.sixteenBit, selection != nullptr});
    std::copy(in.data.begin(), in.data.end(), host.in.begin());
    if (selection) std::copy(selection->begin(), selection->end(), host.mask.begin());
    EXPECT_EQ(host.open(), noErr);
    fw::libraryState().previewScale = previewScale;
    EXPECT_TRUE(host.state().allocateWorkingBuffers(static_cast<size_t>(in.width) * static_cast<size_t>(in.height)));
    EXPECT_EQ(host.renderSlots(values.slots()), noErr);
    Result result{Image(in.width, in.height, in.planes, in.sixteenBit), host.state().maskBuffer};
    result.output.data = host.out;
    return result;
}

}  // namespace

TEST(KeenwrightFilter, DescribesItself) {
    const fw::FilterDescription& f = filter();
    EXPECT_STREQ(f.name, "Keenwright");
    EXPECT_EQ(f.format.id, 24);
    EXPECT_EQ(f.format.version, 2);
    EXPECT_EQ(f.format.length, 64);
    EXPECT_STREQ(f.registryKey, "Software\\Quillmere\\Keenwright");
    EXPECT_EQ(f.defaultPosition, 2);
    EXPECT_EQ(f.passCount, 4);
    EXPECT_TRUE(f.variant.keepsSettings);
    EXPECT_STREQ(f.variant.modeMessage, "Please use images in RGB 8 Bits/Channel mode");
    EXPECT_EQ(f.upgradeRecord, &upgradeVersion1Record);

    // The fields sit from bit 48 in the order Radius 8, Preview 2, Amount 8,
    // Mask 4, Blur 4, Halo 4, Balance 8, up to bit 85.
    uint8_t record[64] = {};
    fw::ValueSlots slots{};
    slots[kBalance] = 0x80;  // its top bit is bit 85
    fw::packFields(record, f.format, slots);
    EXPECT_EQ(record[10], 0x04);
    slots = {};
    slots[kPreview] = 2;  // bit 57
    fw::packFields(record, f.format, slots);
    EXPECT_EQ(record[7], 0x40);
    EXPECT_EQ(record[10], 0);
}

TEST(KeenwrightFilter, BudgetReachAndStepsFromSettingsAndView) {
    using Kind = fw::SourceView::Kind;
    const struct {
        const char* what;
        int radius, blur;
        Kind kind;
        int zoom;
        double previewScale;
        int budget, reach, q;
    } cases[] = {
        {"fit, DEFAULT", 75, 0, Kind::Fit, 100, 2.5, 62, 450, 37},
        {"fit, Blur 2", 75, 2, Kind::Fit, 100, 2.5, 62, 451, 37},
        {"fit, Radius 0", 0, 0, Kind::Fit, 100, 1, 0, 450, 37},
        {"fit, Radius 150", 150, 0, Kind::Fit, 100, 1, 250, 450, 37},
        {"fit, Radius 80", 80, 0, Kind::Fit, 100, 1, 71, 450, 37},
        {"whole image", 75, 0, Kind::Final, 100, 1600.0 / 900, 110, 800, 66},
        {"whole image, scale 5", 75, 0, Kind::Final, 100, 5, 310, 2250, 187},
        {"zoom 100", 75, 0, Kind::Zoom, 100, 2, 124, 900, 75},
        {"zoom 200", 75, 0, Kind::Zoom, 200, 2, 248, 1800, 150},
        {"zoom 50", 75, 0, Kind::Zoom, 50, 2, 62, 450, 37},
    };
    for (const auto& c : cases) {
        Values v;
        v.radius = c.radius;
        v.blur = c.blur;
        fw::SourceView view;
        view.kind = c.kind;
        view.zoom = c.zoom;
        const KernelInputs in = kernelInputsFor(limitedSettings(v.slots()), view, c.previewScale, 10, 10);
        EXPECT_EQ(in.budget, c.budget) << c.what;
        EXPECT_EQ(in.reach, c.reach) << c.what;
        EXPECT_EQ(stepCount(in.reach), c.q) << c.what;
    }
}

TEST(KeenwrightFilter, SmoothingIsRecomputedWhenItsInputsOrTheViewChange) {
    SharpenKernel kernel;
    KernelInputs base;
    base.reach = 450;
    base.budget = 62;
    base.halo = 2;
    base.width = 40;
    base.height = 30;
    kernel.prepare(base);
    EXPECT_TRUE(kernel.dirty());  // the first preparation
    kernel.clearDirty();
    kernel.prepare(base);
    EXPECT_FALSE(kernel.dirty());

    const struct {
        const char* what;
        void (*change)(KernelInputs&);
    } changes[] = {
        {"reach", [](KernelInputs& i) { i.reach = 451; }},
        {"budget", [](KernelInputs& i) { i.budget = 61; }},
        {"halo", [](KernelInputs& i) { i.halo = 0; }},
        {"width", [](KernelInputs& i) { i.width = 41; }},
        {"height", [](KernelInputs& i) { i.height = 29; }},
        {"from Fit to a zoom", [](KernelInputs& i) { i.viewKind = 2; }},
        {"zoom", [](KernelInputs& i) { i.zoom = 200; }},
        {"navigator", [](KernelInputs& i) { i.offX = 5; }},
    };
    for (const auto& c : changes) {
        kernel.prepare(base);
        kernel.clearDirty();
        KernelInputs changed = base;
        c.change(changed);
        kernel.prepare(changed);
        EXPECT_TRUE(kernel.dirty()) << c.what;
    }

    // Every filter session starts dirty: its working buffers are new.
    fw::FilterSession session;
    session.data = filter().beginSession(session);
    ASSERT_TRUE(session.data);
    EXPECT_TRUE(sharpenSessionOf(session).kernel.dirty());
}

TEST(KeenwrightFilter, UniformImagesRenderUnchangedAtEveryBorder) {
    // q = 37 at scale 1: every pixel of the small images lies in the border
    // band; 90 x 80 has an interior too.
    const struct {
        int w, h, planes;
        bool sixteen;
    } cases[] = {
        {1, 1, 3, false}, {2, 2, 3, false}, {3, 50, 3, false}, {50, 3, 4, false},
        {90, 80, 3, false}, {2, 2, 3, true}, {3, 50, 4, true}, {90, 80, 3, true},
    };
    for (const auto& c : cases) {
        const Image in = uniform(c.w, c.h, c.planes, c.sixteen, c.sixteen ? 20000 : 150);
        const Result r = renderFinal(in, Values{});
        EXPECT_EQ(r.output.data, in.data) << c.w << "x" << c.h;
        const size_t pixels = static_cast<size_t>(c.w) * static_cast<size_t>(c.h);
        EXPECT_EQ(std::count(r.mask.begin(), r.mask.begin() + static_cast<std::ptrdiff_t>(pixels), 7),
                  static_cast<std::ptrdiff_t>(pixels))
            << c.w << "x" << c.h;
    }
    // Detailed images of the same sizes render within the region (the
    // sanitizer build checks the reads) and keep their transparency.
    for (const auto& c : cases) {
        const Image in = textured(c.w, c.h, c.planes, c.sixteen);
        const Result r = renderFinal(in, Values{});
        for (int y = 0; y < c.h; ++y)
            for (int x = 0; x < c.w; ++x) {
                for (int ch = 0; ch < 3; ++ch) ASSERT_LE(r.output.get(x, y, ch), c.sixteen ? 32767 : 255);
                if (c.planes == 4) {
                    ASSERT_EQ(r.output.get(x, y, 3), in.get(x, y, 3));
                }
            }
    }
}

TEST(KeenwrightFilter, AmountZeroGivesTheInputBackWithinOneUnit) {
    Values v;
    v.amount = 0;
    for (bool sixteen : {false, true}) {
        const Image in = textured(60, 45, 3, sixteen);
        const Result r = renderFinal(in, v);
        for (int y = 0; y < in.height; ++y)
            for (int x = 0; x < in.width; ++x)
                for (int c = 0; c < 3; ++c) {
                    const int32_t d = in.get(x, y, c) - r.output.get(x, y, c);
                    ASSERT_TRUE(d == 0 || d == 1) << x << "," << y << " " << sixteen;
                }
    }
}

TEST(KeenwrightFilter, SharpensASoftEdgeWithoutShiftingGreys) {
    // A grey ramp from 60 to 190 across columns 40..49.
    Image in(100, 24, 3, false);
    for (int y = 0; y < in.height; ++y)
        for (int x = 0; x < in.width; ++x)
            for (int c = 0; c < 3; ++c) in.set(x, y, c, x < 40 ? 60 : x >= 50 ? 190 : 60 + (x - 40) * 13);
    const Result r = renderFinal(in, Values{});
    for (int y = 0; y < in.height; ++y) {
        for (int x = 0; x < in.width; ++x) {
            ASSERT_EQ(r.output.get(x, y, 0), r.output.get(x, y, 1)) << x << "," << y;
            ASSERT_EQ(r.output.get(x, y, 0), r.output.get(x, y, 2)) << x << "," << y;
        }
        // Darker just before the edge, brighter just after it, steeper across.
        EXPECT_LT(r.output.get(38, y, 0), 60);
        EXPECT_GT(r.output.get(51, y, 0), 190);
        EXPECT_GT(r.output.get(47, y, 0) - r.output.get(42, y, 0), in.get(47, y, 0) - in.get(42, y, 0));
    }
}

TEST(KeenwrightFilter, SelectionBlendsWithTheSource) {
    const Image in = textured(48, 40, 3, true);
    const Result full = renderFinal(in, Values{});
    ASSERT_NE(full.output.data, in.data);
    for (int s : {0, 1, 128, 254, 255}) {
        const std::vector<uint8_t> selection(48 * 40, static_cast<uint8_t>(s));
        const Result r = renderFinal(in, Values{}, &selection);
        int wrong = 0;
        for (int y = 0; y < in.height; ++y)
            for (int x = 0; x < in.width; ++x)
                for (int c = 0; c < 3; ++c) {
                    const int32_t want = ((255 - s) * in.get(x, y, c) + s * full.output.get(x, y, c)) / 255;
                    if (r.output.get(x, y, c) != want) ++wrong;
                }
        EXPECT_EQ(wrong, 0) << "selection " << s;
        if (s == 0) {
            EXPECT_EQ(r.output.data, in.data);
        }
    }
}

TEST(KeenwrightFilter, EightAndSixteenBitOutputsAgree) {
    // The same 15-bit values from an 8-bit and a 16-bit image (sample x 128):
    // the 8-bit output is the 16-bit one / 128, transparency included.
    const Image in8 = textured(70, 50, 4, false);
    Image in16(70, 50, 4, true);
    for (int y = 0; y < 50; ++y)
        for (int x = 0; x < 70; ++x)
            for (int c = 0; c < 4; ++c) in16.set(x, y, c, in8.get(x, y, c) * 128);
    const Result r8 = renderFinal(in8, Values{});
    const Result r16 = renderFinal(in16, Values{});
    int lowBits = 0, wrong = 0;
    for (int y = 0; y < 50; ++y)
        for (int x = 0; x < 70; ++x)
            for (int c = 0; c < 4; ++c) {
                const int32_t v16 = r16.output.get(x, y, c);
                if (v16 > 32767 || r8.output.get(x, y, c) != v16 / 128) ++wrong;
                if (v16 % 128 != 0) ++lowBits;
            }
    EXPECT_EQ(wrong, 0);
    EXPECT_GT(lowBits, 0);  // 16-bit output is not rounded to 8 bits
    EXPECT_NE(r8.output.data, in8.data);
}

TEST(KeenwrightFilter, RecordValuesBeyondTheControlsAreLimited) {
    const Image in = textured(80, 60, 3, false);
    Values beyond;
    beyond.radius = 255;
    beyond.amount = 200;
    beyond.mask = 15;
    beyond.blur = 15;
    beyond.halo = 15;
    beyond.preview = 3;
    beyond.balance = 255;
    Values limits;  // what the sliders and selectors hold at most
    limits.radius = 150;
    limits.amount = 150;
    limits.mask = 2;
    limits.blur = 3;
    limits.halo = 2;
    const Result a = renderFinal(in, beyond);
    const Result b = renderFinal(in, limits);
    EXPECT_EQ(a.output.data, b.output.data);
    EXPECT_EQ(a.mask, b.mask);

    const Settings s = limitedSettings(beyond.slots());
    EXPECT_EQ(s.radius, 150);
    EXPECT_EQ(s.amount, 150);
    EXPECT_EQ(s.mask, 3);
    EXPECT_EQ(s.blur, 3);
    EXPECT_EQ(s.halo, 3);
    EXPECT_EQ(s.preview, 3);
    EXPECT_EQ(s.balance, 150);
}

TEST(KeenwrightFilter, SettingTableRoundTripsAndLimitsADamagedRecord) {
    test::expectTableRoundTrips(filter());
    test::expectDamagedRecordLimited(filter());
    // Its sliders start at 0 (style 0x04), Preview on.
    fw::ValueSlots initial{};
    fw::initialSlots(kSettings, initial);
    Values expected{0, 2, 0, 0, 0, 0, 0};
    EXPECT_EQ(initial, expected.slots());
}

TEST(KeenwrightFilter, VersionOneRecordsGetMaskAndHaloOn) {
    const fw::RecordFormat& format = filter().format;
    for (int bits : {0, 1, 15}) {
        Values old;
        old.mask = bits;
        old.halo = bits;
        old.radius = 33;
        old.amount = 44;
        old.blur = 2;
        old.balance = 99;
        uint8_t record[64] = {};
        fw::packFields(record, format, old.slots());
        fw::sealRecord(record, format, true);
        record[5] = 1;
        fw::setRecordInteger(record, 0, static_cast<int32_t>(fw::rollingChecksum(record + 4, 60)));

        upgradeVersion1Record(record);
        EXPECT_TRUE(fw::validateRecord(record, format)) << bits;
        EXPECT_EQ(record[5], 1);  // rewritten when the record is next stored
        EXPECT_TRUE(fw::isPinned(record, 64));
        fw::ValueSlots slots{};
        fw::unpackFields(record, format, slots);
        Values want = old;
        want.mask = 2;
        want.halo = 2;
        EXPECT_EQ(slots, want.slots()) << bits;
    }
    // A current record is left alone.
    uint8_t current[64] = {};
    Values off;
    off.mask = 0;
    off.halo = 0;
    fw::packFields(current, format, off.slots());
    fw::sealRecord(current, format, false);
    uint8_t copy[64];
    std::copy(current, current + 64, copy);
    upgradeVersion1Record(current);
    EXPECT_TRUE(std::equal(current, current + 64, copy));
}

// ---- the dialog's preview ---------------------------------------------------

namespace {

class Controls : public fw::SlotControls {
public:
    bool hasControl(int slot) const override { return values.count(slot) != 0; }
    int32_t getValue(int slot) const override { return values.at(slot); }
    void setValue(int slot, int32_t v) override { values[slot] = v; }
    std::map<int, int32_t> values;
};

using Dialog = qm::test::QuietDialog<Controls>;

struct PreviewFixture {
    PreviewFixture() : host(filter(), {50, 40}) {
        std::copy(img.data.begin(), img.data.end(), host.in.begin());
        EXPECT_EQ(host.open(), noErr);
        preview.allocate(600, 600, 3, false);
        preview.renderedWidth = 50;
        preview.renderedHeight = 40;
        preview.transferred = true;
        for (int y = 0; y < 40; ++y)
            std::copy_n(img.data.begin() + static_cast<std::ptrdiff_t>(img.rowBytes()) * y, img.rowBytes(),
                        preview.copy.begin() + 600 * 3 * y);
        state = &host.state();
        set(Values{});
    }
    void set(const Values& v) {
        const fw::ValueSlots s = v.slots();
        for (int slot : {kRadius, kPreview, kAmount, kMask, kBlur, kHalo, kBalance})
            dialog.knobs.values[slot] = s[static_cast<size_t>(slot)];
    }
    // The rendered region of the display.
    std::vector<uint8_t> shown() const {
        std::vector<uint8_t> out;
        for (int y = 0; y < 40; ++y)
            out.insert(out.end(), preview.display.begin() + 600 * 3 * y,
                       preview.display.begin() + 600 * 3 * y + 50 * 3);
        return out;
    }
    std::vector<uint8_t> copied() const {
        std::vector<uint8_t> out;
        for (int y = 0; y < 40; ++y)
            out.insert(out.end(), preview.copy.begin() + 600 * 3 * y, preview.copy.begin() + 600 * 3 * y + 50 * 3);
        return out;
    }
    const Image img = textured(50, 40, 3, false);  // the image, at scale 1 also the copy
    test::FakeHost host;
    fw::FilterSession& session = host.session;
    fw::PreviewBuffers preview;
    Dialog dialog;
    const fw::DialogScope open{session, &preview, &dialog};
    fw::RenderState* state = nullptr;
};

}  // namespace

TEST(KeenwrightPreview, PreviewOffShowsTheImageAndKeepsTheSmoothingDue) {
    PreviewFixture f;
    Values off;
    off.preview = 0;
    f.set(off);
    ASSERT_EQ(fw::render(*f.state), noErr);
    EXPECT_EQ(f.shown(), f.copied());
    EXPECT_TRUE(sharpenSessionOf(f.session).kernel.dirty());

    f.set(Values{});
    ASSERT_EQ(fw::render(*f.state), noErr);
    EXPECT_NE(f.shown(), f.copied());
    EXPECT_FALSE(sharpenSessionOf(f.session).kernel.dirty());
}

TEST(KeenwrightPreview, ChangingOnlyTheAmountReusesTheSmoothing) {
    PreviewFixture f;
    ASSERT_EQ(fw::render(*f.state), noErr);
    const std::vector<uint8_t> mask = f.state->maskBuffer;

    // A render that skips the smoothing leaves the mask buffer as it finds it.
    std::fill(f.state->maskBuffer.begin(), f.state->maskBuffer.end(), uint8_t{99});
    Values stronger;
    stronger.amount = 120;
    f.set(stronger);
    ASSERT_EQ(fw::render(*f.state), noErr);
    EXPECT_EQ(f.state->maskBuffer[0], 99);

    // The cached smoothing gives what a fresh one gives.
    PreviewFixture fresh;
    fresh.set(stronger);
    ASSERT_EQ(fw::render(*fresh.state), noErr);
    EXPECT_NE(fresh.state->maskBuffer[0], 99);
    std::copy(mask.begin(), mask.end(), f.state->maskBuffer.begin());
    f.state->history.forceRender = true;
    ASSERT_EQ(fw::render(*f.state), noErr);
    EXPECT_EQ(f.shown(), fresh.shown());

    // A new Radius changes the budget: the smoothing runs again.
    Values wider = stronger;
    wider.radius = 140;
    f.set(wider);
    std::fill(f.state->maskBuffer.begin(), f.state->maskBuffer.end(), uint8_t{99});
    ASSERT_EQ(fw::render(*f.state), noErr);
    EXPECT_NE(f.state->maskBuffer[0], 99);
}
