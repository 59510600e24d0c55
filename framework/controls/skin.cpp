#include "framework/controls/skin.h"

#include <string>

#include "platform/ui/bitmap.h"

namespace qm::fw {

Skin& Skin::operator=(Skin&& other) noexcept {
    if (this != &other) {
        reset();
        visible = other.visible;
        cache_ = other.cache_;
        image_ = std::move(other.image_);
        width_ = other.width_;
        height_ = other.height_;
        other.cache_ = nullptr;
        other.width_ = other.height_ = 0;
        other.visible = {};
    }
    return *this;
}

void Skin::reset() {
    if (cache_) cache_->release(*this);
    cache_ = nullptr;
    image_.reset();
    width_ = height_ = 0;
    visible = {};
}

Skin SkinCache::load(const os::ResourceModule& module, uint32_t id) {
    Skin skin;
    for (Entry& e : entries_) {
        if (e.count > 0 && e.id == id) {
            ++e.count;
            skin.cache_ = this;
            skin.image_ = e.image;
            skin.width_ = e.width;
            skin.height_ = e.height;
            skin.visible = {0, 0, e.width, e.height};
            return skin;
        }
    }

    auto image = std::make_shared<ui::Surface>();
    std::string error;
    if (ui::loadBitmapResource(module, os::ResourceId::of(id), *image, error) !=
        ui::LoadResult::Loaded) {
        // Not a bitmap, or not a BMP: the id names the size of a blank image.
        const int width = static_cast<int>(id & 0x3FF);
        const int height = static_cast<int>((id >> 16) & 0x3FF);
        skin.width_ = width;
        skin.height_ = height;
        skin.visible = {0, 0, width, height};
        if (width == 0 || height == 0) return skin;  // no image to share
        *image = ui::Surface(width, height, ui::kBlack);
    }
    skin.width_ = image->width();
    skin.height_ = image->height();
    skin.visible = {0, 0, skin.width_, skin.height_};
    skin.image_ = std::move(image);

    for (Entry& e : entries_) {
        if (e.count == 0) {
            e = Entry{id, 1, skin.image_, skin.width_, skin.height_};
            skin.cache_ = this;
            break;
        }
    }
    return skin;
}

void SkinCache::release(Skin& skin) {
    if (skin.cache_ != this || !skin.image_) return;
    for (Entry& e : entries_) {
        if (e.count > 0 && e.image == skin.image_) {
            if (--e.count == 0) e = Entry{};
            break;
        }
    }
    skin.cache_ = nullptr;
    skin.image_.reset();
}

int SkinCache::references(uint32_t id) const {
    for (const Entry& e : entries_)
        if (e.count > 0 && e.id == id) return e.count;
    return 0;
}

int SkinCache::entriesInUse() const {
    int n = 0;
    for (const Entry& e : entries_) n += e.count > 0;
    return n;
}

SkinCache& skinCache() {
    static SkinCache cache;
    return cache;
}

Skin loadSkin(const os::ResourceModule& module, uint32_t id) { return skinCache().load(module, id); }

void releaseSkin(Skin& skin) { skin.reset(); }

}  // namespace qm::fw
