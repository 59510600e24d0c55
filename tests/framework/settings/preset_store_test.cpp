// The preset store against a temporary registry, resource tables made here
// with the record code, and a fake host descriptor; then the preset compiler,
// in-process and through a plug-in built with compiled factory presets.
#include "framework/settings/preset_store.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <array>
#include <map>
#include <string>
#include <vector>

#include "framework/host/dialog_link.h"
#include "framework/host/filter_description.h"
#include "framework/host/filter_session.h"
#include "framework/host/start_settings.h"
#include "framework/host/render_state.h"
#include "framework/settings/record.h"
#include "platform/os/registry.h"
#include "platform/os/resources.h"
#include "platform/pluginapi/pluginapi.h"
#include "tools/presetc/preset_text.h"

using namespace qm::fw;
namespace reg = qm::os::registry;

namespace {

// KeenwrightHD's table.
constexpr uint8_t kFields[] = {0, 18, 1, 2, 7, 18, 8, 8, 9, 4, 10, 8, 0xFF};
constexpr RecordFormat kFormat{25, 1, 64, fieldTableOf(kFields)};
constexpr const char* kKey = "Software\\Quillmere\\StoreTest";

// KeenwrightHD's "DEFAULT" as it ships.
const std::vector<uint8_t> kHdDefault = [] {
    std::vector<uint8_t> r{0x3F, 0xCE, 0x0D, 0x01, 0x19, 0x01, 0x13,
                           0x4C, 0x11, 0x31, 0xE2, 0xF8, 0x13};
    r.resize(64, 0);
    return r;
}();

using Record = std::vector<uint8_t>;

// A sealed record telling itself apart by the value of slot 0.
Record makeRecord(int32_t marker, bool pinned = false, uint8_t version = 1, uint8_t id = 25) {
    Record r(64, 0);
    ValueSlots slots{};
    slots[0] = marker;
    slots[8] = 7;
    RecordFormat f = kFormat;
    f.version = version;
    f.id = id;
    packFields(r.data(), f, slots);
    sealRecord(r.data(), f, pinned);
    return r;
}

Record withBadCheckValue(Record r) {
    r[0] ^= 1;
    return r;
}

int32_t markerOf(const uint8_t* record) {
    ValueSlots slots{};
    unpackFields(record, kFormat, slots);
    return slots[0];
}

void putValue(const std::string& name, const Record& data, uint32_t type = reg::kTypeBinary) {
    ASSERT_EQ(reg::setValue(reg::Root::CurrentUser, kKey, name, type, data), reg::kSuccess);
}

// "Last Used" as the registry holds it; empty when missing.
Record lastUsed() {
    Record data(256);
    uint32_t size = 256;
    if (reg::queryValue(reg::Root::CurrentUser, kKey, kLastUsedName, nullptr, data.data(), &size) !=
        reg::kSuccess)
        return {};
    data.resize(size);
    return data;
}

// A module's resources: type-2000 presets (in the order given, which the
// directory sorts) and one resource of another type that is never a preset.
class Resources {
public:
    explicit Resources(std::vector<std::pair<std::string, Record>> presets)
        : presets_(std::move(presets)) {
        for (auto& [name, bytes] : presets_)
            entries_.push_back({{nullptr, kFactoryPresetType},
                                {name.c_str(), 0},
                                bytes.data(),
                                static_cast<uint32_t>(bytes.size())});
        entries_.push_back({{"PIPL", 0}, {"AAA", 0}, kHdDefault.data(), 64});
        table_ = {QM_RESOURCE_TABLE_MAGIC, static_cast<uint32_t>(entries_.size()), entries_.data()};
    }
    Resources(const Resources&) = delete;
    Resources& operator=(const Resources&) = delete;
    qm::os::ResourceModule module() const { return qm::os::ResourceModule(&table_); }

private:
    std::vector<std::pair<std::string, Record>> presets_;
    std::vector<QmResource> entries_;
    QmResourceTable table_{};
};

// KeenwrightHD's six factory presets, slot 0 numbering them 1 to 6 in
// directory order; listed here out of order.
std::vector<std::pair<std::string, Record>> hdPresets() {
    return {{"WARMHOUSE", makeRecord(5)},         {"DEFAULT", makeRecord(1)},
            {"X-NOISE_REDUCTION", makeRecord(6)}, {"HDRY", makeRecord(2)},
            {"SHARPENING", makeRecord(4)},        {"LANDSCAPE", makeRecord(3)}};
}

// ---- a host's descriptor procedures --------------------------------------

int oldDescriptor, newDescriptor;  // their addresses are the handles
Handle handleOf(int& object) { return reinterpret_cast<Handle>(&object); }

struct FakeDescriptors {
    struct Item {
        DescriptorKeyID key;
        int32_t value;
        OSErr error;  // what getIntegerProc answers
    };
    std::vector<Item> items;  // what the read descriptor hands out, in order
    size_t next = 0;
    std::vector<DescriptorKeyID> keyList;  // the keys the plug-in asked for
    int getKeyCalls = 0;
    std::vector<std::string> events;
    std::vector<std::pair<DescriptorKeyID, int32_t>> written;

