// The entry point of both framework variants, driven as a host drives it,
// with a small filter that copies its source.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstring>
#include <string>
#include <vector>

#include "framework/host/entry.h"
#include "framework/host/filter_session.h"
#include "framework/host/preview_geometry.h"
#include "framework/host/render_state.h"
#include "framework/settings/record.h"
#include "platform/os/registry.h"
#include "platform/pluginapi/pluginapi.h"

using namespace qm::fw;

namespace {

constexpr uint8_t kFields[] = {0, 8, 1, 8, 0xFF};
constexpr RecordFormat kFormat{99, 1, 64, fieldTableOf(kFields)};

// Two factory presets, made with the record code before the table is read.
uint8_t presetBytes[2][64];
const QmResource kPresetEntries[] = {
    {{nullptr, 2000}, {"DEFAULT", 0}, presetBytes[0], 64},
    {{nullptr, 2000}, {"ZERO", 0}, presetBytes[1], 64},
};
const bool presetsMade = [] {
    for (int i = 0; i < 2; ++i) {
        ValueSlots slots{};
        slots[0] = i == 0 ? 77 : 0;
        slots[1] = 5;
        packFields(presetBytes[i], kFormat, slots);
        sealRecord(presetBytes[i], kFormat, false);
    }
    return true;
}();

struct Calls {
    int renderPasses = 0;
    int abortQueries = 0;
    std::vector<int> passesAtAbort;  // renderPass calls made before each abort query
    std::vector<std::pair<int32_t, int32_t>> progress;
    bool abortAnswer = false;
    int32_t lastSlot0 = -1;
} calls;

int prepareCopy(RenderState& state) {
    calls.lastSlot0 = state.values[0];
    return 0;
}

// The last pass copies the source pixel.
void copyPixel(RenderState& state) {
    ++calls.renderPasses;
    if (state.pass != state.passCount - 1) return;
    const RenderRegion& r = state.region;
    const size_t bytes = static_cast<size_t>(r.planes) * (r.sourceSixteenBit ? 2 : 1);
    std::memcpy(r.destination + static_cast<size_t>(state.row) * static_cast<size_t>(r.destinationStride) +
                    static_cast<size_t>(state.column) * bytes,
                r.source + static_cast<size_t>(state.row) * static_cast<size_t>(r.sourceStride) +
                    static_cast<size_t>(state.column) * bytes,
                bytes);
}

FilterDescription laterFilter() {
    FilterDescription f{};
    f.name = "Entry Test";
    f.format = kFormat;
    f.registryKey = "Software\\Quillmere\\EntryTest";
    f.defaultPosition = 2;
    f.passCount = 4;
    f.variant = laterVariant("Please use images in RGB 8/16 mode");
    f.prepare = prepareCopy;
    f.renderPass = copyPixel;
    return f;
}

enum class Dialog { AfterParameters, EveryRun };

FilterDescription earlierFilter(int minimumSide, Dialog dialog) {
    FilterDescription f = laterFilter();
    f.passCount = 5;
    f.variant = earlierVariant(minimumSide, dialog == Dialog::EveryRun);
    return f;
}

Boolean testAbort() {
    calls.passesAtAbort.push_back(calls.renderPasses);
    ++calls.abortQueries;
    return calls.abortAnswer;
}

void testProgress(int32_t done, int32_t total) { calls.progress.push_back({done, total}); }

// A host's image and the record it hands over.
struct FakeHost {
    FakeHost(int32_t w, int32_t h, int16_t planes = 3, int16_t mode = RGBMode, int16_t filterCase = 1)
        : width(w), height(h) {
        fr.imageSize = {h, w};
        fr.planes = planes;
        fr.imageMode = mode;
        fr.filterCase = filterCase;
        fr.abortProc = testAbort;
        fr.progressProc = testProgress;
    }
    int16_t call(const FilterDescription& f, int16_t selector) {
        int16_t result = 12345;
        intptr_t data = 0;
        handleSelector(f, selector, &fr, &data, &result);
        return result;
    }
    // Buffers for the rectangles start asked for, 16 bytes of padding a row.
    void supplyBuffers() {
        const int planes = fr.inHiPlane - fr.inLoPlane + 1;
        const int32_t stride = width * planes + 16;
        in.resize(static_cast<size_t>(stride) * static_cast<size_t>(height));
        for (size_t i = 0; i < in.size(); ++i) in[i] = static_cast<uint8_t>(i * 7 + 3);
        out.assign(in.size(), 0);
        fr.inData = in.data();
        fr.outData = out.data();
        fr.inRowBytes = fr.outRowBytes = stride;
    }
    int16_t run(const FilterDescription& f) {
        int16_t r = call(f, filterSelectorPrepare);
        if (r == noErr) r = call(f, filterSelectorStart);
        if (r != noErr) return r;
        supplyBuffers();
        return call(f, filterSelectorContinue);
    }
    int32_t width, height;
    FilterRecord fr{};
    std::vector<uint8_t> in, out;
};

class EntryTest : public ::testing::Test {
protected:
    void SetUp() override {
        char folder[] = "/tmp/quillmere-entry-XXXXXX";
        ASSERT_NE(mkdtemp(folder), nullptr);
        setenv("QUILLMERE_REGISTRY", folder, 1);
        calls = Calls();
        libraryState() = LibraryState();
    }
    std::vector<uint8_t> lastUsed() {
        std::vector<uint8_t> data(64);
        uint32_t size = 64;
        if (qm::os::registry::queryValue(qm::os::registry::Root::CurrentUser,
                                         "Software\\Quillmere\\EntryTest", "Last Used", nullptr,
                                         data.data(), &size) != 0)
            return {};
        data.resize(size);
        return data;
    }
};

}  // namespace

