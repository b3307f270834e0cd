#include "io/stb_codec.h"

#include <zlib.h>

#include <algorithm>
#include <cstdlib>

#include "io/stop.h"

namespace {

// The writer calls its compressor without a context: the stop of the picture this thread encodes.
thread_local const gck::Stop* encoding_stop = nullptr;

// PNG pictures are for the eye and may be large (12 MP outputs): zlib's fastest level, which
// compresses better than the writer's own deflate and takes a third of its time. A slice at a time,
// so that a picture is given up soon after its stop asks.
unsigned char* Deflate(unsigned char* data, int length, int* out_length, int /*quality*/) {
  constexpr uInt kSlice = 1 << 20;
  const uLong bound = compressBound(uLong(length));
  auto* out = static_cast<unsigned char*>(std::malloc(bound));
  if (!out) return nullptr;
  z_stream stream{};
  if (deflateInit(&stream, Z_BEST_SPEED) != Z_OK) {
    std::free(out);
    return nullptr;
  }
  stream.next_out = out;
  stream.avail_out = uInt(bound);
  int status = Z_OK;
  for (int done = 0; status == Z_OK;) {
    if (encoding_stop && gck::Stopped(*encoding_stop)) break;
    const uInt slice = uInt(std::min<int>(length - done, int(kSlice)));
    stream.next_in = data + done;
    stream.avail_in = slice;
    done += int(slice);
    status = deflate(&stream, done == length ? Z_FINISH : Z_NO_FLUSH);
  }
  deflateEnd(&stream);
  if (status != Z_STREAM_END) {
    std::free(out);
    return nullptr;
  }
  *out_length = int(stream.total_out);
  return out;
}

}  // namespace

#define STBIW_ZLIB_COMPRESS Deflate
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

namespace {

// Every row filtered against the row above, rather than the best of five filters tried per row:
// the files grow by a few percent, the encoding takes 0.65 of the time. Set once, before any
// thread can write a picture.
const bool kUpFilter = (stbi_write_force_png_filter = 2, true);

}  // namespace

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
               const uint8_t* pixels, const Stop& stop) {
  encoding_stop = &stop;
  const bool written =
      stbi_write_png_to_func(sink, context, width, height, channels, pixels, width * channels) != 0;
  encoding_stop = nullptr;
  return written;
}

}  // namespace gck::stb
