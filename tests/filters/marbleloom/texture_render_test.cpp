// The texture renderer: its tables, and whole renderings through the
// framework's final pass.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>
#include <utility>
#include <vector>

#include "framework/host/preview_buffers.h"
#include "host/image.h"
#include "tests/filters/marbleloom/texture_harness.h"

namespace qm::marbleloom {
namespace {

using test::defaultSlots;
using test::presetSlots;
using test::TextureRun;

TEST(TextureTables, DefaultsSampleEveryPatternOneToOne) {
    fw::ValueSlots slots{};
    resetAll(slots);
    const TextureSettings s = decodeTextureSettings(slots);
    for (int factor : {1024, 512}) {
        const RenderTables t = makeRenderTables(s, {}, 600, 400, factor);
        EXPECT_EQ(t.lightX, 0);
        EXPECT_EQ(t.lightY, 0);
        EXPECT_EQ(t.kX, 0);
        EXPECT_EQ(t.kY, 0);
        for (const LayerGeometry& g : {t.geometry[0], t.geometry[1], t.geometry[2], t.baseGeometry}) {
            EXPECT_EQ(g.step, 65536);
            EXPECT_EQ(g.dX, 0);
            EXPECT_EQ(g.dY, 0);
            EXPECT_EQ(g.cos, 1024);
            EXPECT_EQ(g.sin, 0);
        }
    }
}

TEST(TextureTables, LayerGeometry) {
    const TextureSettings s = decodeTextureSettings([] {
        fw::ValueSlots v{};
        resetAll(v);
        return v;
    }());
    struct Case {
        int scaling, rotation;
        bool inputImage;
        int64_t step;
        int cos, sin;
    };
    for (const Case& c : {Case{75, 0, false, 32768, 1024, 0}, Case{0, 0, false, 262144, 1024, 0},
                          Case{100, 0, false, 16384, 1024, 0}, Case{50, 2, false, 65536, 0, 1024},
                          Case{50, 3, false, 65536, -724, 724}, Case{50, 4, false, 65536, -1024, 0},
                          // "Input Image" is never turned or scaled.
                          Case{75, 2, true, 65536, 1024, 0}}) {
        LayerSettings l;
        l.scaling = c.scaling;
        l.rotation = c.rotation;
        const LayerGeometry g = makeLayerGeometry(l, s, c.inputImage, 1024);
        EXPECT_EQ(g.step, c.step) << c.scaling;
        EXPECT_EQ(g.cos, c.cos) << c.rotation;
        EXPECT_EQ(g.sin, c.sin) << c.rotation;
    }
}

TEST(TextureTables, DisplacementRefractionAndLight) {
    fw::ValueSlots v{};
    resetAll(v);
    v[kRefract] = 40;                 // r = 30
    v[kDisplacement] = 20 * 128 + 30;  // dx0 = -5, dy0 = 5
    v[kRelief] = 29 * 128 + 21;        // (21, 29)
    v[kReliefSmoothness] = 5;          // q = 25
    v[base::kScaling] = 75;            // S = 32768
    const TextureSettings s = decodeTextureSettings(v);
    const RenderTables t = makeRenderTables(s, {}, 300, 200, 512);
    EXPECT_EQ(t.baseGeometry.dX, ((-5 + 30) * 32768 / 256) * 512 / 1024);
    EXPECT_EQ(t.baseGeometry.dY, ((5 + 30) * 32768 / 256) * 512 / 1024);
    EXPECT_EQ(t.kX, ((30 * -1048576 / 300) / 131) * 512 / 1024);
    EXPECT_EQ(t.kY, ((30 * -1048576 / 200) / 131) * 512 / 1024);
    EXPECT_EQ(t.lightX, -158);  // -(100^1.1) = -158.49
    EXPECT_EQ(t.lightY, 158);
}

TEST(TextureTables, ReliefKernel) {
    // Relief smoothness 5: a = 4, n = 4, three rings of eight pairs.
    const ReliefKernel k = makeReliefKernel(5);
    EXPECT_EQ(k.rings, 4);
    ASSERT_EQ(k.taps.size(), 24u);
    EXPECT_EQ(k.taps[0].dy, 0);  // d = 0 points along the columns
    EXPECT_EQ(k.taps[0].dx, 1);
    EXPECT_EQ(k.taps[8 + 4].dy, -2);  // ring 2, d = 4
    EXPECT_EQ(k.taps[8 + 4].dx, 0);
    EXPECT_EQ(k.taps[16 + 2].dy, -2);  // ring 3, d = 2: trunc(1000 cos 3pi/4) 3 / 1000
    EXPECT_EQ(k.taps[16 + 2].dx, 2);
    const double sigma = 2 * 0.3003866304256165;
    for (int j = 1; j <= 3; ++j) {
        const int c = static_cast<int>(1000 * std::exp(-(j - 1) * (j - 1) / (2 * sigma * sigma)) /
                                       std::sqrt(2 * std::numbers::pi * sigma));
        for (int d = 0; d < 8; ++d) {
            const ReliefTap& t = k.taps[static_cast<size_t>((j - 1) * 8 + d)];
            EXPECT_EQ(t.ring, c);
            EXPECT_EQ(t.first, d == 5 ? c : (d == 4 || d == 6) ? c / 2 : 0);
            EXPECT_EQ(t.second, d == 1 ? c : (d == 0 || d == 2) ? c / 2 : 0);
        }
    }
    EXPECT_GE(k.secondSum, 1);
    // Wider kernels for smoother relief.
    EXPECT_EQ(makeReliefKernel(50).rings, 27 / 5 + 4);
    EXPECT_EQ(makeReliefKernel(0).rings, 4);
}

TEST(TextureTables, ReliefInsideTheMarginAndInLanesIsTheClampedRelief) {
    // The bundled photograph's R + G + B, and maps smaller than the kernel,
    // for the narrowest and some wider kernels.
    host::Image photo;
    std::string error;
    ASSERT_TRUE(host::loadImage(std::string(QM_SOURCE_DIR) + "/samples/seeding.jpg", photo, error)) << error;
    for (const auto& [width, height] : {std::pair{320, 180}, std::pair{1, 1}, std::pair{7, 3}, std::pair{12, 40}})
        for (int smoothness : {0, 5, 40, 100}) {
            SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height) + " smoothness " +
                         std::to_string(smoothness));
            const ReliefKernel k = makeReliefKernel(smoothness);
            std::vector<uint16_t> luminance(static_cast<size_t>(width) * static_cast<size_t>(height));
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x) {
                    uint32_t sum = 0;
                    for (int c = 0; c < 3; ++c) sum += photo.sample(x * 5, y * 5, c);
                    luminance[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)] =
                        static_cast<uint16_t>(sum);
                }
            // And a copy with the full 16-bit range added in a corner, which
            // the lanes must hold as well.
            std::vector<uint16_t> extreme = luminance;
            uint32_t seed = 5;
            for (int y = 0; y < height / 2; ++y)
                for (int x = 0; x < width / 2; ++x) {
                    seed = seed * 1664525u + 1013904223u;
                    extreme[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)] =
                        static_cast<uint16_t>(seed >> 16);
                }
            for (const std::vector<uint16_t>* map : {&luminance, &extreme}) {
                int differing = 0;
                std::vector<ReliefCell> row(static_cast<size_t>(width));
                for (int y = 0; y < height; ++y) {
                    // The interior path, the whole row in lanes, and its texture sum.
                    const int64_t textures = reliefRow(k, map->data(), width, height, y, row.data());
                    int64_t plainTextures = 0;
                    for (int x = 0; x < width; ++x) {
                        const ReliefCell plain = reliefAt(k, map->data(), width, height, x, y, true);
                        plainTextures += plain.texture;
                        for (const ReliefCell& got :
                             {reliefAt(k, map->data(), width, height, x, y), row[static_cast<size_t>(x)]})
                            differing += got.texture != plain.texture || got.first != plain.first ||
                                         got.second != plain.second;
                    }
                    EXPECT_EQ(textures, plainTextures) << "row " << y;
                }
                EXPECT_EQ(differing, 0);
            }
        }
}

