// The resources packed into the built Keenwright.8bf: its PiPL, its scripting
// terminology and its factory presets, read from the exported table.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "filters/keenwright/keenwright_filter.h"
#include "framework/settings/record.h"
#include "host/pipl.h"
#include "platform/pluginapi/pluginapi.h"

using namespace qm;

namespace {

class PluginResources : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        const std::string path = std::string(QM_BINARY_DIR) + "/plugins/Keenwright.8bf";
        handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(handle, nullptr) << dlerror();
        table = static_cast<const QmResourceTable*>(dlsym(handle, QM_RESOURCE_TABLE_SYMBOL));
        ASSERT_NE(table, nullptr);
        ASSERT_EQ(table->magic, QM_RESOURCE_TABLE_MAGIC);
    }
    static void TearDownTestSuite() {
        if (handle) dlclose(handle);
        handle = nullptr;
    }
    static bool sameId(const QmResourceId& id, const char* text, uint32_t number) {
        if (text) return id.text && std::strcmp(id.text, text) == 0;
        return !id.text && id.number == number;
    }
    // The resource of a type (text or number) and name, or an empty span.
    static std::span<const uint8_t> find(const char* typeText, uint32_t type, const char* nameText,
                                         uint32_t name) {
        for (uint32_t i = 0; i < table->count; ++i) {
            const QmResource& r = table->entries[i];
            if (sameId(r.type, typeText, type) && sameId(r.name, nameText, name))
                return {r.data, r.size};
        }
        return {};
    }
    static void* handle;
    static const QmResourceTable* table;
};

void* PluginResources::handle = nullptr;
const QmResourceTable* PluginResources::table = nullptr;

struct Reader {
    std::span<const uint8_t> b;
    size_t at = 0;
    uint32_t u16() {
        const uint32_t v = b[at] | b[at + 1] << 8;
        at += 2;
        return v;
    }
    uint32_t u32() { return u16() | u16() << 16; }
    std::string text() {
        const size_t n = b[at];
        std::string s(reinterpret_cast<const char*>(b.data()) + at + 1, n);
        at += 1 + n;
        if (at % 2) ++at;
        return s;
    }
};

}  // namespace

TEST_F(PluginResources, PiplNamesTheFilterItsModesAndTerminology) {
    const auto bytes = find("PIPL", 0, nullptr, 16000);
    ASSERT_FALSE(bytes.empty());
    host::Pipl pipl;
    std::string error;
    ASSERT_TRUE(host::parsePipl(bytes, pipl, error)) << error;
    EXPECT_EQ(bytes[0], 9);  // nine properties
    EXPECT_EQ(pipl.kind, PI_FOURCC('8', 'B', 'F', 'M'));
    EXPECT_EQ(pipl.name, "Keenwright");
    EXPECT_EQ(pipl.category, "Quillmere");
    EXPECT_EQ(pipl.version, 0x00040000u);
    EXPECT_EQ(pipl.entryPoint, "ENTRYPOINT");
    uint32_t modes = 0;
    for (int m : {GrayScaleMode, RGBMode, CMYKMode, HSLMode, HSBMode, MultichannelMode, DuotoneMode, LabMode})
        modes |= PI_MODE_FLAG(m);
    EXPECT_EQ(pipl.modes, modes);
    EXPECT_EQ(pipl.enableExpression,
              "in (PSHOP_ImageMode, RGBMode, GrayScaleMode,CMYKMode, HSLMode, HSBMode, "
              "MultichannelMode,DuotoneMode, LabMode, RGB48Mode, Gray16Mode) ||PSHOP_ImageDepth == 16 "
              "||PSHOP_ImageDepth == 32");
    EXPECT_TRUE(pipl.hasTerminology);
    EXPECT_EQ(pipl.suiteClass, PI_FOURCC('z', 'q', 'm', 't'));
    EXPECT_EQ(pipl.suiteEvent, PI_FOURCC('z', 'q', 'm', 't'));
    EXPECT_EQ(pipl.terminologyId, 16000);
    ASSERT_TRUE(pipl.filterCases.has_value());
    const uint8_t flags1[7] = {7, 15, 15, 7, 15, 7, 15};
    for (int i = 0; i < 7; ++i) {
        const host::FilterCaseInfo& c = (*pipl.filterCases)[static_cast<size_t>(i)];
        EXPECT_EQ(c.inputHandling, 1) << i;
        EXPECT_EQ(c.outputHandling, 1) << i;
        EXPECT_EQ(c.flags1, flags1[i]) << i;
        EXPECT_EQ(c.flags2, 0) << i;
    }
}

