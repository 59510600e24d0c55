// The control gallery in a real window on a private X server, driven by a
// real mouse through xdotool: a drag moves a slider's thumb, value and text;
// clicks on a selector and a button post their commands; the navigator
// drags; the server shows exactly what the controls composed.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/ui/dialog.h"
#include "platform/ui/screenshot.h"
#include "platform/ui/x11/x11.h"
#include "tests/framework/controls/control_gallery.h"
#include "tests/platform/ui/xvfb.h"

namespace qm::fw::testing {
namespace {

using ui::testing::sameInside;
using ui::testing::xdotool;

TEST(GalleryX11, ARealMouseDrivesTheControlsAndTheServerShowsThem) {
    static ui::testing::Xvfb server;
    std::string why;
    if (ui::detail::findProgram("xdotool").empty()) GTEST_SKIP() << "xdotool is not installed";
    if (!server.start(why)) GTEST_SKIP() << why;
    ui::testing::useDisplay(server.display());

    Gallery g;
    struct Step {
        const char* what;
        std::function<void(ui::Window&)> act;    // what the user does
        std::function<void(ui::Window&)> check;  // once the window has handled it
        std::function<bool()> handled = [] { return true; };  // the sign of it, waited for up to 4 s
    };
    auto at = [](ui::Window& w, int x, int y) {
        const ui::Point s = w.clientToScreen({x, y});
        return std::to_string(s.x) + " " + std::to_string(s.y);
    };
    ui::Surface before;
    std::string mismatch;
    bool shownAtStart = false, shownAtEnd = false;
    ui::Point viewBefore;
    const std::vector<Step> steps = {
        {"first paint on the server",
         [&](ui::Window&) {},
         [&](ui::Window& w) {
             ui::x11::sync();
             shownAtStart = ui::testing::serverShows(server.display(), ui::x11::nativeWindow(w), ui::composeWindow(w),
                                                     mismatch);
             before = ui::composeWindow(w);
         }},
        {"drag the Radius thumb by 60 pixels",
         [&](ui::Window& w) {
             xdotool("mousemove --sync " + at(w, 645, 205));
             xdotool("mousedown 1");
             xdotool("mousemove --sync " + at(w, 675, 205));
             xdotool("mousemove --sync " + at(w, 705, 205));
             xdotool("mouseup 1");
         },
         [&](ui::Window& w) {
             EXPECT_EQ(g.radius->getValue(), 60);
             EXPECT_EQ(g.radius->firstText(), "060");
             const ui::Rect& box = g.radius->boundingBox();
             EXPECT_FALSE(sameInside(before, ui::composeWindow(w), box.inflatedBy(40, 30)))
                 << "the thumb and its text did not move on the window";
         },
         [&] { return g.radius->getValue() == 60 && g.radius->dragged() == 0; }},
        {"click the Preview switch",
         [&](ui::Window& w) { xdotool("mousemove --sync " + at(w, 746, 566) + " click 1"); },
         [&](ui::Window&) { EXPECT_EQ(g.toggle->state, UiSelector::kOff); },
         [&] { return g.toggle->state == UiSelector::kOff; }},
        {"click Undo", [&](ui::Window& w) { xdotool("mousemove --sync " + at(w, 651, 567) + " click 1"); },
         [&](ui::Window&) {}, [&] { return !g.commands.empty() && g.commands.back() == 191; }},
        {"zoom to 100 %", [&](ui::Window& w) { xdotool("mousemove --sync " + at(w, 646, 166) + " click 1"); },
         [&](ui::Window&) {
             EXPECT_EQ(g.zoom[0]->state, UiSelector::kOn);
             EXPECT_EQ(g.zoom[3]->state, UiSelector::kOff);
             viewBefore = g.navigator->viewPosition();
         },
         [&] { return g.zoom[0]->state == UiSelector::kOn; }},
        {"drag the navigator's view",
         [&](ui::Window& w) {
             const ui::Rect v = g.navigator->viewRect();
             const int x = g.navigator->area().left + v.left + v.width() / 2;
             const int y = g.navigator->area().top + v.top + v.height() / 2;
             xdotool("mousemove --sync " + at(w, x, y));
             xdotool("mousedown 1");
             xdotool("mousemove --sync " + at(w, x + 10, y + 5));
             xdotool("mousemove --sync " + at(w, x + 20, y + 10));
             xdotool("mouseup 1");
         },
         [&](ui::Window& w) {
             EXPECT_NE(g.navigator->viewPosition(), viewBefore);
             ui::x11::sync();
             shownAtEnd = ui::testing::serverShows(server.display(), ui::x11::nativeWindow(w), ui::composeWindow(w),
                                                   mismatch);
         },
         [&] { return g.navigator->viewPosition() != viewBefore && !g.navigator->dragging(); }},
        {"apply", [&](ui::Window& w) { xdotool("mousemove --sync " + at(w, 807, 609) + " click 1"); },
         [&](ui::Window&) {}},
    };

    size_t next = 0;
    int waited = 0, ticks = 0;
    const intptr_t code = g.run([&](ui::Window& w) {
        if (++ticks > 1500) ui::endDialog(w, -5);  // 30 s: something is stuck
        if (!ui::x11::nativeWindow(w) || !g.preview->buffers().transferred) return;
        if (next > 0 && !steps[next - 1].handled() && ++waited < 200) return;
        if (next > 0) steps[next - 1].check(w);
        if (next >= steps.size()) return;
        steps[next++].act(w);
        waited = 0;
    });
    EXPECT_EQ(code, 1) << "apply did not end the dialog";
    EXPECT_TRUE(shownAtStart) << mismatch;
    EXPECT_TRUE(shownAtEnd) << mismatch;
    const std::vector<int> expected = {2000, 2300, 191, 2400, 2399, 1};
    std::vector<int> seen;
    for (int c : g.commands)
        if (seen.empty() || seen.back() != c) seen.push_back(c);  // a drag posts at every move
    EXPECT_EQ(seen, expected);
}

}  // namespace
}  // namespace qm::fw::testing
