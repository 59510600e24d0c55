// quillmere: runs filter plug-ins on image files.
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "host/contact_sheet.h"
#include "host/descriptor.h"
#include "host/filter_run.h"
#include "host/huge_pages.h"
#include "host/image.h"
#include "host/plugin.h"
#include "host/plugin_settings.h"
#include "host/settings_file.h"
#include "platform/os/regedit_text.h"
#include "platform/os/registry.h"

namespace fs = std::filesystem;
using namespace qm::host;
namespace reg = qm::os::registry;

namespace {

constexpr int kExitOk = 0;
constexpr int kExitPluginError = 1;
constexpr int kExitUsage = 2;
constexpr int kExitCancelled = 130;

const char* kListUsage = "  quillmere list [--plugins DIR]\n";
const char* kInfoUsage = "  quillmere info PLUGIN [--plugins DIR]\n";
const char* kApplyUsage =
    "  quillmere apply PLUGIN INPUT... -o OUTPUT [options]\n"
    "      --preset NAME          start from this entry of the plug-in's preset list\n"
    "      --set NAME=VALUE       change one setting (repeatable; see quillmere info PLUGIN)\n"
    "      --settings FILE        settings to start from (named, or the raw keys kk00 ...)\n"
    "      --save-settings FILE   write the settings the plug-in applied\n"
    "      --dialog               ask the plug-in for its dialog\n"
    "      --mask FILE            8-bit grey selection mask (255 = selected)\n"
    "      --foreground RRGGBB --background RRGGBB\n"
    "      --plugins DIR          look for plug-ins here first\n"
    "      --quality N            JPEG quality of the output (default 92)\n"
    "      -j N                   filter N images at once, each in a process of its own\n"
    "      --trace FILE           log every call of the plug-in into the host\n"
    "      --ui-script FILE       run the dialog without a display, driven by this script\n"
    "      --screenshot DIR       write the dialog's screenshots (PNG) into DIR\n"
    "    with several inputs, OUTPUT is a folder\n";
const char* kRegistryUsage =
    "  quillmere registry list [KEY]\n"
    "  quillmere registry export FILE [KEY]\n"
    "  quillmere registry import FILE\n";
const char* kDemoUsage = "  quillmere demo [DIR] [--plugins DIR]\n";

std::string usage() {
    return std::string("usage:\n") + kListUsage + kInfoUsage + kApplyUsage + kRegistryUsage + kDemoUsage +
           "  quillmere --version\n"
           "  -q (only errors) and -v (more detail) go with any command\n";
}

std::atomic<int> interrupts{0};

void onInterrupt(int) {
    // A save in progress ends at once, its temporary file removed.
    if (abandonSaves()) _exit(kExitCancelled);
    // A second Ctrl-C ends a plug-in that does not ask abortProc.
    if (interrupts.fetch_add(1) >= 1) _exit(kExitCancelled);
}

void onTerminate(int) {
    if (abandonSaves()) _exit(kExitCancelled);
    signal(SIGTERM, SIG_DFL);
    raise(SIGTERM);
}

void catchInterrupts() {
    signal(SIGINT, onInterrupt);
    signal(SIGTERM, onTerminate);
}

// A plug-in cannot tell the user that its settings were not stored; the host can.
void warnIfRegistryUnusable() {
    for (reg::Root root : {reg::Root::CurrentUser, reg::Root::LocalMachine}) {
        const std::string trouble = reg::rootTrouble(root, root == reg::Root::CurrentUser);
        if (!trouble.empty())
            std::fprintf(stderr, "quillmere: warning: %s; settings are not stored there\n", trouble.c_str());
    }
}

// 0 quiet (errors only), 1 normal, 2 verbose.
int verbosity = 1;

class ProgressBar;
ProgressBar* shownBar = nullptr;
void hideBar();
void showBar();

// Each line goes out whole, in one write, so lines of parallel runs and of
// stdout and stderr never break into each other.
void writeLine(FILE* stream, std::string text) {
    hideBar();
    text += '\n';
    std::fflush(stream);
    for (size_t at = 0; at < text.size();) {
        const ssize_t n = ::write(fileno(stream), text.data() + at, text.size() - at);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        at += static_cast<size_t>(n);
    }
    showBar();
}

// Results: on stdout unless quiet.
void say(const std::string& text) {
    if (verbosity >= 1) writeLine(stdout, text);
}
// Detail: on stderr when verbose.
void detail(const std::string& text) {
    if (verbosity >= 2) writeLine(stderr, "quillmere: " + text);
}

int complain(const std::string& message, int status) {
    writeLine(stderr, "quillmere: " + message);
    return status;
}

int usageError(const std::string& message) {
    writeLine(stderr, "quillmere: " + message);
    std::fputs(usage().c_str(), stderr);
    return kExitUsage;
}

bool asksForHelp(const std::vector<std::string>& args) {
    for (const std::string& a : args)
        if (a == "--help" || a == "-h") return true;
    return false;
}

int help(const char* text) {
    std::printf("usage:\n%s", text);
    return kExitOk;
}

std::string exeFolder() {
    std::error_code ec;
    fs::path self = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string(".") : self.parent_path().string();
}

bool readText(const std::string& path, std::string& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

bool writeText(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    return static_cast<bool>(out.flush());
}

bool parseColour(const std::string& text, uint8_t rgb[3]) {
    std::string t = !text.empty() && text[0] == '#' ? text.substr(1) : text;
    if (t.size() != 6) return false;
    for (int i = 0; i < 3; ++i) {
        char* end = nullptr;
        std::string part = t.substr(static_cast<size_t>(2 * i), 2);
        long v = std::strtol(part.c_str(), &end, 16);
        if (*end) return false;
        rgb[i] = static_cast<uint8_t>(v);
    }
    return true;
}

std::string seconds(std::chrono::steady_clock::time_point start) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f s",
                  std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    return text;
}

// Terminal progress bar on stderr, redrawn when the percentage changes;
// never when quiet or when stderr is not a terminal.
class ProgressBar {
public:
    explicit ProgressBar(std::string label) : label_(std::move(label)), tty_(isatty(2) && verbosity >= 1) {
        shownBar = this;
    }
    ~ProgressBar() {
        clear();
        if (shownBar == this) shownBar = nullptr;
    }
    void update(int32_t done, int32_t total) {
        if (!tty_ || total <= 0) return;
        int percent = static_cast<int>(100.0 * std::clamp(done, 0, total) / total);
        if (percent == shown_) return;
        shown_ = percent;
        draw();
    }
    void clear() {
        if (tty_ && shown_ >= 0) erase();
        shown_ = -1;
    }
    void erase() {
        if (tty_ && shown_ >= 0) (void)!::write(2, "\r\033[K", 4);
    }
    void draw() {
        if (!tty_ || shown_ < 0) return;
        char bar[41];
        int filled = shown_ * 40 / 100;
        for (int i = 0; i < 40; ++i) bar[i] = i < filled ? '#' : '.';
        bar[40] = 0;
        std::fprintf(stderr, "\r%s [%s] %3d%%", label_.c_str(), bar, shown_);
        std::fflush(stderr);
    }

private:
    std::string label_;
    bool tty_;
    int shown_ = -1;
};

void hideBar() {
    if (shownBar) shownBar->erase();
}
void showBar() {
    if (shownBar) shownBar->draw();
}

int statusOf(const RunResult& r) {
    switch (r.status) {
        case RunStatus::Done: return kExitOk;
        case RunStatus::Cancelled: return kExitCancelled;
        case RunStatus::PluginError:
        case RunStatus::ProtocolError: return kExitPluginError;
        default: return kExitUsage;
    }
}

bool sameText(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// The values of a plug-in's registry key, in the order the registry lists them.
std::vector<UserPreset> userPresets(const std::string& key) {
    std::vector<UserPreset> out;
    for (const reg::Key& k : reg::readRoot(reg::Root::CurrentUser))
        if (sameText(k.path, key))
            for (const reg::Value& v : k.values) out.push_back({v.name, v.data, v.type == reg::kTypeBinary});
    return out;
}

std::string openPlugin(const std::string& name, const std::string& pluginsOption, PluginLibrary& plugin) {
    std::string path, error;
    if (!resolvePlugin(name, pluginFolders(pluginsOption, exeFolder()), path, error)) return error;
    if (!plugin.open(path, error)) return path + ": " + error;
    return {};
}

// ---- list and info ------------------------------------------------------------

int commandList(std::vector<std::string> args) {
    std::string pluginsOption;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--plugins" && i + 1 < args.size()) pluginsOption = args[++i];
        else return usageError("unexpected argument " + args[i]);
    }
    std::vector<std::string> problems;
    auto found = scanPlugins(pluginFolders(pluginsOption, exeFolder()), problems);
    for (const FoundPlugin& p : found) {
        std::string text = p.pipl.name + "\n  category: " + p.pipl.category +
                           "\n  modes: " + (p.pipl.modes ? describeModes(*p.pipl.modes) : std::string("any")) +
                           "\n  file: " + p.path;
        if (p.pipl.enableExpression) text += "\n  enabled when: " + *p.pipl.enableExpression;
        writeLine(stdout, text);
    }
    for (const std::string& problem : problems) complain("skipped " + problem, 0);
    if (found.empty()) say("no plug-ins found");
    return kExitOk;
}

// The images this host can offer, in words, with the plug-in's answer.
std::string offeredImages(const Pipl& pipl) {
    struct Kind {
        const char* words;
        int mode, depth;
    } kinds[] = {{"RGB 8-bit", 3, 8}, {"RGB 16-bit", 11, 16}, {"grey 8-bit", 1, 8},
                 {"grey 16-bit", 10, 16}, {"CMYK 8-bit", 4, 8}};
    std::string out;
    for (const Kind& k : kinds)
        if (pluginEnabledFor(pipl, {k.mode, k.depth})) out += (out.empty() ? "" : ", ") + std::string(k.words);
    return out.empty() ? "none of the images this host reads" : out;
}

int commandInfo(std::vector<std::string> args) {
    std::string pluginsOption, name;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--plugins" && i + 1 < args.size()) pluginsOption = args[++i];
        else if (name.empty() && args[i][0] != '-') name = args[i];
        else return usageError("unexpected argument " + args[i]);
    }
    if (name.empty()) return usageError("info needs a plug-in");
    PluginLibrary plugin;
    if (std::string error = openPlugin(name, pluginsOption, plugin); !error.empty()) return complain(error, kExitUsage);
    const Pipl& pipl = plugin.pipl();
    std::string t = pipl.name + "\n  category: " + pipl.category + "\n  file: " + plugin.path() +
                    "\n  offered for: " + offeredImages(pipl) + " (its PiPL; the plug-in may still refuse some)";
    if (!plugin.settings()) {
        t += "\n  settings: " + (plugin.settingsProblem().empty() ? std::string("none described (no settings resource)")
                                                                  : plugin.settingsProblem());
        writeLine(stdout, t);
        return kExitOk;
    }
    const PluginSettings& s = *plugin.settings();
    t += "\n  settings record: id " + std::to_string(s.id) + ", version " + std::to_string(s.version) + ", " +
         std::to_string(s.length) + " bytes, kept under HKEY_CURRENT_USER\\" + s.registryKey;
    t += s.laterVariant ? "\n  settings reach it through the scripting descriptor; its dialog opens with --dialog"
                        : std::string("\n  settings reach it through its dialog's preset list (run without a display); ") +
                              (s.dialogAtEveryRun ? "its dialog opens at every run" : "its dialog opens with --dialog");
    size_t nameWidth = 4, rangeWidth = 5, defaultWidth = 7;
    for (const SettingInfo& i : s.settings) {
        nameWidth = std::max(nameWidth, i.name.size());
        rangeWidth = std::max(rangeWidth, rangeText(i).size());
        defaultWidth = std::max(defaultWidth, formatValue(i, static_cast<uint32_t>(i.initial)).size());
    }
    auto pad = [](std::string text, size_t width) {
        text.append(width > text.size() ? width - text.size() : 0, ' ');
        return text;
    };
    t += "\nsettings:\n  " + pad("name", nameWidth) + "  " + pad("kind", 8) + "  " + pad("range", rangeWidth) + "  " +
         pad("default", defaultWidth) + "  label";
    for (const SettingInfo& i : s.settings) {
        // The caption, and the status line when it says more.
        std::string label = i.label.empty() || i.status.rfind(i.label, 0) == 0 ? i.status
                            : i.status.empty()                                 ? i.label
                                                                               : i.label + " (" + i.status + ")";
        t += "\n  " + pad(i.name, nameWidth) + "  " + pad(kindName(i.kind), 8) + "  " + pad(rangeText(i), rangeWidth) +
             "  " + pad(formatValue(i, static_cast<uint32_t>(i.initial)), defaultWidth) + "  " + label;
    }
    t += "\nfactory presets:";
    const FactoryPreset* byDefault = s.defaultPreset();
    for (const FactoryPreset& p : s.presets)
        t += "\n  " + p.displayName + (&p == byDefault ? "  (the default)" : "");
    if (s.presets.empty()) t += " none";
    const std::vector<UserPreset> user = listedUserPresets(s, userPresets(s.registryKey));
    t += "\nuser presets:";
    for (const UserPreset& u : user)
        t += "\n  " + u.name + (u.binary && s.valid(u.data) ? "" : "  (not a valid record: --preset refuses it)");
    if (user.empty()) t += " none";
    writeLine(stdout, t);
    return kExitOk;
}