extern "C" const QmResourceTable quillmere_resources = {QM_RESOURCE_TABLE_MAGIC, 2, kPresetEntries};

TEST_F(EntryTest, StartChecksPlanesModesAndAsksForTheWholeImage) {
    struct Case {
        const char* what;
        bool earlierVariant;
        int32_t w, h;
        int16_t planes, mode, filterCase;
        int16_t result;
        int hiPlane;
        const char* message;  // on stderr, or "" for none
    } cases[] = {
        {"rgb", false, 100, 80, 3, RGBMode, 1, noErr, 2, ""},
        {"rgb48", false, 100, 80, 3, RGB48Mode, 1, noErr, 2, ""},
        {"lab refused", false, 601, 80, 3, LabMode, 1, filterBadMode, 0,
         "Warning!: Please use images in RGB 8/16 mode\n"},
        {"600 wide passes any mode", false, 600, 80, 3, LabMode, 1, noErr, 2, ""},
        {"600 high passes any mode", false, 50, 600, 4, CMYKMode, 1, noErr, 3, ""},
        {"two planes", false, 100, 80, 2, RGBMode, 1, -1, 0, ""},
        {"transparency makes 4", false, 100, 80, 3, RGBMode, 4, noErr, 3, ""},
        {"transparency with selection", false, 100, 80, 3, RGBMode, 5, noErr, 3, ""},
        {"five planes become 4", false, 100, 80, 5, RGBMode, 1, noErr, 3, ""},
        {"earlier: no mode test", true, 100, 80, 3, LabMode, 1, noErr, 2, ""},
        {"earlier: too small", true, 24, 1000, 3, RGBMode, 1, userCanceledErr, 0,
         "Sorry,: Image size is too small\n"},
        {"earlier: size checked before planes", true, 10, 10, 1, RGBMode, 1, userCanceledErr, 0,
         "Sorry,: Image size is too small\n"},
        {"earlier: two planes", true, 30, 30, 2, RGBMode, 1, -1, 0, ""},
    };
    for (const Case& c : cases) {
        FilterDescription f = c.earlierVariant ? earlierFilter(25, Dialog::AfterParameters) : laterFilter();
        FakeHost host(c.w, c.h, c.planes, c.mode, c.filterCase);
        host.fr.haveMask = true;
        testing::internal::CaptureStderr();
        EXPECT_EQ(host.call(f, filterSelectorStart), c.result) << c.what;
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.message) << c.what;
        if (c.result != noErr) continue;
        EXPECT_EQ(host.fr.inRect.bottom, c.h) << c.what;
        EXPECT_EQ(host.fr.outRect.right, c.w) << c.what;
        EXPECT_EQ(host.fr.maskRect.right, c.w) << c.what;
        EXPECT_EQ(host.fr.inHiPlane, c.hiPlane) << c.what;
        EXPECT_EQ(host.fr.outHiPlane, c.hiPlane) << c.what;
        EXPECT_EQ(libraryState().sixteenBitMode, c.mode == RGB48Mode) << c.what;
    }
}

