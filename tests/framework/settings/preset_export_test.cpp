// The exported presets file, byte for byte, from a registry of the test's own.
#include "framework/settings/preset_export.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "framework/settings/record.h"
#include "platform/os/registry.h"

using namespace qm::fw;
namespace reg = qm::os::registry;

namespace {

class PresetExport : public ::testing::Test {
protected:
    void SetUp() override {
        const auto folder = std::filesystem::temp_directory_path() / ("qm-export-" + std::to_string(getpid()));
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        setenv("QUILLMERE_REGISTRY", folder.c_str(), 1);
        context.format = RecordFormat{25, 1, 64, {}};
        context.registryKey = "Software\\Quillmere\\ExportTest";
    }
    void put(const std::string& name, std::vector<uint8_t> data) {
        ASSERT_EQ(reg::setValue(reg::Root::CurrentUser, context.registryKey, name, reg::kTypeBinary, data),
                  reg::kSuccess);
    }
    PresetContext context;
};

TEST_F(PresetExport, AKeyWithoutValuesGivesOnlyTheHeader) {
    EXPECT_EQ(presetExportText(context),
              "REGEDIT4\r\n\r\n\r\n[HKEY_CURRENT_USER\\Software\\Quillmere\\ExportTest]\r\n\r\n");
}

TEST_F(PresetExport, OneLineAValueOfExactlyLBytesWithNamesEscaped) {
    std::vector<uint8_t> record(64, 0);
    record[0] = 0x3F;
    record[1] = 0xCE;
    record[63] = 0xAB;
    put("Soft", record);
    put("Say \"hi\" \\ there", std::vector<uint8_t>(64, 0x0F));
    put("Short", {1, 2});  // a damaged value still goes out as L bytes

    std::string expected = "REGEDIT4\r\n\r\n\r\n[HKEY_CURRENT_USER\\Software\\Quillmere\\ExportTest]\r\n\r\n";
    auto hex = [](const std::vector<uint8_t>& bytes) {
        std::string s;
        for (size_t i = 0; i < 64; ++i) {
            char b[4];
            snprintf(b, sizeof b, i ? ",%02x" : "%02x", i < bytes.size() ? bytes[i] : 0);
            s += b;
        }
        return s;
    };
    expected += "\"Soft\"=hex:" + hex(record) + "\r\n";
    expected += "\"Say \\\"hi\\\" \\\\ there\"=hex:" + hex(std::vector<uint8_t>(64, 0x0F)) + "\r\n";
    expected += "\"Short\"=hex:" + hex({1, 2}) + "\r\n";
    const std::string text = presetExportText(context);
    EXPECT_EQ(text, expected);
    EXPECT_NE(text.find("=hex:3f,ce,00"), std::string::npos);  // lower-case hex
}

TEST(PresetExportName, FromTheKeysLastPart) {
    EXPECT_EQ(defaultExportName("Software\\Quillmere\\KeenwrightHD"), "KeenwrightHD Presets");
    EXPECT_EQ(defaultExportName("Keenwright"), "Presets");
    EXPECT_EQ(defaultExportName("\\Keenwright"), "Presets");
}

}  // namespace