// ---- apply ------------------------------------------------------------------

struct ApplyArgs {
    std::string plugin;
    std::vector<std::string> inputs;
    std::string output;
    std::string mask, settings, saveSettings, pluginsOption, trace, uiScript, screenshots, preset;
    std::vector<std::string> sets;
    RunOptions run;
    int quality = 92;
    int jobs = 1;
};

// The record the host hands in, when it builds one (a plug-in with a
// settings resource, given --preset, --set or --settings).
struct Handed {
    bool present = false;
    Record record;
    std::string privateFolder;  // the earlier variant's own registry and script
};

int applyOne(const PluginLibrary& plugin, const ApplyArgs& a, const std::string& input,
             const std::string& output, const Image* mask, RunResult& last) {
    const auto start = std::chrono::steady_clock::now();
    Image image;
    std::string error;
    if (!loadImage(input, image, error)) return complain(input + ": " + error, kExitUsage);
    if (mask && (mask->width != image.width || mask->height != image.height))
        return complain(a.mask + ": the mask is " + std::to_string(mask->width) + " x " +
                            std::to_string(mask->height) + " pixels, " + input + " is " +
                            std::to_string(image.width) + " x " + std::to_string(image.height),
                        kExitUsage);
    detail(input + ": " + std::to_string(image.width) + " x " + std::to_string(image.height) + ", read in " +
           seconds(start));
    ProgressBar bar(plugin.pipl().name);
    RunOptions options = a.run;
    options.progress = [&](int32_t done, int32_t total) { bar.update(done, total); };
    options.abortRequested = [] { return interrupts.load() > 0; };
    const auto filtering = std::chrono::steady_clock::now();
    last = runFilter(plugin, image, mask, options);
    bar.clear();
    if (last.status != RunStatus::Done)
        return complain(plugin.pipl().name + ": " + input + ": " + last.message, statusOf(last));
    detail(input + ": filtered in " + seconds(filtering));
    const auto saving = std::chrono::steady_clock::now();
    if (!saveImage(output, image, error, a.quality))
        return complain(output + ": " + error, savesAbandoned() ? kExitCancelled : kExitUsage);
    detail(output + ": written in " + seconds(saving));
    return kExitOk;
}

