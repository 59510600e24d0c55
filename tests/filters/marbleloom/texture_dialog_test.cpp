// Marbleloom 3D's dialog run headless with the built plug-in's resources,
// on pattern folders of the test's own: the factory preset it opens with,
// the reset and scaling buttons, the pattern viewer and editor with their
// keys, the eyedropper, the random generators and adding a pattern.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "filters/marbleloom/texture_session.h"
#include "filters/marbleloom/texture_settings.h"
#include "framework/host/filter_description.h"
#include "framework/host/filter_session.h"
#include "framework/settings/record.h"
#include "platform/pluginapi/pluginapi.h"
#include "tests/support/dialog_run.h"

using namespace qm;
using namespace qm::marbleloom;

namespace {

constexpr const char* kKey = "Software\\Quillmere\\Marbleloom3d";
constexpr uint32_t kPasta = 0x911145B9, kStainedGlass = 0xD62AF1B5, kGoldenOrbs = 0x6E6F47FA, kRedHair = 0x5C684E56;

PatternFolders& testFolders() {
    static PatternFolders folders;
    return folders;
}

// The filter, its session opened on the test's pattern folders.
const fw::FilterDescription& filterOnTestFolders() {
    static const fw::FilterDescription filter = [] {
        fw::FilterDescription f = fw::filterDescription();
        f.beginSession = [](fw::FilterSession& session) -> std::unique_ptr<fw::FilterData> {
            return openTextureSession(session, *session.resources, testFolders());
        };
        return f;
    }();
    return filter;
}

std::string click(int x, int y, const char* button = "left") {
    return std::string("click ") + button + " " + std::to_string(x) + " " + std::to_string(y) + "\n";
}

// Inside each button; the groups' rows by layer (1, 2, 3, base).
constexpr int kGroupTop[4] = {229, 139, 49, 319};
const std::string kIncrease = click(624, 562), kDecrease = click(624, 577), kResetAll = click(738, 569),
                  kRandomSettings = click(654, 569), kRandomPatterns = click(680, 569), kAdd = click(656, 315),
                  kUndo = click(776, 569), kImport = click(734, 315), kExport = click(760, 315);
std::string selector(int layer) { return click(618, kGroupTop[layer - 1] + 54); }
std::string eyedropper(int layer) { return click(685, kGroupTop[layer - 1] + 62); }
std::string layerReset(int layer) { return click(801, kGroupTop[layer - 1] + 5); }
// The viewer's cell of an order position on the first page, in the dialog.
std::string cell(int position, const char* button = "left") {
    return click(27 + 2 + position % 12 * 46 + 23, 65 + 2 + position / 12 * 46 + 23, button);
}

int slotOf(int k, int offset) { return k == 0 ? base::kPattern + offset : layer::first(k) + offset; }

class TextureDialogRun : public test::DialogRun {
protected:
    TextureDialogRun() : DialogRun(filterOnTestFolders(), "Marbleloom3d.8bf", kKey) {}
    void SetUp() override {
        DialogRun::SetUp();
        std::filesystem::create_directories(folder / "plugin");
        testFolders() = {(folder / "plugin").string() + "/", (folder / "shared").string() + "/"};
    }
    void TearDown() override {
        DialogRun::TearDown();
        std::filesystem::remove_all(folder);
    }

