#pragma once
// The gateway shared by patcherr_rgb and patcherr_gray, which differ only in the channel count.

#include <cstdint>

#include "bridge/arguments.h"
#include "bridge/gateway.h"
#include "bridge/outputs.h"
#include "error/patch_error.h"

namespace gck {

constexpr ClassId kPatchErrInputs[] = {ClassId::kUint8,  ClassId::kUint8,  ClassId::kUint16,
                                       ClassId::kUint16, ClassId::kUint16, ClassId::kUint16,
                                       ClassId::kUint16};

// Both deliverables answer a wrong count with the same line.
constexpr Signature kPatchErrSignature(
    "Usage: outputImage=patcherr_rgb(inputRefImage8u_C3, inputTargetImage8u_C3, rowMapping16u, "
    "colMapping16u, TLboundary16u, BRboundary16u, nWidth16u, debugFlag(opt));\n",
    /*outputs=*/1, kPatchErrInputs, /*optional=*/1,
    "input and target images must be uint8 matrices, row and column mapping images must be a "
    "uint16 matrices, top-left and bottom-right of ROI must be a uint16 scalars and kernel size "
    "must be a uint16 scalar!");

// Refuses, before anything is written, a call whose patches would be read outside A, B or the
// mapping images, or whose sums would pass 32 bits. Positions in messages are 1-based.
inline void RequirePatchesInside(const PatchImage& a, const PatchImage& b,
                                 const ArrayView<const uint16_t>& rows,
                                 const ArrayView<const uint16_t>& cols, int32_t channels,
                                 int32_t top_left, int32_t bottom_right, int32_t width) {
  // An empty region or a zero width reads nothing, so nothing can be out of place.
  if (RegionOfInterest(a, top_left, bottom_right).empty() || width == 0) return;
  if (width > MaxPatchWidth(channels)) {
    Failf("Kernel size %d is too large: the error sum of a patch fits 32 bits up to width %d.",
          width, MaxPatchWidth(channels));
  }
  // Counts below the pixel count of A fit an int.
  const int64_t pixels = static_cast<int64_t>(a.rows) * a.plane_cols;
  if (rows.count() < pixels || cols.count() < pixels) {
    Failf("The %s mapping image has %d elements, fewer than the %d x %d pixels of the input image.",
          rows.count() < pixels ? "row" : "column",
          static_cast<int>(rows.count() < pixels ? rows.count() : cols.count()), a.rows,
          a.plane_cols);
  }
  const PatchFault fault =
      FindPatchOutside(a, b, rows.data, cols.data, top_left, bottom_right, width);
  const int32_t row = fault.row + 1, col = fault.col + 1;
  switch (fault.kind) {
    case PatchFault::kNone:
      return;
    case PatchFault::kCrossesA:
      Failf(
          "The %dx%d patch of pixel (%d, %d) crosses the edge of the %d x %d input image: the "
          "bottom-right margin must be at least %d.",
          width, width, row, col, a.rows, a.plane_cols, width - 1);
    case PatchFault::kMappedToZero:
      Failf("Pixel (%d, %d) is mapped to row %d, column %d: mappings are 1-based.", row, col,
            fault.map_row, fault.map_col);
    case PatchFault::kLeavesB:
      Failf(
          "Pixel (%d, %d) is mapped to row %d, column %d, where a %dx%d patch leaves the %d x %d "
          "target image.",
          row, col, fault.map_row, fault.map_col, width, width, b.rows, b.plane_cols);
  }
}

template <int32_t Channels>
void RunPatchErr(Call& call) {
  CheckSignature(kPatchErrSignature, call);
  const auto image_a = ViewOf<const uint8_t>(call.input(0), "Input image");
  const auto image_b = ViewOf<const uint8_t>(call.input(1), "Target image");
  const auto rows = ViewOf<const uint16_t>(call.input(2), "Row mapping image");
  const auto cols = ViewOf<const uint16_t>(call.input(3), "Column mapping image");
  const int32_t top_left = FirstElement<uint16_t>(call.input(4), "Top-left margin");
  const int32_t bottom_right = FirstElement<uint16_t>(call.input(5), "Bottom-right margin");
  const int32_t width = FirstElement<uint16_t>(call.input(6), "Kernel size");
  // A colour image's planes lie side by side, so one plane is a third of its columns.
  const PatchImage a{image_a.data, image_a.rows, image_a.cols / Channels};
  const PatchImage b{image_b.data, image_b.rows, image_b.cols / Channels};
  RequirePatchesInside(a, b, rows, cols, Channels, top_left, bottom_right, width);
  const ArrayView<float> out = CreateOutput<float>(call, 0, a.rows, a.plane_cols);
  PatchErrorImage(a, b, Channels, rows.data, cols.data, top_left, bottom_right, width, out.data);
}

}  // namespace gck