// What --save-settings writes: named settings when the plug-in describes
// them, else the raw keys it returned.
bool savedSettingsText(const PluginLibrary& plugin, const RunResult& last, const Handed& handed, std::string& text) {
    const auto& s = plugin.settings();
    Record record;
    text = "# " + plugin.pipl().name + "\n";
    if (s && last.hasReturnedSettings && recordOfItems(*s, last.returnedSettings, record) && s->valid(record)) {
        text += settingsText(*s, record);
        return true;
    }
    if (s && !s->laterVariant && handed.present) {
        // No descriptor comes back from these: what was handed in is what ran.
        text += settingsText(*s, handed.record);
        return true;
    }
    if (!last.hasReturnedSettings) return false;
    text += formatSettings(last.returnedSettings);
    return true;
}

// Runs work(i) for every i, `jobs` at a time, each in a child process whose
// output comes back through pipes and goes out line by line. Returns each
// input's exit status.
std::vector<int> runInProcesses(size_t count, int jobs, const std::function<int(size_t)>& work,
                                const std::function<void(size_t, int)>& finished) {
    struct Child {
        pid_t pid;
        size_t index;
        int fd[2];
        std::string pending[2];
    };
    std::vector<int> statuses(count, kExitCancelled);
    std::vector<Child> running;
    size_t next = 0;
    std::fflush(stdout);
    std::fflush(stderr);
    while ((next < count && interrupts.load() == 0) || !running.empty()) {
        while (running.size() < static_cast<size_t>(jobs) && next < count && interrupts.load() == 0) {
            int out[2], err[2];
            if (pipe(out) != 0) break;
            if (pipe(err) != 0) {
                close(out[0]);
                close(out[1]);
                break;
            }
            const pid_t pid = fork();
            if (pid == 0) {
                shownBar = nullptr;  // the parent's bar is not this process's to draw
                close(out[0]);
                close(err[0]);
                dup2(out[1], 1);
                dup2(err[1], 2);
                close(out[1]);
                close(err[1]);
                const int status = work(next);
                std::fflush(stdout);
                std::fflush(stderr);
                _exit(status);
            }
            close(out[1]);
            close(err[1]);
            if (pid < 0) {
                close(out[0]);
                close(err[0]);
                complain("cannot start a process: " + std::string(std::strerror(errno)), 0);
                statuses[next] = kExitUsage;
                finished(next, kExitUsage);
                ++next;
                continue;
            }
            running.push_back({pid, next, {out[0], err[0]}, {}});
            ++next;
        }
        if (running.empty()) break;
        std::vector<pollfd> fds;
        for (const Child& c : running)
            for (int f : c.fd)
                if (f >= 0) fds.push_back({f, POLLIN, 0});
        if (!fds.empty() && poll(fds.data(), fds.size(), -1) < 0 && errno != EINTR) break;
        for (size_t i = 0; i < running.size();) {
            Child& c = running[i];
            for (int k = 0; k < 2; ++k) {
                if (c.fd[k] < 0) continue;
                pollfd probe{c.fd[k], POLLIN, 0};
                if (poll(&probe, 1, 0) <= 0) continue;
                char buffer[4096];
                const ssize_t n = read(c.fd[k], buffer, sizeof buffer);
                if (n < 0 && errno == EINTR) continue;
                FILE* stream = k == 0 ? stdout : stderr;
                if (n <= 0) {
                    if (!c.pending[k].empty()) writeLine(stream, c.pending[k]);
                    c.pending[k].clear();
                    close(c.fd[k]);
                    c.fd[k] = -1;
                    continue;
                }
                c.pending[k].append(buffer, static_cast<size_t>(n));
                for (size_t eol; (eol = c.pending[k].find('\n')) != std::string::npos;) {
                    writeLine(stream, c.pending[k].substr(0, eol));
                    c.pending[k].erase(0, eol + 1);
                }
            }
            if (c.fd[0] >= 0 || c.fd[1] >= 0) {
                ++i;
                continue;
            }
            int raw = 0;
            while (waitpid(c.pid, &raw, 0) < 0 && errno == EINTR) {
            }
            const int status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + (WIFSIGNALED(raw) ? WTERMSIG(raw) : 0);
            statuses[c.index] = status;
            finished(c.index, status);
            running.erase(running.begin() + static_cast<std::ptrdiff_t>(i));
        }
    }
    return statuses;
}

