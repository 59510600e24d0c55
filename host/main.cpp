// quillmere: runs filter plug-ins on image files.
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "host/descriptor.h"
#include "host/filter_run.h"
#include "host/image.h"
#include "host/plugin.h"
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
const char* kApplyUsage =
    "  quillmere apply PLUGIN INPUT... -o OUTPUT [options]\n"
    "      --dialog               ask the plug-in for its dialog\n"
    "      --mask FILE            8-bit grey selection mask (255 = selected)\n"
    "      --settings FILE        scripting parameters handed to the plug-in\n"
    "      --save-settings FILE   write the parameters the plug-in returns\n"
    "      --foreground RRGGBB --background RRGGBB\n"
    "      --plugins DIR          look for plug-ins here first\n"
    "      --quality N            JPEG quality of the output (default 92)\n"
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
    return std::string("usage:\n") + kListUsage + kApplyUsage + kRegistryUsage + kDemoUsage +
           "  quillmere --version\n";
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

int complain(const std::string& message, int status) {
    std::fprintf(stderr, "quillmere: %s\n", message.c_str());
    return status;
}

int usageError(const std::string& message) {
    std::fprintf(stderr, "quillmere: %s\n%s", message.c_str(), usage().c_str());
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

bool parseColour(const std::string& text, uint8_t rgb[3]) {
    std::string t = text[0] == '#' ? text.substr(1) : text;
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

// Terminal progress bar on stderr, redrawn when the percentage changes.
class ProgressBar {
public:
    explicit ProgressBar(std::string label) : label_(std::move(label)), tty_(isatty(2)) {}
    ~ProgressBar() { clear(); }
    void update(int32_t done, int32_t total) {
        if (!tty_ || total <= 0) return;
        int percent = static_cast<int>(100.0 * std::clamp(done, 0, total) / total);
        if (percent == shown_) return;
        shown_ = percent;
        char bar[41];
        int filled = percent * 40 / 100;
        for (int i = 0; i < 40; ++i) bar[i] = i < filled ? '#' : '.';
        bar[40] = 0;
        std::fprintf(stderr, "\r%s [%s] %3d%%", label_.c_str(), bar, percent);
        std::fflush(stderr);
    }
    void clear() {
        if (tty_ && shown_ >= 0) std::fprintf(stderr, "\r\033[K");
        shown_ = -1;
    }

private:
    std::string label_;
    bool tty_;
    int shown_ = -1;
};

int statusOf(const RunResult& r) {
    switch (r.status) {
        case RunStatus::Done: return kExitOk;
        case RunStatus::Cancelled: return kExitCancelled;
        case RunStatus::PluginError:
        case RunStatus::ProtocolError: return kExitPluginError;
        default: return kExitUsage;
    }
}

// ---- list -------------------------------------------------------------------

int commandList(std::vector<std::string> args) {
    std::string pluginsOption;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--plugins" && i + 1 < args.size()) pluginsOption = args[++i];
        else return usageError("unexpected argument " + args[i]);
    }
    std::vector<std::string> problems;
    auto found = scanPlugins(pluginFolders(pluginsOption, exeFolder()), problems);
    for (const FoundPlugin& p : found) {
        std::printf("%s\n  category: %s\n  modes: %s\n  file: %s\n", p.pipl.name.c_str(),
                    p.pipl.category.c_str(),
                    p.pipl.modes ? describeModes(*p.pipl.modes).c_str() : "any",
                    p.path.c_str());
        if (p.pipl.enableExpression)
            std::printf("  enabled when: %s\n", p.pipl.enableExpression->c_str());
    }
    for (const std::string& problem : problems) std::fprintf(stderr, "quillmere: skipped %s\n", problem.c_str());
    if (found.empty()) std::printf("no plug-ins found\n");
    return kExitOk;
}

// ---- apply ------------------------------------------------------------------

struct ApplyArgs {
    std::string plugin;
    std::vector<std::string> inputs;
    std::string output;
    std::string mask, settings, saveSettings, pluginsOption, trace, uiScript, screenshots;
    RunOptions run;
    int quality = 92;
};

int applyOne(const PluginLibrary& plugin, const ApplyArgs& a, const std::string& input,
             const std::string& output, const Image* mask, RunResult& last) {
    Image image;
    std::string error;
    if (!loadImage(input, image, error)) return complain(input + ": " + error, kExitUsage);
    if (mask && (mask->width != image.width || mask->height != image.height))
        return complain(a.mask + ": the mask is " + std::to_string(mask->width) + " x " +
                            std::to_string(mask->height) + " pixels, " + input + " is " +
                            std::to_string(image.width) + " x " + std::to_string(image.height),
                        kExitUsage);
    ProgressBar bar(plugin.pipl().name);
    RunOptions options = a.run;
    options.progress = [&](int32_t done, int32_t total) { bar.update(done, total); };
    options.abortRequested = [] { return interrupts.load() > 0; };
    last = runFilter(plugin, image, mask, options);
    bar.clear();
    if (last.status != RunStatus::Done)
        return complain(plugin.pipl().name + ": " + input + ": " + last.message, statusOf(last));
    if (!saveImage(output, image, error, a.quality))
        return complain(output + ": " + error, savesAbandoned() ? kExitCancelled : kExitUsage);
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
        std::string colour, quality;
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
            if (!value(quality)) return usageError("--quality needs a number");
            a.quality = std::atoi(quality.c_str());
            if (a.quality < 1 || a.quality > 100) return usageError("--quality is 1 to 100");
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

    if (!a.settings.empty()) {
        std::string text, error;
        DescriptorItems items;
        if (!readText(a.settings, text)) return complain("cannot read " + a.settings, kExitUsage);
        if (!parseSettings(text, items, error)) return complain(a.settings + ": " + error, kExitUsage);
        a.run.settings = items;
    }
    // The plug-in's window layer reads these when its dialog opens
    // (platform/ui/environment.h); a script means no display.
    if (!a.uiScript.empty()) {
        std::string text;
        if (!readText(a.uiScript, text)) return complain("cannot read " + a.uiScript, kExitUsage);
        std::error_code ec;
        const fs::path script = fs::absolute(a.uiScript, ec);
        setenv("QUILLMERE_HEADLESS", "1", 1);
        setenv("QUILLMERE_UI_SCRIPT", (ec ? fs::path(a.uiScript) : script).c_str(), 1);
    }
    if (!a.screenshots.empty()) {
        std::error_code ec;
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

    std::string path, error;
    if (!resolvePlugin(a.plugin, pluginFolders(a.pluginsOption, exeFolder()), path, error))
        return complain(error, kExitUsage);
    PluginLibrary plugin;
    if (!plugin.open(path, error)) return complain(path + ": " + error, kExitUsage);

    Image mask;
    if (!a.mask.empty()) {
        if (!loadImage(a.mask, mask, error)) return complain(a.mask + ": " + error, kExitUsage);
        if (mask.colour != ColourSpace::Grey || mask.hasAlpha)
            return complain(a.mask + ": a mask must be a grey image without alpha", kExitUsage);
    }

    std::vector<std::string> outputs;
    std::error_code ec;
    if (a.inputs.size() > 1 || fs::is_directory(a.output, ec)) {
        if (!fs::is_directory(a.output, ec) && !fs::create_directories(a.output, ec))
            return complain("cannot create the folder " + a.output, kExitUsage);
        for (const std::string& input : a.inputs)
            outputs.push_back((fs::path(a.output) / fs::path(input).filename()).string());
    } else {
        outputs.push_back(a.output);
    }
    // Every output is known writable and distinct before the first render.
    std::map<std::string, size_t> claimed;
    for (size_t i = 0; i < outputs.size(); ++i) {
        if (!checkOutputPath(outputs[i], error)) return complain(error, kExitUsage);
        const std::string key = fs::absolute(outputs[i], ec).lexically_normal().string();
        const auto [at, fresh] = claimed.emplace(key, i);
        if (!fresh)
            return complain(a.inputs[at->second] + " and " + a.inputs[i] + " would both be written to " +
                                outputs[i],
                            kExitUsage);
    }

    warnIfRegistryUnusable();
    catchInterrupts();
    int status = kExitOk;
    RunResult last;
    size_t written = 0;
    for (size_t i = 0; i < a.inputs.size(); ++i) {
        int s = applyOne(plugin, a, a.inputs[i], outputs[i], a.mask.empty() ? nullptr : &mask, last);
        if (s == kExitCancelled) return s;
        if (s > status) status = s;
        if (s == kExitOk) ++written;
        if (s == kExitOk && a.inputs.size() > 1)
            std::printf("%s -> %s\n", a.inputs[i].c_str(), outputs[i].c_str());
    }
    if (a.inputs.size() > 1)
        std::printf("%zu written, %zu failed\n", written, a.inputs.size() - written);
    if (!a.saveSettings.empty() && status == kExitOk) {
        if (!last.hasReturnedSettings) {
            std::fprintf(stderr, "quillmere: %s returned no settings; %s not written\n",
                         plugin.pipl().name.c_str(), a.saveSettings.c_str());
        } else {
            std::ofstream out(a.saveSettings, std::ios::trunc);
            out << "# " << plugin.pipl().name << "\n" << formatSettings(last.returnedSettings);
            if (!out.flush()) return complain("cannot write " + a.saveSettings, kExitUsage);
        }
    }
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
            std::printf("[%s\\%s]\n", k.root.c_str(), k.key.path.c_str());
            for (const reg::Value& v : k.key.values) {
                if (v.type == reg::kTypeString)
                    std::printf("  \"%s\" = \"%.*s\"\n", v.name.c_str(),
                                static_cast<int>(v.data.size()),
                                reinterpret_cast<const char*>(v.data.data()));
                else
                    std::printf("  \"%s\" = %zu bytes (type %u)\n", v.name.c_str(), v.data.size(), v.type);
            }
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
            std::fprintf(stderr, "quillmere: %s:%d: line skipped\n", args[1].c_str(), line);
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
                std::fprintf(stderr, "quillmere: %s: root %s not kept\n", args[1].c_str(), k.root.c_str());
        if (status == kExitOk) std::printf("imported %zu values\n", values);
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
    for (const std::string& problem : problems) std::fprintf(stderr, "quillmere: skipped %s\n", problem.c_str());
    if (found.empty()) {
        std::printf("no plug-in is built yet (looked in");
        for (const std::string& f : folders) std::printf(" %s", f.c_str());
        std::printf(")\n");
        return kExitOk;
    }
    std::string sample = findSample();
    if (sample.empty()) return complain("the bundled sample image is missing", kExitUsage);
    std::error_code ec;
    fs::create_directories(folder, ec);
    catchInterrupts();
    for (const FoundPlugin& p : found) {
        Image image;
        std::string error;
        if (!loadImage(sample, image, error)) return complain(sample + ": " + error, kExitUsage);
        PluginLibrary plugin;
        if (!plugin.open(p.path, error)) {
            std::printf("%s: not run: %s\n", p.pipl.name.c_str(), error.c_str());
            continue;
        }
        RunOptions options;
        options.abortRequested = [] { return interrupts.load() > 0; };
        ProgressBar bar(p.pipl.name);
        options.progress = [&](int32_t done, int32_t total) { bar.update(done, total); };
        auto start = std::chrono::steady_clock::now();
        RunResult r = runFilter(plugin, image, nullptr, options);
        double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        bar.clear();
        if (r.status == RunStatus::Cancelled && interrupts.load() > 0) return kExitCancelled;
        if (r.status != RunStatus::Done) {
            std::printf("%s: not applied: %s\n", p.pipl.name.c_str(), r.message.c_str());
            continue;
        }
        std::string out = (fs::path(folder) / (fs::path(p.path).stem().string() + ".png")).string();
        if (!saveImage(out, image, error)) return complain(out + ": " + error, kExitUsage);
        std::printf("%s: wrote %s (%d x %d) in %.2f s\n", p.pipl.name.c_str(), out.c_str(),
                    image.width, image.height, seconds);
    }
    return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
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
    if (command == "apply") return asksForHelp(args) ? help(kApplyUsage) : commandApply(args);
    if (command == "registry") return asksForHelp(args) ? help(kRegistryUsage) : commandRegistry(args);
    if (command == "demo") return asksForHelp(args) ? help(kDemoUsage) : commandDemo(args);
    return usageError("unknown command " + command);
}
