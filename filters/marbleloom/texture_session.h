// What one run of the texture filter keeps: the pattern library, the five
// pattern slots, the progressive tables, and the per-image maps of the
// rendering.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "filters/marbleloom/pattern_library.h"
#include "filters/marbleloom/texture_settings.h"
#include "filters/marbleloom/texture_tables.h"
#include "framework/host/filter_description.h"
#include "platform/os/resources.h"

namespace qm::fw {
struct FilterSession;
}

namespace qm::marbleloom {

// What the dialog shows in its preview area.
enum class DialogView { Preview, PatternViewer, PatternEditor };

struct TextureSession : fw::FilterData {
    PatternLibrary library;
    std::array<PatternSlot, 3> layers;  // layers 1, 2, 3
    PatternSlot base;
    PatternSlot editor;
    // Filled by every import; made by the first.
    std::unique_ptr<PatternEntry> imported;
    DialogView view = DialogView::Preview;
    ProgressiveTables progressive;

    // Of the current rendering.
    TextureSettings settings;
    RenderTables tables;
    std::vector<uint16_t> luminance;  // R + G + B
    std::vector<ReliefCell> relief;
    int64_t textureSum = 0;  // of 50 T over the image, for the mean
    int textureMean = 0;
    std::vector<int32_t> columnSums;  // 3 a column: the colour-mean window's column
    std::vector<uint8_t> meanRow;     // 3 a column: the window means of the current row
    std::vector<int64_t> rowTextureSums;  // of 50 T over each row, by the row renderer

    PatternSlot& slot(int index) { return index < 3 ? layers[static_cast<size_t>(index)] : base; }
};

// Where a run finds and keeps its pattern files.
struct PatternFolders {
    std::string plugin;  // the plug-in's own folder
    std::string shared;  // the shared data folder
};
PatternFolders defaultPatternFolders();

// At continue, before anything else is allocated: writes the module's factory
// databases out and builds the library (its "Input Image" from the host's
// image) for the session to own. Null when memory runs out.
std::unique_ptr<fw::FilterData> openTextureSession(const fw::FilterSession& session, const os::ResourceModule& module,
                                                   const PatternFolders& folders);
TextureSession* textureSessionOf(const fw::FilterSession& session);

// Where slots loaded now find "Input Image": the dialog's preview copy while
// a dialog is open, and the host's input image of `planes` planes.
SlotContext slotContext(const fw::FilterSession& session, int planes);

}  // namespace qm::marbleloom