// The record to hand in: the chosen preset, else the default one, with the
// settings file and the --set assignments on top.
int buildRecord(const PluginLibrary& plugin, ApplyArgs& a, Handed& handed) {
    const auto& s = plugin.settings();
    const bool wanted = !a.preset.empty() || !a.sets.empty();
    if (!s) {
        if (wanted)
            return complain(plugin.pipl().name + " describes no settings (" +
                                (plugin.settingsProblem().empty() ? std::string("it has no settings resource")
                                                                  : plugin.settingsProblem()) +
                                "), so --preset and --set cannot be used",
                            kExitUsage);
        if (!a.settings.empty()) {
            std::string text, error;
            DescriptorItems items;
            if (!readText(a.settings, text)) return complain("cannot read " + a.settings, kExitUsage);
            if (!parseSettings(text, items, error)) return complain(a.settings + ": " + error, kExitUsage);
            a.run.settings = items;
        }
        return kExitOk;
    }
    if (!wanted && a.settings.empty()) return kExitOk;
    Record record;
    if (!a.preset.empty()) {
        const std::vector<UserPreset> user = userPresets(s->registryKey);
        const PresetChoice choice = choosePreset(*s, user, a.preset);
        if (!choice.found)
            return complain(plugin.pipl().name + " has no preset \"" + a.preset + "\"; its presets are " +
                                presetNames(*s, user),
                            kExitUsage);
        if (!choice.problem.empty())
            return complain(std::string(choice.user ? "user preset \"" : "preset \"") + choice.shownName + "\" of " +
                                plugin.pipl().name + " is not a valid settings record: " + choice.problem,
                            kExitUsage);
        record = choice.record;
        detail("preset \"" + choice.shownName + "\"" + (choice.user ? " (a user preset)" : ""));
    } else if (const FactoryPreset* p = s->defaultPreset(); p && s->valid(p->record)) {
        record = p->record;
    } else {
        record.assign(static_cast<size_t>(s->length), 0);
        for (const SettingInfo& i : s->settings) s->setValue(record, i.slot, static_cast<uint32_t>(i.initial));
        s->seal(record);
    }
    if (!a.settings.empty()) {
        std::string text, error;
        if (!readText(a.settings, text)) return complain("cannot read " + a.settings, kExitUsage);
        if (!readSettingsText(*s, text, record, error)) return complain(a.settings + ": " + error, kExitUsage);
    }
    for (const std::string& assignment : a.sets) {
        std::string error;
        if (!applySetting(*s, assignment, record, error)) return complain("--set " + error, kExitUsage);
    }
    handed.present = true;
    handed.record = record;
    if (verbosity >= 2) {
        std::string text;
        for (const SettingInfo& i : s->settings) text += " " + i.name + "=" + formatValue(i, s->value(record, i.slot));
        detail("settings handed in:" + text);
    }
    if (s->laterVariant) {
        a.run.settings = itemsOfRecord(record);
        return kExitOk;
    }
    // The earlier plug-ins take settings only from their dialog's preset list:
    // the record becomes the one user preset of a registry of this run's own,
    // and a script picks it and applies, without a display.
    if (a.run.dialog || !a.uiScript.empty())
        return complain(plugin.pipl().name + " takes settings only through its dialog's preset list, so --preset, "
                                             "--set and --settings cannot be combined with --dialog or --ui-script",
                        kExitUsage);
    char folder[] = "/tmp/quillmere-run-XXXXXX";
    if (!mkdtemp(folder)) return complain("cannot make a temporary folder", kExitUsage);
    handed.privateFolder = folder;
    setenv("QUILLMERE_REGISTRY", folder, 1);
    if (long r = reg::setValue(reg::Root::CurrentUser, s->registryKey, "quillmere", reg::kTypeBinary, record))
        return complain("cannot write the run's registry in " + std::string(folder) + " (error " + std::to_string(r) + ")",
                        kExitUsage);
    const std::string script = std::string(folder) + "/apply.script";
    if (!writeText(script, "# The run's settings are the list's first entry.\nselect 1033 0\nkey enter\n"))
        return complain("cannot write " + script, kExitUsage);
    setenv("QUILLMERE_HEADLESS", "1", 1);
    setenv("QUILLMERE_UI_SCRIPT", script.c_str(), 1);
    a.run.dialog = true;
    return kExitOk;
}

