#pragma once
// The gateway shared by projfirst_u8_i16 and projfirst_u8_i32, which differ in the output's element
// type and their usage text.

#include <algorithm>
#include <cstdint>

#include "bridge/arguments.h"
#include "bridge/gateway.h"
#include "bridge/outputs.h"
#include "projection/first_projection.h"

namespace gck {

constexpr ClassId kProjFirstInputs[] = {ClassId::kUint8, ClassId::kUint16};
constexpr const char* kProjFirstClassMessage =
    "Input image must be a uint8 matrix and kernel size must be a uint16 scalar!";

template <class Out>
void RunProjFirst(const Signature& signature, Call& call) {
  CheckSignature(signature, call);
  const ArrayView<const uint8_t> image = ViewOf<const uint8_t>(call.input(0), "Input image");
  const int32_t width = FirstElement<uint16_t>(call.input(1), "Kernel size");
  if (image.count() == 0) Fail("Input image is empty: no window fits in it.");
  const int32_t side = std::min(image.rows, image.cols);
  if (width < 1 || width > side) {
    Failf("Kernel size %d must lie between 1 and %d, the smaller side of the image.", width, side);
  }
  const ArrayView<uint32_t> table = CreateScratch<uint32_t>(image.rows, image.cols);
  const ArrayView<Out> out = CreateOutput<Out>(call, 0, image.rows, image.cols);
  FirstProjection(image.data, image.rows, image.cols, width, table.data, out.data);
}

}  // namespace gck
