#include "platform/ui/x11/external_program.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>

extern char** environ;

namespace qm::ui::detail {
namespace {

uint64_t millisecondsNow() {
    using namespace std::chrono;
    return static_cast<uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

// Waits for the child with a bound; false when it is still running.
bool reap(pid_t pid, int& status, int boundMs) {
    const uint64_t end = millisecondsNow() + static_cast<uint64_t>(boundMs);
    for (;;) {
        pid_t r = waitpid(pid, &status, WNOHANG);
        if (r == pid) return true;
        if (r < 0 && errno != EINTR) return true;
        if (millisecondsNow() >= end) return false;
        usleep(10000);
    }
}

}  // namespace

std::string findProgram(const std::string& name) {
    if (name.empty()) return {};
    if (name.find('/') != std::string::npos) return access(name.c_str(), X_OK) == 0 ? name : std::string();
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    size_t pos = 0;
    while (pos <= dirs.size()) {
        size_t end = dirs.find(':', pos);
        if (end == std::string::npos) end = dirs.size();
        const std::string full = (end > pos ? dirs.substr(pos, end - pos) : std::string(1, '.')) + "/" + name;
        if (access(full.c_str(), X_OK) == 0) return full;
        pos = end + 1;
    }
    return {};
}

ProgramResult runProgram(const std::vector<std::string>& argv,
                         const std::vector<std::string>& extraEnvironment, int timeoutMs,
                         const std::function<void()>& idle) {
    ProgramResult result;
    if (argv.empty()) return result;
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) return result;

    std::vector<std::string> envStrings;
    for (char** e = environ; e && *e; ++e) {
        bool replaced = false;
        for (const std::string& x : extraEnvironment) {
            const size_t eq = x.find('=');
            if (std::strncmp(*e, x.c_str(), eq + 1) == 0) replaced = true;
        }
        if (!replaced) envStrings.emplace_back(*e);
    }
    envStrings.insert(envStrings.end(), extraEnvironment.begin(), extraEnvironment.end());
    std::vector<char*> envp, args;
    for (std::string& s : envStrings) envp.push_back(s.data());
    envp.push_back(nullptr);
    std::vector<std::string> argCopy(argv);
    for (std::string& s : argCopy) args.push_back(s.data());
    args.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // Its own process group, so a timeout ends everything it started.
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, args[0], &actions, &attributes, args.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(out[1]);
    if (spawned != 0) {
        close(out[0]);
        return result;
    }

    const uint64_t deadline = millisecondsNow() + static_cast<uint64_t>(std::max(timeoutMs, 0));
    bool open = true;
    bool timedOut = false;
    char buffer[4096];
    while (open) {
        const uint64_t now = millisecondsNow();
        if (now >= deadline) {
            timedOut = true;
            break;
        }
        pollfd p{out[0], POLLIN, 0};
        const int ready = poll(&p, 1, static_cast<int>(std::min<uint64_t>(50, deadline - now)));
        if (ready > 0) {
            const ssize_t n = read(out[0], buffer, sizeof buffer);
            if (n > 0) result.output.append(buffer, static_cast<size_t>(n));
            else if (n == 0 || (errno != EINTR && errno != EAGAIN)) open = false;
        }
        if (idle) idle();
    }
    close(out[0]);
    int status = 0;
    if (!timedOut) {
        // Output closed: the program is ending; give it the rest of the time.
        const uint64_t now = millisecondsNow();
        timedOut = !reap(pid, status, static_cast<int>(deadline > now ? deadline - now : 0));
    }
    if (timedOut) {
        kill(-pid, SIGTERM);
        if (!reap(pid, status, 1000)) {
            kill(-pid, SIGKILL);
            reap(pid, status, 5000);
        }
        result.outcome = ProgramResult::Outcome::TimedOut;
        return result;
    }
    if (WIFEXITED(status)) {
        result.outcome = ProgramResult::Outcome::Exited;
        result.exitCode = WEXITSTATUS(status);
    } else {
        result.outcome = ProgramResult::Outcome::Killed;
    }
    return result;
}

}  // namespace qm::ui::detail
