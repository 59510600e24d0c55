// The pattern library: every record of every .8tx file found at the start of
// a filter run, behind two virtual entries ("default raw" and "Input Image"),
// the slots that hold a pattern's pixels for rendering, and adding and
// removing patterns of the collection.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "filters/marbleloom/pattern_database.h"
#include "filters/marbleloom/pattern_pixels.h"

namespace qm::marbleloom {

constexpr int kDisplayThumbSide = 44;
constexpr size_t kDisplayThumbBytes = kDisplayThumbSide * kDisplayThumbSide * 3;
constexpr size_t kMaxPathLength = 400;
constexpr const char* kPatternExtension = ".8tx";

constexpr uint32_t kInputImageIdentity = 1;

struct PatternEntry {
    PatternHeader header;
    std::string path;  // empty for the virtual entries and for failed loads
    uint64_t jpegOffset = 0;
    uint64_t nextOffset = 0;  // 0: no record follows
    // The 40 x 40 thumbnail inside a black outer and a (254, 254, 254) inner
    // ring; blue-green-red, top-down rows of 132 bytes.
    std::array<uint8_t, kDisplayThumbBytes> thumbnail{};
    int shown = 0;
    int noPixels = 0;
    int virtualState = 0;  // "Input Image": 1 until its statistics are taken, then 2
    int displayId = 0;     // shown in place of an identity of 0

    bool isVirtual() const { return path.empty(); }
    // Thumbnail pixel (x, y) of the 40 x 40 inside the frame, as B, G, R bytes.
    uint8_t* thumbPixel(int x, int y) {
        return thumbnail.data() + (static_cast<size_t>(y + 2) * kDisplayThumbSide + static_cast<size_t>(x + 2)) * 3;
    }
};

// Fills the entry from, in this order: the path ":" ("Input Image", its
// thumbnail sampled from source), a valid record at offset of the file, a
// file starting FF D8 FF E0 (a JFIF JPEG: identity 0), else "default raw".
void loadEntry(PatternEntry& entry, std::string_view path, uint64_t offset, const PixelView& source);

class PatternLibrary {
public:
    static constexpr int kSlots = 1024;
    static constexpr int kMaxCount = 1023;
    static constexpr int kMaxFilesPerFolder = 1024;
    static constexpr int kPageEntries = 144;
    static constexpr int kColumns = 12;
    static constexpr int kCell = 46;

    // The picture "Input Image" samples its thumbnail from; the caller keeps
    // it alive while the library is built.
    void setSource(const PixelView& source) { source_ = source; }

    // Entries 0 and 1, then every "*" + extension file of the plug-in folder
    // and then of the shared data folder (created when missing), in the
    // order the folder lists them; then orderLibrary.
    void buildLibrary(const std::string& pluginFolder, const std::string& sharedFolder,
                      std::string_view extension = kPatternExtension);
    // Appends the file's records (no path: "default raw", ":": "Input
    // Image"); a repeated header checksum (index 2 on) is skipped, an
    // identity of 0 (index 1 on) dropped. Ends at the chain's end, at the
    // first record that fails, or with 1023 entries. The index of the last
    // entry added, or -1.
    int readFile(std::string_view path, bool reorder);
    // Order table to identity, every displayId -2, positions 2 onward
    // bubble-sorted by sortTime when there are more than three entries.
    void orderLibrary();

    int count() const { return static_cast<int>(entries_.size()); }
    PatternEntry& entry(int index) { return *entries_[static_cast<size_t>(index)]; }
    const PatternEntry& entry(int index) const { return *entries_[static_cast<size_t>(index)]; }
    int orderAt(int position) const { return order_[static_cast<size_t>(position)]; }
    // The first entry with that identity, or -1.
    int findIdentity(uint32_t identity) const;

    const std::string& pluginFolder() const { return pluginFolder_; }
    const std::string& sharedFolder() const { return sharedFolder_; }

