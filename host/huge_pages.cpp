#include "host/huge_pages.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace qm::host {

namespace {
constexpr const char* kVariable = "GLIBC_TUNABLES";
constexpr const char* kTunable = "glibc.malloc.hugetlb";
}  // namespace

std::optional<std::string> tunablesWithHugePages(const char* current) {
    if (!current || !*current) return std::string(kTunable) + "=1";
    if (std::strstr(current, kTunable)) return std::nullopt;
    return std::string(current) + ":" + kTunable + "=1";
}

void preferHugePages(char** argv) {
    const char* current = std::getenv(kVariable);
    const std::optional<std::string> wanted = tunablesWithHugePages(current);
    if (!wanted) return;
    const std::string before = current ? current : "";
    const bool wasSet = current != nullptr;
    // The program's own file by its name, so that it keeps its name in
    // process lists.
    char self[4096];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) return;
    self[length] = '\0';
    if (setenv(kVariable, wanted->c_str(), 1) != 0) return;
    execv(self, argv);
    // Not restarted: leave the environment as it came.
    if (wasSet) setenv(kVariable, before.c_str(), 1);
    else unsetenv(kVariable);
}

}  // namespace qm::host