    fw::ValueSlots appliedSlots() const {
        fw::ValueSlots slots{};
        fw::unpackFields(applied().data(), filterOnTestFolders().format, slots);
        return slots;
    }
    int32_t at(const fw::ValueSlots& v, int slot) const { return v[static_cast<size_t>(slot)]; }
    uint32_t pattern(const fw::ValueSlots& v, int k) const {
        return static_cast<uint32_t>(at(v, k == 0 ? base::kPattern : layer::first(k)));
    }
};

TEST_F(TextureDialogRun, OpensOnPreset1WithItsFourPatternsAndLayer3Hidden) {
    ASSERT_EQ(run("key enter\n"), noErr);
    EXPECT_TRUE(created);
    const fw::ValueSlots v = appliedSlots();
    EXPECT_EQ((std::vector<uint32_t>{pattern(v, 0), pattern(v, 1), pattern(v, 2), pattern(v, 3)}),
              (std::vector<uint32_t>{kPasta, kStainedGlass, kGoldenOrbs, kRedHair}));
    EXPECT_EQ((std::vector<int32_t>{at(v, base::kVisible), at(v, slotOf(1, layer::kVisible)),
                                    at(v, slotOf(2, layer::kVisible)), at(v, slotOf(3, layer::kVisible))}),
              (std::vector<int32_t>{2, 2, 2, 0}));
    EXPECT_EQ(at(v, kRelief), 3741);
    EXPECT_EQ(at(v, slotOf(1, layer::kColour)), static_cast<int32_t>(colourWord(107, 104, 90, kFixed)));
}

TEST_F(TextureDialogRun, ResetsLeaveWhatHasNoDefaultAndScalingStepsOnlyVisibleLayers) {
    ASSERT_EQ(run("key enter\n"), noErr);
    const fw::ValueSlots preset = appliedSlots();

    ASSERT_EQ(run(kResetAll + "key enter\n"), noErr);
    fw::ValueSlots expected = preset;
    resetAll(expected);
    EXPECT_EQ(appliedSlots(), expected);
    // What Reset All leaves: rotations, visibilities, colours, widths, patterns.
    for (int k = 0; k <= 3; ++k) {
        SCOPED_TRACE(k);
        for (int offset : {layer::kPattern, layer::kRotation})
            EXPECT_EQ(at(appliedSlots(), slotOf(k, offset)), at(preset, slotOf(k, offset)));
        if (k == 0) continue;
        for (int offset : {layer::kVisible, layer::kColour, layer::kWidth})
            EXPECT_EQ(at(appliedSlots(), slotOf(k, offset)), at(preset, slotOf(k, offset)));
    }
    EXPECT_EQ(at(appliedSlots(), slotOf(2, layer::kHue)), 50);  // 46 in the preset

    // Layer 2's own reset: its hue and saturation, nothing of layer 1's.
    ASSERT_EQ(run(layerReset(2) + "key enter\n"), noErr);
    expected = preset;
    resetLayer(expected, 2);
    EXPECT_EQ(appliedSlots(), expected);
    EXPECT_EQ(at(appliedSlots(), slotOf(2, layer::kSaturation)), 50);
    EXPECT_EQ(at(appliedSlots(), base::kSaturation), 91);

    // Two steps up, one down: +5 on the base and layers 1 and 2; layer 3 is hidden.
    ASSERT_EQ(run(kIncrease + kIncrease + kDecrease + "key enter\n"), noErr);
    const fw::ValueSlots scaled = appliedSlots();
    EXPECT_EQ((std::vector<int32_t>{at(scaled, base::kScaling), at(scaled, slotOf(1, layer::kScaling)),
                                    at(scaled, slotOf(2, layer::kScaling)), at(scaled, slotOf(3, layer::kScaling))}),
              (std::vector<int32_t>{55, 55, 55, 50}));
}

TEST_F(TextureDialogRun, TheViewerChoosesForTheLayerOfItsSelectorAndTakesEnterForItself) {
    // Pasta is position 2 of the first page.
    ASSERT_EQ(run(selector(1) + cell(2) + "key enter\n"), noErr);
    EXPECT_EQ(pattern(appliedSlots(), 1), kPasta);
    ASSERT_EQ(run(selector(2) + cell(2) + "key enter\n"), noErr);
    EXPECT_EQ(pattern(appliedSlots(), 2), kPasta);
    EXPECT_EQ(pattern(appliedSlots(), 1), kStainedGlass);

    // Enter in the viewer closes it and changes nothing; the next one applies.
    ASSERT_EQ(run(selector(1) + "key enter\n" + "key enter\n"), noErr);
    EXPECT_EQ(pattern(appliedSlots(), 1), kStainedGlass);
    // A click beside the patterns and a second selector press close it too.
    ASSERT_EQ(run(selector(1) + click(10, 30) + cell(2) + "key enter\n"), noErr);
    EXPECT_EQ(pattern(appliedSlots(), 1), kStainedGlass);
    ASSERT_EQ(run(selector(3) + selector(3) + cell(2) + "key enter\n"), noErr);
    EXPECT_EQ(pattern(appliedSlots(), 3), kRedHair);
    // A setting changed while the viewer is open closes it first.
    ASSERT_EQ(run(selector(1) + kResetAll + cell(2) + "key enter\n"), noErr);
    EXPECT_EQ(pattern(appliedSlots(), 1), kStainedGlass);
    // Undo does nothing while the viewer is open.
    ASSERT_EQ(run(kResetAll + selector(1) + kUndo + "key enter\nkey enter\n"), noErr);
    EXPECT_EQ(at(appliedSlots(), slotOf(2, layer::kHue)), 50);
    ASSERT_EQ(run(kResetAll + kUndo + "key enter\n"), noErr);
    EXPECT_EQ(at(appliedSlots(), slotOf(2, layer::kHue)), 46);
}

TEST_F(TextureDialogRun, TheEditorOpensOnARightClickAndEscapeGoesBackToTheViewer) {
    // Editor, Escape to the viewer, Enter closes the viewer, Enter applies.
    EXPECT_EQ(run(selector(1) + cell(2, "right") + "key escape\nkey enter\nkey enter\n"), noErr);
    // Without the editor the first Escape would have cancelled.
    EXPECT_EQ(run(selector(1) + "key escape\n"), userCanceledErr);
    // "default raw" (position 0) has no identity: no editor, Escape cancels.
    EXPECT_EQ(run(selector(1) + cell(0, "right") + "key escape\n"), userCanceledErr);
    // Enter in the editor applies.
    EXPECT_EQ(run(selector(1) + cell(2, "right") + "key enter\n"), noErr);
}

TEST_F(TextureDialogRun, AddingTheEditedPatternWritesANewFileWithTheStreamsIdentity) {
    ASSERT_EQ(run(selector(1) + cell(2, "right") + kAdd + "key enter\nkey enter\n"), noErr);
    // Back in the viewer after the add: its Enter closed it first.
    const std::filesystem::path added = folder / "plugin" / "Pasta.8tx";
    ASSERT_TRUE(std::filesystem::exists(added)) << err;
    TextureSession* ts = textureSessionOf(host->session);
    ASSERT_NE(ts, nullptr);
    int found = 0;
    for (int i = 0; i < ts->library.count(); ++i)
        if (ts->library.entry(i).path == added.string()) {
            ++found;
            EXPECT_EQ(ts->library.entry(i).header.identity, kPasta);
        }
    EXPECT_EQ(found, 1);

    // With every file name of it taken the add is refused, said so, and the
    // editor stays open (its Escape goes back to the viewer).
    for (int n = 1; n <= 99; ++n) {
        const std::string name = "Pasta" + std::string(n < 10 ? "0" : "") + std::to_string(n) + ".8tx";
        std::ofstream(folder / "plugin" / name) << "";
    }
    ASSERT_EQ(run(selector(1) + cell(2, "right") + kAdd + "key enter\nkey escape\nkey enter\nkey enter\n"), noErr);
    EXPECT_EQ(shown("Error: The pattern could not be added to the collection"), 1u) << err;
    size_t files = 0;
    for (const auto& f : std::filesystem::directory_iterator(folder / "plugin")) files += f.is_regular_file();
    EXPECT_EQ(files, 4u + 1u + 99u);  // the factory files, the added one, the names taken
}

TEST_F(TextureDialogRun, AnExportedPatternImportedAndAddedKeepsItsIdentity) {
    const std::string exported = (folder / "out" / "Pasta.jpg").string();
    std::filesystem::create_directories(folder / "out");
    // Export from the editor: back in the viewer, whose Enter closes it.
    ASSERT_EQ(run(selector(1) + cell(2, "right") + "choose \"" + exported + "\"\n" + kExport + "key enter\nkey enter\n"),
              noErr);
    ASSERT_TRUE(std::filesystem::exists(exported)) << err;
    // Its folder is remembered for the next export, for the user and the machine.
    for (auto root : {os::registry::Root::CurrentUser, os::registry::Root::LocalMachine}) {
        char text[400] = {};
        uint32_t size = sizeof text;
        ASSERT_EQ(os::registry::queryValue(root, "Software\\Quillmere", "TexturesExportDir", nullptr,
                                           reinterpret_cast<uint8_t*>(text), &size),
                  0);
        EXPECT_EQ(std::string(text, size), (folder / "out").string() + "/");
    }
    // Import it, add it: the name box took the file's name, the identity is
    // the stream's, which export copied unchanged.
    ASSERT_EQ(run(selector(1) + cell(2, "right") + "choose \"" + exported + "\"\n" + kImport + kAdd +
                  "key enter\nkey enter\n"),
              noErr);
    EXPECT_EQ(shown("Warning"), 0u) << err;
    const std::filesystem::path added = folder / "plugin" / "Pasta.8tx";
    ASSERT_TRUE(std::filesystem::exists(added)) << err;
    TextureSession* ts = textureSessionOf(host->session);
    const int index = ts->library.findIdentity(kPasta);
    ASSERT_GE(index, 0);
    bool found = false;
    for (int i = 0; i < ts->library.count(); ++i)
        if (ts->library.entry(i).path == added.string()) found = ts->library.entry(i).header.identity == kPasta;
    EXPECT_TRUE(found);
}

TEST_F(TextureDialogRun, TheEyedropperPullsTheSourcePixelUnderThePointer) {
    // Layer 2's eyedropper, then layer 1's: only one stays on.
    ASSERT_EQ(run(eyedropper(2) + eyedropper(1) + click(105, 121) + "key enter\n"), noErr);
    // The preview holds the 600 x 400 image at 1:1 from the area's corner.
    const size_t i = (static_cast<size_t>(100) * 600 + 100) * 3;
    const uint8_t* p = host->in.data() + i;
    EXPECT_EQ(at(appliedSlots(), slotOf(1, layer::kColour)), static_cast<int32_t>(colourWord(p[0], p[1], p[2], kFixed)));
    EXPECT_EQ(at(appliedSlots(), slotOf(2, layer::kColour)), static_cast<int32_t>(colourWord(168, 166, 158, kFixed)));
    // Without an eyedropper a click in the preview changes nothing.
    ASSERT_EQ(run(click(105, 121) + "key enter\n"), noErr);
    EXPECT_EQ(at(appliedSlots(), slotOf(1, layer::kColour)), static_cast<int32_t>(colourWord(107, 104, 90, kFixed)));
}

TEST_F(TextureDialogRun, RandomButtonsChooseInstalledPatternsForVisibleLayers) {
    ASSERT_EQ(run(kRandomSettings + "key enter\n"), noErr);
    const fw::ValueSlots v = appliedSlots();
    TextureSession* ts = textureSessionOf(host->session);
    ASSERT_NE(ts, nullptr);
    EXPECT_EQ(at(v, slotOf(1, layer::kVisible)), 2);
    EXPECT_EQ(at(v, base::kVisible), 2);
    for (int k = 0; k <= 2; ++k) EXPECT_GE(ts->library.findIdentity(pattern(v, k)), 0) << k;
    EXPECT_GE(at(v, kRefract), 25);
    EXPECT_LE(at(v, kRefract), 40);
    // Random Patterns keeps the global values.
    ASSERT_EQ(run(kRandomPatterns + "key enter\n"), noErr);
    EXPECT_EQ(at(appliedSlots(), kRefract), 38);
    EXPECT_EQ(at(appliedSlots(), slotOf(3, layer::kPattern)), static_cast<int32_t>(kRedHair));  // hidden
}

}  // namespace