    ReadDescriptorProcs read{};
    WriteDescriptorProcs write{};
    HandleProcs handles{};
    PIDescriptorParameters params{};
};
FakeDescriptors* fake = nullptr;

PIReadDescriptor openRead(PIDescriptorHandle descriptor, const DescriptorKeyID* keys) {
    fake->events.push_back(descriptor == handleOf(oldDescriptor) ? "open read" : "open read ?");
    for (int i = 0; i < 64 && keys[i] != 0; ++i) fake->keyList.push_back(keys[i]);
    fake->next = 0;
    return reinterpret_cast<PIReadDescriptor>(fake);
}
OSErr closeRead(PIReadDescriptor) {
    fake->events.push_back("close read");
    return noErr;
}
Boolean getKey(PIReadDescriptor, DescriptorKeyID* key, DescriptorTypeID* type, int32_t* flags) {
    ++fake->getKeyCalls;
    if (fake->next >= fake->items.size()) return false;
    const FakeDescriptors::Item& item = fake->items[fake->next++];
    *key = item.key;
    *type = item.error ? typeChar : typeInteger;
    *flags = 0;
    return true;
}
OSErr getInteger(PIReadDescriptor, int32_t* value) {
    const FakeDescriptors::Item& item = fake->items[fake->next - 1];
    if (item.error) return item.error;
    *value = item.value;
    return noErr;
}
PIWriteDescriptor openWrite() {
    fake->events.push_back("open write");
    return reinterpret_cast<PIWriteDescriptor>(fake);
}
OSErr putInteger(PIWriteDescriptor, DescriptorKeyID key, int32_t value) {
    fake->events.push_back("put");
    fake->written.push_back({key, value});
    return noErr;
}
OSErr closeWrite(PIWriteDescriptor, PIDescriptorHandle* descriptor) {
    fake->events.push_back("close write");
    *descriptor = handleOf(newDescriptor);
    return noErr;
}
void dispose(Handle h) {
    fake->events.push_back(h == handleOf(oldDescriptor) ? "dispose old" : "dispose ?");
}

// The integers of a record as a host hands them out.
std::vector<FakeDescriptors::Item> itemsOf(const Record& r, int count = 16) {
    std::vector<FakeDescriptors::Item> items;
    for (int i = 0; i < count; ++i)
        items.push_back(
            {kDescriptorKeyBase + static_cast<uint32_t>(i), recordInteger(r.data(), i), noErr});
    return items;
}

// ---- an open dialog --------------------------------------------------------

class FakeControls : public SlotControls {
public:
    std::map<int, int32_t> values;
    bool hasControl(int) const override { return true; }
    int32_t getValue(int slot) const override {
        auto it = values.find(slot);
        return it == values.end() ? 0 : it->second;
    }
    void setValue(int slot, int32_t value) override { values[slot] = value; }
};

class FakeDialog : public DialogLink {
public:
    FakeControls shown;
    int redraws = 0;
    SlotControls& controls() override { return shown; }
    bool pollMouse() override { return false; }
    void clearProgress() override {}
    void advanceProgress(int) override {}
    void startProgressTimer() override {}
    void restorePreviewToggleIfRequested() override {}
    void enableZoomButtons() override {}
    void redrawPreview() override {}
    void requestRedraw() override { ++redraws; }
};

class PresetStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        char folder[] = "/tmp/quillmere-presets-XXXXXX";
        ASSERT_NE(mkdtemp(folder), nullptr);
        setenv("QUILLMERE_REGISTRY", folder, 1);
        filter.format = kFormat;
        filter.registryKey = kKey;
        filter.defaultPosition = 6;
        session.filter = &filter;
        session.format = kFormat;
        session.registryKey = kKey;
        session.defaultPosition = 6;
        session.record = &fr;
        fake = &host;
    }
    void TearDown() override { fake = nullptr; }

    // The host offers a descriptor (the "old" handle) with these procedures.
    void attachHost(bool readProcs, bool writeProcs, int16_t playInfo = plugInDialogDontDisplay) {
        host.read = {0, 4, openRead, closeRead, getKey, getInteger};
        host.write = {0, 3, openWrite, closeWrite, putInteger};
        host.handles = {0, 1, dispose};
        host.params.playInfo = playInfo;
        host.params.recordInfo = 1;
        host.params.descriptor = handleOf(oldDescriptor);
        host.params.readDescriptorProcs = readProcs ? &host.read : nullptr;
        host.params.writeDescriptorProcs = writeProcs ? &host.write : nullptr;
        fr.descriptorParameters = &host.params;
        fr.handleProcs = &host.handles;
    }

    FilterDescription filter{};
    FilterRecord fr{};
    FilterSession session;
    FakeDescriptors host;
};

