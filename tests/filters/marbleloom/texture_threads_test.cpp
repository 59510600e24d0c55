// The row renderer on 1, 2 and 7 workers gives the bytes of the plain
// per-pixel step, for the factory presets, with transparency and a selection,
// at the smallest accepted sides and on a wide strip.
#include <gtest/gtest.h>

#include <vector>

#include "framework/host/row_renderer.h"
#include "tests/filters/marbleloom/texture_harness.h"

namespace qm::marbleloom::test {
namespace {

const fw::FilterDescription& plainFilter() {
    static const fw::FilterDescription filter = [] {
        fw::FilterDescription f = filterWithoutSessionState();
        f.rows = {};
        return f;
    }();
    return filter;
}

struct Run : qm::test::FinalPassRun {
    Run(int w, int h, int planes, bool withMask, const fw::FilterDescription& f)
        : FinalPassRun(w, h, planes, withMask, 0, f) {
        // Smooth ramps with fine detail, like a photo's edges and flat parts.
        for (size_t i = 0; i < in.size(); ++i) in[i] = static_cast<uint8_t>((i * 7 + (i * i) % 97 + i / 61) % 256);
        for (size_t i = 0; i < mask.size(); ++i) mask[i] = static_cast<uint8_t>(i * 29 % 256);
        session.data = openTextureSession(session, qm::test::noResources(), factory.folders());
    }
    FactoryFolders factory;
};

std::vector<uint8_t> render(int w, int h, int planes, bool mask, const fw::ValueSlots& slots,
                            const fw::FilterDescription& f) {
    Run run(w, h, planes, mask, f);
    EXPECT_TRUE(run.opened && run.session.data);
    EXPECT_EQ(run.renderSlots(slots), noErr);
    return run.out;
}

TEST(TextureThreads, RowsOnAnyNumberOfWorkersGiveThePlainBytes) {
    struct Shape {
        int w, h, planes;
        bool mask;
    };
    const Shape shapes[] = {{64, 48, 3, false}, {53, 41, 4, false}, {47, 39, 3, true}, {25, 25, 3, false},
                            {300, 26, 4, true}};
    for (const char* preset : {"preset1", "preset2"})
        for (const Shape& s : shapes) {
            SCOPED_TRACE(testing::Message() << preset << " " << s.w << "x" << s.h << " planes " << s.planes
                                            << (s.mask ? " mask" : ""));
            const fw::ValueSlots slots = presetSlots(preset);
            fw::setRenderThreads(1);
            const std::vector<uint8_t> plain = render(s.w, s.h, s.planes, s.mask, slots, plainFilter());
            for (const int threads : {1, 2, 7}) {
                fw::setRenderThreads(threads);
                EXPECT_TRUE(render(s.w, s.h, s.planes, s.mask, slots, filterWithoutSessionState()) == plain)
                    << threads << " workers";
            }
            fw::setRenderThreads(0);
        }
}

}  // namespace
}  // namespace qm::marbleloom::test
