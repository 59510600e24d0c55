// PNG through libpng. libpng reports errors by longjmp, so every function that
// calls setjmp keeps only trivial locals; C++ objects live in the callers.
#include <png.h>

#include <bit>
#include <cerrno>
#include <csetjmp>
#include <cstring>
#include <new>
#include <stdexcept>

#include "host/image_codecs.h"

namespace qm::host::codec {

namespace {

constexpr bool kLittleEndian = std::endian::native == std::endian::little;

// Deflate cannot expand data more than 1032 times, so a header claiming more
// image data than that from the file's size describes a truncated or hostile
// file; refusing it spares allocating memory for pixels that are not there.
constexpr uint64_t kMaxDeflateRatio = 1032;

struct PngIo {
    std::FILE* file = nullptr;
    png_structp png = nullptr;
    png_infop info = nullptr;
    bool truncated = false;
    int ioErrno = 0;
    char message[256] = {};
};

[[noreturn]] void onError(png_structp png, png_const_charp message) {
    auto* io = static_cast<PngIo*>(png_get_error_ptr(png));
    std::snprintf(io->message, sizeof io->message, "%s", message ? message : "unknown error");
    png_longjmp(png, 1);
}

void onWarning(png_structp, png_const_charp) {}

void readData(png_structp png, png_bytep data, size_t length) {
    auto* io = static_cast<PngIo*>(png_get_io_ptr(png));
    if (std::fread(data, 1, length, io->file) == length) return;
    if (std::ferror(io->file)) {
        io->ioErrno = errno;
        png_error(png, "read error");
    }
    io->truncated = true;
    png_error(png, "unexpected end of file");
}

void writeData(png_structp png, png_bytep data, size_t length) {
    auto* io = static_cast<PngIo*>(png_get_io_ptr(png));
    if (std::fwrite(data, 1, length, io->file) == length) return;
    io->ioErrno = errno;
    png_error(png, "write error");
}

void flushData(png_structp png) {
    auto* io = static_cast<PngIo*>(png_get_io_ptr(png));
    if (std::fflush(io->file) == 0) return;
    io->ioErrno = errno;
    png_error(png, "write error");
}

std::string readFailure(const PngIo& io) {
    if (io.truncated) return "truncated PNG file";
    if (io.ioErrno != 0) return std::string("cannot read PNG file: ") + std::strerror(io.ioErrno);
    return std::string("damaged PNG file: ") + io.message;
}

struct PngHeader {
    uint32_t width = 0;
    uint32_t height = 0;
    uint64_t storedBytes = 0;  // image data as the file holds it, before inflating
    int colorType = 0;         // after expansion
    int depth = 0;
    int channels = 0;
    size_t rowBytes = 0;
    int passes = 1;
    png_bytep profile = nullptr;  // the iCCP chunk's profile, while the info lives
    png_uint_32 profileLength = 0;
};

bool readHeader(PngIo& io, PngHeader& h) {
    if (setjmp(png_jmpbuf(io.png))) return false;
    png_set_user_limits(io.png, kMaxImageSide, kMaxImageSide);
    // The pixels and the colour profile matter; skipping the rest leaves less
    // for a hostile file to work on.
    png_set_keep_unknown_chunks(io.png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
    static const png_byte kProfileChunk[] = {'i', 'C', 'C', 'P', 0};
    png_set_keep_unknown_chunks(io.png, PNG_HANDLE_CHUNK_AS_DEFAULT, kProfileChunk, 1);
    png_set_read_fn(io.png, &io, readData);
    png_read_info(io.png, io.info);
    png_charp profileName = nullptr;
    int compression = 0;
    if (png_get_iCCP(io.png, io.info, &profileName, &compression, &h.profile, &h.profileLength) != PNG_INFO_iCCP) {
        h.profile = nullptr;
        h.profileLength = 0;
    }

    png_uint_32 width = 0, height = 0;
    int depth = 0, colorType = 0;
    png_get_IHDR(io.png, io.info, &width, &height, &depth, &colorType, nullptr, nullptr, nullptr);
    h.storedBytes = static_cast<uint64_t>(png_get_rowbytes(io.png, io.info)) * height;
    // Palette to RGB(A), grey below 8 bits to 8, tRNS to an alpha channel.
    if (colorType == PNG_COLOR_TYPE_PALETTE || depth < 8 || png_get_valid(io.png, io.info, PNG_INFO_tRNS))
        png_set_expand(io.png);
    if (depth == 16 && kLittleEndian) png_set_swap(io.png);
    h.passes = png_set_interlace_handling(io.png);
    png_read_update_info(io.png, io.info);

    h.width = width;
    h.height = height;
    h.colorType = png_get_color_type(io.png, io.info);
    h.depth = png_get_bit_depth(io.png, io.info);
    h.channels = png_get_channels(io.png, io.info);
    h.rowBytes = png_get_rowbytes(io.png, io.info);
    return true;
}

bool readRows(PngIo& io, uint8_t* pixels, size_t rowBytes, uint32_t height, int passes) {
    if (setjmp(png_jmpbuf(io.png))) return false;
    // Each interlace pass fills in its own pixels of the full rows.
    for (int pass = 0; pass < passes; ++pass)
        for (uint32_t y = 0; y < height; ++y) png_read_row(io.png, pixels + y * rowBytes, nullptr);
    png_read_end(io.png, nullptr);
    return true;
}

bool writeRows(PngIo& io, const Image& image, int colorType) {
    if (setjmp(png_jmpbuf(io.png))) return false;
    png_set_write_fn(io.png, &io, writeData, flushData);
    png_set_IHDR(io.png, io.info, static_cast<png_uint_32>(image.width), static_cast<png_uint_32>(image.height),
                 image.depth, colorType, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    // A profile libpng finds unfit for the image is left out (a warning), not an error.
    png_set_benign_errors(io.png, 1);
    // The "up" filter and fast deflate: on photographs files as small as
    // libpng's adaptive filters at level 6 give, or within a fifth, written
    // several times faster.
    png_set_filter(io.png, PNG_FILTER_TYPE_BASE, PNG_FILTER_UP);
    png_set_compression_level(io.png, 1);
    if (!image.icc.empty())
        png_set_iCCP(io.png, io.info, "ICC profile", PNG_COMPRESSION_TYPE_BASE, image.icc.data(),
                     static_cast<png_uint_32>(image.icc.size()));
    png_write_info(io.png, io.info);
    if (image.depth == 16 && kLittleEndian) png_set_swap(io.png);
    for (int32_t y = 0; y < image.height; ++y)
        png_write_row(io.png, image.pixels.data() + static_cast<size_t>(y) * image.rowBytes());
    png_write_end(io.png, io.info);
    return true;
}

struct ReadGuard {
    PngIo& io;
    ~ReadGuard() { png_destroy_read_struct(&io.png, &io.info, nullptr); }
};

struct WriteGuard {
    PngIo& io;
    ~WriteGuard() { png_destroy_write_struct(&io.png, &io.info); }
};

uint32_t bigEndian32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
           static_cast<uint32_t>(p[2]) << 8 | static_cast<uint32_t>(p[3]);
}

}  // namespace

bool readPng(std::FILE* file, uint64_t fileSize, Image& out, std::string& error) {
    // Refuse an oversized header before libpng sees it, so the message names
    // the size rather than libpng's "Invalid IHDR data".
    unsigned char head[24];
    if (std::fread(head, 1, sizeof head, file) == sizeof head && std::memcmp(head + 12, "IHDR", 4) == 0) {
        uint32_t width = bigEndian32(head + 16), height = bigEndian32(head + 20);
        if (width > 0 && height > 0 && !checkImageSize(width, height, error)) return false;
    }
    if (std::fseek(file, 0, SEEK_SET) != 0) {
        error = std::string("cannot read PNG file: ") + std::strerror(errno);
        return false;
    }

    PngIo io;
    io.file = file;
    ReadGuard guard{io};
    io.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &io, onError, onWarning);
    if (io.png) io.info = png_create_info_struct(io.png);
    if (!io.png || !io.info) {
        error = "out of memory reading PNG file";
        return false;
    }