TEST(PreviewGeometry, LaterAndEarlierVariants) {
    struct Case {
        int32_t w, h;
        int width;
        double scale;
    } later[] = {
        {100, 100, 600, 1.0},        {3000, 1000, 900, 3000.0 / 900},
        {1000, 3000, 600, 5.0},      {700, 650, 644, 700.0 / 644},
        {1200, 800, 900, 1200.0 / 900}, {1, 1, 600, 1.0},
    };
    for (const Case& c : later) {
        PreviewGeometry g = laterPreviewGeometry(c.w, c.h);
        EXPECT_EQ(g.previewWidth, c.width) << c.w << "x" << c.h;
        EXPECT_DOUBLE_EQ(g.previewScale, c.scale) << c.w << "x" << c.h;
    }
    PreviewGeometry big = earlierPreviewGeometry(2400, 1200);
    EXPECT_DOUBLE_EQ(big.previewScale, 4.0);
    EXPECT_EQ(big.imageSizeFactor, 1024);
    PreviewGeometry small = earlierPreviewGeometry(300, 200);
    EXPECT_DOUBLE_EQ(small.previewScale, 1.0);
    EXPECT_EQ(small.imageSizeFactor, 512);
}

TEST_F(EntryTest, FinalPassProgressOfTheLaterVariant) {
    FakeHost host(1, 1000);
    ASSERT_EQ(host.run(laterFilter()), noErr);
    // Abort is first asked at row 31 of pass 0, then every 32 rows.
    ASSERT_FALSE(calls.passesAtAbort.empty());
    EXPECT_EQ(calls.passesAtAbort[0], 31);
    ASSERT_EQ(calls.progress.size(), 4u * 31);  // rows 31, 63, ... 991 in each pass
    // 0 -> 1000, then restarting at 125, 250 and 375.
    const int firstOfPass[] = {31, 125 + 875 * 31 / 1000, 250 + 750 * 31 / 1000, 375 + 625 * 31 / 1000};
    for (int p = 0; p < 4; ++p) {
        EXPECT_EQ(calls.progress[static_cast<size_t>(p) * 31].first, firstOfPass[p]) << p;
        EXPECT_EQ(calls.progress[static_cast<size_t>(p) * 31].second, 1000);
    }
    EXPECT_EQ(calls.progress[30].first, 991);
    // The copy is in outData and the rectangles tell the host it is done.
    for (int32_t y = 0; y < 1000; ++y)
        for (int c = 0; c < 3; ++c)
            ASSERT_EQ(host.out[static_cast<size_t>(y) * 19 + static_cast<size_t>(c)],
                      host.in[static_cast<size_t>(y) * 19 + static_cast<size_t>(c)]);
    EXPECT_EQ(host.fr.inRect.right, 0);
    EXPECT_EQ(host.fr.outRect.bottom, 0);
}

TEST_F(EntryTest, FinalPassProgressOfTheEarlierVariantIsOneSweep) {
    FakeHost host(1, 1000);
    ASSERT_EQ(host.run(earlierFilter(0, Dialog::AfterParameters)), noErr);
    ASSERT_EQ(calls.progress.size(), 5u * 31);
    EXPECT_EQ(calls.progress[0].first, 6);
    EXPECT_EQ(calls.progress[1].first, 12);
    EXPECT_EQ(calls.progress[2].first, 19);
    EXPECT_EQ(calls.progress.back().first, (4 * 1000 + 991) / 5);
    for (size_t i = 1; i < calls.progress.size(); ++i)
        EXPECT_GT(calls.progress[i].first, calls.progress[i - 1].first);
}

