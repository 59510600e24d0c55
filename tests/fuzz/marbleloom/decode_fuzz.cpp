// Decode on hostile streams: false or a whole picture, never a crash, an
// exit from libjpeg, or an unbounded allocation.
#include <cstdint>
#include <cstdlib>

#include "filters/marbleloom/image_container.h"

using qm::marbleloom::CxImage;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CxImage image(3, 3);
    if (!image.Decode(data, size)) {
        if (image.GetWidth() != 3) std::abort();  // a failure leaves the bitmap alone
        return 0;
    }
    if (image.GetWidth() < 1 || image.GetHeight() < 1) std::abort();
    volatile uint8_t corner = image.GetPixelColor(image.GetWidth() - 1, image.GetHeight() - 1).red;
    (void)corner;
    // A decoded picture encodes again, when it is small enough to be quick.
    if (int64_t{image.GetWidth()} * image.GetHeight() <= 4096) {
        uint8_t* buffer = nullptr;
        long length = 0;
        if (!image.Encode(buffer, length)) std::abort();
        std::free(buffer);
    }
    return 0;
}