TEST(TextureTables, HsvOfEveryColourIsTheOneOfPlainDivisions) {
    int wrong = 0;
    for (int r = 0; r < 256; ++r)
        for (int g = 0; g < 256; ++g)
            for (int b = 0; b < 256; ++b) {
                const int mx = std::max({r, g, b}), mn = std::min({r, g, b}), d = mx - mn;
                Hsv plain;
                plain.v = mx;
                if (mx != 0 && d != 0) {
                    plain.s = d * 255 / mx;
                    if (r == mx)
                        plain.h = (mx - b) * 255 / d - (mx - g) * 255 / d;
                    else if (g == mx)
                        plain.h = (mx - r) * 255 / d - (mx - b) * 255 / d + 512;
                    else
                        plain.h = (mx - g) * 255 / d - (mx - r) * 255 / d + 1024;
                }
                const Hsv got = rgbToHsv(static_cast<uint8_t>(r), static_cast<uint8_t>(g), static_cast<uint8_t>(b));
                if ((got.h != plain.h || got.s != plain.s || got.v != plain.v) && ++wrong <= 3)
                    ADD_FAILURE() << r << "," << g << "," << b << ": " << got.h << " " << got.s << " instead of "
                                  << plain.h << " " << plain.s;
            }
}

TEST(TextureTables, CurvesAndSelection) {
    EXPECT_EQ(weightCurve()[0], 0);
    EXPECT_EQ(weightCurve()[100], 100 + ((10000 / 64) * 100 / 64) / 64);
    EXPECT_EQ(weightCurve()[2047], 2047 + ((2047 * 2047 / 64) * 2047 / 64) / 64);
    EXPECT_EQ(fourthRoots()[16], 2);
    EXPECT_EQ(fourthRoots()[15], 1);
    EXPECT_EQ(fourthRoots()[765], 5);
    // The reference colour itself is fully selected, whatever the width.
    for (int width : {0, 30, 100}) EXPECT_EQ(makeSelectionTable(width)[0], 255) << width;
    // Width 100: exponent 1, a quarter sine over the whole range.
    const SelectionTable wide = makeSelectionTable(100);
    for (int h : {100, 300, 500, 700}) {
        double t = std::sin(std::numbers::pi / 2 * (1 - h / 765.0));
        if (t < 0.5) t -= (0.5 - t) * 0.5;
        EXPECT_EQ(wide[static_cast<size_t>(h)], static_cast<int>(255 * std::max(t, 0.0))) << h;
    }
    // Narrower selections fall off sooner.
    EXPECT_LT(makeSelectionTable(20)[150], wide[150]);
    // Neutral brightness leaves values; the base's curve squares its term.
    const Curve neutral = makeBaseBrightnessCurve(50);
    for (int j : {0, 77, 255}) EXPECT_EQ(neutral[static_cast<size_t>(j)], j);
    EXPECT_EQ(makeBaseBrightnessCurve(0)[128], static_cast<int>(255 * std::pow(128 / 255.0, 16.0)));
    EXPECT_EQ(makeLayerBrightnessCurve(50, 100, 0)[128], static_cast<int>(255 * std::pow(128 / 255.0, 2.6)));
}

