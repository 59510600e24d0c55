#include "filters/marbleloom/pattern_library.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <new>

#include "filters/marbleloom/image_container.h"
#include "framework/settings/record.h"
#include "platform/os/clock.h"
#include "platform/os/files.h"
#include "platform/ui/message_box.h"

namespace qm::marbleloom {
namespace {

struct File {
    std::FILE* f = nullptr;
    explicit File(const std::string& path, const char* mode) : f(std::fopen(path.c_str(), mode)) {}
    ~File() {
        if (f) std::fclose(f);
    }
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    explicit operator bool() const { return f != nullptr; }

    uint64_t size() const {
        struct stat st {};
        return ::fstat(fileno(f), &st) == 0 && st.st_size > 0 ? static_cast<uint64_t>(st.st_size) : 0;
    }
    bool readAt(uint64_t offset, void* out, size_t n) {
        return ::fseeko(f, static_cast<off_t>(offset), SEEK_SET) == 0 && std::fread(out, 1, n, f) == n;
    }
};

void frameThumbnail(PatternEntry& e) {
    for (int y = 0; y < kDisplayThumbSide; ++y) {
        for (int x = 0; x < kDisplayThumbSide; ++x) {
            const int ring = std::min({x, y, kDisplayThumbSide - 1 - x, kDisplayThumbSide - 1 - y});
            if (ring > 1) continue;
            uint8_t* p = e.thumbnail.data() + (static_cast<size_t>(y) * kDisplayThumbSide + static_cast<size_t>(x)) * 3;
            std::fill(p, p + 3, ring == 0 ? uint8_t{0} : uint8_t{254});
        }
    }
}

void placeThumbnail(PatternEntry& e, const uint8_t* bgr) {
    for (int y = 0; y < kThumbSide; ++y)
        std::copy_n(bgr + static_cast<size_t>(y) * kThumbSide * 3, kThumbSide * 3, e.thumbPixel(0, y));
}

void makeDefaultRaw(PatternEntry& e) {
    const uint64_t created = e.header.created;
    e.header = PatternHeader{};
    e.header.created = created;
    e.header.setName("default raw");
    e.header.width = 1;
    e.header.height = 1;
    e.header.channels = 1;
    e.header.scaleMin = 50;
    e.header.scaleMax = 50;
    e.header.stats = defaultRawStats();
    e.path.clear();
    e.jpegOffset = 0;
    e.nextOffset = 0;
    e.noPixels = 1;
    for (int y = 0; y < kThumbSide; ++y)
        for (int x = 0; x < kThumbSide; ++x) {
            uint8_t* p = e.thumbPixel(x, y);
            p[0] = kDefaultRawColour.b;
            p[1] = kDefaultRawColour.g;
            p[2] = kDefaultRawColour.r;
        }
}

void makeInputImage(PatternEntry& e, const PixelView& source) {
    const uint64_t created = e.header.created;
    e.header = PatternHeader{};
    e.header.created = created;
    e.header.magic = kPatternMagic;
    e.header.identity = kInputImageIdentity;
    e.header.setName("Input Image");
    e.header.scaleMin = 32;
    e.header.scaleMax = 50;
    e.header.channels = 3;
    e.header.width = static_cast<int16_t>(source.width);
    e.header.height = static_cast<int16_t>(source.height);
    e.header.stats = defaultRawStats();
    e.path.clear();
    e.noPixels = 1;
    e.virtualState = 1;
    // A centred square of the shorter side, in 1/1024 pixel.
    const int64_t w = source.width, h = source.height;
    const int64_t s = std::min(w, h) * 1024 / kThumbSide;
    const int64_t r0 = ((h * 1024 - kThumbSide * s) / 1024) / 2;
    const int64_t c0 = ((w * 1024 - kThumbSide * s) / 1024) / 2;
    for (int i = 0; i < kThumbSide; ++i)
        for (int j = 0; j < kThumbSide; ++j) {
            const Rgb c = samplePattern(source, (r0 + i * s / 1024) * 64, (c0 + j * s / 1024) * 64);
            uint8_t* p = e.thumbPixel(j, i);
            p[0] = static_cast<uint8_t>(c.b & 0xFE);
            p[1] = c.g;
            p[2] = c.r;
        }
}

bool loadRecord(PatternEntry& e, File& file, const std::string& path, uint64_t offset) {
    uint8_t raw[kHeaderSize];
    if (!file.readAt(offset, raw, sizeof raw) || !headerPasses(raw)) return false;
    PatternHeader h = parseHeader(raw);
    const uint64_t fileSize = file.size();
    if (!headerSizesPlausible(h, offset, fileSize) || path.size() > kMaxPathLength) return false;
    uint8_t thumb[kThumbBytes];
    if (std::fread(thumb, 1, sizeof thumb, file.f) != sizeof thumb) return false;
    h.name[kNameLength] = '\0';
    e.header = h;  // the record's own time replaces "now"
    e.path = path;
    placeThumbnail(e, thumb);
    e.jpegOffset = offset + kRecordPrefix;
    const uint64_t next = e.jpegOffset + h.dataSize;
    uint8_t magic[kHeaderSize];
    e.nextOffset = 0;
    if (file.readAt(next, magic, sizeof magic) && parseHeader(magic).magic == kPatternMagic) e.nextOffset = next;
    return true;
}

bool loadJfif(PatternEntry& e, File& file, const std::string& path) {
    uint8_t start[4];
    if (!file.readAt(0, start, 4) || start[0] != 0xFF || start[1] != 0xD8 || start[2] != 0xFF || start[3] != 0xE0)
        return false;
    const uint64_t size = file.size();
    if (size >= 0x80000000u || path.size() > kMaxPathLength) return false;
    CxImage image;
    image.load(path);
    const uint64_t created = e.header.created;
    e.header = PatternHeader{};
    e.header.created = created;
    e.header.magic = kPatternMagic;
    e.header.width = static_cast<int16_t>(std::min(image.GetWidth(), 32767));
    e.header.height = static_cast<int16_t>(std::min(image.GetHeight(), 32767));
    e.header.channels = 3;
    e.header.scaleMin = 32;
    e.header.scaleMax = 50;
    e.header.dataSize = static_cast<uint32_t>(size);
    e.header.stats = defaultRawStats();
    // A file libjpeg cannot read has nothing to load later.
    if (!image.IsValid()) e.noPixels = 1;
    std::string stem = path.substr(path.rfind('/') + 1);
    if (auto dot = stem.rfind('.'); dot != std::string::npos) stem.resize(dot);
    e.header.setName(stem);
    e.path = path;
    e.jpegOffset = 0;
    e.nextOffset = 0;
    return true;
}

bool hasExtension(const std::string& name, std::string_view extension) {
    // The folder search of the original system ignored case.
    return name.size() >= extension.size() &&
           ::strncasecmp(name.c_str() + name.size() - extension.size(), extension.data(), extension.size()) == 0;
}

std::string withSlash(std::string folder) {
    if (!folder.empty() && folder.back() != '/') folder += '/';
    return folder;
}

const char* const kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

std::string format(const char* fmt, auto... args) {
    char buf[128];
    std::snprintf(buf, sizeof buf, fmt, args...);
    return buf;
}

}  // namespace

void loadEntry(PatternEntry& e, std::string_view pathView, uint64_t offset, const PixelView& source) {
    e.shown = 1;
    e.noPixels = 0;
    e.virtualState = 0;
    e.jpegOffset = 0;
    e.nextOffset = 0;
    frameThumbnail(e);
    e.header.created = os::fileTimeNow();
    const std::string path(pathView);
    if (!path.empty() && path[0] == ':') {
        makeInputImage(e, source);
        return;
    }
    if (!path.empty()) {
        File file(path, "rb");
        if (file && (loadRecord(e, file, path, offset) || loadJfif(e, file, path))) return;
    }
    makeDefaultRaw(e);
}

void PatternLibrary::buildLibrary(const std::string& pluginFolder, const std::string& sharedFolder,
                                  std::string_view extension) {
    entries_.clear();
    pluginFolder_ = withSlash(pluginFolder);
    sharedFolder_ = withSlash(sharedFolder);
    if (!sharedFolder_.empty()) os::createFolder(sharedFolder_);
    readFile("", false);
    readFile(":", false);
    for (const std::string& folder : {pluginFolder_, sharedFolder_}) {
        if (folder.empty()) continue;
        DIR* dir = ::opendir(folder.c_str());
        if (!dir) continue;
        int files = 0;
        while (const dirent* d = ::readdir(dir)) {
            const std::string name = d->d_name;
            if (!hasExtension(name, extension)) continue;
            const std::string path = folder + name;
            if (!os::fileExists(path)) continue;
            readFile(path, false);
            if (++files == kMaxFilesPerFolder) break;
        }
        ::closedir(dir);
    }
    orderLibrary();
}

int PatternLibrary::readFile(std::string_view path, bool reorder) {
    int last = -1;
    uint64_t offset = 0;
    while (count() < kMaxCount) {
        auto e = std::make_unique<PatternEntry>();
        loadEntry(*e, path, offset, source_);
        const int index = count();
        bool keep = index == 0 || e->header.identity != 0;
        for (int i = 2; keep && i < count(); ++i)
            if (entries_[static_cast<size_t>(i)]->header.headerChecksum == e->header.headerChecksum) keep = false;
        offset = e->nextOffset;
        if (keep) {
            entries_.push_back(std::move(e));
            last = index;
        }
        if (offset == 0) break;
    }
    if (reorder) orderLibrary();
    return last;
}

void PatternLibrary::orderLibrary() {
    for (int i = 0; i < kSlots; ++i) order_[static_cast<size_t>(i)] = i;
    for (auto& e : entries_) e->displayId = -2;
    if (count() <= 3) return;
    bool swapped = true;
    while (swapped) {
        swapped = false;
        for (int p = 2; p + 1 < count(); ++p) {
            int& a = order_[static_cast<size_t>(p)];
            int& b = order_[static_cast<size_t>(p + 1)];
            if (entry(a).header.sortTime > entry(b).header.sortTime) {
                std::swap(a, b);
                swapped = true;
            }
        }
    }
}

int PatternLibrary::findIdentity(uint32_t identity) const {
    for (int i = 0; i < count(); ++i)
        if (entry(i).header.identity == identity) return i;
    return -1;
}

int PatternLibrary::clampPage(int page) const { return std::clamp(page, 0, std::max(0, lastPage())); }

int PatternLibrary::hitTest(int x, int y, int page) const {
    const int cell = (x - 2) / kCell + kColumns * ((y - 2) / kCell);
    if (cell < 0 || cell >= kPageEntries) return -1;
    const int64_t position = int64_t{kPageEntries} * page + cell;
    if (position < 0 || position >= count()) return -1;
    const int p = static_cast<int>(position);
    return entry(orderAt(p)).shown ? p : -1;
}

InfoLine infoLine(const PatternEntry& e) {
    InfoLine line;
    line.size = format("%.3i x %.3i", int{e.header.width}, int{e.header.height});
    line.name = e.header.nameText();
    // FILETIME to the local calendar.
    constexpr int64_t kUnixEpoch = 116444736000000000;
    const auto seconds = static_cast<std::time_t>((static_cast<int64_t>(e.header.created) - kUnixEpoch) / 10000000);
    std::tm t{};
    if (::localtime_r(&seconds, &t) == nullptr) t = std::tm{};
    line.month = kMonths[std::clamp(t.tm_mon, 0, 11)];
    line.date = line.month + format(".%.2i.%.4i  %.2i:%.2i", t.tm_mday, t.tm_year + 1900, t.tm_hour, t.tm_min);
    const uint32_t shownId = e.header.identity != 0 ? e.header.identity : static_cast<uint32_t>(e.displayId);
    line.id = format("ID = %.8X", shownId);
    return line;
}

void PatternSlot::FreeDeleter::operator()(uint8_t* p) const { std::free(p); }

void PatternSlot::release() {
    std::vector<uint8_t>().swap(owned_);
    view_ = PixelView{};
    stream_.reset();
    streamLength_ = 0;
}

void PatternSlot::unload() {
    release();
    entry_ = nullptr;
}

void PatternSlot::load(PatternEntry& e, const SlotContext& context) {
    if (entry_ != nullptr && entry_->header.identity == e.header.identity &&
        !(e.isVirtual() && !context.dialogOpen))
        return;
    release();
    entry_ = &e;
    stats = e.header.stats;

    if (e.virtualState != 0) {
        view_ = context.dialogOpen && thumbnailButton >= 0 ? context.preview : context.hostInput;
        if (e.virtualState == 1 && !view_.empty()) {
            e.header.stats = computeStats(view_);
            stats = e.header.stats;
            e.virtualState = 2;
        }
    } else if (e.noPixels == 0 && !e.path.empty()) {
        File file(e.path, "rb");
        const int w = e.header.width, h = e.header.height;
        if (!file || w <= 0 || h <= 0 || int64_t{w} * h > kMaxImagePixels) {
            e.noPixels = 1;
        } else {
            const size_t stride = static_cast<size_t>(w) * 3;
            try {
                owned_.assign(stride * static_cast<size_t>(h), 0);
            } catch (const std::bad_alloc&) {
                owned_.clear();
            }
            if (!owned_.empty()) {
                view_ = PixelView{owned_.data(), w, h, 3, static_cast<ptrdiff_t>(stride)};
                // The stream must still lie inside the file; it may have
                // changed since the library was built.
                const uint64_t size = e.header.dataSize;
                const uint64_t fileSize = file.size();
                uint8_t* bytes = nullptr;
                if (size > 0 && size < 0x80000000u && e.jpegOffset <= fileSize && fileSize - e.jpegOffset >= size)
                    bytes = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(size)));
                if (bytes && file.readAt(e.jpegOffset, bytes, static_cast<size_t>(size))) {
                    stream_.reset(bytes);
                    streamLength_ = static_cast<size_t>(size);
                    CxImage image(w, h);
                    image.Decode(bytes, streamLength_);
                    // Copied whether or not the stream decoded: a failure
                    // leaves the black bitmap.
                    for (int i = 0; i < h; ++i) {
                        uint8_t* row = owned_.data() + static_cast<size_t>(i) * stride;
                        for (int x = 0; x < w; ++x) {
                            const PixelColor c = image.GetPixelColor(x, h - 1 - i);
                            row[3 * x] = c.red;
                            row[3 * x + 1] = c.green;
                            row[3 * x + 2] = c.blue;
                        }
                    }
                } else {
                    std::free(bytes);
                }
            } else {
                e.noPixels = 1;
            }
        }
    } else {
        e.noPixels = 1;
    }
    if (refresh) refresh(*this);
}