    // Viewer grid: 12 x 12 cells of 46 pixels, 144 entries a page.
    int lastPage() const { return (count() - 1) / kPageEntries; }
    int clampPage(int page) const;
    // The order position under (x, y) of the grid on that page, or -1.
    int hitTest(int x, int y, int page) const;

private:
    std::vector<std::unique_ptr<PatternEntry>> entries_;
    std::array<int, kSlots> order_{};
    std::string pluginFolder_;
    std::string sharedFolder_;
    PixelView source_;
};

// The information line drawn while the pointer is over a viewer cell.
struct InfoLine {
    static constexpr int kSizeX = 4, kNameX = 90, kAfterMonthX = 250, kIdX = 350;
    std::string size;   // "%0.3i x %0.3i", width and height
    std::string name;
    std::string month;  // "Jan" .. "Dec"
    std::string date;   // month, then ".%0.2i.%0.4i  %0.2i:%0.2i" in local time
    std::string id;     // "ID = %0.8X": the identity, or displayId for identity 0
    // The date starts so that the text after the month begins at + 250.
    static int dateX(int monthWidth) { return kAfterMonthX - monthWidth; }
};
InfoLine infoLine(const PatternEntry& entry);

// Where the renderer finds the picture of "Input Image".
struct SlotContext {
    bool dialogOpen = false;
    PixelView preview;    // the dialog's preview image
    PixelView hostInput;  // the host's input image
};

// A pattern loaded for use: one for each layer and one for the editor.
class PatternSlot {
public:
    PatternSlot() = default;
    PatternSlot(const PatternSlot&) = delete;
    PatternSlot& operator=(const PatternSlot&) = delete;

    // Makes the entry's picture available; a repeated identity is a no-op,
    // except for a virtual entry outside the dialog.
    void load(PatternEntry& entry, const SlotContext& context);
    // The pixels to a JPEG stream the slot keeps; its length, also the
    // entry's dataSize (0 without pixels).
    long encode(int quality);
    void release();
    // Releases and forgets the entry, so that loading it again reads it anew.
    void unload();

    PatternEntry* entry() const { return entry_; }
    PixelView pixels() const { return view_; }
    bool hasPixels() const { return !view_.empty(); }
    const uint8_t* stream() const { return stream_.get(); }
    size_t streamLength() const { return streamLength_; }

    PatternStats stats;
    // The dialog controls bound to the slot: the layer's pattern-identity
    // setting and its thumbnail button (-1: none).
    int identitySetting = -1;
    int thumbnailButton = -1;
    // Step 6 of a load: the dialog redraws the button and takes the identity.
    std::function<void(PatternSlot&)> refresh;

private:
    struct FreeDeleter {
        void operator()(uint8_t* p) const;
    };

    PatternEntry* entry_ = nullptr;
    std::vector<uint8_t> owned_;
    PixelView view_;
    std::unique_ptr<uint8_t, FreeDeleter> stream_;
    size_t streamLength_ = 0;

    friend PatternHeader writeHeader(PatternSlot&, const char*, int, uint32_t, uint32_t);
};

// A header for the slot's picture: quality above 200 sets flags to 4, above
// 100 adds bit 0 (a factory pattern), and is then limited to 100; a slot
// without a stream is encoded at that quality first.
PatternHeader writeHeader(PatternSlot& slot, const char* name, int quality, uint32_t timeShift,
                          uint32_t value);

// "Old Bark!" -> "OldBark": letters and digits only.
std::string collectionBaseName(std::string_view name);
// The base name + extension, or with "01" .. "99" between them, the first in
// neither folder; empty when all are taken.
std::string collectionFileName(std::string_view baseName, const std::string& pluginFolder,
                               const std::string& sharedFolder);

// Writes the slot as a one-record file in the plug-in folder and reads it
// into the library (reordered). A trailing backquote in the name marks a
// factory pattern. The new entry's index, or -1 (nothing is reported).
int addToCollection(PatternLibrary& library, PatternSlot& slot, std::string_view name,
                    const uint8_t* thumbnail);

enum class RemoveResult { Removed, RefusedVirtual, RefusedFactory, Cancelled, NoPermission };

namespace remove_text {
constexpr const char* kVirtual = "Can't delete virtual pattern";
constexpr const char* kFactory = "Can't delete factory pattern";
constexpr const char* kConfirm = "\n\nDo you really want to delete this file?";
constexpr const char* kPermission =
    "You do not have permission to delete file in this location.\n"
    "Contact the administrator to obtain permission.";
constexpr const char* kWarningCaption = "Warning";
constexpr const char* kRestrictedCaption = "Restricted Area";
}  // namespace remove_text

// Deletes the file of the pattern the editor slot shows, after the user's
// confirmation; selectedPosition is the viewer's order position.
RemoveResult removeFromCollection(PatternLibrary& library, PatternSlot& slot, int selectedPosition,
                                  void* owner = nullptr);

}  // namespace qm::marbleloom
