// Runs both first-projection deliverables on a small gradient image through the stand-in host and
// prints the 4 x 4 window sums they return.
#include <cstdio>
#include <vector>

#include "host/loader.h"

int main() {
  using gck::host::Array;
  const int rows = 6, cols = 8;
  std::vector<uint8_t> pixels;
  for (int c = 0; c < cols; ++c)
    for (int r = 0; r < rows; ++r) pixels.push_back(static_cast<uint8_t>(16 * r + 30 * c));
  const Array image = Array::Matrix<uint8_t>(rows, cols, pixels);
  const Array width = Array::Scalar<uint16_t>(4);
  for (const char* name : {"projfirst_u8_i16", "projfirst_u8_i32"}) {
    const gck::host::MexFile file(name);
    const gck::host::CallResult result = file.Call(1, {&image, &width});
    if (!result.ok()) {
      std::fprintf(stderr, "%s: %s\n", name, result.error.c_str());
      return 1;
    }
    std::printf("%s(image 6x8, nWidth 4):\n", name);
    const Array& out = result.outputs[0];
    for (int r = 0; r < rows; ++r) {
      for (int c = 0; c < cols; ++c) {
        const long value = mxGetClassID(out.raw()) == mxINT16_CLASS
                               ? static_cast<long>(static_cast<const int16_t*>(mxGetData(out.raw()))[r + c * rows])
                               : static_cast<long>(static_cast<const int32_t*>(mxGetData(out.raw()))[r + c * rows]);
        std::printf("%7ld", value);
      }
      std::printf("\n");
    }
  }
  return 0;
}
