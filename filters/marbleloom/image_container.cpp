// libjpeg's own error handler ends the process; ours longjmps back to the
// function that called setjmp. Those functions keep only trivial locals, and
// the C++ objects (the pixel vectors) live in their callers.
#include "filters/marbleloom/image_container.h"

#include <cstdio>  // before jpeglib.h, which needs FILE

#include <jerror.h>
#include <jpeglib.h>

#include <algorithm>
#include <csetjmp>
#include <cstdlib>
#include <fstream>
#include <new>

namespace qm::marbleloom {
namespace {

// A real progressive stream has about ten scans; a hostile one can hold
// millions, each a pass over the whole picture.
constexpr int kMaxScans = 200;
constexpr int kMaxSide = 65535;

struct JpegErrors {
    jpeg_error_mgr mgr;  // first, so libjpeg's pointer to it is ours
    std::jmp_buf jump;
};

[[noreturn]] void onError(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<JpegErrors*>(cinfo->err)->jump, 1);
}

void onMessage(j_common_ptr cinfo, int level) {
    // A cut stream would be padded with grey; it must fail instead. Other
    // corrupt-data warnings are recovered from.
    if (level < 0 && (cinfo->err->msg_code == JWRN_JPEG_EOF || cinfo->err->msg_code == JWRN_HIT_MARKER))
        onError(cinfo);
}

void noOutput(j_common_ptr) {}

void onProgress(j_common_ptr cinfo) {
    auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (d->input_scan_number > kMaxScans) onError(cinfo);
}

void installErrors(JpegErrors& e) {
    jpeg_std_error(&e.mgr);
    e.mgr.error_exit = onError;
    e.mgr.emit_message = onMessage;
    e.mgr.output_message = noOutput;
}

struct Reader {
    jpeg_decompress_struct cinfo;
    JpegErrors errors;
    jpeg_progress_mgr progress;
};

bool readHeader(Reader& r, const uint8_t* data, size_t length) {
    if (setjmp(r.errors.jump)) return false;
    jpeg_create_decompress(&r.cinfo);
    r.progress.progress_monitor = onProgress;
    r.cinfo.progress = &r.progress;
    jpeg_mem_src(&r.cinfo, const_cast<unsigned char*>(data), static_cast<unsigned long>(length));
    if (jpeg_read_header(&r.cinfo, TRUE) != JPEG_HEADER_OK) return false;
    // Grey and colour streams both come out as RGB; CMYK has no RGB form here.
    r.cinfo.out_color_space = JCS_RGB;
    return true;
}

bool startReading(Reader& r) {
    if (setjmp(r.errors.jump)) return false;
    jpeg_start_decompress(&r.cinfo);
    return r.cinfo.output_components == 3;
}

bool readRow(Reader& r, uint8_t* row) {
    if (setjmp(r.errors.jump)) return false;
    JSAMPROW rows[1] = {row};
    return jpeg_read_scanlines(&r.cinfo, rows, 1) == 1;
}

bool finishReading(Reader& r) {
    if (setjmp(r.errors.jump)) return false;
    jpeg_finish_decompress(&r.cinfo);
    return true;
}

struct Writer {
    jpeg_compress_struct cinfo;
    JpegErrors errors;
    unsigned char* buffer;
    unsigned long length;
};

bool startWriting(Writer& w, int width, int height, int quality) {
    if (setjmp(w.errors.jump)) return false;
    jpeg_create_compress(&w.cinfo);
    jpeg_mem_dest(&w.cinfo, &w.buffer, &w.length);
    w.cinfo.image_width = static_cast<JDIMENSION>(width);
    w.cinfo.image_height = static_cast<JDIMENSION>(height);
    w.cinfo.input_components = 3;
    w.cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&w.cinfo);
    jpeg_set_quality(&w.cinfo, quality, TRUE);
    jpeg_start_compress(&w.cinfo, TRUE);
    return true;
}

bool writeRow(Writer& w, uint8_t* row) {
    if (setjmp(w.errors.jump)) return false;
    JSAMPROW rows[1] = {row};
    jpeg_write_scanlines(&w.cinfo, rows, 1);
    return true;
}

bool finishWriting(Writer& w) {
    if (setjmp(w.errors.jump)) return false;
    jpeg_finish_compress(&w.cinfo);
    return true;
}

bool sizeAllowed(int64_t width, int64_t height) {
    return width >= 1 && height >= 1 && width <= kMaxSide && height <= kMaxSide &&
           width * height <= kMaxImagePixels;
}

}  // namespace

CxImage::CxImage(int width, int height, int bitsPerPixel, ImageType type) {
    create(width, height, bitsPerPixel, type);
}

