// Running a helper program (zenity) with a time limit, reading its stdout.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace qm::ui::detail {

struct ProgramResult {
    enum class Outcome { Exited, NotStarted, TimedOut, Killed } outcome = Outcome::NotStarted;
    int exitCode = -1;
    std::string output;
};

// The program's full path from PATH (or as given when it has a '/'), empty
// when it cannot be run.
std::string findProgram(const std::string& name);

// Runs argv (argv[0] a full path) with `extraEnvironment` ("NAME=value")
// added, stdin from /dev/null and stderr dropped. While it runs, `idle` is
// called about every 50 ms. After timeoutMs the program is terminated.
ProgramResult runProgram(const std::vector<std::string>& argv,
                         const std::vector<std::string>& extraEnvironment, int timeoutMs,
                         const std::function<void()>& idle);

}  // namespace qm::ui::detail