int commandApply(std::vector<std::string> args) {
    ApplyArgs a;
    std::vector<std::string> positional;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& s = args[i];
        auto value = [&](std::string& into) {
            if (i + 1 >= args.size()) return false;
            into = args[++i];
            return true;
        };
        std::string colour, number, assignment;
        if (s == "-o" || s == "--output") {
            if (!value(a.output)) return usageError("-o needs a file or folder");
        } else if (s == "--dialog") {
            a.run.dialog = true;
        } else if (s == "--mask") {
            if (!value(a.mask)) return usageError("--mask needs a file");
        } else if (s == "--settings") {
            if (!value(a.settings)) return usageError("--settings needs a file");
        } else if (s == "--save-settings") {
            if (!value(a.saveSettings)) return usageError("--save-settings needs a file");
        } else if (s == "--preset") {
            if (!value(a.preset)) return usageError("--preset needs a preset's name");
        } else if (s == "--set") {
            if (!value(assignment)) return usageError("--set needs NAME=VALUE");
            a.sets.push_back(assignment);
        } else if (s.rfind("--set=", 0) == 0) {
            a.sets.push_back(s.substr(6));
        } else if (s == "--plugins") {
            if (!value(a.pluginsOption)) return usageError("--plugins needs a folder");
        } else if (s == "--trace") {
            if (!value(a.trace)) return usageError("--trace needs a file");
        } else if (s == "--ui-script") {
            if (!value(a.uiScript)) return usageError("--ui-script needs a file");
        } else if (s == "--screenshot") {
            if (!value(a.screenshots)) return usageError("--screenshot needs a folder");
        } else if (s == "--foreground" || s == "--background") {
            if (!value(colour) ||
                !parseColour(colour, s == "--foreground" ? a.run.foreground : a.run.background))
                return usageError(s + " needs a colour RRGGBB");
        } else if (s == "--quality") {
            if (!value(number)) return usageError("--quality needs a number");
            a.quality = std::atoi(number.c_str());
            if (a.quality < 1 || a.quality > 100) return usageError("--quality is 1 to 100");
        } else if (s == "-j" || s == "--jobs" || (s.rfind("-j", 0) == 0 && s.size() > 2)) {
            if (s.size() > 2 && s[1] == 'j') number = s.substr(2);
            else if (!value(number)) return usageError("-j needs a number");
            char* end = nullptr;
            const long jobs = std::strtol(number.c_str(), &end, 10);
            if (number.empty() || *end || jobs < 1 || jobs > 256) return usageError("-j takes 1 to 256 images at once");
            a.jobs = static_cast<int>(jobs);
        } else if (s.size() > 1 && s[0] == '-') {
            return usageError("unknown option " + s);
        } else {
            positional.push_back(s);
        }
    }
    if (positional.size() < 2) return usageError("apply needs a plug-in and an input image");
    if (a.output.empty()) return usageError("apply needs -o OUTPUT");
    a.plugin = positional[0];
    a.inputs.assign(positional.begin() + 1, positional.end());

    PluginLibrary plugin;
    if (std::string error = openPlugin(a.plugin, a.pluginsOption, plugin); !error.empty())
        return complain(error, kExitUsage);
    detail(plugin.pipl().name + " from " + plugin.path());

    std::vector<std::string> outputs;
    std::error_code ec;
    const bool toFolder = a.inputs.size() > 1 || fs::is_directory(a.output, ec);
    if (toFolder) {
        for (const std::string& input : a.inputs)
            outputs.push_back((fs::path(a.output) / fs::path(input).filename()).string());
    } else {
        outputs.push_back(a.output);
    }
    // Every output is known writable and distinct before the first render.
    std::map<std::string, size_t> claimed;
    std::string error;
    for (size_t i = 0; i < outputs.size(); ++i) {
        if (toFolder && !fs::is_directory(a.output, ec)) {
            if (!fs::create_directories(a.output, ec)) return complain("cannot create the folder " + a.output, kExitUsage);
        }
        if (!checkOutputPath(outputs[i], error)) return complain(error, kExitUsage);
        const std::string key = fs::absolute(outputs[i], ec).lexically_normal().string();
        const auto [at, fresh] = claimed.emplace(key, i);
        if (!fresh)
            return complain(a.inputs[at->second] + " and " + a.inputs[i] + " would both be written to " +
                                outputs[i],
                            kExitUsage);
    }

    Handed handed;
    struct Cleanup {
        Handed& h;
        ~Cleanup() {
            std::error_code ignored;
            if (!h.privateFolder.empty()) fs::remove_all(h.privateFolder, ignored);
        }
    } cleanup{handed};
    if (int status = buildRecord(plugin, a, handed)) return status;

    // The plug-in's window layer reads these when its dialog opens
    // (platform/ui/environment.h); a script means no display.
    if (!a.uiScript.empty()) {
        std::string text;
        if (!readText(a.uiScript, text)) return complain("cannot read " + a.uiScript, kExitUsage);
        const fs::path script = fs::absolute(a.uiScript, ec);
        setenv("QUILLMERE_HEADLESS", "1", 1);
        setenv("QUILLMERE_UI_SCRIPT", (ec ? fs::path(a.uiScript) : script).c_str(), 1);
    }
    if (!a.screenshots.empty()) {
        fs::create_directories(a.screenshots, ec);
        if (!fs::is_directory(a.screenshots, ec))
            return complain("cannot create the folder " + a.screenshots, kExitUsage);
        setenv("QUILLMERE_SCREENSHOTS", fs::absolute(a.screenshots, ec).c_str(), 1);
    }
    FILE* trace = nullptr;
    if (!a.trace.empty()) {
        trace = std::fopen(a.trace.c_str(), "w");
        if (!trace) return complain("cannot write " + a.trace, kExitUsage);
        a.run.trace = trace;
    }
    struct Closer {
        FILE* f;
        ~Closer() {
            if (f) std::fclose(f);
        }
    } closer{trace};

    Image mask;
    if (!a.mask.empty()) {
        if (!loadImage(a.mask, mask, error)) return complain(a.mask + ": " + error, kExitUsage);
        if (mask.colour != ColourSpace::Grey || mask.hasAlpha)
            return complain(a.mask + ": a mask must be a grey image without alpha", kExitUsage);
    }

    warnIfRegistryUnusable();
    catchInterrupts();
    const size_t count = a.inputs.size();
    const bool batch = count > 1;
    const auto started = std::chrono::steady_clock::now();
    const std::string partial = a.saveSettings + ".part";
    // One image: its run, its line in a batch, and (for the last image) the
    // settings to save.
    int status = kExitOk;
    auto work = [&](size_t i, bool inChild) {
        RunResult last;
        int s = applyOne(plugin, a, a.inputs[i], outputs[i], a.mask.empty() ? nullptr : &mask, last);
        if (s == kExitOk && batch) say(a.inputs[i] + " -> " + outputs[i]);
        if (s == kExitOk && !a.saveSettings.empty() && i + 1 == count && (inChild || status == kExitOk)) {
            std::string text;
            if (!savedSettingsText(plugin, last, handed, text))
                complain(plugin.pipl().name + " returned no settings; " + a.saveSettings + " not written", 0);
            else if (!writeText(inChild ? partial : a.saveSettings, text))
                return complain("cannot write " + a.saveSettings, kExitUsage);
        }
        return s;
    };
    size_t written = 0;
    if (a.jobs > 1 && count > 1) {
        size_t done = 0;
        ProgressBar bar(plugin.pipl().name + " " + std::to_string(count) + " images");
        bar.update(0, static_cast<int32_t>(count));
        const std::vector<int> statuses = runInProcesses(
            count, a.jobs, [&](size_t i) { return work(i, true); },
            [&](size_t, int) { bar.update(static_cast<int32_t>(++done), static_cast<int32_t>(count)); });
        bar.clear();
        for (int s : statuses) {
            status = std::max(status, s == kExitCancelled ? 0 : s);
            if (s == kExitOk) ++written;
        }
        if (interrupts.load() > 0 || std::count(statuses.begin(), statuses.end(), kExitCancelled)) status = kExitCancelled;
        if (!a.saveSettings.empty()) {
            if (status == kExitOk && fs::exists(partial, ec)) fs::rename(partial, a.saveSettings, ec);
            fs::remove(partial, ec);
        }
    } else {
        for (size_t i = 0; i < count; ++i) {
            const int s = work(i, false);
            if (s == kExitCancelled) return s;
            status = std::max(status, s);
            if (s == kExitOk) ++written;
        }
    }
    if (status == kExitCancelled) return status;
    if (batch) say(std::to_string(written) + " written, " + std::to_string(count - written) + " failed");
    detail("done in " + seconds(started));
    return status;
}

