// Finding and loading plug-in libraries. The PiPL is read from the library's
// exported resource table before anything of the plug-in is called.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "host/pipl.h"
#include "host/plugin_settings.h"
#include "platform/pluginapi/pluginapi.h"

namespace qm::host {

class PluginLibrary {
public:
    PluginLibrary() = default;
    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;
    PluginLibrary(PluginLibrary&& other) noexcept { *this = std::move(other); }
    PluginLibrary& operator=(PluginLibrary&& other) noexcept;
    ~PluginLibrary();

    // False with a one-line reason: not loadable, no resource table, no PiPL,
    // not a filter, no entry point for this platform.
    bool open(const std::string& path, std::string& error);

    const std::string& path() const { return path_; }
    const Pipl& pipl() const { return pipl_; }
    // From its settings resource, with the factory presets' records; none
    // for a plug-in without one (settingsProblem() says why when it is damaged).
    const std::optional<PluginSettings>& settings() const { return settings_; }
    const std::string& settingsProblem() const { return settingsProblem_; }
    void call(int16_t selector, void* record, int16_t* result) const;

private:
    void readSettings(const QmResourceTable& table);

    std::string path_;
    Pipl pipl_;
    std::optional<PluginSettings> settings_;
    std::string settingsProblem_;
    void* handle_ = nullptr;
    PluginEntryProc entry_ = nullptr;
};

// --plugins, then $QUILLMERE_PLUGINS (':'-separated), then plugins/ beside the
// executable.
std::vector<std::string> pluginFolders(const std::string& option, const std::string& exeFolder);

struct FoundPlugin {
    std::string path;
    Pipl pipl;
};

// Every loadable .8bf of the folders, sorted by name; what could not be loaded
// goes to problems as "path: reason".
std::vector<FoundPlugin> scanPlugins(const std::vector<std::string>& folders,
                                     std::vector<std::string>& problems);

// PLUGIN as the user names it: a path, a PiPL name or a file stem (case does
// not matter for names and stems). The error lists what was found.
bool resolvePlugin(const std::string& name, const std::vector<std::string>& folders,
                   std::string& path, std::string& error);

}  // namespace qm::host