TEST(TextureTables, ProgressiveTablesGrowAndRestartOnTheirSetting) {
    fw::ValueSlots v{};
    resetAll(v);
    TextureSettings s = decodeTextureSettings(v);
    ProgressiveTables p;
    EXPECT_EQ(ProgressiveTables::rowsPerImageRow(600), 1);
    EXPECT_EQ(ProgressiveTables::rowsPerImageRow(100), 5);
    p.advance(s, 200);
    EXPECT_FALSE(p.shading.current());
    p.advance(s, 56);
    EXPECT_TRUE(p.shading.current());
    EXPECT_TRUE(p.value[0].current());
    // Shading: g = 2 (1 - j / 270), squared above 1.
    EXPECT_EQ(p.shading.at(128, 0), static_cast<int>(255 * std::pow(128 / 255.0, 4.0)));
    EXPECT_EQ(p.shading.at(128, 200), static_cast<int>(255 * std::pow(128 / 255.0, 2 * (1 - 200 / 270.0))));
    EXPECT_EQ(p.value[1].at(100, 255), 255);  // exponent 1 - 1 = 0
    s.layers[1].shapeness = 80;
    p.advance(s, 10);
    EXPECT_EQ(p.value[1].rowsDone, 10);
    EXPECT_TRUE(p.value[0].current());
    EXPECT_TRUE(p.shading.current());
}

