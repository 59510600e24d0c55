// A filter built on the framework, run through quillmere: where its settings
// come from and what a run leaves behind.
#include <signal.h>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "framework/settings/record.h"
#include "host/image.h"
#include "platform/os/registry.h"
#include "tests/e2e/plugin_run.h"

using namespace qm;
namespace reg = qm::os::registry;

namespace {

const std::string kPlugins = std::string(QM_BINARY_DIR) + "/tests/plugins";
constexpr uint8_t kFields[] = {0, 8, 1, 8, 2, 8, 0xFF};
constexpr fw::RecordFormat kFormat{77, 1, 64, fw::fieldTableOf(kFields)};
const char* kKey = "Software\\Quillmere\\FrameworkTest";

std::vector<uint8_t> record(int gain, int offset, int delay, bool pinned) {
    std::vector<uint8_t> r(64, 0);
    fw::ValueSlots slots{};
    slots[0] = gain;
    slots[1] = offset;
    slots[2] = delay;
    fw::packFields(r.data(), kFormat, slots);
    fw::sealRecord(r.data(), kFormat, pinned);
    return r;
}

std::string firstLines(const std::string& text, int n) {
    size_t end = 0;
    for (int i = 0; i < n; ++i) end = text.find('\n', end) + 1;
    return text.substr(0, end);
}

class FrameworkRun : public test::PluginRun {
protected:
    FrameworkRun() : PluginRun("Framework Test", kPlugins) {}
    void SetUp() override {
        PluginRun::SetUp();
        host::Image img;
        img.width = 40;
        img.height = 70;
        img.pixels.assign(img.rowBytes() * 70, 200);
        save("in.png", img);
        ASSERT_FALSE(HasFailure());  // no run without its input
    }
    test::ProgramResult apply(const std::vector<std::string>& extra) {
        return PluginRun::apply("in.png", "out.png", extra);
    }
    // The output's first sample (every sample is the same).
    int outputLevel() {
        const host::Image out = load("out.png");
        std::remove((dir + "/out.png").c_str());
        return out.pixels.empty() ? -1 : out.pixels[0];
    }
    std::vector<uint8_t> lastUsed() { return PluginRun::lastUsed(kKey, 64); }
};

}  // namespace

TEST_F(FrameworkRun, StartsFromTheDefaultPresetThenFromLastUsed) {
    // 200 on the 15-bit scale is 25600; the default preset halves it.
    auto first = apply({"--save-settings", dir + "/returned.txt"});
    ASSERT_EQ(first.status, 0) << first.err;
    EXPECT_EQ(outputLevel(), 100);

    // The run stored its settings pinned and handed the same 16 integers back.
    std::vector<uint8_t> stored = lastUsed();
    ASSERT_EQ(stored.size(), 64u);
    EXPECT_EQ(stored, record(50, 128, 0, true));
    EXPECT_NE(test::readFile(dir + "/returned.txt").find(settingsText(stored)), std::string::npos);

    // The next run without parameters applies whatever "Last Used" holds.
    std::vector<uint8_t> brighter = record(150, 128, 0, true);
    ASSERT_EQ(reg::setValue(reg::Root::CurrentUser, kKey, "Last Used", reg::kTypeBinary, brighter), 0);
    ASSERT_EQ(apply({}).status, 0);
    EXPECT_EQ(outputLevel(), 255);  // clamped at the top of the scale
}

TEST_F(FrameworkRun, ScriptedSettingsWinAndBecomeLastUsed) {
    test::writeFile(dir + "/zero.txt", settingsText(record(0, 128, 0, false)));
    auto r = apply({"--settings", dir + "/zero.txt"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(outputLevel(), 0);
    EXPECT_EQ(lastUsed(), record(0, 128, 0, true));
}

TEST_F(FrameworkRun, SixteenBitBlackWhiteAndOpaqueAlphaSurviveAPassThrough) {
    host::Image img;
    img.width = 3;
    img.height = 2;
    img.depth = 16;
    img.hasAlpha = true;
    img.pixels.assign(img.rowBytes() * 2, 0);
    const uint32_t samples[] = {0, 65535, 1, 65534, 32768, 12345};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            for (int c = 0; c < 4; ++c) img.setSample(x, y, c, c == 3 ? 65535 : samples[(x + 3 * y + c) % 6]);
    save("in16.png", img);
    test::writeFile(dir + "/identity.txt", settingsText(record(100, 128, 0, false)));
    auto r = PluginRun::apply("in16.png", "out16.png", {"--settings", dir + "/identity.txt"});
    ASSERT_EQ(r.status, 0) << r.err;
    const host::Image out = load("out16.png");
    ASSERT_EQ(out.depth, 16);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            for (int c = 0; c < 4; ++c) {
                const uint32_t in = img.sample(x, y, c), got = out.sample(x, y, c);
                if (in == 0 || in == 65535)
                    EXPECT_EQ(got, in) << x << "," << y << " channel " << c;
                else
                    EXPECT_LE(got > in ? got - in : in - got, 1u) << x << "," << y << " channel " << c;
            }
}

TEST_F(FrameworkRun, DamagedScriptedSettingsFallBack) {
    std::vector<uint8_t> wrongCheck = record(0, 128, 0, false);
    wrongCheck[0] ^= 1;
    std::vector<uint8_t> wrongId = record(0, 128, 0, false);
    wrongId[4] = 78;
    fw::setRecordInteger(wrongId.data(), 0,
                         static_cast<int32_t>(fw::rollingChecksum(wrongId.data() + 4, 60)));
    const std::string cases[] = {
        settingsText(wrongCheck),
        settingsText(wrongId),
        "kk00 1\nkk01 2\n",                                 // fewer than 16 integers
        firstLines(settingsText(record(0, 128, 0, true)), 15),  // the pinned flag left out
        "kk00 1.5\n",                                       // not an integer
    };
    for (const std::string& text : cases) {
        ASSERT_EQ(reg::setValue(reg::Root::CurrentUser, kKey, "Last Used", reg::kTypeBinary,
                                record(100, 138, 0, true)),
                  0);
        test::writeFile(dir + "/bad.txt", text);
        auto r = apply({"--settings", dir + "/bad.txt"});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(outputLevel(), 210) << text;  // Last Used: 200 + (138 - 128) x 128 / 128
    }
}

TEST_F(FrameworkRun, ACancelledRunStoresNothing) {
    const std::vector<uint8_t> slow = record(100, 100, 20, true);
    ASSERT_EQ(reg::setValue(reg::Root::CurrentUser, kKey, "Last Used", reg::kTypeBinary, slow), 0);
    int pid = test::startQuillmere({"apply", "Framework Test", "--plugins", kPlugins, dir + "/in.png",
                                    "-o", dir + "/out.png", "--save-settings", dir + "/returned.txt"},
                                   dir + "/stdout", dir + "/stderr");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    kill(pid, SIGINT);
    EXPECT_EQ(test::waitFor(pid), 130) << test::readFile(dir + "/stderr");
    EXPECT_EQ(lastUsed(), slow);
    EXPECT_EQ(test::readFile(dir + "/out.png"), "");
    EXPECT_EQ(test::readFile(dir + "/returned.txt"), "");

    // A dialog that cannot be opened yet ends the same way.
    auto r = apply({"--dialog"});
    EXPECT_EQ(r.status, 130);
    EXPECT_NE(r.err.find(": E\n"), std::string::npos) << r.err;
    EXPECT_EQ(lastUsed(), slow);
}
