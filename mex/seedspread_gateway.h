#pragma once
// What the six propagation deliverables share in their gateways: the usage texts, the one class
// message, the stack-height check, the reading of the common inputs into a sweep's typed views with
// every size the sweep addresses checked before anything is written, and the three bodies, which
// differ between deliverables only in the stacks' element type.

#include <algorithm>
#include <cstdint>

#include "bridge/arguments.h"
#include "bridge/build_flavour.h"
#include "bridge/class_id.h"
#include "bridge/gateway.h"
#include "bridge/in_place.h"
#include "propagation/kbest_self_sweep.h"
#include "propagation/kbest_sweep.h"
#include "propagation/single_best_sweep.h"
#include "propagation/sweep_inputs.h"

namespace gck {

// 0-based input positions of a propagation call.
enum SweepInput : int {
  kErrorsInput,
  kMatchesInput,
  kStackAInput,
  kStackBInput,
  kCodesAInput,
  kCodesBInput,
  kTableAInput,
  kTableBInput,
  kHashSlotsInput,
  kSequencyOrderInput,
  kSequencyLevelsInput,
  kDownwardInput,
  kListLengthInput,
};

// Every deliverable prints seedspread_i16; the table of A is required but not named.
constexpr const char* kSeedSpreadUsage =
    "Usage: seedspread_i16(nBestErrorsImg32u, nBestMapping32u, nCurrFiltImgs_A16s, "
    "nCurrFiltImgs_B16s, nCodebookImgA32u, nCodebookImgB32u, nHashTableImgB32u, nHashsNoe16u, "
    "nSequencyOrder16u, nSequencyLevels16u, bDownwardFlag));\n";
constexpr const char* kSeedSpreadKBestUsage =
    "Usage: seedspread_i16(nBestErrorsImg32u, nBestMapping32u, nCurrFiltImgs_A16s, "
    "nCurrFiltImgs_B16s, nCodebookImgA32u, nCodebookImgB32u, nHashTableImgB32u, nHashsNoe16u, "
    "nSequencyOrder16u, nSequencyLevels16u, bDownwardFlag, kOfKNN));\n";

// One message for any class mismatch; its wording (cells, uint8) is older than the checks, which
// want plain int16 or int32 stacks and uint16 inputs 9 to 11.
constexpr const char* kSeedSpreadClassMessage =
    "Input best errors image must be a uint32 matrix, input linear mapping image must be a uint32 "
    "matrix, input and target GCK projections images must be int16 matrices inside a cell array, "
    "input and target codebook images must be a uint32 matrices, Hash table of target image must "
    "be a uint32 matrix, number of indices in each hash entry must be a uint8 scalar, sequency "
    "order of GCK kernels must be a uint8 vector, sequency levels of GCK kernels must be a uint8 "
    "vector and downwarads or upwards iteration must be a boolean!";

constexpr const char* kStackHeightMessage =
    "Number of projection images for input and target images must be the same!";

// The classes of the twelve inputs every propagation deliverable takes; T is the stacks' element.
template <class T>
inline constexpr ClassId kSeedSpreadInputs[] = {
    ClassId::kUint32, ClassId::kUint32, ClassOf<T>::value, ClassOf<T>::value,
    ClassId::kUint32, ClassId::kUint32, ClassId::kUint32,  ClassId::kUint32,
    ClassId::kUint16, ClassId::kUint16, ClassId::kUint16,  ClassId::kLogical};

// The inputs as messages name them, by position.
constexpr const char* kSweepInputNames[] = {
    "Best errors image", "Linear mapping image", "Projection stack of A", "Projection stack of B",
    "Codebook image of A", "Codebook image of B", "Hash table of A",     "Hash table of B",
    "nHashsNoe16u",      "nSequencyOrder16u",   "nSequencyLevels16u",  "bDownwardFlag",
    "kOfKNN"};

// The counts, the classes, the heights of the two stacks, then that E and Map share no memory
// with each other or with anything the sweep reads, since the sweep rewrites them as it reads.
inline void CheckSweepSignature(const Signature& signature, const Call& call) {
  CheckSignature(signature, call);
  if (ShapeOf(call.input(kStackAInput)).rows != ShapeOf(call.input(kStackBInput)).rows) {
    Fail(kStackHeightMessage);
  }
  RequireSeparateMemory(call, {kSweepInputNames, /*written=*/2, /*read=*/signature.required});
}

constexpr const char* kSequencyColumnsMessage =
    "Input sequency order of GCK kernels and sequency levels of GCK kernels must be column "
    "vectors!";

constexpr const char* kOneImageMessage =
    "Within one image the target must be the input image: codebook images of the same size, and a "
    "target projection column for every pixel.";

// The thirteen inputs of the k-best deliverables: the twelve above and k.
template <class T>
inline constexpr ClassId kSeedSpreadKBestInputs[] = {
    ClassId::kUint32, ClassId::kUint32, ClassOf<T>::value, ClassOf<T>::value,
    ClassId::kUint32, ClassId::kUint32, ClassId::kUint32,  ClassId::kUint32,
    ClassId::kUint16, ClassId::kUint16, ClassId::kUint16,  ClassId::kLogical,
    ClassId::kUint32};

// The common checks, then the k-best ones: the two sequency inputs must have at most one column,
// whatever their length. Returns k.
inline uint32_t CheckKBestSignature(const Signature& signature, const Call& call) {
  CheckSweepSignature(signature, call);
  if (ShapeOf(call.input(kSequencyOrderInput)).cols > 1 ||
      ShapeOf(call.input(kSequencyLevelsInput)).cols > 1) {
    Fail(kSequencyColumnsMessage);
  }
  return FirstElement<uint32_t>(call.input(kListLengthInput), "kOfKNN");
}

// k = 0 leaves no list to update, and so does a k of 2^31 or more (a negative count where k is
// read as signed): such a call does nothing, whatever the other arrays hold.
inline bool HasLists(uint32_t k) { return k != 0 && k < 0x80000000u; }

// Within one image every match also addresses a list of A, so B must be A pixel for pixel.
template <class T>
inline void RequireOneImage(const SweepInputs<T>& in) {
  if (in.rows_b != in.rows || in.pixels_b != in.rows * in.cols) Fail(kOneImageMessage);
}

// A sweep's inputs and the two arrays it rewrites in place.
template <class T>
struct SweepArguments {
  SweepInputs<T> inputs;
  uint32_t* errors;
  uint32_t* matches;
};

// Reads the common inputs after the deliverable's own checks. M and N are the rows and columns of
// input `image_input`; E and Map hold `list_length` entries per pixel of A. Refuses every size that
// would let the sweep address outside an array; since no array reaches 2^31 elements, this also
// keeps K * M * N, K * M_B * N_B and k * M * N below 2^31. B's pixels are those that both its stack
// and its codes cover.
template <class T>
SweepArguments<T> ReadSweepArguments(const Call& call, int image_input, uint32_t list_length) {
  const uint32_t hash_slots = FirstElement<uint16_t>(call.input(kHashSlotsInput), "nHashsNoe16u");
  const bool downward = FirstByteIsSet(call.input(kDownwardInput), "bDownwardFlag");

  // A single-best sweep takes M and N from E itself, so E always holds M x N; its check below
  // matters for the k-best sweeps, whose M and N are those of the codes of A.
  const Shape image = ShapeOf(call.input(image_input));
  const int64_t pixels_a = image.count();
  const Shape stack_a = ShapeOf(call.input(kStackAInput));
  const int64_t kernels = stack_a.rows;
  RequireAtLeast(call.input(kErrorsInput), pixels_a * list_length, "Best errors image");
  RequireAtLeast(call.input(kMatchesInput), pixels_a * list_length, "Linear mapping image");
  RequireAtLeast(call.input(kStackAInput), pixels_a * kernels, "Projection stack of A");
  RequireAtLeast(call.input(kCodesAInput), pixels_a, "Codebook image of A");

  const int32_t buckets = ShapeOf(call.input(kTableAInput)).rows;
  if (ShapeOf(call.input(kTableBInput)).rows != buckets) {
    Fail("Hash tables of A and B must have the same number of rows, one per bucket.");
  }
  const int64_t slots = std::max<uint32_t>(hash_slots, 1);
  RequireAtLeast(call.input(kTableAInput), buckets * slots, "Hash table of A");
  RequireAtLeast(call.input(kTableBInput), buckets * slots, "Hash table of B");

  const Shape codes_b = ShapeOf(call.input(kCodesBInput));
  const int64_t stack_b_pixels =
      kernels == 0 ? 0 : ShapeOf(call.input(kStackBInput)).count() / kernels;

  SweepArguments<T> arguments;
  SweepInputs<T>& in = arguments.inputs;
  in.stack_a = static_cast<const T*>(DataOf(call.input(kStackAInput)));
  in.stack_b = static_cast<const T*>(DataOf(call.input(kStackBInput)));
  in.codes_a = static_cast<const uint32_t*>(DataOf(call.input(kCodesAInput)));
  in.codes_b = static_cast<const uint32_t*>(DataOf(call.input(kCodesBInput)));
  in.table_a = static_cast<const uint32_t*>(DataOf(call.input(kTableAInput)));
  in.table_b = static_cast<const uint32_t*>(DataOf(call.input(kTableBInput)));
  in.rows = static_cast<uint32_t>(image.rows);
  in.cols = static_cast<uint32_t>(image.cols);
  in.rows_b = static_cast<uint32_t>(codes_b.rows);
  in.pixels_b = static_cast<uint32_t>(std::min(stack_b_pixels, codes_b.count()));
  in.kernels = static_cast<uint32_t>(kernels);
  in.buckets = static_cast<uint32_t>(buckets);
  in.slots = static_cast<uint32_t>(slots);
  in.downward = downward;
  arguments.errors = static_cast<uint32_t*>(DataOf(call.input(kErrorsInput)));
  arguments.matches = static_cast<uint32_t*>(DataOf(call.input(kMatchesInput)));
  return arguments;
}

template <class T>
inline constexpr Signature kSingleBestSignature(kSeedSpreadUsage, /*outputs=*/0,
                                                kSeedSpreadInputs<T>, /*optional=*/0,
                                                kSeedSpreadClassMessage);
template <class T>
inline constexpr Signature kKBestSignature(kSeedSpreadKBestUsage, /*outputs=*/0,
                                           kSeedSpreadKBestInputs<T>, /*optional=*/0,
                                           kSeedSpreadClassMessage);

// One single-best sweep; the best errors and the mapping are rewritten in place.
template <class T>
void RunSingleBestSweep(Call& call) {
  CheckSweepSignature(kSingleBestSignature<T>, call);
  const SweepArguments<T> sweep = ReadSweepArguments<T>(call, kErrorsInput, /*list_length=*/1);
  SingleBestSweep(sweep.inputs, sweep.errors, sweep.matches);
}

// One k-best sweep from A into B; the k-lists of errors and matches are rewritten in place.
template <class T>
void RunKBestSweep(Call& call) {
  const uint32_t k = CheckKBestSignature(kKBestSignature<T>, call);
  if (!HasLists(k)) return;
  const SweepArguments<T> sweep = ReadSweepArguments<T>(call, kCodesAInput, /*list_length=*/k);
  KBestSweep(sweep.inputs, k, sweep.errors, sweep.matches);
}

// One k-best sweep within one image (A passed again as B); the k-lists are rewritten in place and,
// in the Linux build, an accepting pixel is offered back to its candidate's list.
template <class T>
void RunKBestSelfSweep(Call& call) {
  const uint32_t k = CheckKBestSignature(kKBestSignature<T>, call);
  if (!HasLists(k)) return;
  const SweepArguments<T> sweep = ReadSweepArguments<T>(call, kCodesAInput, /*list_length=*/k);
  RequireOneImage(sweep.inputs);
  KBestSelfSweep(sweep.inputs, k, /*reciprocal=*/!kWindowsBuild, sweep.errors, sweep.matches);
}

}  // namespace gck