TEST(TextureRender, HidingEveryLayerAndTheBaseGivesTheBackground) {
    TextureRun run(40, 30);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) run.set(x, y, static_cast<uint8_t>(x * 6), static_cast<uint8_t>(y * 8), 99);
    ASSERT_TRUE(run.open());
    fw::ValueSlots slots = defaultSlots();
    for (int k = 1; k <= 3; ++k) slots[static_cast<size_t>(layer::first(k) + layer::kVisible)] = 0;
    slots[base::kVisible] = 0;
    slots[kBackground] = static_cast<int32_t>(colourWord(12, 34, 56, kFixed));
    ASSERT_EQ(run.renderSlots(slots), noErr);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) {
            const uint8_t* p = run.outAt(x, y);
            ASSERT_EQ(p[0], 12);
            ASSERT_EQ(p[1], 34);
            ASSERT_EQ(p[2], 56);
        }
}

TEST(TextureRender, TransparentPixelsShowOnlyTheBackgroundAndStayTransparent) {
    TextureRun run(30, 30, 4);
    run.fill(128, 128, 128, 255);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 15; ++x) run.set(x, y, 128, 128, 128, 0);
    ASSERT_TRUE(run.open());
    fw::ValueSlots slots = defaultSlots();
    slots[base::kVisible] = 0;
    slots[kBackground] = static_cast<int32_t>(colourWord(200, 100, 50, kTransparent));
    ASSERT_EQ(run.renderSlots(slots), noErr);
    // Transparent half: layer weights 0, the background's colour, alpha 0.
    const uint8_t* left = run.outAt(5, 10);
    EXPECT_EQ(left[0], 200);
    EXPECT_EQ(left[1], 100);
    EXPECT_EQ(left[2], 50);
    EXPECT_EQ(left[3], 0);
    // Opaque half, on its reference colour: the layers show.
    const uint8_t* right = run.outAt(25, 10);
    EXPECT_GT(right[3], 0);
    EXPECT_NE(right[0], 200);
}

TEST(TextureRender, UnselectedPixelsShowOnlyTheBase) {
    TextureRun withMask(30, 30, 3, true), plain(30, 30);
    for (TextureRun* run : {&withMask, &plain}) {
        run->fill(128, 128, 128);
        ASSERT_TRUE(run->open());
    }
    std::fill(withMask.mask.begin(), withMask.mask.end(), 0);
    fw::ValueSlots slots = defaultSlots();
    ASSERT_EQ(withMask.renderSlots(slots), noErr);
    ASSERT_EQ(plain.renderSlots(slots), noErr);
    slots[layer::first(1) + layer::kVisible] = slots[layer::first(2) + layer::kVisible] =
        slots[layer::first(3) + layer::kVisible] = 0;
    TextureRun baseOnly(30, 30);
    baseOnly.fill(128, 128, 128);
    ASSERT_TRUE(baseOnly.open());
    ASSERT_EQ(baseOnly.renderSlots(slots), noErr);
    EXPECT_EQ(withMask.out, baseOnly.out);
    EXPECT_NE(plain.out, baseOnly.out);
}

TEST(TextureRender, FactoryPresetsRenderTheirPatternsIntoTheImage) {
    for (const char* preset : {"preset1", "preset2"}) {
        TextureRun run(160, 120);
        for (int y = 0; y < 120; ++y)
            for (int x = 0; x < 160; ++x)
                run.set(x, y, static_cast<uint8_t>(x + y), static_cast<uint8_t>(255 - x), static_cast<uint8_t>(y * 2));
        ASSERT_TRUE(run.open());
        const fw::ValueSlots slots = presetSlots(preset);
        ASSERT_EQ(run.renderSlots(slots), noErr) << preset;
        // The layers' patterns were found, not replaced by "default raw".
        for (int i = 0; i < 4; ++i) {
            ASSERT_NE(run.texture().slot(i).entry(), nullptr);
            EXPECT_TRUE(run.texture().slot(i).hasPixels()) << preset << " slot " << i;
        }
        EXPECT_EQ(run.texture().base.entry()->header.nameText(), std::string(preset) == "preset1" ? "Pasta" : "Brush");
        // A textured image: many colours, not the source.
        std::vector<bool> seen(1 << 15);
        int colours = 0;
        for (int y = 0; y < 120; ++y)
            for (int x = 0; x < 160; ++x) {
                const uint8_t* p = run.outAt(x, y);
                const size_t key = (p[0] >> 3) << 10 | (p[1] >> 3) << 5 | (p[2] >> 3);
                if (!seen[key]) ++colours, seen[key] = true;
            }
        EXPECT_GT(colours, 200) << preset;
        EXPECT_NE(run.out, run.in);
        // The same settings render the same image again.
        const std::vector<uint8_t> first = run.out;
        ASSERT_EQ(run.renderSlots(slots), noErr);
        EXPECT_EQ(run.out, first) << preset;
    }
}

