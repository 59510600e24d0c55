// A fixture for running one plug-in through the built quillmere: a fresh
// folder with a registry of its own, and images saved and loaded there.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "framework/settings/record.h"
#include "host/image.h"
#include "platform/os/registry.h"
#include "tests/e2e/run_program.h"

namespace qm::test {

class PluginRun : public ::testing::Test {
protected:
    // plugins: the folder passed as --plugins; empty for the program's own.
    explicit PluginRun(std::string plugin, std::string plugins = {})
        : plugin_(std::move(plugin)), plugins_(std::move(plugins)) {}

    void SetUp() override {
        dir = makeTempFolder();
        // This process reads the registry the program writes.
        setenv("QUILLMERE_REGISTRY", (dir + "/registry").c_str(), 1);
        env = {"QUILLMERE_REGISTRY=" + dir + "/registry"};
    }

    // A name in the folder; an absolute path is taken as it is.
    std::string path(const std::string& name) const {
        return !name.empty() && name[0] == '/' ? name : dir + "/" + name;
    }
    std::string save(const std::string& name, const host::Image& img) {
        std::string error;
        EXPECT_TRUE(host::saveImage(path(name), img, error)) << error;
        return path(name);
    }
    host::Image load(const std::string& name) {
        host::Image img;
        std::string error;
        EXPECT_TRUE(host::loadImage(path(name), img, error)) << error;
        return img;
    }

    // "apply" with the plug-in (and its folder), then args.
    ProgramResult applyArgs(const std::vector<std::string>& args) {
        std::vector<std::string> all = {"apply", plugin_};
        if (!plugins_.empty()) all.insert(all.end(), {"--plugins", plugins_});
        all.insert(all.end(), args.begin(), args.end());
        return runQuillmere(all, env);
    }
    ProgramResult apply(const std::string& in, const std::string& out, const std::vector<std::string>& extra = {}) {
        std::vector<std::string> args = {path(in), "-o", path(out)};
        args.insert(args.end(), extra.begin(), extra.end());
        return applyArgs(args);
    }

    // The plug-in's "Last Used" record; empty when there is none.
    std::vector<uint8_t> lastUsed(const char* key, uint32_t length) {
        namespace reg = os::registry;
        std::vector<uint8_t> data(length);
        uint32_t size = length;
        if (reg::queryValue(reg::Root::CurrentUser, key, "Last Used", nullptr, data.data(), &size)) return {};
        data.resize(size);
        return data;
    }

    // The value of `name` in a settings file as --save-settings writes it
    // ("name value" a line); empty when it is not there.
    static std::string savedValue(const std::string& text, const std::string& name) {
        size_t at = 0;
        while (at < text.size()) {
            const size_t end = std::min(text.find('\n', at), text.size());
            const std::string line = text.substr(at, end - at);
            at = end + 1;
            const size_t gap = line.find(' ');
            if (gap == std::string::npos || line.compare(0, gap, name) != 0 || gap != name.size()) continue;
            const size_t value = line.find_first_not_of(' ', gap);
            return value == std::string::npos ? std::string() : line.substr(value);
        }
        return {};
    }

    // A record's 16 integers as a --settings file.
    static std::string settingsText(const std::vector<uint8_t>& r) {
        std::string text;
        for (int i = 0; i < 16; ++i) {
            char key[5] = {'k', 'k', '0', static_cast<char>('0' + i), 0};
            text += std::string(key) + " " + std::to_string(fw::recordInteger(r.data(), i)) + "\n";
        }
        return text;
    }

    std::string dir;
    std::vector<std::string> env;

private:
    std::string plugin_, plugins_;
};

}  // namespace qm::test
