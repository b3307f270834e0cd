#pragma once
// The gateway shared by the four GCK step deliverables, which differ in element type, in how many
// planes the image holds and in where the computed range ends.

#include <cstdint>

#include "bridge/arguments.h"
#include "bridge/gateway.h"
#include "bridge/outputs.h"
#include "projection/gck_step.h"

namespace gck {

constexpr ClassId kProjNextI16Inputs[] = {ClassId::kInt16, ClassId::kUint16, ClassId::kLogical,
                                          ClassId::kUint16, ClassId::kLogical};
constexpr ClassId kProjNextI32Inputs[] = {ClassId::kInt32, ClassId::kUint16, ClassId::kLogical,
                                          ClassId::kUint16, ClassId::kLogical};

// The three-plane and the single-plane deliverable of one element type share the usage text and the
// class message, both naming the three-plane one.
constexpr const char* kProjNextI16Usage =
    "Usage: outputImage=projnext_i16_rgb(inputImage16s, nWidth16u, bCurAlphaPos, nDelta, "
    "bHorizMovement, debugFlag(opt));\n";
constexpr const char* kProjNextI32Usage =
    "Usage: outputImage=projnext_i32_rgb(inputImage32s, nWidth16u, bCurAlphaPos, nDelta, "
    "bHorizMovement, debugFlag(opt));\n";
constexpr const char* kProjNextI16ClassMessage =
    "Input image must be a int16 matrix, kernel size must be a uint16 scalar, current alpha related "
    "kernel must be boolean, the delta step must be uint16, and the horizontal movement must be "
    "boolean!";
constexpr const char* kProjNextI32ClassMessage =
    "Input image must be a int32 matrix, kernel size must be a uint16 scalar, current alpha related "
    "kernel must be boolean, the delta step must be uint16, and the horizontal movement must be "
    "boolean!";

// planes: 3 (plane width N / 3, columns past 3 planes stay 0) or 1 (plane width N).
// end_trim: 0 when the last index d - w along the movement is computed, 1 when it is not.
template <class T>
void RunProjNext(const Signature& signature, int32_t planes, int32_t end_trim, Call& call) {
  CheckSignature(signature, call);
  const ArrayView<const T> image = ViewOf<const T>(call.input(0), "Input image");
  GckStepParams params;
  params.width = FirstElement<uint16_t>(call.input(1), "Kernel size");
  params.alpha_positive = FirstByteIsSet(call.input(2), "Current alpha related kernel");
  params.delta = FirstElement<uint16_t>(call.input(3), "Delta step");
  params.horizontal = FirstByteIsSet(call.input(4), "Horizontal movement");
  params.end_trim = end_trim;
  if (params.width < 1) Fail("Kernel size must be at least 1.");
  // A longer shift would reach past the start of the plane or of the column.
  if (params.delta < 1 || params.delta > params.width) {
    Failf("Delta step %d must lie between 1 and the kernel size %d.", params.delta, params.width);
  }
  const ArrayView<T> out = CreateOutput<T>(call, 0, image.rows, image.cols);
  GckStep(image.data, out.data, image.rows, image.cols / planes, planes, params);
}

}  // namespace gck