// ---- names -----------------------------------------------------------------

TEST(PresetNames, DisplayNameWalk) {
    const struct {
        const char* resource;
        const char* shown;
    } cases[] = {
        {"DEFAULT", "Default"},
        {"X-NOISE_REDUCTION", "X-Noise Reduction"},
        {"WOW!", "Wow!"},
        {"X__RAY_VISION", "XRay Vision"},  // "__" goes, the next letter is raised
        {"A___B", "A B"},                  // ... and the rules go on with it: a "_" left
        {"END__", "End"},                  // nothing follows the pair
        {"X-NOISE__REDUCTION", "X-NoiseReduction"},
        {"MK:II", "Mkii"},        // the colon goes, nothing is raised for it
        {"A:_B", "A_b"},          // the character in its place is passed over
        {"ONE_:TWO", "One two"},  // the raised colon leaves, the letter stays low
        {"3D_LOOK", "3D Look"},   // digits raise the next character ...
        {"V7X", "V7X"},
        {"V8X", "V8x"},  // ... but 8, apostrophes and full stops do not
        {"ROCK'N'ROLL", "Rock'n'roll"},
        {"ST.LOUIS", "St.louis"},
        {"LAST_", "Last_"},  // the last character is not walked
        {"Q", "Q"},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(presetDisplayName(c.resource), c.shown) << c.resource;
}

TEST(PresetNames, ResourceNameWayBack) {
    const struct {
        const char* shown;
        const char* resource;
    } cases[] = {
        {"Default", "DEFAULT"},
        {"X-Noise Reduction", "X-NOISE_REDUCTION"},
        {"Wow!", "WOW!"},
        {"Two  Blanks", "TWO__BLANKS"},
        {"Trailing ", "TRAILING "},  // a blank in the last place stays
        {"Trailing  ", "TRAILING_ "},
    };
    for (const auto& c : cases) EXPECT_EQ(presetResourceName(c.shown), c.resource) << c.shown;
    // Loading a factory preset goes through both ways.
    for (const auto& [name, record] : hdPresets())
        EXPECT_EQ(presetResourceName(presetDisplayName(name)), name);
}

// ---- the list --------------------------------------------------------------

TEST_F(PresetStoreTest, ListMarksUserPresetsThenShowsFactoryPresets) {
    putValue("Last Used", makeRecord(1, true));
    putValue("Mine", makeRecord(2));
    putValue("Bad Sum", withBadCheckValue(makeRecord(3)));
    putValue("Foreign", makeRecord(4, false, 1, 24));
    Record shortRecord = makeRecord(5);
    shortRecord.pop_back();
    putValue("Short", shortRecord);
    putValue("Text", makeRecord(6), reg::kTypeString);
    Resources resources({{"HDRY", makeRecord(7)}, {"DEFAULT", makeRecord(8)}});

    const PresetList list = buildPresetList(session, resources.module());
    const std::vector<std::string> expected = {"#Last Used", ">Mine",  "?Bad Sum",
                                               "?Foreign",   "?Short", "?Text",
                                               "Default",    "Hdry",   "SAVE USER PRESET"};
    EXPECT_EQ(list.entries, expected);
    EXPECT_EQ(list.count, 8);
}

TEST_F(PresetStoreTest, AValueThatIsNoRecordIsListedAsInvalidAndHidesNothing) {
    const struct {
        const char* what;
        std::string name;
        size_t dataLength;
        const char* prefix;
    } cases[] = {
        {"63-character name", std::string(63, 'n'), 64, ">"},
        {"64-character name", std::string(64, 'n'), 64, "?"},
        {"70-character name", std::string(70, 'n'), 64, "?"},
        {"data longer than L", "Long", 65, "?"},
    };
    Resources resources({{"DEFAULT", makeRecord(1)}});
    for (const auto& c : cases) {
        SetUp();  // a fresh registry
        putValue("Before", makeRecord(2));
        Record data = makeRecord(3);
        data.resize(c.dataLength, 0);
        putValue(c.name, data);
        putValue("After", makeRecord(4));

        const PresetList list = buildPresetList(session, resources.module());
        const std::vector<std::string> expected = {">Before", c.prefix + c.name, ">After", "Default",
                                                   "SAVE USER PRESET"};
        EXPECT_EQ(list.entries, expected) << c.what;
    }
}

TEST_F(PresetStoreTest, KeenwrightHDStartsOnItsFirstFactoryPreset) {
    Resources resources(hdPresets());
    PresetList list = buildPresetList(session, resources.module());
    const std::vector<std::string> expected = {"Default",         "Hdry",      "Landscape",
                                               "Sharpening",      "Warmhouse", "X-Noise Reduction",
                                               "SAVE USER PRESET"};
    EXPECT_EQ(list.entries, expected);
    EXPECT_EQ(list.count, 6);
    EXPECT_EQ(firstPresetIndex(list, session), 0);

    // A user preset moves the default along; "#Last Used" wins wherever it is.
    putValue("Mine", makeRecord(7));
    list = buildPresetList(session, resources.module());
    EXPECT_EQ(list.entries[static_cast<size_t>(firstPresetIndex(list, session))], "Default");
    putValue("Last Used", makeRecord(8, true));
    list = buildPresetList(session, resources.module());
    EXPECT_EQ(firstPresetIndex(list, session), 1);

    session.keepsLastUsed = false;  // the earlier variant keeps nothing between runs
    EXPECT_EQ(list.entries[static_cast<size_t>(firstPresetIndex(list, session))], "Default");
}

TEST(PresetPositions, DefaultIndexFallsBackThenClamps) {
    const struct {
        int count, d, index, first;
    } cases[] = {
        {6, 6, 0, 0},  {3, 2, 1, 1}, {7, 6, 1, 1}, {3, 6, 1, 1},  // negative: count - 2
        {1, 2, -1, 0},  // still negative: the first fill clamps
        {0, 2, -2, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(defaultPresetIndex(c.count, c.d), c.index) << c.count << " " << c.d;
        FilterSession session;
        session.defaultPosition = c.d;
        PresetList list;
        list.entries.assign(static_cast<size_t>(c.count), "Preset");
        list.count = c.count;
        list.entries.push_back(kSavePresetEntry);
        EXPECT_EQ(firstPresetIndex(list, session), c.first) << c.count << " " << c.d;
    }
}

// ---- loading an entry ------------------------------------------------------

TEST_F(PresetStoreTest, LoadingAUserPresetWithoutADialog) {
    putValue("Mine", makeRecord(111));
    putValue("Bad Sum", withBadCheckValue(makeRecord(5)));
    putValue("Other", makeRecord(222));
    Resources resources({{"DEFAULT", makeRecord(1)}});
    session.renderState = std::make_unique<RenderState>(session, 1, 64);
    RenderState& state = *session.renderState;

    const struct {
        const char* what;
        int d, index;
        PresetLoad outcome;
        int32_t marker;  // the session's record afterwards; 999 unchanged
        int current;     // 3 unchanged
        const char* message;
    } cases[] = {
        {"valid", 6, 0, PresetLoad::UserPreset, 111, 0, ""},
        {"invalid", 6, 1, PresetLoad::InvalidUserPreset, 999, 1,
         "Error: Not Valid Preset         \n"},
        {"factory entry", 6, 3, PresetLoad::Nothing, 999, 3, ""},
        {"past every entry", 6, 7, PresetLoad::Nothing, 999, 3, ""},
        {"-1: count - D", 4, -1, PresetLoad::UserPreset, 111, 0, ""},
        {"-1: count - 2", 6, -1, PresetLoad::UserPreset, 222, 2, ""},
    };
    for (const auto& c : cases) {
        const Record start = makeRecord(999);
        std::copy(start.begin(), start.end(), session.settings.begin());
        state.values.fill(0);
        session.defaultPosition = c.d;
        PresetList list = buildPresetList(session, resources.module());
        list.current = list.selected = 3;

        testing::internal::CaptureStderr();
        EXPECT_EQ(loadPresetAt(session, list, resources.module(), c.index), c.outcome) << c.what;
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.message) << c.what;
        EXPECT_EQ(markerOf(session.settings.data()), c.marker) << c.what;
        EXPECT_EQ(list.current, c.current) << c.what;
        if (c.outcome == PresetLoad::UserPreset) {
            EXPECT_EQ(state.values[0], c.marker) << c.what;
            EXPECT_TRUE(validateRecord(session.settings.data(), kFormat)) << c.what;
        }
    }

    // A name too long for a record is not valid; the value after it loads.
    putValue(std::string(70, 'n'), makeRecord(3));
    putValue("Late", makeRecord(333));
    PresetList list = buildPresetList(session, resources.module());
    const auto longOne = std::find(list.entries.begin(), list.entries.end(), "?" + std::string(70, 'n'));
    ASSERT_NE(longOne, list.entries.end());
    const int at = static_cast<int>(longOne - list.entries.begin());
    ASSERT_EQ(list.entries[static_cast<size_t>(at + 1)], ">Late");
    testing::internal::CaptureStderr();
    EXPECT_EQ(loadPresetAt(session, list, resources.module(), at), PresetLoad::InvalidUserPreset);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error: Not Valid Preset         \n");
    EXPECT_EQ(loadPresetAt(session, list, resources.module(), at + 1), PresetLoad::UserPreset);
    EXPECT_EQ(markerOf(session.settings.data()), 333);
}

TEST_F(PresetStoreTest, LoadingWithADialogOpen) {
    putValue("Mine", makeRecord(111));
    Resources resources({{"DEFAULT", makeRecord(1)},
                         {"HDRY", makeRecord(2)},
                         {"BROKEN", withBadCheckValue(makeRecord(3))}});
    session.renderState = std::make_unique<RenderState>(session, 1, 64);
    FakeDialog dialog;
    session.dialog = &dialog;
    PresetList list = buildPresetList(session, resources.module());
    ASSERT_EQ(list.entries[1], "Broken");
    ASSERT_EQ(list.entries[3], "Hdry");

    EXPECT_EQ(loadPresetAt(session, list, resources.module(), 3), PresetLoad::FactoryPreset);
    EXPECT_EQ(dialog.shown.values[0], 2);
    EXPECT_EQ(dialog.shown.values[8], 7);
    EXPECT_EQ(dialog.redraws, 1);
    EXPECT_EQ(list.current, 3);
    // The record is rebuilt from the controls by the next encode.
    EXPECT_EQ(session.settings, (std::array<uint8_t, kRecordBufferSize>{}));

    EXPECT_EQ(loadPresetAt(session, list, resources.module(), 1), PresetLoad::InvalidFactoryPreset);
    EXPECT_EQ(dialog.shown.values[0], 2);
    EXPECT_EQ(dialog.redraws, 1);
    EXPECT_EQ(list.selected, 1);
    EXPECT_EQ(list.current, 3);

    EXPECT_EQ(loadPresetAt(session, list, resources.module(), 4), PresetLoad::PresetDialog);
    EXPECT_EQ(list.selected, 3);

    EXPECT_EQ(loadPresetAt(session, list, resources.module(), 0), PresetLoad::UserPreset);
    EXPECT_EQ(dialog.shown.values[0], 111);
    EXPECT_EQ(dialog.redraws, 2);
    EXPECT_EQ(markerOf(session.settings.data()), 111);
}

// ---- the settings a run starts from ---------------------------------------

TEST_F(PresetStoreTest, StartSettingsComeFromDescriptorThenLastUsedThenDefault) {
    const struct {
        const char* what;
        Record lastUsed;
        uint32_t lastUsedType;
        bool descriptor;
        int16_t playInfo;
        int d;
        int32_t marker;
        int32_t storedAfter;  // Last Used's marker afterwards; 0 none
    } cases[] = {
        {"descriptor first", makeRecord(300, true), reg::kTypeBinary, true, 0, 2, 500, 500},
        {"then Last Used", makeRecord(300, true), reg::kTypeBinary, false, 0, 2, 300, 300},
        {"then the D-th preset from the end", {}, reg::kTypeBinary, false, 0, 2, 5, 0},
        {"the first with fewer than D", {}, reg::kTypeBinary, false, 0, 7, 1, 0},
        {"Last Used as a string", makeRecord(300, true), reg::kTypeString, false, 0, 2, 5, 300},
        {"Last Used too short", Record(63, 1), reg::kTypeBinary, false, 0, 2, 5, -1},
        {"Last Used too long",
         [] {
             Record r = makeRecord(300, true);
             r.push_back(0);
             return r;
         }(),
         reg::kTypeBinary, false, 0, 2, 5, 300},
        {"Last Used with a wrong check value", withBadCheckValue(makeRecord(300, true)),
         reg::kTypeBinary, false, 0, 2, 5, 300},
        {"Last Used of another plug-in", makeRecord(300, true, 1, 24), reg::kTypeBinary, false, 0,
         2, 5, 300},
        {"play info asks for the dialog", makeRecord(300, true), reg::kTypeBinary, true,
         plugInDialogDisplay, 2, 500, 500},
    };
    Resources resources(hdPresets());
    for (const auto& c : cases) {
        SetUp();
        host = FakeDescriptors();
        if (!c.lastUsed.empty()) putValue(kLastUsedName, c.lastUsed, c.lastUsedType);
        session.defaultPosition = c.d;
        session.scriptingAskedDialog = true;  // cleared at the start
        attachHost(c.descriptor, false, c.playInfo);
        host.items = itemsOf(makeRecord(500));

        chooseStartSettings(session, resources.module());
        EXPECT_EQ(markerOf(session.settings.data()), c.marker) << c.what;
        EXPECT_EQ(session.scriptingAskedDialog, c.playInfo == plugInDialogDisplay) << c.what;
        const Record stored = lastUsed();
        if (c.storedAfter == 0) {
            EXPECT_TRUE(stored.empty()) << c.what;
        } else if (c.storedAfter > 0) {
            EXPECT_EQ(markerOf(stored.data()), c.storedAfter) << c.what;
        }
        if (c.descriptor) {
            std::vector<DescriptorKeyID> keys;
            for (uint32_t i = 0; i < 32; ++i) keys.push_back(0x6B6B3030u + i);
            EXPECT_EQ(host.keyList, keys) << c.what;
            EXPECT_EQ(host.events,
                      (std::vector<std::string>{"open read", "close read", "dispose old"}))
                << c.what;
            EXPECT_EQ(host.params.descriptor, nullptr) << c.what;
        } else {
            EXPECT_TRUE(host.events.empty()) << c.what;
        }
    }
}

TEST_F(PresetStoreTest, BadDescriptorRecordsFallBackToLastUsed) {
    using Items = std::vector<FakeDescriptors::Item>;
    const Record good = makeRecord(500);
    const Record pinned = makeRecord(500, true);  // its last integer is not 0
    Items extraFirst = itemsOf(good);
    extraFirst.insert(extraFirst.begin(), {kDescriptorKeyBase + 20, 77, noErr});
    Items extraAfter = itemsOf(good, 16);
    for (int i = 0; i < 4; ++i)
        extraAfter.push_back({kDescriptorKeyBase + 16u + static_cast<uint32_t>(i), -1, noErr});
    Items nonInteger = itemsOf(good);
    nonInteger[3].error = errAECoercionFail;
    const struct {
        const char* what;
        Items items;
        bool accepted;
        int getKeyCalls;
    } cases[] = {
        {"wrong id", itemsOf(makeRecord(500, false, 1, 24)), false, 16},
        {"wrong check value", itemsOf(withBadCheckValue(good)), false, 16},
        {"no integers", {}, false, 1},
        {"fewer integers, the missing ones 0", itemsOf(good, 4), true, 5},
        {"fewer integers, a missing one not 0", itemsOf(pinned, 15), false, 16},
        {"an extra key first", extraFirst, false, 16},
        {"extra keys after the record", extraAfter, true, 16},
        {"a value that is no integer", nonInteger, false, 4},
    };
    Resources resources(hdPresets());
    for (const auto& c : cases) {
        SetUp();
        host = FakeDescriptors();
        putValue(kLastUsedName, makeRecord(300, true));
        attachHost(true, false);
        host.items = c.items;

        chooseStartSettings(session, resources.module());
        const int32_t expected = c.accepted ? 500 : 300;
        EXPECT_EQ(markerOf(session.settings.data()), expected) << c.what;
        EXPECT_EQ(markerOf(lastUsed().data()), expected) << c.what;
        EXPECT_EQ(host.getKeyCalls, c.getKeyCalls) << c.what;
        EXPECT_EQ(host.events, (std::vector<std::string>{"open read", "close read", "dispose old"}))
            << c.what;
        EXPECT_EQ(host.params.descriptor, nullptr) << c.what;
    }
}

TEST_F(PresetStoreTest, StoreLastUsedPinsAndHandsBackANewDescriptor) {
    Record applied = makeRecord(42);
    applied[4] = 0;  // sealing writes the id and a fresh check value
    std::copy(applied.begin(), applied.end(), session.settings.begin());
    attachHost(true, true);

    storeLastUsed(session);
    const Record stored = lastUsed();
    ASSERT_EQ(stored.size(), 64u);
    EXPECT_TRUE(validateRecord(stored.data(), kFormat));
    EXPECT_TRUE(isPinned(stored.data(), 64));
    EXPECT_EQ(markerOf(stored.data()), 42);

    std::vector<std::string> events = {"open write"};
    events.insert(events.end(), 16, "put");
    events.push_back("dispose old");
    events.push_back("close write");
    EXPECT_EQ(host.events, events);
    ASSERT_EQ(host.written.size(), 16u);
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(host.written[static_cast<size_t>(i)].first,
                  kDescriptorKeyBase + static_cast<uint32_t>(i));
        EXPECT_EQ(host.written[static_cast<size_t>(i)].second, recordInteger(stored.data(), i));
    }
    EXPECT_EQ(host.params.descriptor, handleOf(newDescriptor));
    EXPECT_EQ(host.params.recordInfo, 0);

    // What the host keeps starts the next run, whatever Last Used says by then.
    std::vector<FakeDescriptors::Item> handedBack;
    for (const auto& [key, value] : host.written) handedBack.push_back({key, value, noErr});
    putValue(kLastUsedName, makeRecord(7, true));
    host = FakeDescriptors();
    attachHost(true, false);
    host.items = handedBack;
    chooseStartSettings(session, Resources({}).module());
    EXPECT_EQ(markerOf(session.settings.data()), 42);

    // Without write procedures only the registry is written.
    host = FakeDescriptors();
    attachHost(true, false);
    session.settings[6] ^= 0x80;
    storeLastUsed(session);
    EXPECT_TRUE(host.events.empty());
    EXPECT_EQ(host.params.descriptor, handleOf(oldDescriptor));
    EXPECT_EQ(host.params.recordInfo, 1);
    EXPECT_TRUE(validateRecord(lastUsed().data(), kFormat));
    EXPECT_NE(markerOf(lastUsed().data()), 42);
}

