// JPEG through libjpeg (6b interface). libjpeg's own error handler exits the
// process; ours longjmps back, so every function that calls setjmp keeps only
// trivial locals and C++ objects live in the callers.
#include <cstdio>  // before jpeglib.h, which needs FILE

#include <jerror.h>
#include <jpeglib.h>

#include <algorithm>
#include <cerrno>
#include <csetjmp>
#include <cstring>
#include <new>
#include <stdexcept>
#include <vector>

#include "host/image_codecs.h"

namespace qm::host::codec {

namespace {

// Real progressive files have about ten scans; a hostile one can hold
// millions, each a pass over the whole image.
constexpr int kMaxJpegScans = 1000;

struct JpegErrors {
    jpeg_error_mgr mgr;  // first, so libjpeg's pointer to it is ours
    std::jmp_buf jump;
    bool truncated;
    bool outOfMemory;
    int savedErrno;
    char message[JMSG_LENGTH_MAX];
};

JpegErrors& errorsOf(j_common_ptr cinfo) { return *reinterpret_cast<JpegErrors*>(cinfo->err); }

[[noreturn]] void failWith(j_common_ptr cinfo, const char* text) {
    std::snprintf(errorsOf(cinfo).message, JMSG_LENGTH_MAX, "%s", text);
    std::longjmp(errorsOf(cinfo).jump, 1);
}

[[noreturn]] void onError(j_common_ptr cinfo) {
    JpegErrors& e = errorsOf(cinfo);
    e.savedErrno = errno;
    e.outOfMemory = cinfo->err->msg_code == JERR_OUT_OF_MEMORY;
    (*cinfo->err->format_message)(cinfo, e.message);
    std::longjmp(e.jump, 1);
}

void onMessage(j_common_ptr cinfo, int level) {
    if (level >= 0) return;  // trace output
    // At the end of the data libjpeg warns and pads the image with grey; a
    // cut file must fail instead. Other corrupt-data warnings are recovered
    // from, as other readers do.
    int code = cinfo->err->msg_code;
    if (code == JWRN_JPEG_EOF) {
        errorsOf(cinfo).truncated = true;
        onError(cinfo);
    }
    if (code == JWRN_HIT_MARKER) onError(cinfo);
}

void noOutput(j_common_ptr) {}

void onProgress(j_common_ptr cinfo) {
    if (reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > kMaxJpegScans)
        failWith(cinfo, "too many scans");
}

void installErrors(JpegErrors& e) {
    jpeg_std_error(&e.mgr);
    e.mgr.error_exit = onError;
    e.mgr.emit_message = onMessage;
    e.mgr.output_message = noOutput;
}

constexpr int kExifMarker = JPEG_APP0 + 1;
constexpr int kIccMarker = JPEG_APP0 + 2;
constexpr uint8_t kExifHeader[] = {'E', 'x', 'i', 'f', 0, 0};
constexpr uint8_t kIccName[] = {'I', 'C', 'C', '_', 'P', 'R', 'O', 'F', 'I', 'L', 'E', 0};
constexpr size_t kIccHeaderBytes = sizeof kIccName + 2;  // then the chunk's number and the count
constexpr size_t kMaxMarkerBytes = 65533;

struct JpegReader {
    jpeg_decompress_struct cinfo;
    JpegErrors errors;
    jpeg_progress_mgr progress;
};

bool readHeader(JpegReader& r, std::FILE* file) {
    if (setjmp(r.errors.jump)) return false;
    jpeg_create_decompress(&r.cinfo);
    r.progress.progress_monitor = onProgress;
    r.cinfo.progress = &r.progress;
    jpeg_stdio_src(&r.cinfo, file);
    jpeg_save_markers(&r.cinfo, kExifMarker, 0xFFFF);
    jpeg_save_markers(&r.cinfo, kIccMarker, 0xFFFF);
    jpeg_read_header(&r.cinfo, TRUE);
    return true;
}

// The EXIF block and the ICC profile (in numbered chunks) of the markers read.
void takeMetadata(const jpeg_decompress_struct& cinfo, Image& out) {
    std::vector<std::pair<int, std::vector<uint8_t>>> chunks;
    int count = 0;
    for (jpeg_saved_marker_ptr m = cinfo.marker_list; m; m = m->next) {
        const uint8_t* d = m->data;
        const size_t n = m->data_length;
        if (m->marker == kExifMarker && out.exif.empty() && n >= sizeof kExifHeader &&
            std::memcmp(d, kExifHeader, sizeof kExifHeader) == 0)
            out.exif.assign(d, d + n);
        if (m->marker == kIccMarker && n > kIccHeaderBytes && std::memcmp(d, kIccName, sizeof kIccName) == 0) {
            chunks.push_back({d[sizeof kIccName], std::vector<uint8_t>(d + kIccHeaderBytes, d + n)});
            count = d[sizeof kIccName + 1];
        }
    }
    // A profile is kept only whole: every chunk 1..count once.
    std::sort(chunks.begin(), chunks.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    if (chunks.empty() || static_cast<int>(chunks.size()) != count) return;
    for (int i = 0; i < count; ++i)
        if (chunks[static_cast<size_t>(i)].first != i + 1) return;
    for (const auto& c : chunks) out.icc.insert(out.icc.end(), c.second.begin(), c.second.end());
}

void writeMetadata(jpeg_compress_struct& cinfo, const Image& image) {
    if (!image.exif.empty() && image.exif.size() <= kMaxMarkerBytes)
        jpeg_write_marker(&cinfo, kExifMarker, image.exif.data(), static_cast<unsigned>(image.exif.size()));
    const size_t perChunk = kMaxMarkerBytes - kIccHeaderBytes;
    const size_t count = (image.icc.size() + perChunk - 1) / perChunk;
    if (count == 0 || count > 255) return;
    for (size_t i = 0; i < count; ++i) {
        const size_t at = i * perChunk, n = std::min(perChunk, image.icc.size() - at);
        std::vector<uint8_t> chunk(kIccName, kIccName + sizeof kIccName);
        chunk.push_back(static_cast<uint8_t>(i + 1));
        chunk.push_back(static_cast<uint8_t>(count));
        chunk.insert(chunk.end(), image.icc.begin() + static_cast<std::ptrdiff_t>(at),
                     image.icc.begin() + static_cast<std::ptrdiff_t>(at + n));
        jpeg_write_marker(&cinfo, kIccMarker, chunk.data(), static_cast<unsigned>(chunk.size()));
    }
}

bool startReading(JpegReader& r) {
    if (setjmp(r.errors.jump)) return false;
    jpeg_start_decompress(&r.cinfo);
    return true;
}

bool readRow(JpegReader& r, uint8_t* row) {
    if (setjmp(r.errors.jump)) return false;
    JSAMPROW rows[1] = {row};
    if (jpeg_read_scanlines(&r.cinfo, rows, 1) != 1) failWith(reinterpret_cast<j_common_ptr>(&r.cinfo), "no data");
    return true;
}

bool finishReading(JpegReader& r) {
    if (setjmp(r.errors.jump)) return false;
    jpeg_finish_decompress(&r.cinfo);
    return true;
}

struct JpegWriter {
    jpeg_compress_struct cinfo;
    JpegErrors errors;
};

bool writeAll(JpegWriter& w, std::FILE* file, const Image& image, int quality, uint8_t* reduced) {
    if (setjmp(w.errors.jump)) return false;
    jpeg_create_compress(&w.cinfo);
    jpeg_stdio_dest(&w.cinfo, file);
    w.cinfo.image_width = static_cast<JDIMENSION>(image.width);
    w.cinfo.image_height = static_cast<JDIMENSION>(image.height);
    w.cinfo.input_components = image.channels();
    w.cinfo.in_color_space = image.colour == ColourSpace::Grey  ? JCS_GRAYSCALE
                             : image.colour == ColourSpace::RGB ? JCS_RGB
                                                                : JCS_CMYK;
    // CMYK is written as Adobe CMYK with the values as given, which is what
    // the reader hands back.
    jpeg_set_defaults(&w.cinfo);
    jpeg_set_quality(&w.cinfo, quality, TRUE);
    w.cinfo.optimize_coding = TRUE;
    jpeg_start_compress(&w.cinfo, TRUE);
    writeMetadata(w.cinfo, image);
    const size_t samples = static_cast<size_t>(image.width) * static_cast<size_t>(image.channels());
    while (w.cinfo.next_scanline < w.cinfo.image_height) {
        const uint8_t* src = image.pixels.data() + static_cast<size_t>(w.cinfo.next_scanline) * image.rowBytes();
        JSAMPROW row = const_cast<JSAMPROW>(src);  // libjpeg only reads it
        if (image.depth == 16) {
            for (size_t i = 0; i < samples; ++i) {
                uint16_t v;
                std::memcpy(&v, src + 2 * i, sizeof v);
                reduced[i] = static_cast<uint8_t>((uint32_t{v} * 255 + 32767) / 65535);
            }
            row = reduced;
        }
        jpeg_write_scanlines(&w.cinfo, &row, 1);
    }
    jpeg_finish_compress(&w.cinfo);
    return true;
}

}  // namespace

bool readJpeg(std::FILE* file, Image& out, std::string& error) {
    JpegReader r{};
    installErrors(r.errors);
    r.cinfo.err = &r.errors.mgr;
    struct Guard {
        JpegReader& r;
        ~Guard() { jpeg_destroy_decompress(&r.cinfo); }
    } guard{r};

    auto failure = [&] {
        if (r.errors.truncated) return std::string("truncated JPEG file");
        if (r.errors.outOfMemory && r.cinfo.image_width > 0)
            return tooLargeMessage(r.cinfo.image_width, r.cinfo.image_height);
        return std::string("damaged JPEG file: ") + r.errors.message;
    };

    if (!readHeader(r, file)) {
        error = failure();
        return false;
    }
    switch (r.cinfo.jpeg_color_space) {
        case JCS_GRAYSCALE:
            r.cinfo.out_color_space = JCS_GRAYSCALE;
            out.colour = ColourSpace::Grey;
            break;
        case JCS_YCbCr:
        case JCS_RGB:
            r.cinfo.out_color_space = JCS_RGB;
            out.colour = ColourSpace::RGB;
            break;
        case JCS_CMYK:
        case JCS_YCCK:
            r.cinfo.out_color_space = JCS_CMYK;
            out.colour = ColourSpace::CMYK;
            break;
        default:
            error = "unsupported JPEG file: " + std::to_string(r.cinfo.num_components) +
                    " colour components of unknown meaning";
            return false;
    }
    if (!checkImageSize(r.cinfo.image_width, r.cinfo.image_height, error)) return false;
    takeMetadata(r.cinfo, out);
    out.width = static_cast<int32_t>(r.cinfo.image_width);
    out.height = static_cast<int32_t>(r.cinfo.image_height);
    out.hasAlpha = false;
    out.depth = 8;
    const size_t rowBytes = out.rowBytes();
    // Reserve without touching the memory and grow row by row, so a cut file
    // whose header claims a huge image fails before its memory is used.
    try {
        out.pixels.reserve(static_cast<uint64_t>(rowBytes) * r.cinfo.image_height);
    } catch (const std::bad_alloc&) {
        error = tooLargeMessage(r.cinfo.image_width, r.cinfo.image_height);
        return false;
    } catch (const std::length_error&) {
        error = tooLargeMessage(r.cinfo.image_width, r.cinfo.image_height);
        return false;
    }
    if (!startReading(r)) {
        error = failure();
        return false;
    }
    if (r.cinfo.output_components != out.channels() || r.cinfo.output_width != r.cinfo.image_width ||
        r.cinfo.output_height != r.cinfo.image_height) {
        error = "damaged JPEG file: unexpected sample layout";
        return false;
    }
    for (size_t y = 0; y < r.cinfo.output_height; ++y) {
        out.pixels.resize((y + 1) * rowBytes);
        if (!readRow(r, out.pixels.data() + y * rowBytes)) {
            error = failure();
            return false;
        }
    }
    if (!finishReading(r)) {
        error = failure();
        return false;
    }
    return true;
}

bool writeJpeg(std::FILE* file, const Image& image, int quality, std::string& error) {
    std::vector<uint8_t> reduced;
    try {
        if (image.depth == 16) reduced.resize(static_cast<size_t>(image.width) * static_cast<size_t>(image.channels()));
    } catch (const std::bad_alloc&) {
        error = "out of memory";
        return false;
    }
    JpegWriter w{};
    installErrors(w.errors);
    w.cinfo.err = &w.errors.mgr;
    if (!writeAll(w, file, image, quality, reduced.data())) {
        error = std::ferror(file) && w.errors.savedErrno != 0 ? std::strerror(w.errors.savedErrno)
                                                               : w.errors.message;
        jpeg_destroy_compress(&w.cinfo);
        return false;
    }
    jpeg_destroy_compress(&w.cinfo);
    return true;
}

}  // namespace qm::host::codec