long PatternSlot::encode(int quality) {
    if (view_.empty()) return 0;
    CxImage image(view_.width, view_.height);
    if (!image.IsValid()) return 0;
    for (int i = 0; i < view_.height; ++i)
        for (int x = 0; x < view_.width; ++x) {
            const uint8_t* p = view_.at(x, i);
            image.SetPixelColor(x, view_.height - 1 - i, PixelColor{p[2], p[1], p[0], 0});
        }
    image.SetJpegQuality(quality);
    uint8_t* buffer = nullptr;
    long length = 0;
    if (!image.Encode(buffer, length)) return 0;
    stream_.reset(buffer);
    streamLength_ = static_cast<size_t>(length);
    if (entry_) entry_->header.dataSize = static_cast<uint32_t>(length);
    return length;
}

PatternHeader writeHeader(PatternSlot& slot, const char* name, int quality, uint32_t timeShift, uint32_t value) {
    PatternEntry* e = slot.entry_;
    PatternHeader h;
    h.identity = e ? e->header.identity : 0;
    if (name)
        h.setName(name);
    else if (e)
        h.name = e->header.name;
    h.minuteStamp = minuteStampOf(os::utcTime());
    const uint64_t now = os::fileTimeNow() - (uint64_t{timeShift} << 32);
    h.created = now;
    h.sortTime = now;
    h.magic = kPatternMagic;
    h.flags = 0;
    if (quality > 200) h.flags = kFlagHighQuality;
    if (quality > 100) h.flags |= kFlagFactory;
    quality = std::min(quality, 100);
    h.stats = computeStats(slot.view_);
    h.height = static_cast<int16_t>(slot.view_.height);
    h.width = static_cast<int16_t>(slot.view_.width);
    // The stored picture is always three components, whatever the slot's
    // source carried.
    h.channels = 3;
    if (!slot.stream_) slot.encode(quality);
    if (e) {
        h.scaleMin = e->header.scaleMin;
        h.scaleMax = e->header.scaleMax;
    }
    // The entry's dataSize, which encode has just set, unless the stream came
    // with the entry: the same length either way.
    h.dataSize = static_cast<uint32_t>(slot.streamLength_);
    h.value88 = value;
    if (h.identity == 0 || h.identity == kInputImageIdentity)
        h.identity = fw::rollingChecksum(slot.stream_.get(), slot.streamLength_);
    sealHeader(h);
    return h;
}

