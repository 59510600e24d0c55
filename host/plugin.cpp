#include "host/plugin.h"

#include <dlfcn.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <span>

namespace qm::host {
namespace fs = std::filesystem;
namespace {

bool sameText(const std::string& a, const std::string& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

bool isResourceId(const QmResourceId& id, const char* text, uint32_t number) {
    if (text) return id.text && sameText(id.text, text);
    return !id.text && id.number == number;
}

constexpr const char* kSettingsType = "SETTINGS";
constexpr uint32_t kFactoryPresetType = 2000;

}  // namespace

PluginLibrary& PluginLibrary::operator=(PluginLibrary&& other) noexcept {
    if (this != &other) {
        if (handle_) dlclose(handle_);
        path_ = std::move(other.path_);
        pipl_ = std::move(other.pipl_);
        settings_ = std::move(other.settings_);
        settingsProblem_ = std::move(other.settingsProblem_);
        handle_ = other.handle_;
        entry_ = other.entry_;
        other.handle_ = nullptr;
        other.entry_ = nullptr;
    }
    return *this;
}

PluginLibrary::~PluginLibrary() {
    if (handle_) dlclose(handle_);
}

bool PluginLibrary::open(const std::string& path, std::string& error) {
    *this = PluginLibrary();
    // Kept mapped after the last close, as hosts keep plug-ins loaded: what
    // a plug-in keeps for as long as it is loaded (skins, fonts, the window
    // layer's connection) stays its own, not a leak of a vanished library.
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (!handle) {
        const char* why = dlerror();
        error = why ? why : "cannot load";
        return false;
    }
    auto fail = [&](std::string message) {
        dlclose(handle);
        error = std::move(message);
        return false;
    };
    dlerror();
    auto* table = static_cast<const QmResourceTable*>(dlsym(handle, QM_RESOURCE_TABLE_SYMBOL));
    if (!table || table->magic != QM_RESOURCE_TABLE_MAGIC)
        return fail("not a plug-in: it has no resource table, so no PiPL");
    const QmResource* piplResource = nullptr;
    for (uint32_t i = 0; i < table->count && table->entries; ++i) {
        const QmResource& r = table->entries[i];
        if (isResourceId(r.type, "PIPL", 0) && (!piplResource || isResourceId(r.name, nullptr, 16000)))
            piplResource = &r;
    }
    if (!piplResource || !piplResource->data) return fail("not a plug-in: it has no PiPL resource");
    Pipl pipl;
    std::string why;
    if (!parsePipl(std::span(piplResource->data, piplResource->size), pipl, why))
        return fail("damaged PiPL: " + why);
    if (pipl.kind != PIPL_KIND_FILTER)
        return fail("not a filter plug-in (kind " + fourCCText(pipl.kind) + ")");
    if (pipl.entryPoint.empty())
        return fail(pipl.hasOtherEntryPoint
                        ? "its PiPL names an entry point for another platform only"
                        : "its PiPL names no entry point");
    dlerror();
    auto entry = reinterpret_cast<PluginEntryProc>(dlsym(handle, pipl.entryPoint.c_str()));
    if (!entry) return fail("the entry point " + pipl.entryPoint + " named by its PiPL is missing");
    path_ = path;
    pipl_ = std::move(pipl);
    readSettings(*table);
    handle_ = handle;
    entry_ = entry;
    return true;
}

void PluginLibrary::readSettings(const QmResourceTable& table) {
    const QmResource* found = nullptr;
    for (uint32_t i = 0; i < table.count && table.entries; ++i)
        if (isResourceId(table.entries[i].type, kSettingsType, 0) && table.entries[i].data) found = &table.entries[i];
    if (!found) return;
    PluginSettings s;
    const std::string_view text(reinterpret_cast<const char*>(found->data), found->size);
    if (!parsePluginSettings(text, s, settingsProblem_)) {
        settingsProblem_ = "damaged settings resource: " + settingsProblem_;
        return;
    }
    for (FactoryPreset& p : s.presets)
        for (uint32_t i = 0; i < table.count; ++i) {
            const QmResource& r = table.entries[i];
            if (isResourceId(r.type, nullptr, kFactoryPresetType) && isResourceId(r.name, p.resourceName.c_str(), 0) &&
                r.data)
                p.record.assign(r.data, r.data + r.size);
        }
    settings_ = std::move(s);
}

void PluginLibrary::call(int16_t selector, void* record, int16_t* result) const {
    intptr_t data = 0;
    entry_(selector, record, &data, result);
}

std::vector<std::string> pluginFolders(const std::string& option, const std::string& exeFolder) {
    std::vector<std::string> folders;
    if (!option.empty()) folders.push_back(option);
    if (const char* env = std::getenv("QUILLMERE_PLUGINS")) {
        std::string list = env;
        size_t start = 0;
        while (start <= list.size()) {
            size_t end = list.find(':', start);
            if (end == std::string::npos) end = list.size();
            if (end > start) folders.push_back(list.substr(start, end - start));
            start = end + 1;
        }
    }
    folders.push_back((fs::path(exeFolder) / "plugins").string());
    // An installed program: PREFIX/bin beside PREFIX/lib/quillmere/plugins.
    const fs::path installed = fs::path(exeFolder) / ".." / "lib" / "quillmere" / "plugins";
    std::error_code ec;
    if (fs::is_directory(installed, ec)) folders.push_back(installed.lexically_normal().string());
    return folders;
}

std::vector<FoundPlugin> scanPlugins(const std::vector<std::string>& folders,
                                     std::vector<std::string>& problems) {
    std::vector<FoundPlugin> found;
    std::vector<fs::path> seen;
    for (const std::string& folder : folders) {
        std::error_code ec;
        std::vector<fs::path> files;
        for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
            if (it->path().extension() == ".8bf") files.push_back(it->path());
        std::sort(files.begin(), files.end());
        for (const fs::path& file : files) {
            fs::path canonical = fs::weakly_canonical(file, ec);
            if (std::find(seen.begin(), seen.end(), canonical) != seen.end()) continue;
            seen.push_back(canonical);
            PluginLibrary library;
            std::string error;
            if (library.open(file.string(), error))
                found.push_back({file.string(), library.pipl()});
            else
                problems.push_back(file.string() + ": " + error);
        }
    }
    std::stable_sort(found.begin(), found.end(), [](const FoundPlugin& a, const FoundPlugin& b) {
        return a.pipl.name < b.pipl.name;
    });
    return found;
}

bool resolvePlugin(const std::string& name, const std::vector<std::string>& folders,
                   std::string& path, std::string& error) {
    std::error_code ec;
    if (name.find('/') != std::string::npos || fs::is_regular_file(name, ec)) {
        if (!fs::is_regular_file(name, ec)) {
            error = "no plug-in file " + name;
            return false;
        }
        path = name;
        return true;
    }
    std::vector<std::string> problems;
    std::vector<FoundPlugin> found = scanPlugins(folders, problems);
    for (const FoundPlugin& p : found)
        if (sameText(p.pipl.name, name) || sameText(fs::path(p.path).stem().string(), name)) {
            path = p.path;
            return true;
        }
    error = "no plug-in named \"" + name + "\"; found: ";
    if (found.empty()) error += "none";
    for (size_t i = 0; i < found.size(); ++i)
        error += (i ? ", \"" : "\"") + found[i].pipl.name + "\"";
    std::string where;
    for (const std::string& f : folders) where += (where.empty() ? "" : ", ") + f;
    error += " (in " + where + ")";
    return false;
}

}  // namespace qm::host
