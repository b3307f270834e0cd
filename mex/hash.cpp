// codes = hash(keys, selector, bits);
// Keys are uint64 and hashed in 64-bit words in the Linux build, uint32 in 32-bit words in the
// Windows build; no class is examined, only the element width.
#include <cstdint>
#include <type_traits>

#include "bridge/arguments.h"
#include "bridge/build_flavour.h"
#include "bridge/gateway.h"
#include "bridge/outputs.h"
#include "hashing/integer_hash.h"

namespace {

using Word = std::conditional_t<gck::kWindowsBuild, uint32_t, uint64_t>;

void Body(gck::Call& call) {
  if (call.nrhs < 3) gck::Fail("hash needs three inputs: keys, a selector and bits.");
  gck::RequireFullAndReal(call, 3);
  const gck::ArrayView<const Word> keys = gck::ViewOf<const Word>(call.input(0), "Keys");
  const int64_t selector = gck::TruncatedScalarOf(call.input(1), "Selector");
  const int64_t bits = gck::TruncatedScalarOf(call.input(2), "Bits");
  if (selector < 1 || selector > 9) {
    gck::Failf("Selector must lie in 1..9; it is %lld.", static_cast<long long>(selector));
  }
  const gck::ArrayView<uint32_t> codes = gck::CreateOutput<uint32_t>(call, 0, keys.rows, keys.cols);
  // Only the low five bits of bits form the mask.
  gck::HashKeys(keys.data, static_cast<int32_t>(keys.count()), static_cast<int32_t>(selector),
                static_cast<int32_t>(bits & 31), codes.data);
}

}  // namespace

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  gck::RunGateway(nlhs, plhs, nrhs, prhs, Body);
}