std::string collectionBaseName(std::string_view name) {
    std::string out;
    for (char c : name)
        if (std::isalnum(static_cast<unsigned char>(c))) out += c;
    return out;
}

std::string collectionFileName(std::string_view baseName, const std::string& pluginFolder,
                               const std::string& sharedFolder) {
    const std::string plugin = withSlash(pluginFolder), shared = withSlash(sharedFolder);
    auto free = [&](const std::string& file) {
        return !os::fileExists(plugin + file) && (shared.empty() || !os::fileExists(shared + file));
    };
    std::string file = std::string(baseName) + kPatternExtension;
    if (free(file)) return file;
    for (int n = 1; n <= 99; ++n) {
        file = std::string(baseName) + format("%.2i", n) + kPatternExtension;
        if (free(file)) return file;
    }
    return {};
}

int addToCollection(PatternLibrary& library, PatternSlot& slot, std::string_view name, const uint8_t* thumbnail) {
    std::string text(name.substr(0, std::min(name.size(), kNameLength)));
    int quality = 100;
    if (!text.empty() && text.back() == '`') {
        text.pop_back();
        quality = 101;
    }
    const std::string file = collectionFileName(collectionBaseName(text), library.pluginFolder(), library.sharedFolder());
    if (file.empty()) return -1;  // all 100 names taken
    const std::string path = library.pluginFolder() + file;
    const PatternHeader header = writeHeader(slot, text.c_str(), quality, 0, 0);
    if (slot.stream() == nullptr) return -1;
    const std::vector<uint8_t> bytes = recordBytes(header, thumbnail, slot.stream(), slot.streamLength());
    {
        std::FILE* f = std::fopen(path.c_str(), "wb");
        if (!f) return -1;
        const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
        // A cut-short record would be read as a damaged database next time.
        if (std::fclose(f) != 0 || !ok) {
            std::remove(path.c_str());
            return -1;
        }
    }
    return library.readFile(path, true);
}

