#pragma once
// PNG and JPEG files to and from Image.

#include <cstdio>
#include <string>

#include "io/stop.h"
#include "matcher/image.h"

namespace gck {

// Reads a PNG or JPEG file (any bit depth; an alpha channel is dropped, grey stays one channel).
// The file is read once, front to back, so a pipe or /dev/stdin serves as well as a file. Returns
// false with a message naming the file when it cannot be read or is no such image.
bool ReadImage(const std::string& path, Image* image, std::string* error);

// Writes a 1- or 3-channel image of at least one pixel as PNG. Returns false, writing nothing, for
// any other image (or pixels that do not match its size), and false when a write fails or `stop`
// asks to end it (then nothing more is written).
bool WritePng(std::FILE* file, const Image& image, const Stop& stop = {});

}  // namespace gck
