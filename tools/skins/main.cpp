// qm_skin_maker OUTDIR [--sheet FILE.png]
//
// Draws every skin bitmap and the link cursor into OUTDIR (resources/common).
// Run by hand; its output is committed. --sheet writes all of them at four
// times their size, on the background texture, for looking at.
#include <cstdio>
#include <string>

#include "platform/ui/screenshot.h"
#include "tools/skins/artwork.h"
#include "tools/skins/files.h"
#include "tools/skins/sheet.h"

int main(int argc, char** argv) {
    using namespace qm;
    if (argc != 2 && !(argc == 4 && std::string(argv[2]) == "--sheet")) {
        std::fprintf(stderr, "usage: qm_skin_maker OUTDIR [--sheet FILE.png]\n");
        return 2;
    }
    const std::string dir = argv[1];
    const auto skins = skins::drawSkins();
    for (const auto& s : skins) {
        if (!skins::writeBmp(s.pixels, dir + "/" + s.file)) {
            std::fprintf(stderr, "cannot write %s/%s\n", dir.c_str(), s.file.c_str());
            return 1;
        }
    }
    const auto cursor = skins::drawLinkCursor();
    if (!skins::writeCursor(cursor.pixels, cursor.opaque, cursor.hotSpot, dir + "/cursor120.cur")) {
        std::fprintf(stderr, "cannot write %s/cursor120.cur\n", dir.c_str());
        return 1;
    }
    if (argc == 4) {
        std::string error;
        if (!ui::writePng(skins::contactSheet(skins, cursor, 4), argv[3], error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 1;
        }
    }
    return 0;
}