RemoveResult removeFromCollection(PatternLibrary& library, PatternSlot& slot, int selectedPosition, void* owner) {
    using namespace remove_text;
    PatternEntry* edited = slot.entry();
    const std::string path = edited ? edited->path : std::string();
    PatternEntry* selected = nullptr;
    if (selectedPosition >= 0 && selectedPosition < library.count())
        selected = &library.entry(library.orderAt(selectedPosition));
    const bool isSelected = selected && ::strcasecmp(selected->path.c_str(), path.c_str()) == 0;
    if (isSelected) {
        if (selectedPosition == 0 || selectedPosition == 1) {
            ui::messageBox(owner, kVirtual, kWarningCaption, ui::kMbOk | ui::kMbIconWarning);
            return RemoveResult::RefusedVirtual;
        }
        if (selected->header.flags & kFlagFactory) {
            ui::messageBox(owner, kFactory, kWarningCaption, ui::kMbOk | ui::kMbIconWarning);
            return RemoveResult::RefusedFactory;
        }
    }
    if (ui::messageBox(owner, path + kConfirm, kWarningCaption, ui::kMbOkCancel | ui::kMbIconWarning) != ui::kIdOk)
        return RemoveResult::Cancelled;
    if (!os::deleteFile(path)) {
        ui::messageBox(owner, kPermission, kRestrictedCaption, ui::kMbOk | ui::kMbIconWarning);
        return RemoveResult::NoPermission;
    }
    if (isSelected) selected->shown = 0;
    return RemoveResult::Removed;
}

}  // namespace qm::marbleloom