// ---- registry ---------------------------------------------------------------

bool underKey(const std::string& path, const std::string& prefix) {
    if (prefix.empty()) return true;
    if (path.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(path[i])) !=
            std::tolower(static_cast<unsigned char>(prefix[i])))
            return false;
    return path.size() == prefix.size() || path[prefix.size()] == '\\';
}

std::vector<qm::os::regedit::RootedKey> collect(const std::string& prefix) {
    std::vector<qm::os::regedit::RootedKey> keys;
    for (reg::Root root : {reg::Root::CurrentUser, reg::Root::LocalMachine})
        for (reg::Key& k : reg::readRoot(root))
            if (underKey(k.path, prefix)) keys.push_back({reg::rootName(root), std::move(k)});
    return keys;
}

// A key as people write it: with or without its root, or a plug-in's name
// ("Keenwright HD" is Software\Quillmere\KeenwrightHD).
std::string keyOf(std::string text, const std::string& defaultKey) {
    for (reg::Root root : {reg::Root::CurrentUser, reg::Root::LocalMachine}) {
        const std::string prefix = std::string(reg::rootName(root)) + "\\";
        if (underKey(text, reg::rootName(root))) text = text.size() > prefix.size() ? text.substr(prefix.size()) : "";
    }
    if (text.find('\\') != std::string::npos || underKey(text, "Software")) return text;
    std::string name;
    for (char c : text)
        if (c != ' ') name += c;
    return defaultKey + "\\" + name;
}

