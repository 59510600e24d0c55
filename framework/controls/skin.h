// Skin bitmaps: the pictures controls are drawn from, loaded from the
// module's bitmap resources and shared through a process-wide cache so that
// the many controls showing one thumb or button hold one image.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "platform/os/resources.h"
#include "platform/ui/surface.h"

namespace qm::fw {

class SkinCache;

// One loaded image; move-only, released when it goes (or by releaseSkin).
class Skin {
public:
    Skin() = default;
    Skin(Skin&& other) noexcept { *this = std::move(other); }
    Skin& operator=(Skin&& other) noexcept;
    Skin(const Skin&) = delete;
    Skin& operator=(const Skin&) = delete;
    ~Skin() { reset(); }

    int width() const { return width_; }
    int height() const { return height_; }
    // None when the image could not be made (an id whose size has a zero
    // side); such a skin draws as a black block.
    const ui::Surface* image() const { return image_.get(); }
    // The part a control shows; the whole image at load.
    ui::Rect visible;

    void reset();

private:
    friend class SkinCache;
    SkinCache* cache_ = nullptr;  // set while a cache entry counts this skin
    std::shared_ptr<const ui::Surface> image_;
    int width_ = 0;
    int height_ = 0;
};

class SkinCache {
public:
    static constexpr int kEntries = 50;

    // The cached image of `id`, or the bitmap resource of that id, or, when
    // there is none (or it is not a BMP), a blank image whose size is the id
    // itself: width = id & 0x3FF, height = (id >> 16) & 0x3FF. With every
    // entry in use the image is made uncached.
    Skin load(const os::ResourceModule& module, uint32_t id);
    void release(Skin& skin);

    // How many skins hold the cached image of `id` (0 when not cached).
    int references(uint32_t id) const;
    int entriesInUse() const;

private:
    struct Entry {
        uint32_t id = 0;
        int count = 0;
        std::shared_ptr<const ui::Surface> image;
        int width = 0, height = 0;
    };
    std::array<Entry, kEntries> entries_{};
};

// The cache that lives as long as the library.
SkinCache& skinCache();
Skin loadSkin(const os::ResourceModule& module, uint32_t id);
void releaseSkin(Skin& skin);

}  // namespace qm::fw
