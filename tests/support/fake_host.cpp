#include "tests/support/fake_host.h"

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "framework/host/filter_session.h"
#include "framework/host/render_loop.h"

namespace qm::test {

void useOwnRegistry() {
    static const bool done = [] {
        const std::filesystem::path folder = std::filesystem::temp_directory_path() /
                                             ("qm-fake-host-" + std::to_string(getpid()));
        std::filesystem::create_directories(folder);
        setenv("QUILLMERE_REGISTRY", folder.c_str(), 1);
        return true;
    }();
    (void)done;
}

const os::ResourceModule& noResources() {
    static const QmResourceTable table{QM_RESOURCE_TABLE_MAGIC, 0, nullptr};
    static const os::ResourceModule module(&table);
    return module;
}

FakeHost::FakeHost(const fw::FilterDescription& f, const HostImageShape& image)
    : filter(f), shape(image), stride(image.width * image.planes * (image.sixteenBit ? 2 : 1) + image.padding) {
    useOwnRegistry();
    in.assign(static_cast<size_t>(stride) * static_cast<size_t>(image.height), 0);
    out.assign(in.size(), 0);
    fr.imageSize = {static_cast<int16_t>(image.height), static_cast<int16_t>(image.width)};
    fr.planes = static_cast<int16_t>(image.planes);
    fr.imageMode = image.sixteenBit ? RGB48Mode : RGBMode;
    fr.filterCase = image.planes == 4 ? filterCaseEditableTransparencyNoSelection : filterCaseFlatImageNoSelection;
    fr.inData = in.data();
    fr.outData = out.data();
    fr.inRowBytes = fr.outRowBytes = stride;
    if (image.withMask) {
        mask.assign(static_cast<size_t>(image.width) * static_cast<size_t>(image.height), 255);
        fr.haveMask = true;
        fr.maskData = mask.data();
        fr.maskRowBytes = image.width;
    }
}

FakeHost::~FakeHost() { fw::closeFilterSession(session, userCanceledErr); }

int16_t FakeHost::open() { return open(noResources()); }

int16_t FakeHost::open(const os::ResourceModule& resources) {
    const int16_t started = fw::startFilter(filter, fr);
    if (started != noErr) return started;
    return fw::openFilterSession(session, filter, fr, resources);
}

int16_t FakeHost::openSession(const os::ResourceModule& resources) {
    fw::libraryState().planesAtStart = shape.planes;
    fw::libraryState().sixteenBitMode = shape.sixteenBit && filter.variant.sixteenBit;
    return fw::openFilterSession(session, filter, fr, resources);
}

int16_t FakeHost::renderRecord(const uint8_t* record) {
    std::copy_n(record, filter.format.length, session.settings.begin());
    return render();
}

int16_t FakeHost::renderSlots(const fw::ValueSlots& slots) {
    fw::packFields(session.settings.data(), session.format, slots);
    fw::sealRecord(session.settings.data(), session.format, false);
    return render();
}

int16_t FakeHost::render() { return fw::render(*session.renderState); }

size_t FakeHost::index(int x, int y, int c) const {
    const size_t bytes = shape.sixteenBit ? 2 : 1;
    return static_cast<size_t>(y) * static_cast<size_t>(stride) +
           (static_cast<size_t>(x) * static_cast<size_t>(shape.planes) + static_cast<size_t>(c)) * bytes;
}

}  // namespace qm::test
