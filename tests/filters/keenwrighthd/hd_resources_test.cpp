// The resources packed into the built KeenwrightHD.8bf: its PiPL, its
// scripting terminology and its factory presets, read back from the library.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "host/pipl.h"
#include "platform/pluginapi/pluginapi.h"
#include "tests/filters/keenwrighthd/hd_test_support.h"

using namespace qm;

namespace {

class HdResources : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string path = std::string(QM_BINARY_DIR) + "/plugins/KeenwrightHD.8bf";
        handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(handle, nullptr) << dlerror();
        table = static_cast<const QmResourceTable*>(dlsym(handle, QM_RESOURCE_TABLE_SYMBOL));
        ASSERT_NE(table, nullptr);
        ASSERT_EQ(table->magic, QM_RESOURCE_TABLE_MAGIC);
    }
    void TearDown() override {
        if (handle) dlclose(handle);
    }
    std::vector<const QmResource*> ofType(const char* text, uint32_t number) const {
        std::vector<const QmResource*> found;
        for (uint32_t i = 0; i < table->count; ++i) {
            const QmResource& r = table->entries[i];
            if (text ? (r.type.text && std::string(r.type.text) == text) : (!r.type.text && r.type.number == number))
                found.push_back(&r);
        }
        return found;
    }
    void* handle = nullptr;
    const QmResourceTable* table = nullptr;
};

// Little-endian reader of the terminology's binary form.
struct Reader {
    const uint8_t* p;
    size_t size, at = 0;
    uint32_t u16() {
        const uint32_t v = p[at] | p[at + 1] << 8;
        at += 2;
        return v;
    }
    uint32_t u32() {
        const uint32_t v = u16();
        return v | u16() << 16;
    }
    std::string text() {
        const size_t n = p[at];
        std::string s(reinterpret_cast<const char*>(p + at + 1), n);
        at += 1 + n;
        if (at % 2) ++at;
        return s;
    }
};

}  // namespace

TEST_F(HdResources, PiplNamesTheFilterItsModesAndItsTerminology) {
    const auto pipls = ofType("PIPL", 0);
    ASSERT_EQ(pipls.size(), 1u);
    EXPECT_EQ(pipls[0]->name.number, 16000u);
    host::Pipl pipl;
    std::string error;
    ASSERT_TRUE(host::parsePipl({pipls[0]->data, pipls[0]->size}, pipl, error)) << error;
    EXPECT_EQ(pipl.kind, PI_FOURCC('8', 'B', 'F', 'M'));
    EXPECT_EQ(pipl.name, "Keenwright HD");
    EXPECT_EQ(pipl.category, "Quillmere");
    EXPECT_EQ(pipl.version, 0x00040000u);
    EXPECT_EQ(pipl.entryPoint, "ENTRYPOINT");
    uint32_t modes = 0;
    for (int m : {GrayScaleMode, RGBMode, CMYKMode, HSLMode, HSBMode, MultichannelMode, DuotoneMode, LabMode})
        modes |= PI_MODE_FLAG(m);
    EXPECT_EQ(pipl.modes, modes);
    // The menu item is enabled widely; the start selector refuses the rest.
    for (const host::ImageTraits& t : {host::ImageTraits{RGB48Mode, 16}, host::ImageTraits{CMYKMode, 8},
                                       host::ImageTraits{LabMode, 8}})
        EXPECT_EQ(host::evaluateEnable(*pipl.enableExpression, t), true) << t.mode;
    EXPECT_EQ(host::evaluateEnable(*pipl.enableExpression, {IndexedColorMode, 8}), false);
    EXPECT_TRUE(pipl.hasTerminology);
    EXPECT_EQ(pipl.suiteClass, PI_FOURCC('z', 'q', 'm', 'u'));
    EXPECT_EQ(pipl.suiteEvent, PI_FOURCC('z', 'q', 'm', 'u'));
    EXPECT_EQ(pipl.terminologyId, 16000);
    ASSERT_TRUE(pipl.filterCases.has_value());
    const uint8_t flags[7] = {7, 15, 15, 7, 15, 7, 15};
    for (size_t i = 0; i < 7; ++i) {
        const host::FilterCaseInfo& c = (*pipl.filterCases)[i];
        EXPECT_EQ(c.inputHandling, 1);
        EXPECT_EQ(c.outputHandling, 1);
        EXPECT_EQ(c.flags1, flags[i]) << "case " << i + 1;
        EXPECT_EQ(c.flags2, 0);
    }
}

TEST_F(HdResources, TerminologyListsTheSixteenRecordIntegers) {
    const auto aetes = ofType("AETE", 0);
    ASSERT_EQ(aetes.size(), 1u);
    EXPECT_EQ(aetes[0]->name.number, 16000u);
    Reader r{aetes[0]->data, aetes[0]->size};
    EXPECT_EQ(r.u16(), 1u);  // version 1.0
    EXPECT_EQ(r.u16(), 0u);
    EXPECT_EQ(r.u16(), 0u);  // language
    r.u16();
    ASSERT_EQ(r.u16(), 1u);  // one suite
    EXPECT_EQ(r.text(), "Quillmere");
    EXPECT_EQ(r.text(), "Quillmere Plugins");
    EXPECT_EQ(r.u32(), PI_FOURCC('z', 'q', 'm', 'u'));
    EXPECT_EQ(r.u16(), 1u);
    EXPECT_EQ(r.u16(), 1u);
    ASSERT_EQ(r.u16(), 1u);  // one event
    EXPECT_EQ(r.text(), "Keenwright HD");
    EXPECT_EQ(r.text(), "Quillmere Plugins");
    EXPECT_EQ(r.u32(), PI_FOURCC('z', 'q', 'm', 'u'));
    EXPECT_EQ(r.u32(), PI_FOURCC('z', 'q', 'm', 'u'));
    EXPECT_EQ(r.u32(), PI_FOURCC('n', 'u', 'l', 'l'));
    r.text();
    EXPECT_EQ(r.u32(), PI_FOURCC('n', 'u', 'l', 'l'));  // no direct parameter
    r.text();
    ASSERT_EQ(r.u16(), 16u);
    for (uint32_t i = 0; i < 16; ++i) {
        EXPECT_EQ(r.text(), (i < 10 ? "0" : "") + std::to_string(i));
        EXPECT_EQ(r.u32(), 0x6B6B3030u + i);
        EXPECT_EQ(r.u32(), PI_FOURCC('l', 'o', 'n', 'g'));
        r.text();
        r.u16();
    }
    EXPECT_EQ(r.at, r.size);
}

TEST_F(HdResources, FactoryPresetsAreTheCompiledRecordsWithDefaultSixthFromTheEnd) {
    const auto presets = ofType(nullptr, 2000);
    std::vector<std::string> names;
    for (const QmResource* p : presets) names.push_back(p->name.text ? p->name.text : "");
    std::sort(names.begin(), names.end());  // the order a resource directory lists them
    const std::vector<std::string> expected = {"DEFAULT",    "HDRY",      "LANDSCAPE",
                                               "SHARPENING", "WARMHOUSE", "X-NOISE_REDUCTION"};
    ASSERT_EQ(names, expected);
    EXPECT_EQ(names[names.size() - static_cast<size_t>(khd::test::hd().defaultPosition)], "DEFAULT");
    for (const QmResource* p : presets) {
        std::string file = p->name.text;
        for (char& c : file) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        const std::vector<uint8_t> record(p->data, p->data + p->size);
        EXPECT_EQ(record, khd::test::presetRecord(file + ".txt")) << p->name.text;
    }
}
