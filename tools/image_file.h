#pragma once
// PNG and JPEG files to and from Image.

#include <cstdio>
#include <string>

#include "matcher/image.h"

namespace gck {

// Reads a PNG or JPEG file (any bit depth; an alpha channel is dropped, grey stays one channel).
// Returns false with a message naming the file when it cannot be read or is no image.
bool ReadImage(const std::string& path, Image* image, std::string* error);

// Writes a 1- or 3-channel image as PNG. Returns false when it cannot be encoded or written.
bool WritePng(std::FILE* file, const Image& image);

}  // namespace gck