bool CxImage::create(int width, int height, int bitsPerPixel, ImageType) {
    Destroy();
    if (bitsPerPixel != 24 || !sizeAllowed(width, height)) return false;
    try {
        bits_.assign(static_cast<size_t>(width) * static_cast<size_t>(height) * 3, 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    width_ = width;
    height_ = height;
    return true;
}

void CxImage::Destroy() {
    std::vector<uint8_t>().swap(bits_);
    width_ = 0;
    height_ = 0;
}

bool CxImage::load(const std::string& path, ImageType type) {
    Destroy();
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    // Beyond what a picture of the largest allowed size compresses to.
    if (size <= 0 || size > (int64_t{1} << 31) - 1) return false;
    in.seekg(0);
    std::vector<uint8_t> bytes;
    try {
        bytes.resize(static_cast<size_t>(size));
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (!in.read(reinterpret_cast<char*>(bytes.data()), size)) return false;
    return Decode(bytes.data(), bytes.size(), type);
}

bool CxImage::Decode(const uint8_t* data, size_t length, ImageType) {
    if (data == nullptr || length < 4 || length > 0x7FFFFFFFu) return false;
    Reader r{};
    installErrors(r.errors);
    r.cinfo.err = &r.errors.mgr;
    struct Guard {
        Reader& r;
        ~Guard() { jpeg_destroy_decompress(&r.cinfo); }
    } guard{r};

    if (!readHeader(r, data, length)) return false;
    if (!sizeAllowed(r.cinfo.image_width, r.cinfo.image_height)) return false;
    if (!startReading(r)) return false;
    const int width = static_cast<int>(r.cinfo.output_width);
    const int height = static_cast<int>(r.cinfo.output_height);
    if (!sizeAllowed(width, height)) return false;

    const size_t rowBytes = static_cast<size_t>(width) * 3;
    std::vector<uint8_t> bits;
    std::vector<uint8_t> row;
    try {
        // Grown row by row, so a cut stream that claims a huge picture fails
        // before its memory is touched.
        bits.reserve(rowBytes * static_cast<size_t>(height));
        row.resize(rowBytes);
    } catch (const std::bad_alloc&) {
        return false;
    }
    for (int y = 0; y < height; ++y) {
        if (!readRow(r, row.data())) return false;
        // Appended top-down, turned bottom-up once the whole stream is read.
        const size_t at = bits.size();
        bits.resize(at + rowBytes);
        uint8_t* out = bits.data() + at;
        for (size_t x = 0; x < rowBytes; x += 3) {
            out[x] = row[x + 2];
            out[x + 1] = row[x + 1];
            out[x + 2] = row[x];
        }
    }
    for (int top = 0, bottom = height - 1; top < bottom; ++top, --bottom)
        std::swap_ranges(bits.begin() + static_cast<ptrdiff_t>(static_cast<size_t>(top) * rowBytes),
                         bits.begin() + static_cast<ptrdiff_t>(static_cast<size_t>(top + 1) * rowBytes),
                         bits.begin() + static_cast<ptrdiff_t>(static_cast<size_t>(bottom) * rowBytes));
    if (!finishReading(r)) return false;
    bits_.swap(bits);
    width_ = width;
    height_ = height;
    return true;
}

bool CxImage::Encode(uint8_t*& buffer, long& length, ImageType) const {
    buffer = nullptr;
    length = 0;
    if (!IsValid()) return false;
    std::vector<uint8_t> row(static_cast<size_t>(width_) * 3);
    Writer w{};
    installErrors(w.errors);
    w.cinfo.err = &w.errors.mgr;
    bool ok = startWriting(w, width_, height_, quality_);
    for (int y = 0; ok && y < height_; ++y) {
        const uint8_t* in = bits_.data() + offsetOf(0, height_ - 1 - y);
        for (size_t x = 0; x < row.size(); x += 3) {
            row[x] = in[x + 2];
            row[x + 1] = in[x + 1];
            row[x + 2] = in[x];
        }
        ok = writeRow(w, row.data());
    }
    ok = ok && finishWriting(w);
    jpeg_destroy_compress(&w.cinfo);
    if (!ok || w.buffer == nullptr || w.length == 0) {
        std::free(w.buffer);  // jpeg_mem_dest takes its buffers from malloc
        return false;
    }
    buffer = w.buffer;
    length = static_cast<long>(w.length);
    return true;
}

PixelColor CxImage::GetPixelColor(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return {};
    const uint8_t* p = bits_.data() + offsetOf(x, y);
    return {p[0], p[1], p[2], 0};
}

void CxImage::SetPixelColor(int x, int y, PixelColor colour) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
    uint8_t* p = bits_.data() + offsetOf(x, y);
    p[0] = colour.blue;
    p[1] = colour.green;
    p[2] = colour.red;
}

void CxImage::SetJpegQuality(int quality) { quality_ = std::clamp(quality, 1, 100); }

}  // namespace qm::marbleloom
