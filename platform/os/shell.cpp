#include "platform/os/shell.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <mutex>

extern char** environ;

namespace qm::os {
namespace {

std::mutex& recordMutex() {
    static std::mutex m;
    return m;
}

std::vector<std::string>& records() {
    static std::vector<std::string> r;
    return r;
}

bool isSet(const char* name) { return std::getenv(name) != nullptr; }

bool hasDisplay() {
    // An empty DISPLAY names no display either.
    const char* x = std::getenv("DISPLAY");
    const char* w = std::getenv("WAYLAND_DISPLAY");
    return (x && *x) || (w && *w);
}

void appendToLog(const std::string& target) {
    const char* log = std::getenv("QUILLMERE_SHELL_LOG");
    if (log == nullptr || *log == '\0') return;
    int fd = ::open(log, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return;
    // One write per line, so lines from several processes never interleave.
    std::string line = target + '\n';
    const char* p = line.data();
    size_t left = line.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        p += n;
        left -= static_cast<size_t>(n);
    }
    ::close(fd);
}

// A short-lived sh starts xdg-open in the background and exits at once; the
// opener is then the init process's child, so no zombie is ever left with us
// and no fork happens in this possibly threaded process. The target reaches
// xdg-open as "$1", never as shell text.
constexpr const char* kLauncher =
    "command -v xdg-open >/dev/null 2>&1 || exit 127\n"
    "xdg-open \"$1\" </dev/null >/dev/null 2>&1 &\n";

bool launch(const std::string& target) {
    posix_spawnattr_t attr;
    if (posix_spawnattr_init(&attr) != 0) return false;
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGCHLD);
    sigaddset(&defaults, SIGINT);
    sigaddset(&defaults, SIGTERM);
    sigaddset(&defaults, SIGHUP);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    // Its own process group: a Ctrl-C meant for the host leaves the opener be.
    posix_spawnattr_setpgroup(&attr, 0);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF |
                                        POSIX_SPAWN_SETPGROUP);

    char* argv[] = {const_cast<char*>("sh"), const_cast<char*>("-c"),
                    const_cast<char*>(kLauncher), const_cast<char*>("sh"),
                    const_cast<char*>(target.c_str()), nullptr};
    pid_t pid = 0;
    int rc = posix_spawn(&pid, "/bin/sh", nullptr, &attr, argv, environ);
    posix_spawnattr_destroy(&attr);
    if (rc != 0) return false;

    int status = 0;
    pid_t r;
    while ((r = waitpid(pid, &status, 0)) < 0 && errno == EINTR) {
    }
    // ECHILD: the host ignores SIGCHLD and the kernel reaped sh for us; it did start.
    if (r < 0) return errno == ECHILD;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

bool shellOpen(const std::string& target) {
    if (target.empty()) return false;
    if (isSet("QUILLMERE_HEADLESS") || !hasDisplay()) {
        {
            std::lock_guard lock(recordMutex());
            records().push_back(target);
        }
        appendToLog(target);
        return true;
    }
    return launch(target);
}

const std::vector<std::string>& recordedShellOpens() { return records(); }

}  // namespace qm::os
