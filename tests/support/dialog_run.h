// A filter dialog run headless inside a test, over the resources of the
// built plug-in (templates, skins, factory presets): a session on a textured
// image, a script, and what came of it.
#pragma once

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "framework/host/filter_dialog.h"
#include "platform/os/registry.h"
#include "platform/ui/headless/headless.h"
#include "tests/support/fake_host.h"

namespace qm::test {

class DialogRun : public ::testing::Test {
protected:
    // plugin: the file name in build/plugins; key: its registry key.
    DialogRun(const fw::FilterDescription& filter, const char* plugin, const char* key)
        : filter_(filter), plugin_(plugin), key_(key) {}

    void SetUp() override {
        setenv("QUILLMERE_HEADLESS", "1", 1);
        // The sessions' registry, before the first test writes to it.
        useOwnRegistry();
        const std::string path = std::string(QM_BINARY_DIR) + "/plugins/" + plugin_;
        handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(handle_, nullptr) << dlerror();
        table_ = static_cast<const QmResourceTable*>(dlsym(handle_, QM_RESOURCE_TABLE_SYMBOL));
        ASSERT_NE(table_, nullptr);
        // Every test starts with no presets in either hive.
        for (auto root : {os::registry::Root::CurrentUser, os::registry::Root::LocalMachine})
            for (;;) {
                char name[300];
                uint32_t length = sizeof name;
                if (os::registry::enumValue(root, key_, 0, name, &length, nullptr, nullptr, nullptr) != 0) break;
                ASSERT_EQ(os::registry::deleteValue(root, key_, std::string(name, length)), 0);
            }
        folder = std::filesystem::temp_directory_path() / ("qm-dialog-" + std::to_string(getpid()));
        std::filesystem::create_directories(folder);
        setenv("QUILLMERE_SHARED_DATA", (folder / "shared").c_str(), 1);
    }
    // The plug-in stays loaded: the process's caches may hold what it gave.
    void TearDown() override { host.reset(); }

    // Opens a session on a textured image, runs the dialog with the script
    // and answers its result; stderr (the message boxes) goes to err.
    int16_t run(const std::string& script, HostImageShape shape = {600, 400}) {
        host = std::make_unique<FakeHost>(filter_, shape);
        for (size_t i = 0; i < host->in.size(); ++i)
            host->in[i] = static_cast<uint8_t>((i * 7919 % 251) / 2 + (i / 3 % 600) / 5);
        module_.emplace(table_);
        if (prepareRecord) prepareRecord(host->fr);
        EXPECT_EQ(host->open(*module_), noErr);
        std::string error;
        EXPECT_TRUE(ui::headless::loadScript(script, error)) << error;
        int16_t result = 0;
        ::testing::internal::CaptureStderr();
        created = fw::runFilterDialog(host->session, host->state(), result);
        err = ::testing::internal::GetCapturedStderr();
        scriptError = ui::headless::lastScriptError();
        return result;
    }

    // The first 64 bytes of the record the dialog ended with.
    std::vector<uint8_t> applied() const {
        return {host->session.settings.begin(), host->session.settings.begin() + host->session.recordBytes()};
    }
    std::vector<uint8_t> registryValue(const char* name, os::registry::Root root = os::registry::Root::CurrentUser) {
        std::vector<uint8_t> data(256);
        uint32_t size = 256;
        if (os::registry::queryValue(root, key_, name, nullptr, data.data(), &size) != 0) return {};
        data.resize(size);
        return data;
    }
    void putValue(const std::string& name, const std::vector<uint8_t>& data) {
        ASSERT_EQ(os::registry::setValue(os::registry::Root::CurrentUser, key_, name, os::registry::kTypeBinary, data),
                  0);
    }
    // The messages "Caption: text" shown, counted.
    size_t shown(const std::string& line) const {
        size_t count = 0;
        for (size_t at = err.find(line); at != std::string::npos; at = err.find(line, at + 1)) ++count;
        return count;
    }

    std::unique_ptr<FakeHost> host;
    // Called on the host's record before the session opens (its colours,
    // its colour services).
    std::function<void(FilterRecord&)> prepareRecord;
    bool created = false;
    std::string err, scriptError;
    std::filesystem::path folder;

private:
    const fw::FilterDescription& filter_;
    const char* plugin_;
    const char* key_;
    void* handle_ = nullptr;
    const QmResourceTable* table_ = nullptr;
    std::optional<os::ResourceModule> module_;
};

}  // namespace qm::test