TEST_F(EntryTest, SuccessStoresLastUsedPinnedAndUsesItNextTime) {
    FakeHost first(4, 4);
    ASSERT_EQ(first.run(laterFilter()), noErr);
    EXPECT_EQ(calls.lastSlot0, 77);  // no Last Used yet: the default factory preset
    std::vector<uint8_t> stored = lastUsed();
    ASSERT_EQ(stored.size(), 64u);
    EXPECT_TRUE(validateRecord(stored.data(), kFormat));
    EXPECT_TRUE(isPinned(stored.data(), 64));

    // A changed Last Used is what the next run without parameters applies.
    ValueSlots slots{};
    slots[0] = 33;
    packFields(stored.data(), kFormat, slots);
    sealRecord(stored.data(), kFormat, true);
    qm::os::registry::setValue(qm::os::registry::Root::CurrentUser, "Software\\Quillmere\\EntryTest",
                               "Last Used", qm::os::registry::kTypeBinary, stored);
    FakeHost second(4, 4);
    ASSERT_EQ(second.run(laterFilter()), noErr);
    EXPECT_EQ(calls.lastSlot0, 33);
}

TEST_F(EntryTest, AbortCancelsAndStoresNothing) {
    calls.abortAnswer = true;
    FakeHost host(3, 100);
    EXPECT_EQ(host.run(laterFilter()), userCanceledErr);
    EXPECT_EQ(calls.passesAtAbort.size(), 1u);
    EXPECT_EQ(host.fr.inRect.bottom, 100);  // left set: the host discards the output
    EXPECT_TRUE(lastUsed().empty());
}

TEST_F(EntryTest, ADialogThatCannotBeCreatedCancels) {
    struct Case {
        FilterDescription filter;
        bool parameters;
        int16_t result;
    } cases[] = {
        {laterFilter(), true, userCanceledErr},
        {laterFilter(), false, noErr},
        {earlierFilter(0, Dialog::EveryRun), false, userCanceledErr},
        {earlierFilter(0, Dialog::AfterParameters), true, userCanceledErr},
        {earlierFilter(0, Dialog::AfterParameters), false, noErr},
    };
    for (const Case& c : cases) {
        calls = Calls();
        FakeHost host(8, 8);
        if (c.parameters) {
            ASSERT_EQ(host.call(c.filter, filterSelectorParameters), noErr);
        }
        testing::internal::CaptureStderr();
        EXPECT_EQ(host.run(c.filter), c.result);
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(err, c.result == noErr ? "" : ": E\n");
        // Nothing is rendered when the dialog fails.
        EXPECT_EQ(calls.renderPasses == 0, c.result != noErr);
    }
    // The earlier variant never stores Last Used; the later one did for its
    // successful run above.
    EXPECT_EQ(lastUsed().size(), 64u);
}

TEST_F(EntryTest, MissingHostBuffersAnswerMemFull) {
    FakeHost host(8, 8);
    ASSERT_EQ(host.call(laterFilter(), filterSelectorStart), noErr);
    EXPECT_EQ(host.call(laterFilter(), filterSelectorContinue), memFullErr);
    host.supplyBuffers();
    host.fr.haveMask = true;  // a mask promised but not given
    EXPECT_EQ(host.call(laterFilter(), filterSelectorContinue), memFullErr);
    EXPECT_EQ(calls.renderPasses, 0);
}

TEST_F(EntryTest, TinyImagesAndImpossibleBuffers) {
    FakeHost tiny(1, 1, 4, RGBMode, filterCaseEditableTransparencyNoSelection);
    ASSERT_EQ(tiny.run(laterFilter()), noErr);
    EXPECT_EQ(std::memcmp(tiny.out.data(), tiny.in.data(), 4), 0);

    // Working buffers that cannot exist answer false instead of throwing.
    FilterSession session;
    RenderState state(session, 4, 64);
    EXPECT_FALSE(state.allocateWorkingBuffers(SIZE_MAX / 2));
    EXPECT_TRUE(state.workBuffer.empty());
}

TEST_F(EntryTest, OtherSelectorsDoNothing) {
    FakeHost host(8, 8);
    for (int s : {0, 2, 5, 77})  // about, prepare, finish, unknown
        EXPECT_EQ(host.call(laterFilter(), static_cast<int16_t>(s)), noErr);
}
