#include "io/stb_codec.h"

// Only the two formats the matcher documents: fewer decoders for hostile files to reach.
#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_ONLY_JPEG
#define STBI_NO_STDIO
#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#include <stb_image.h>
#include <stb_image_write.h>
#pragma GCC diagnostic pop

#include <climits>

namespace gck::stb {

bool Info(const uint8_t* bytes, size_t size, int* width, int* height, int* stored,
          const char** reason) {
  if (size > size_t(INT_MAX)) {
    *reason = "larger than 2^31 bytes";
    return false;
  }
  if (stbi_info_from_memory(bytes, int(size), width, height, stored)) return true;
  *reason = stbi_failure_reason();
  return false;
}

uint8_t* Load(const uint8_t* bytes, size_t size, int channels, int* width, int* height,
              const char** reason) {
  int stored = 0;
  uint8_t* pixels =
      size > size_t(INT_MAX)
          ? nullptr
          : stbi_load_from_memory(bytes, int(size), width, height, &stored, channels);
  if (!pixels) *reason = stbi_failure_reason();
  return pixels;
}

void Free(uint8_t* pixels) { stbi_image_free(pixels); }

bool EncodePng(Sink sink, void* context, int width, int height, int channels,
               const uint8_t* pixels) {
  return stbi_write_png_to_func(sink, context, width, height, channels, pixels,
                                width * channels) != 0;
}

}  // namespace gck::stb
