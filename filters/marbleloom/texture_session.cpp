#include "filters/marbleloom/texture_session.h"

#include <new>

#include "filters/marbleloom/resource_files.h"
#include "framework/host/filter_session.h"
#include "framework/host/preview_buffers.h"
#include "platform/os/files.h"
#include "platform/os/module.h"

namespace qm::marbleloom {

PatternFolders defaultPatternFolders() { return {os::folderOf(os::moduleFileName()), os::sharedDataFolder()}; }

std::unique_ptr<fw::FilterData> openTextureSession(const fw::FilterSession& session, const os::ResourceModule& module,
                                                   const PatternFolders& folders) {
    if (!session.record) return nullptr;
    // Failures to write are silent: the library then holds what it finds.
    writePatternDatabases(module, folders.plugin, folders.shared);

    std::unique_ptr<TextureSession> texture(new (std::nothrow) TextureSession);
    if (!texture) return nullptr;
    const FilterRecord& fr = *session.record;
    PixelView host{static_cast<const uint8_t*>(fr.inData), fr.imageSize.h, fr.imageSize.v, session.planes,
                   fr.inRowBytes};
    texture->library.setSource(host);
    try {
        texture->library.buildLibrary(folders.plugin, folders.shared);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    texture->library.setSource(PixelView{});
    // Each slot is bound to its layer's pattern setting.
    for (int k = 1; k <= 3; ++k) texture->slot(k - 1).identitySetting = layer::first(k) + layer::kPattern;
    texture->base.identitySetting = base::kPattern;
    return texture;
}

TextureSession* textureSessionOf(const fw::FilterSession& session) { return session.dataAs<TextureSession>(); }

SlotContext slotContext(const fw::FilterSession& session, int planes) {
    SlotContext context;
    context.dialogOpen = session.preview != nullptr;
    if (const fw::PreviewBuffers* p = session.preview)
        context.preview = PixelView{p->copy.data(), p->copyWidth, p->copyHeight, p->planes,
                                    static_cast<ptrdiff_t>(p->width) * p->planes};
    if (const FilterRecord* fr = session.record)
        context.hostInput = PixelView{static_cast<const uint8_t*>(fr->inData), fr->imageSize.h, fr->imageSize.v,
                                      planes, fr->inRowBytes};
    return context;
}

}  // namespace qm::marbleloom
