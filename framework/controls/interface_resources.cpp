#include "framework/controls/interface_resources.h"

#include <string>

namespace qm::fw {

const InterfaceResources& interfaceResources(const os::ResourceModule& module) {
    static const InterfaceResources resources = [&module] {
        InterfaceResources r;
        r.normalFont = ui::Font::interfaceFont(false);
        r.underlinedFont = ui::Font::interfaceFont(true);
        std::string error;
        r.linkCursor = ui::loadCursorResource(module, os::ResourceId::of(kLinkCursorId), error);
        if (!r.linkCursor) r.linkCursor = ui::Cursor::arrow();
        return r;
    }();
    return resources;
}

}  // namespace qm::fw
