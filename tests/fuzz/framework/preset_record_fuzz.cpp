// A settings record as a host or a registry value hands it to a plug-in:
// checked, decoded into the value slots, limited to Keenwright HD's ranges,
// and prepared and rendered by its kernel on a small region. A flag byte
// seals the record first, so the checks do not stop most inputs.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "filters/keenwrighthd/hd_kernel.h"
#include "filters/keenwrighthd/hd_settings.h"
#include "framework/settings/record.h"

using namespace qm;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 + 64) return 0;
    std::vector<uint8_t> record(data + 1, data + 1 + 64);
    const uint8_t flags = data[0];
    if (flags & 1) fw::sealRecord(record.data(), khd::kFormat, (flags & 2) != 0);
    if (!fw::validateRecord(record.data(), khd::kFormat)) return 0;

    fw::ValueSlots slots{};
    fw::decodeRecord(record.data(), khd::kFormat, slots);
    const khd::HdSettings settings = khd::decodeSettings(slots);
    if (settings.radiusHigh < 0 || settings.radiusHigh > 200 || settings.radiusLow < 0 ||
        settings.radiusLow > 200 || settings.contrast < 0 || settings.contrast > 200)
        abort();

    // A region of 12 x 9 pixels of the rest of the input (8-bit scale), at
    // the view factors of the whole image and of the zoom views.
    constexpr int kWidth = 12, kHeight = 9;
    std::vector<int16_t> work(kWidth * kHeight * 3);
    for (size_t i = 0; i < work.size(); ++i)
        work[i] = static_cast<int16_t>(65 + i < size ? data[65 + i] : (i * 37) & 0xFF);
    static khd::HdKernel kernel;
    fw::SourceView view;
    view.kind = (flags & 4) ? fw::SourceView::Kind::Zoom : fw::SourceView::Kind::Final;
    view.zoom = (flags & 8) ? 200 : 50;
    const double factor = 1.0 + (flags >> 4) / 4.0;
    kernel.prepare(settings, khd::reachFor(fw::viewFactor(view, factor)), kWidth, kHeight, view);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const khd::Smoothed s = kernel.smoothPixel(work.data(), x, y);
            const size_t at = (static_cast<size_t>(y) * kWidth + static_cast<size_t>(x)) * 3;
            const auto out = khd::tonePixel(kernel.tone(), {work[at] * 128, work[at + 1] * 128, work[at + 2] * 128},
                                            {s.colour[0], s.colour[1], s.colour[2]}, s.mask);
            for (int32_t c : out)
                if (c < 0 || c > 32767) abort();
        }
    return 0;
}