TEST_F(PresetStoreTest, EarlierVariantExchangesNothing) {
    session.keepsLastUsed = false;
    putValue(kLastUsedName, makeRecord(300, true));
    attachHost(true, true, plugInDialogDisplay);
    host.items = itemsOf(makeRecord(500));
    Resources resources(hdPresets());
    session.defaultPosition = 2;

    chooseStartSettings(session, resources.module());
    EXPECT_EQ(markerOf(session.settings.data()), 5);
    EXPECT_FALSE(session.scriptingAskedDialog);
    storeLastUsed(session);
    EXPECT_TRUE(host.events.empty());
    EXPECT_EQ(host.params.descriptor, handleOf(oldDescriptor));
    EXPECT_EQ(markerOf(lastUsed().data()), 300);
}

// ---- older format versions --------------------------------------------------

// Called for every accepted record; upgrades only the older ones.
int upgradeCalls = 0;
void upgradeToVersion2(uint8_t* record) {
    ++upgradeCalls;
    if (record[5] < 2) record[5] = 2;
}

TEST_F(PresetStoreTest, UpgradeHookRunsWhereverARecordIsAccepted) {
    session.upgradeRecord = upgradeToVersion2;
    enum class From { LastUsed, Descriptor, Factory, UserPreset };
    const struct {
        const char* what;
        From from;
        uint8_t version;
        bool upgraded;
    } cases[] = {
        {"Last Used, older", From::LastUsed, 1, true},
        {"Last Used, current", From::LastUsed, 2, false},
        {"Last Used, newer", From::LastUsed, 3, false},
        {"descriptor, older", From::Descriptor, 1, true},
        {"default factory preset, older", From::Factory, 1, true},
        {"user preset, older", From::UserPreset, 0, true},
    };
    for (const auto& c : cases) {
        SetUp();
        session.format.version = 2;
        host = FakeDescriptors();
        upgradeCalls = 0;
        const Record r = makeRecord(61, false, c.version);
        Resources resources({{"DEFAULT", c.from == From::Factory ? r : makeRecord(1, false, 2)}});
        session.defaultPosition = 1;
        if (c.from == From::LastUsed) putValue(kLastUsedName, r);
        if (c.from == From::Descriptor) {
            attachHost(true, false);
            host.items = itemsOf(r);
        }
        if (c.from == From::UserPreset) {
            putValue("Mine", r);
            PresetList list = buildPresetList(session, resources.module());
            EXPECT_EQ(loadPresetAt(session, list, resources.module(), 0), PresetLoad::UserPreset);
        } else {
            chooseStartSettings(session, resources.module());
        }
        EXPECT_EQ(markerOf(session.settings.data()), 61) << c.what;
        EXPECT_EQ(upgradeCalls, 1) << c.what;
        EXPECT_EQ(session.settings[5], c.upgraded ? 2 : c.version) << c.what;
    }
}

