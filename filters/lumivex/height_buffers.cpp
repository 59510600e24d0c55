#include "filters/lumivex/height_buffers.h"

#include <new>

namespace qm::lumivex {

std::unique_ptr<LensSession> LensSession::create(int32_t width, int32_t height) {
    if (width < 0 || height < 0) return nullptr;
    std::unique_ptr<LensSession> s(new (std::nothrow) LensSession);
    if (!s) return nullptr;
    const size_t pixels = static_cast<size_t>(width) * static_cast<size_t>(height);
    try {
        s->heightMap.assign(pixels, 0);
        s->heightScratch.assign(pixels, 0);
        s->thumbnail.resize(static_cast<size_t>(kThumbnailSide) * kThumbnailSide * 3);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    s->clearThumbnail();
    // A new session always builds its kernel and its height map first.
    s->kernel.invalidate();
    s->lastFingerprint = -1.0;
    s->heightDirty = false;
    return s;
}

void LensSession::clearThumbnail() {
    for (size_t i = 0; i + 2 < thumbnail.size(); i += 3) {
        thumbnail[i] = kThumbnailB;
        thumbnail[i + 1] = kThumbnailG;
        thumbnail[i + 2] = kThumbnailR;
    }
}

}  // namespace qm::lumivex