int commandRegistry(std::vector<std::string> args) {
    if (args.empty()) return usageError("registry needs list, export or import");
    const std::string what = args[0];
    const std::string defaultKey = "Software\\Quillmere";
    // A folder or a damaged file in a root's place is not an empty root.
    int unusable = kExitOk;
    if (what == "list" || what == "export")
        for (reg::Root root : {reg::Root::CurrentUser, reg::Root::LocalMachine})
            if (const std::string trouble = reg::rootTrouble(root, false); !trouble.empty())
                unusable = complain(trouble, kExitUsage);
    if (what == "list") {
        if (args.size() > 2) return usageError("registry list takes at most a key or a plug-in's name");
        for (const auto& k : collect(args.size() == 2 ? keyOf(args[1], defaultKey) : defaultKey)) {
            std::string text = "[" + k.root + "\\" + k.key.path + "]";
            for (const reg::Value& v : k.key.values) {
                if (v.type == reg::kTypeString)
                    text += "\n  \"" + v.name + "\" = \"" +
                            std::string(reinterpret_cast<const char*>(v.data.data()), v.data.size()) + "\"";
                else
                    text += "\n  \"" + v.name + "\" = " + std::to_string(v.data.size()) + " bytes (type " +
                            std::to_string(v.type) + ")";
            }
            writeLine(stdout, text);
        }
        return unusable;
    }
    if (what == "export") {
        if (args.size() < 2 || args.size() > 3) return usageError("registry export FILE [KEY]");
        std::string text = qm::os::regedit::format(collect(args.size() == 3 ? args[2] : defaultKey));
        std::ofstream out(args[1], std::ios::binary | std::ios::trunc);
        out << text;
        if (!out.flush()) return complain("cannot write " + args[1], kExitUsage);
        return unusable;
    }
    if (what == "import") {
        if (args.size() != 2) return usageError("registry import FILE");
        std::string text;
        if (!readText(args[1], text)) return complain("cannot read " + args[1], kExitUsage);
        auto parsed = qm::os::regedit::parse(text);
        if (!parsed.hasHeader)
            return complain(args[1] + " is not a registry script (its first line is not REGEDIT4)",
                            kExitUsage);
        for (int line : parsed.badLines)
            complain(args[1] + ":" + std::to_string(line) + ": line skipped", 0);
        int status = kExitOk;
        size_t values = 0;
        for (reg::Root root : {reg::Root::CurrentUser, reg::Root::LocalMachine}) {
            std::vector<reg::Key> keys;
            for (const auto& k : parsed.keys)
                if (k.root == reg::rootName(root)) {
                    keys.push_back(k.key);
                    values += k.key.values.size();
                }
            if (keys.empty()) continue;
            if (long r = reg::mergeIntoRoot(root, keys)) {
                const std::string trouble = reg::rootTrouble(root, true);
                complain(std::string("cannot write ") + reg::rootFile(root) + " (error " +
                             std::to_string(r) + (trouble.empty() ? "" : ": " + trouble) + ")",
                         kExitUsage);
                status = kExitUsage;
            }
        }
        for (const auto& k : parsed.keys)
            if (k.root != reg::rootName(reg::Root::CurrentUser) &&
                k.root != reg::rootName(reg::Root::LocalMachine))
                complain(args[1] + ": root " + k.root + " not kept", 0);
        if (status == kExitOk) say("imported " + std::to_string(values) + " values");
        return status;
    }
    return usageError("unknown registry command " + what);
}

// ---- demo -------------------------------------------------------------------

std::string findSample() {
    for (const fs::path& p : {fs::path(exeFolder()) / "samples" / "seeding.jpg",
                              fs::path(exeFolder()) / ".." / "share" / "quillmere" / "samples" / "seeding.jpg",
                              fs::path(QM_SAMPLE_DIR) / "seeding.jpg"}) {
        std::error_code ec;
        if (fs::is_regular_file(p, ec)) return p.string();
    }
    return {};
}

// The presets that show each plug-in at its best on the sample photograph;
// a plug-in not named here shows its first factory presets.
std::vector<std::string> demoPresets(const PluginLibrary& plugin) {
    static const std::map<std::string, std::vector<std::string>> chosen = {
        {"Keenwright", {"Default", "Abitof"}},
        {"Keenwright HD", {"Default", "Landscape", "X-Noise Reduction"}},
        {"Lumivex", {"Wow!", "Beetle"}},
        {"Plaitwork 2000", {"Drapery", "Wavelet Me"}},
        {"Marbleloom 3D", {"Preset1", "Preset2"}},
    };
    const auto& s = plugin.settings();
    if (!s) return {""};  // one run with the plug-in's own start settings
    std::vector<std::string> names;
    if (auto it = chosen.find(plugin.pipl().name); it != chosen.end())
        for (const std::string& n : it->second)
            for (const FactoryPreset& p : s->presets)
                if (sameText(p.displayName, n)) names.push_back(p.displayName);
    for (size_t i = 0; names.empty() && i < s->presets.size() && i < 2; ++i) names.push_back(s->presets[i].displayName);
    return names;
}

