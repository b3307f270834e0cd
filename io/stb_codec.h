#pragma once
// PNG and JPEG coding by stb, compiled into this library with internal linkage: a program on the
// library needs neither stb's headers nor its library, and one with its own copy of stb links
// without a clash.

#include <cstddef>
#include <cstdint>

#include "io/stop.h"

namespace gck::stb {

// The width, height and stored channels of an encoded PNG or JPEG image; false, with stb's reason,
// for anything else.
bool Info(const uint8_t* bytes, size_t size, int* width, int* height, int* stored,
          const char** reason);

// The decoded pixels, row-major with `channels` (1 or 3) interleaved, to be freed with Free; null,
// with stb's reason, when the image cannot be decoded.
uint8_t* Load(const uint8_t* bytes, size_t size, int channels, int* width, int* height,
              const char** reason);
void Free(uint8_t* pixels);

// Encodes row-major interleaved pixels as PNG, handing the bytes to `sink` as they come. False
// when the image cannot be encoded or `stop` asked for the encoding to end (nothing handed then).
using Sink = void (*)(void* context, void* data, int size);
bool EncodePng(Sink sink, void* context, int width, int height, int channels,
               const uint8_t* pixels, const Stop& stop = {});

}  // namespace gck::stb
