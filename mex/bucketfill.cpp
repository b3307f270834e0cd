// bucketfill(hashTable, codeImage, bits, rows, cols, offset);         (Linux build)
// bucketfill(hashTable, codeImage, bits, rows, cols, offset, slots);  (Windows build)
// The table is filled in place. No class is examined, but every code, the table's shape and the
// code array's length are checked before anything is written.
#include <cstdint>
#include <memory>

#include "bridge/arguments.h"
#include "bridge/build_flavour.h"
#include "bridge/gateway.h"
#include "bridge/in_place.h"
#include "hashing/hash_table.h"
#include "hashing/value_range.h"

namespace {

using gck::Fail;
using gck::Failf;

// A fill writing into its own codes could turn them into buckets past the table. The scalars are
// read before anything is written.
constexpr const char* kInputNames[] = {"Hash table", "Code image"};
constexpr gck::InPlaceInputs kInPlace{kInputNames, /*written=*/1, /*read=*/2};

// Rows, columns, offset and slots are taken modulo 2^16 after truncation.
int32_t SixteenBitScalar(const mxArray* array, const char* name) {
  return static_cast<uint16_t>(gck::TruncatedScalarOf(array, name));
}

void Body(gck::Call& call) {
  const int inputs = gck::kWindowsBuild ? 7 : 6;
  if (call.nrhs < inputs) {
    Fail(gck::kWindowsBuild
             ? "bucketfill needs seven inputs: table, codes, bits, rows, columns, offset and slots."
             : "bucketfill needs six inputs: table, codes, bits, rows, columns and offset.");
  }
  gck::RequireFullAndReal(call, inputs);
  const gck::ArrayView<uint32_t> table = gck::ViewOf<uint32_t>(call.input(0), "Hash table");
  const gck::ArrayView<const uint32_t> codes = gck::ViewOf<const uint32_t>(call.input(1), "Code image");
  gck::RequireSeparateMemory(call, kInPlace);
  const int64_t bits = gck::TruncatedScalarOf(call.input(2), "Bits");
  const int32_t rows = SixteenBitScalar(call.input(3), "Rows");
  const int32_t cols = SixteenBitScalar(call.input(4), "Columns");
  const int32_t offset = SixteenBitScalar(call.input(5), "Offset");
  const int32_t slots = gck::kWindowsBuild ? SixteenBitScalar(call.input(6), "Slots") : 2;

  if (bits < 0 || bits > 30) Failf("Bits must lie in 0..30; it is %lld.", static_cast<long long>(bits));
  if (slots < 1 || slots > 128) Failf("Slots must lie in 1..128; it is %d.", slots);
  const gck::SlotPolicy policy = gck::kWindowsBuild ? gck::SlotPolicy::Ring(slots)
                                                    : gck::SlotPolicy::TwoFixed();
  const int64_t buckets = int64_t{1} << bits;
  if (table.rows != buckets) {
    Failf("Hash table must have 2^bits = %lld rows; it has %d.", static_cast<long long>(buckets),
          table.rows);
  }
  if (table.count() < buckets * policy.slots()) {
    Failf("Hash table must have at least %d columns, one per slot; it has %d.", policy.slots(),
          table.cols);
  }
  const int64_t first = rows;
  const int64_t end = int64_t{cols - 1} * rows;
  if (end > first) {
    if (offset + end > codes.count()) {
      Failf("Code image holds %lld codes; offset + (cols - 1) * rows = %lld are needed.",
            static_cast<long long>(codes.count()), static_cast<long long>(offset + end));
    }
    const int32_t count = static_cast<int32_t>(end - first);
    const int32_t stray = gck::FirstOutside(codes.data + offset + first, count, 1, buckets);
    if (stray < count) {
      Failf("Code image holds %u at element %lld; codes must lie in 1..%lld, one per bucket.",
            codes.data[offset + first + stray], static_cast<long long>(offset + first + stray + 1),
            static_cast<long long>(buckets));
    }
  }
  const std::unique_ptr<uint8_t[]> slot_counter(new uint8_t[buckets]);
  gck::FillHashTable(table.data, codes.data, static_cast<int32_t>(bits), rows, cols, offset, policy,
                     slot_counter.get());
}

}  // namespace

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  gck::RunGateway(nlhs, plhs, nrhs, prhs, Body);
}
