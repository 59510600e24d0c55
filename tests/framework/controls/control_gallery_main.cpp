// control_gallery [OUT.png [SCALE]]
//
// The control gallery in a real window when $DISPLAY is set (close it with
// apply or cancel); without a display, drawn on the headless screen and
// written as OUT.png, enlarged SCALE times pixel for pixel (for looking
// closely). For looking at the controls; not shipped, not a test.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/ui/dialog.h"
#include "platform/ui/screenshot.h"
#include "tests/framework/controls/control_gallery.h"

int main(int argc, char** argv) {
    using namespace qm;
    const std::string out = argc > 1 ? argv[1] : "control_gallery.png";
    const int scale = argc > 2 ? std::max(1, std::atoi(argv[2])) : 1;
    const bool display = std::getenv("DISPLAY") != nullptr && std::getenv("QUILLMERE_HEADLESS") == nullptr;
    if (!display) {
        // The headless screen ends a dialog once its script has run out: a
        // second of idling lets the preview render and the picture be taken.
        const std::string script = std::filesystem::temp_directory_path() / "qm-control-gallery.script";
        std::ofstream(script) << "idle 1000\n";
        setenv("QUILLMERE_HEADLESS", "1", 1);
        setenv("QUILLMERE_UI_SCRIPT", script.c_str(), 1);
    }
    fw::testing::Gallery gallery;
    int ticks = 0;
    bool written = false;
    gallery.run([&](ui::Window& window) {
        // The preview transfers and renders at its first paint.
        if (display || ++ticks < 3 || written) return;
        std::string error;
        written = true;
        const ui::Surface shown = ui::composeWindow(window);
        ui::Surface enlarged(shown.width() * scale, shown.height() * scale);
        for (int y = 0; y < enlarged.height(); ++y)
            for (int x = 0; x < enlarged.width(); ++x) enlarged.setPixel(x, y, shown.pixel(x / scale, y / scale));
        if (!ui::writePng(enlarged, out, error)) std::fprintf(stderr, "%s\n", error.c_str());
        else std::printf("wrote %s\n", out.c_str());
        ui::endDialog(window, 2);
    });
    for (int c : gallery.commands) std::printf("command %d\n", c);
    return 0;
}