// ---- the preset compiler -----------------------------------------------------

// The test filter's settings (KeenwrightHD's table) without "mode".
constexpr const char* kWithoutMode =
    "# comment line\n"
    "radius 13000\n"
    "amount 0x78C8   # 30920\n"
    "threshold 125\n"
    "softness 0\n"
    "contrast 50\n";

TEST(PresetCompiler, CompilesEverySettingIntoASealedRecord) {
    std::vector<uint8_t> record;
    qm::tools::PresetTextError error;
    ASSERT_TRUE(qm::tools::compilePresetText(std::string(kWithoutMode) + "mode 2\n",
                                             filterDescription(), record, error))
        << error.line << ": " << error.message;
    EXPECT_EQ(record, kHdDefault);

    ASSERT_TRUE(qm::tools::compilePresetText(std::string("version 0\n") + kWithoutMode + "mode 3",
                                             filterDescription(), record, error))
        << error.message;
    ASSERT_EQ(record.size(), 64u);
    EXPECT_EQ(record[5], 0);
    EXPECT_TRUE(validateRecord(record.data(), filterDescription().format));
    EXPECT_FALSE(isPinned(record.data(), 64));
    ValueSlots slots{};
    unpackFields(record.data(), filterDescription().format, slots);
    EXPECT_EQ(slots[1], 3);
    EXPECT_EQ(slots[7], 30920);
}

