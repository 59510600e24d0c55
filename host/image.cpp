#include "host/image.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cassert>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <set>
#include <string_view>

#include "host/image_codecs.h"

namespace qm::host {

namespace {

size_t sampleIndex(const Image& image, int32_t x, int32_t y, int channel) {
    assert(x >= 0 && x < image.width && y >= 0 && y < image.height);
    assert(channel >= 0 && channel < image.channels());
    return (static_cast<size_t>(y) * static_cast<size_t>(image.width) + static_cast<size_t>(x)) *
               static_cast<size_t>(image.channels()) +
           static_cast<size_t>(channel);
}

std::string errnoText(int err) { return std::strerror(err); }

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

constexpr unsigned char kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};

enum class Format { Unknown, Png, Jpeg };

Format formatForPath(const std::string& path) {
    size_t slash = path.find_last_of('/');
    size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return Format::Unknown;
    std::string ext = path.substr(dot + 1);
    for (char& c : ext) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if (ext == "png") return Format::Png;
    if (ext == "jpg" || ext == "jpeg") return Format::Jpeg;
    return Format::Unknown;
}

bool validForSaving(const Image& image, std::string& error) {
    if (image.width <= 0 || image.height <= 0) {
        error = "cannot save an empty image (" + std::to_string(image.width) + " x " +
                std::to_string(image.height) + " pixels)";
        return false;
    }
    if (image.depth != 8 && image.depth != 16) {
        error = "cannot save an image of " + std::to_string(image.depth) + " bits a sample";
        return false;
    }
    uint64_t expected = static_cast<uint64_t>(image.rowBytes()) * static_cast<uint64_t>(image.height);
    if (image.pixels.size() != expected) {
        error = "image data has " + std::to_string(image.pixels.size()) + " bytes, expected " +
                std::to_string(expected);
        return false;
    }
    return true;
}

bool runWriter(std::FILE* file, Format format, const Image& image, int quality, std::string& error) {
    return format == Format::Png ? codec::writePng(file, image, error)
                                 : codec::writeJpeg(file, image, quality, error);
}

// The save in progress, for a signal handler: the temporary file's name
// (valid while pendingState is Temporary), or a device being written.
enum PendingState : int { Idle, Temporary, InPlace };
char pendingTemp[PATH_MAX + 64];
std::atomic<int> pendingState{Idle};
std::atomic<bool> abandoned{false};
static_assert(std::atomic<int>::is_always_lock_free && std::atomic<bool>::is_always_lock_free);

// Ends the pending state; true when this call, not a handler, still owned it.
bool releasePending() { return pendingState.exchange(Idle) != Idle; }

// Devices and pipes (/dev/stdout, /dev/null) are written in place: renaming
// over them would replace the device node with a plain file.
bool writeInPlace(const std::string& path, Format format, const Image& image, int quality,
                  std::string& error) {
    pendingState.store(InPlace);
    if (abandoned.load()) {
        releasePending();
        error = "cancelled";
        return false;
    }
    std::FILE* file = std::fopen(path.c_str(), "wbe");
    if (!file) {
        releasePending();
        error = "cannot write " + path + ": " + errnoText(errno);
        return false;
    }
    bool ok = runWriter(file, format, image, quality, error);
    if (ok && std::fflush(file) != 0) {
        error = errnoText(errno);
        ok = false;
    }
    if (std::fclose(file) != 0 && ok) {
        error = errnoText(errno);
        ok = false;
    }
    releasePending();
    if (!ok) error = "cannot write " + path + ": " + error;
    return ok;
}

// Temporary files are named "OUT.quillmere-PID-N.tmp" beside OUT. One that a
// killed run left behind (its process is gone) is removed by the next save
// into that folder; the name of earlier versions, "OUT.tmp-PID-N", too.
bool staleTemporary(const char* name) {
    const std::string_view n(name);
    auto pidBefore = [&](std::string_view marker, std::string_view end) -> long {
        const size_t at = n.rfind(marker);
        if (at == std::string_view::npos || at == 0) return -1;
        std::string_view rest = n.substr(at + marker.size());
        if (rest.size() < end.size() || rest.substr(rest.size() - end.size()) != end) return -1;
        rest.remove_suffix(end.size());
        const size_t dash = rest.find('-');
        if (dash == 0 || dash > 9 || dash == std::string_view::npos || dash + 1 == rest.size()) return -1;
        long pid = 0;
        for (size_t i = 0; i < rest.size(); ++i) {
            if (i == dash) continue;
            if (rest[i] < '0' || rest[i] > '9') return -1;
            if (i < dash) pid = pid * 10 + (rest[i] - '0');
        }
        return pid;
    };
    long pid = pidBefore(".quillmere-", ".tmp");
    if (pid < 0) pid = pidBefore(".tmp-", "");
    if (pid <= 0 || pid == getpid() || pid > INT_MAX) return false;
    return ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

void removeStaleTemporaries(const std::string& folder) {
    // Once a folder a run: a batch writes many files into the same one.
    static std::mutex lock;
    static std::set<std::string> swept;
    {
        std::lock_guard<std::mutex> guard(lock);
        if (!swept.insert(folder).second) return;
    }
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return;
    while (const dirent* entry = ::readdir(dir))
        if (staleTemporary(entry->d_name)) ::unlinkat(::dirfd(dir), entry->d_name, 0);
    ::closedir(dir);
}

// Writes to a fresh file beside the target and renames it over the target
// only once every byte is on disk, so a failure or a signal never leaves a
// partial image under the target's name.
bool writeReplacing(const std::string& target, const std::string& shownPath, const struct stat* existing,
                    Format format, const Image& image, int quality, std::string& error) {
    static std::atomic<unsigned> counter{0};
    const size_t slash = target.rfind('/');
    removeStaleTemporaries(slash == std::string::npos ? "." : slash == 0 ? "/" : target.substr(0, slash));
    std::string temp;
    int fd = -1;
    // INT and TERM wait while the file comes into being, so that a handler
    // either finds it registered or has set abandoned before (read below).
    sigset_t interrupts, previous;
    sigemptyset(&interrupts);
    sigaddset(&interrupts, SIGINT);
    sigaddset(&interrupts, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &interrupts, &previous);
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp = target + ".quillmere-" + std::to_string(getpid()) + "-" + std::to_string(counter++) + ".tmp";
        if (temp.size() >= sizeof pendingTemp) {
            errno = ENAMETOOLONG;
            break;
        }
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    const int openError = errno;
    if (fd >= 0) {
        std::memcpy(pendingTemp, temp.c_str(), temp.size() + 1);
        pendingState.store(Temporary);
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    if (fd < 0) {
        error = "cannot write " + shownPath + ": " + errnoText(openError);
        return false;
    }
    auto discard = [&] {
        if (releasePending()) ::unlink(temp.c_str());
    };
    if (abandoned.load()) {
        ::close(fd);
        discard();
        error = "cancelled";
        return false;
    }
    // Keep the permissions of the file being replaced.
    if (existing) (void)::fchmod(fd, existing->st_mode & 07777);
    std::FILE* file = ::fdopen(fd, "wb");
    if (!file) {
        error = "cannot write " + shownPath + ": " + errnoText(errno);
        ::close(fd);
        discard();
        return false;
    }
    bool ok = runWriter(file, format, image, quality, error);
    if (ok && (std::fflush(file) != 0 || ::fsync(fileno(file)) != 0)) {
        error = errnoText(errno);
        ok = false;
    }
    if (std::fclose(file) != 0 && ok) {
        error = errnoText(errno);
        ok = false;
    }
    if (ok && abandoned.load()) {
        discard();
        error = "cancelled";
        return false;
    }
    if (ok && std::rename(temp.c_str(), target.c_str()) != 0) {
        error = errnoText(errno);
        ok = false;
    }
    if (!ok) {
        discard();
        error = "cannot write " + shownPath + ": " + error;
        return false;
    }
    releasePending();
    return true;
}

}  // namespace

bool abandonSaves() noexcept {
    abandoned.store(true);
    const int state = pendingState.exchange(Idle);
    if (state == Temporary) ::unlink(pendingTemp);
    return state != Idle;
}

bool savesAbandoned() noexcept { return abandoned.load(); }

uint32_t Image::sample(int32_t x, int32_t y, int channel) const {
    size_t i = sampleIndex(*this, x, y, channel);
    if (depth == 16) {
        uint16_t v;
        std::memcpy(&v, pixels.data() + i * 2, sizeof v);
        return v;
    }
    return pixels[i];
}

void Image::setSample(int32_t x, int32_t y, int channel, uint32_t value) {
    size_t i = sampleIndex(*this, x, y, channel);
    if (depth == 16) {
        assert(value <= 0xffff);
        auto v = static_cast<uint16_t>(value);
        std::memcpy(pixels.data() + i * 2, &v, sizeof v);
    } else {
        assert(value <= 0xff);
        pixels[i] = static_cast<uint8_t>(value);
    }
}

namespace codec {

std::string tooLargeMessage(uint64_t width, uint64_t height) {
    return "image too large to load: " + std::to_string(width) + " x " + std::to_string(height) +
           " pixels";
}

bool checkImageSize(uint64_t width, uint64_t height, std::string& error) {
    if (width == 0 || height == 0) {
        error = "image has no pixels (" + std::to_string(width) + " x " + std::to_string(height) + ")";
        return false;
    }
    // Both sides are at most 2^32 here, so the product cannot overflow.
    if (width > static_cast<uint64_t>(kMaxImageSide) || height > static_cast<uint64_t>(kMaxImageSide) ||
        width * height > kMaxImagePixels) {
        error = tooLargeMessage(width, height);
        return false;
    }
    return true;
}

}  // namespace codec

bool loadImage(const std::string& path, Image& out, std::string& error) {
    FilePtr file(std::fopen(path.c_str(), "rbe"));
    if (!file) {
        error = "cannot open " + path + ": " + errnoText(errno);
        return false;
    }
    struct stat st {};
    if (::fstat(fileno(file.get()), &st) != 0) {
        error = "cannot read " + path + ": " + errnoText(errno);
        return false;
    }
    unsigned char head[8] = {};
    size_t got = std::fread(head, 1, sizeof head, file.get());
    if (got < sizeof head && std::ferror(file.get())) {
        error = "cannot read " + path + ": " + errnoText(errno);
        return false;
    }
    if (got == 0) {
        error = "not a PNG or JPEG file (the file is empty)";
        return false;
    }
    bool png = got == sizeof head && std::memcmp(head, kPngSignature, sizeof head) == 0;
    bool jpeg = got >= 3 && head[0] == 0xff && head[1] == 0xd8 && head[2] == 0xff;
    if (!png && !jpeg) {
        error = "not a PNG or JPEG file";
        return false;
    }
    if (std::fseek(file.get(), 0, SEEK_SET) != 0) {
        error = "cannot read " + path + ": " + errnoText(errno);
        return false;
    }
    // Only a regular file's size bounds what its header may claim.
    uint64_t fileSize = S_ISREG(st.st_mode) ? static_cast<uint64_t>(st.st_size) : UINT64_MAX;
    Image image;
    bool ok = png ? codec::readPng(file.get(), fileSize, image, error)
                  : codec::readJpeg(file.get(), image, error);
    if (!ok) return false;
    out = std::move(image);
    return true;
}

bool checkOutputPath(const std::string& path, std::string& error) {
    if (formatForPath(path) == Format::Unknown) {
        error = "cannot tell the image format of " + path + ": use .png, .jpg or .jpeg";
        return false;
    }
    std::error_code ec;
    const std::filesystem::path folder = std::filesystem::absolute(path, ec).parent_path();
    if (ec || !std::filesystem::is_directory(folder, ec)) {
        error = "the folder " + folder.string() + " does not exist";
        return false;
    }
    if (access(folder.c_str(), W_OK) != 0) {
        error = "the folder " + folder.string() + " is not writable";
        return false;
    }
    if (std::filesystem::is_directory(path, ec)) {
        error = path + " is a folder";
        return false;
    }
    return true;
}

bool saveImage(const std::string& path, const Image& image, std::string& error, int jpegQuality) {
    Format format = formatForPath(path);
    if (format == Format::Unknown) {
        error = "cannot tell the image format of " + path + ": use .png, .jpg or .jpeg";
        return false;
    }
    if (!validForSaving(image, error)) return false;
    if (format == Format::Png && image.colour == ColourSpace::CMYK) {
        error = "PNG cannot hold CMYK; write a .jpg";
        return false;
    }
    if (format == Format::Jpeg && image.hasAlpha) {
        error = "JPEG cannot hold transparency; write a .png";
        return false;
    }
    if (format == Format::Jpeg && (jpegQuality < 1 || jpegQuality > 100)) {
        error = "JPEG quality must be 1 to 100, not " + std::to_string(jpegQuality);
        return false;
    }

    // Replace the file a symbolic link points to, not the link.
    std::string target = path;
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        if (char* resolved = ::realpath(path.c_str(), nullptr)) {
            target = resolved;
            std::free(resolved);
        }
    }
    bool exists = ::stat(target.c_str(), &st) == 0;
    if (exists && !S_ISREG(st.st_mode)) {
        if (S_ISDIR(st.st_mode)) {
            error = "cannot write " + path + ": " + errnoText(EISDIR);
            return false;
        }
        return writeInPlace(target, format, image, jpegQuality, error);
    }
    return writeReplacing(target, path, exists ? &st : nullptr, format, image, jpegQuality, error);
}

}  // namespace qm::host
