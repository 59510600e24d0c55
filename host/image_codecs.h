// What image.cpp shares with the PNG and JPEG codecs. Not part of the host's API.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "host/image.h"

namespace qm::host::codec {

// The codecs read and write an open file; image.cpp opens it, recognises the
// format and makes writes land whole. Errors are one line, without the path.
// On failure `out` may hold partial data; the caller discards it.
bool readPng(std::FILE* file, uint64_t fileSize, Image& out, std::string& error);
bool readJpeg(std::FILE* file, Image& out, std::string& error);
bool writePng(std::FILE* file, const Image& image, std::string& error);
// image: Grey, RGB or CMYK without alpha, 8 or 16 bits; quality 1..100.
bool writeJpeg(std::FILE* file, const Image& image, int quality, std::string& error);

// Checks a header's size against kMaxImageSide / kMaxImagePixels.
bool checkImageSize(uint64_t width, uint64_t height, std::string& error);
std::string tooLargeMessage(uint64_t width, uint64_t height);

}  // namespace qm::host::codec
