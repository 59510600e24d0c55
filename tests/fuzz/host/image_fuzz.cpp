// The host's PNG and JPEG readers on any bytes, as an input image and as a
// mask, then the writers on whatever the readers accepted. libpng and libjpeg
// are the system's, not instrumented: the coverage is of our side of them.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <new>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "host/filter_run.h"
#include "host/image.h"
#include "host/image_codecs.h"

using namespace qm::host;

// A machine with less memory than a header may claim: an allocation of more
// than 1 GiB fails the way new fails there, so the readers' answer to a tiny
// file claiming a huge image is what gets fuzzed (and not the sanitizer's
// patience with a 16 GB reservation). Every form of new and delete is
// replaced, so that none of them pairs with the sanitizer's own.
namespace {
void* allocate(size_t size, size_t alignment = 0) {
    if (size <= (size_t{1} << 30)) {
        if (size == 0) size = 1;
        void* p = alignment > alignof(std::max_align_t)
                      ? std::aligned_alloc(alignment, (size + alignment - 1) / alignment * alignment)
                      : std::malloc(size);
        if (p) return p;
    }
    return nullptr;
}
}  // namespace

void* operator new(size_t n) {
    if (void* p = allocate(n)) return p;
    throw std::bad_alloc();
}
void* operator new[](size_t n) { return operator new(n); }
void* operator new(size_t n, const std::nothrow_t&) noexcept { return allocate(n); }
void* operator new[](size_t n, const std::nothrow_t&) noexcept { return allocate(n); }
void* operator new(size_t n, std::align_val_t a) {
    if (void* p = allocate(n, static_cast<size_t>(a))) return p;
    throw std::bad_alloc();
}
void* operator new[](size_t n, std::align_val_t a) { return operator new(n, a); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete[](void* p, size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, size_t, std::align_val_t) noexcept { std::free(p); }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // loadImage takes a path: a memory file behind /proc keeps it off the disk.
    static const int fd = memfd_create("image", 0);
    static const std::string path = "/proc/self/fd/" + std::to_string(fd);
    if (fd < 0 || ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)) abort();

    Image image;
    std::string error;
    if (!loadImage(path, image, error)) {
        if (error.empty()) abort();  // every refusal says why
        return 0;
    }
    if (image.width <= 0 || image.height <= 0 ||
        image.pixels.size() != image.rowBytes() * static_cast<size_t>(image.height))
        abort();
    (void)imageModeOf(image);
    (void)filterCaseOf(image, false);
    if (static_cast<uint64_t>(image.width) * static_cast<uint64_t>(image.height) > (1u << 16)) return 0;

    // As a mask, the way the host reads one for the plug-in.
    if (image.colour == ColourSpace::Grey && !image.hasAlpha) {
        uint64_t sum = 0;
        for (int32_t y = 0; y < image.height; ++y)
            for (int32_t x = 0; x < image.width; ++x) sum += image.sample(x, y, 0);
        (void)filterCaseOf(image, sum != 0);
    }
    std::FILE* sink = std::fopen("/dev/null", "wb");
    if (!sink) abort();
    if (image.colour != ColourSpace::CMYK && !codec::writePng(sink, image, error)) abort();
    if (!image.hasAlpha && !codec::writeJpeg(sink, image, 90, error)) abort();
    std::fclose(sink);
    return 0;
}