    PngHeader h;
    if (!readHeader(io, h)) {
        error = readFailure(io);
        return false;
    }
    if (!checkImageSize(h.width, h.height, error)) return false;
    if (fileSize != UINT64_MAX && h.storedBytes > fileSize * kMaxDeflateRatio) {
        error = "truncated PNG file (its header claims " + std::to_string(h.width) + " x " +
                std::to_string(h.height) + " pixels)";
        return false;
    }

    out.width = static_cast<int32_t>(h.width);
    out.height = static_cast<int32_t>(h.height);
    out.depth = h.depth;
    out.colour = (h.colorType & PNG_COLOR_MASK_COLOR) ? ColourSpace::RGB : ColourSpace::Grey;
    out.hasAlpha = (h.colorType & PNG_COLOR_MASK_ALPHA) != 0;
    if (h.profile) out.icc.assign(h.profile, h.profile + h.profileLength);
    if ((h.depth != 8 && h.depth != 16) || out.channels() != h.channels || out.rowBytes() != h.rowBytes) {
        error = "damaged PNG file: unexpected sample layout";
        return false;
    }
    try {
        out.pixels.resize(static_cast<uint64_t>(h.rowBytes) * h.height);
    } catch (const std::bad_alloc&) {
        error = tooLargeMessage(h.width, h.height);
        return false;
    } catch (const std::length_error&) {
        error = tooLargeMessage(h.width, h.height);
        return false;
    }
    if (!readRows(io, out.pixels.data(), h.rowBytes, h.height, h.passes)) {
        error = readFailure(io);
        return false;
    }
    return true;
}

bool writePng(std::FILE* file, const Image& image, std::string& error) {
    PngIo io;
    io.file = file;
    WriteGuard guard{io};
    io.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &io, onError, onWarning);
    if (io.png) io.info = png_create_info_struct(io.png);
    if (!io.png || !io.info) {
        error = "out of memory writing PNG file";
        return false;
    }
    int colorType = image.colour == ColourSpace::Grey ? PNG_COLOR_TYPE_GRAY : PNG_COLOR_TYPE_RGB;
    if (image.hasAlpha) colorType |= PNG_COLOR_MASK_ALPHA;
    if (!writeRows(io, image, colorType)) {
        error = io.ioErrno != 0 ? std::strerror(io.ioErrno) : io.message;
        return false;
    }
    return true;
}

}  // namespace qm::host::codec