// Environment a preset run changes, put back afterwards.
class SavedEnvironment {
public:
    SavedEnvironment() {
        for (const char* name : kNames)
            if (const char* v = std::getenv(name)) saved_.emplace_back(name, v);
    }
    ~SavedEnvironment() {
        for (const char* name : kNames) unsetenv(name);
        for (const auto& [name, value] : saved_) setenv(name.c_str(), value.c_str(), 1);
    }

private:
    static constexpr const char* kNames[] = {"QUILLMERE_REGISTRY", "QUILLMERE_HEADLESS", "QUILLMERE_UI_SCRIPT"};
    std::vector<std::pair<std::string, std::string>> saved_;
};

int commandDemo(std::vector<std::string> args) {
    std::string folder = "demo-output", pluginsOption;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--plugins" && i + 1 < args.size()) pluginsOption = args[++i];
        else if (args[i][0] != '-') folder = args[i];
        else return usageError("unexpected argument " + args[i]);
    }
    std::vector<std::string> folders = pluginFolders(pluginsOption, exeFolder());
    std::vector<std::string> problems;
    auto found = scanPlugins(folders, problems);
    for (const std::string& problem : problems) complain("skipped " + problem, 0);
    if (found.empty()) {
        std::string text = "no plug-in is built yet (looked in";
        for (const std::string& f : folders) text += " " + f;
        say(text + ")");
        return kExitOk;
    }
    std::string sample = findSample();
    if (sample.empty()) return complain("the bundled sample image is missing", kExitUsage);
    Image photo;
    std::string error;
    if (!loadImage(sample, photo, error)) return complain(sample + ": " + error, kExitUsage);
    std::error_code ec;
    fs::create_directories(folder, ec);
    catchInterrupts();
    std::vector<std::pair<std::string, Image>> results;
    for (const FoundPlugin& p : found) {
        PluginLibrary plugin;
        if (!plugin.open(p.path, error)) {
            say(p.pipl.name + ": not run: " + error);
            continue;
        }
        for (const std::string& preset : demoPresets(plugin)) {
            const std::string title = p.pipl.name + (preset.empty() ? "" : ", " + preset);
            Image image = photo;
            ApplyArgs a;
            a.preset = preset;
            Handed handed;
            SavedEnvironment environment;
            if (buildRecord(plugin, a, handed) != kExitOk) continue;
            a.run.abortRequested = [] { return interrupts.load() > 0; };
            ProgressBar bar(title);
            a.run.progress = [&](int32_t done, int32_t total) { bar.update(done, total); };
            const auto start = std::chrono::steady_clock::now();
            RunResult r = runFilter(plugin, image, nullptr, a.run);
            bar.clear();
            if (!handed.privateFolder.empty()) fs::remove_all(handed.privateFolder, ec);
            if (r.status == RunStatus::Cancelled && interrupts.load() > 0) return kExitCancelled;
            if (r.status != RunStatus::Done) {
                say(title + ": not applied: " + r.message);
                continue;
            }
            std::string stem = fs::path(p.path).stem().string() + "-";
            for (char c : preset)
                if (std::isalnum(static_cast<unsigned char>(c))) stem += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
                else if (!stem.empty() && stem.back() != '-') stem += '-';
            if (stem.back() == '-') stem.pop_back();
            const std::string out = (fs::path(folder) / (stem + ".png")).string();
            if (!saveImage(out, image, error)) return complain(out + ": " + error, kExitUsage);
            say(title + ": wrote " + out + " (" + std::to_string(image.width) + " x " + std::to_string(image.height) +
                ") in " + seconds(start));
            results.emplace_back(title, std::move(image));
        }
    }
    std::vector<SheetEntry> entries = {{"The photograph", &photo}};
    for (const auto& [title, image] : results) entries.push_back({title, &image});
    const Image sheet = contactSheet(entries, 4, 320);
    const std::string sheetPath = (fs::path(folder) / "contact-sheet.jpg").string();
    if (!saveImage(sheetPath, sheet, error, 88)) return complain(sheetPath + ": " + error, kExitUsage);
    say("contact sheet of the photograph and " + std::to_string(results.size()) + " results: " + sheetPath);
    return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
    qm::host::preferHugePages(argv);
    // Lines reach a pipe or file in the order they were made.
    setvbuf(stdout, nullptr, _IOLBF, 0);
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "-q" || a == "--quiet") verbosity = 0;
        else if (a == "-v" || a == "--verbose") verbosity = 2;
        else args.push_back(a);
    }
    if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        std::fputs(usage().c_str(), args.empty() ? stderr : stdout);
        return args.empty() ? kExitUsage : kExitOk;
    }
    if (args[0] == "--version") {
        std::printf("quillmere %s\n", QM_VERSION);
        return kExitOk;
    }
    std::string command = args[0];
    args.erase(args.begin());
    if (command == "list") return asksForHelp(args) ? help(kListUsage) : commandList(args);
    if (command == "info") return asksForHelp(args) ? help(kInfoUsage) : commandInfo(args);
    if (command == "apply") return asksForHelp(args) ? help(kApplyUsage) : commandApply(args);
    if (command == "registry") return asksForHelp(args) ? help(kRegistryUsage) : commandRegistry(args);
    if (command == "demo") return asksForHelp(args) ? help(kDemoUsage) : commandDemo(args);
    return usageError("unknown command " + command);
}