TEST_F(PluginResources, TerminologyListsTheSixteenRecordIntegers) {
    const auto bytes = find("AETE", 0, nullptr, 16000);
    ASSERT_FALSE(bytes.empty());
    Reader r{bytes};
    EXPECT_EQ(r.u16(), 1u);  // version 1.0
    EXPECT_EQ(r.u16(), 0u);
    EXPECT_EQ(r.u16(), 0u);  // language
    r.u16();
    ASSERT_EQ(r.u16(), 1u);
    EXPECT_EQ(r.text(), "Quillmere");
    EXPECT_EQ(r.text(), "Quillmere Plugins");
    EXPECT_EQ(r.u32(), PI_FOURCC('z', 'q', 'm', 't'));
    EXPECT_EQ(r.u16(), 1u);
    EXPECT_EQ(r.u16(), 1u);
    ASSERT_EQ(r.u16(), 1u);
    EXPECT_EQ(r.text(), "Keenwright");
    EXPECT_EQ(r.text(), "Quillmere Plugins");
    EXPECT_EQ(r.u32(), PI_FOURCC('z', 'q', 'm', 't'));
    EXPECT_EQ(r.u32(), PI_FOURCC('z', 'q', 'm', 't'));
    EXPECT_EQ(r.u32(), PI_FOURCC('n', 'u', 'l', 'l'));
    r.text();
    EXPECT_EQ(r.u32(), PI_FOURCC('n', 'u', 'l', 'l'));
    r.text();
    ASSERT_EQ(r.u16(), 16u);
    for (uint32_t i = 0; i < 16; ++i) {
        EXPECT_EQ(r.text(), (i < 10 ? "0" : "1") + std::to_string(i % 10));
        EXPECT_EQ(r.u32(), fw::kDescriptorKeyBase + i) << i;
        EXPECT_EQ(r.u32(), PI_FOURCC('l', 'o', 'n', 'g')) << i;
        r.text();
        r.u16();
    }
    EXPECT_EQ(r.at, bytes.size());
}

TEST_F(PluginResources, FactoryPresetsHoldTheirDocumentedValues) {
    const fw::RecordFormat& format = fw::filterDescription().format;
    const struct {
        const char* name;
        int radius, amount, mask, halo;
    } presets[] = {
        {"ABITOF", 150, 30, 0, 0},
        {"DEFAULT", 75, 60, 2, 2},
        {"HDRY", 80, 100, 2, 0},
    };
    int listed = 0;
    for (uint32_t i = 0; i < table->count; ++i)
        if (sameId(table->entries[i].type, nullptr, 2000)) ++listed;
    EXPECT_EQ(listed, 3);
    for (const auto& p : presets) {
        const auto bytes = find(nullptr, 2000, p.name, 0);
        ASSERT_EQ(bytes.size(), 64u) << p.name;
        EXPECT_TRUE(fw::validateRecord(bytes.data(), format)) << p.name;
        EXPECT_EQ(bytes[4], 24) << p.name;
        EXPECT_EQ(bytes[5], 2) << p.name;
        fw::ValueSlots want{};
        want[keenwright::kRadius] = p.radius;
        want[keenwright::kPreview] = 2;
        want[keenwright::kAmount] = p.amount;
        want[keenwright::kMask] = p.mask;
        want[keenwright::kHalo] = p.halo;
        fw::ValueSlots got{};
        fw::unpackFields(bytes.data(), format, got);
        EXPECT_EQ(got, want) << p.name;
        // Nothing but the fields: the record rebuilt from them is the same.
        uint8_t rebuilt[64] = {};
        fw::packFields(rebuilt, format, got);
        fw::sealRecord(rebuilt, format, false);
        EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), rebuilt)) << p.name;
    }
}