TEST(TextureRender, MissingPatternsRenderAsDefaultRaw) {
    TextureRun run(30, 30);
    run.fill(128, 128, 128);
    ASSERT_TRUE(run.open());
    fw::ValueSlots slots = defaultSlots();
    slots[layer::first(1) + layer::kPattern] = 0x12345678;  // not installed
    ASSERT_EQ(run.renderSlots(slots), noErr);
    EXPECT_EQ(run.texture().layers[0].entry(), &run.texture().library.entry(0));
    EXPECT_FALSE(run.texture().layers[0].hasPixels());
}

TEST(TextureRender, InputImageIsTheHostImageAtTheFinalRendering) {
    TextureRun run(40, 40);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x) run.set(x, y, static_cast<uint8_t>(x * 6), static_cast<uint8_t>(y * 6), 80);
    ASSERT_TRUE(run.open());
    fw::ValueSlots slots = defaultSlots();
    slots[base::kPattern] = static_cast<int32_t>(kInputImageIdentity);
    ASSERT_EQ(run.renderSlots(slots), noErr);
    const PatternSlot& base = run.texture().base;
    EXPECT_EQ(base.pixels().data, run.in.data());
    EXPECT_EQ(base.pixels().width, 40);
    EXPECT_EQ(run.texture().library.entry(1).virtualState, 2);  // statistics taken
}

// The pattern editor shows the edited pattern at 1:1, tiled; the viewer
// renders nothing.
TEST(TextureRender, EditorAndViewerStates) {
    TextureRun run(20, 20);
    ASSERT_TRUE(run.open());
    TextureSession& ts = run.texture();
    std::vector<uint8_t> pattern(3 * 3 * 3);
    for (size_t i = 0; i < pattern.size(); ++i) pattern[i] = static_cast<uint8_t>(i * 9);
    PatternEntry entry;
    entry.header.identity = 77;
    entry.path = "x";  // a file entry without a file: no pixels of its own
    fw::PreviewBuffers preview;
    ASSERT_TRUE(preview.allocate(600, 600, 3, false));
    run.session.preview = &preview;
    run.state->region.source = run.in.data();
    run.state->region.destination = run.out.data();
    run.state->region.destinationStride = run.state->region.sourceStride = run.stride;
    run.state->region.width = run.state->region.height = 20;
    run.state->region.planes = 3;

    // Draws pass 0 of the editor with a 3 x 3 picture through a raw view.
    const PixelView view{pattern.data(), 3, 3, 3, 9};
    ts.view = DialogView::PatternEditor;
    auto renderAll = [&] {
        for (run.state->pass = 0; run.state->pass < 4; ++run.state->pass)
            for (run.state->row = 0; run.state->row < 20; ++run.state->row)
                for (run.state->column = 0; run.state->column < 20; ++run.state->column) renderTexturePass(*run.state);
    };
    ts.editor.load(run.texture().library.entry(1), SlotContext{true, view, view});
    renderAll();
    // Row 64 y, column 64 x with the quarter-pixel shift: (x, y) blends
    // pattern pixels (x - 1, y - 1) .. (x, y) at 3/4 weight for (x, y).
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x) {
            const Rgb expected = samplePattern(view, 64 * y, 64 * x);
            ASSERT_EQ(run.outAt(x, y)[0], expected.r);
            ASSERT_EQ(run.outAt(x, y)[2], expected.b);
        }
    EXPECT_EQ(samplePattern(view, 64 * 4, 64 * 4), samplePattern(view, 64, 64));  // tiled

    std::fill(run.out.begin(), run.out.end(), 7);
    ts.view = DialogView::PatternViewer;
    renderAll();
    EXPECT_TRUE(std::all_of(run.out.begin(), run.out.end(), [](uint8_t b) { return b == 7; }));
    run.session.preview = nullptr;
}

}  // namespace
}  // namespace qm::marbleloom
