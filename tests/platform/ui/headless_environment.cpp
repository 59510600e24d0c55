// The headless tests run without a display and write their screenshots into
// a folder of their own, whatever the environment of the run says.
#include <cstdlib>
#include <filesystem>
#include <string>

#include <unistd.h>

#include "tests/platform/ui/ui_test_support.h"

namespace qm::ui::testing {

namespace {
std::string folderOfThisProcess() {
    return (std::filesystem::temp_directory_path() / ("quillmere-ui-shots-" + std::to_string(getpid()))).string();
}
}  // namespace

const std::string& screenshotDir() {
    static const std::string dir = [] {
        std::string d = folderOfThisProcess();
        std::filesystem::remove_all(d);
        std::atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(folderOfThisProcess(), ec);
        });
        return d;
    }();
    return dir;
}

namespace {
const bool prepared = [] {
    setenv("QUILLMERE_HEADLESS", "1", 1);
    unsetenv("QUILLMERE_UI_SCRIPT");
    unsetenv("QUILLMERE_SCREEN");
    setenv("QUILLMERE_SCREENSHOTS", screenshotDir().c_str(), 1);
    return true;
}();
}  // namespace

}  // namespace qm::ui::testing