TEST(PresetCompiler, ErrorsNameTheLine) {
    const struct {
        const char* appended;  // after kWithoutMode's six lines
        int line;
        const char* message;
    } cases[] = {
        {"mode 2\nbogus 1\n", 8, "unknown setting 'bogus'"},
        {"mode two\n", 7, "bad number 'two'"},
        {"mode 99999999999\n", 7, "bad number '99999999999'"},
        {"mode 0x\n", 7, "bad number '0x'"},
        {"mode 2 3\n", 7, "expected NAME VALUE"},
        {"mode 2\nradius 1\n", 8, "'radius' given twice (first on line 2)"},
        {"mode 4\n", 7, "'mode' does not fit in 2 bits"},
        {"mode 1\n\nradius_x 1\n", 9, "unknown setting 'radius_x'"},
        {"mode -1\n", 7, "'mode' does not fit in 2 bits"},
        {"mode 1\nversion 256\n", 8, "version must be 0 to 255"},
        {"version 1\nversion 2\nmode 1\n", 8, "version given twice (first on line 7)"},
        {"", 0, "missing setting 'mode'"},
    };
    for (const auto& c : cases) {
        std::vector<uint8_t> record;
        qm::tools::PresetTextError error;
        EXPECT_FALSE(qm::tools::compilePresetText(std::string(kWithoutMode) + c.appended,
                                                  filterDescription(), record, error))
            << c.appended;
        EXPECT_EQ(error.line, c.line) << c.appended;
        EXPECT_EQ(error.message, c.message) << c.appended;
    }
}

// The packer embedded what the preset compiler made of the plug-in's texts.
TEST_F(PresetStoreTest, APluginCarriesItsCompiledFactoryPresets) {
    void* plugin = dlopen(QM_BINARY_DIR "/tests/plugins/PresetTest.8bf", RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(plugin, nullptr) << dlerror();
    const auto* table =
        static_cast<const QmResourceTable*>(dlsym(plugin, QM_RESOURCE_TABLE_SYMBOL));
    ASSERT_NE(table, nullptr);
    const qm::os::ResourceModule module(table);
    const RecordFormat& format = filterDescription().format;

    const auto type = qm::os::ResourceId::of(kFactoryPresetType);
    const auto def = module.find(type, qm::os::ResourceId::of("DEFAULT"));
    ASSERT_TRUE(def);
    EXPECT_EQ(Record(def->begin(), def->end()), kHdDefault);

    const auto old = module.find(type, qm::os::ResourceId::of("OLD_STYLE"));
    ASSERT_TRUE(old);
    ASSERT_EQ(old->size(), 64u);
    EXPECT_TRUE(validateRecord(old->data(), format));
    EXPECT_EQ((*old)[5], 0);
    ValueSlots slots{};
    unpackFields(old->data(), format, slots);
    EXPECT_EQ(std::vector<int32_t>({slots[0], slots[1], slots[7], slots[8], slots[9], slots[10]}),
              std::vector<int32_t>({1, 3, 262143, 0, 15, 255}));

    // With D = 2 of two presets, a first run starts on "DEFAULT".
    session.format = format;
    session.defaultPosition = filterDescription().defaultPosition;
    chooseStartSettings(session, module);
    EXPECT_EQ(Record(session.settings.begin(), session.settings.begin() + 64), kHdDefault);
    dlclose(plugin);
}

}  // namespace
