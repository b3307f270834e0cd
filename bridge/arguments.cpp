#include "bridge/arguments.h"

#include <cmath>
#include <limits>

namespace gck {

ClassId ClassOfArgument(const mxArray* array) { return static_cast<ClassId>(mxGetClassID(array)); }

void RequireFullAndReal(const Call& call, int count) {
  for (int i = 0; i < count; ++i) {
    if (mxIsSparse(call.input(i))) Failf("Input %d is sparse; pass a full array (full(x)).", i + 1);
    if (mxIsComplex(call.input(i))) Failf("Input %d is complex; pass a real array.", i + 1);
  }
}

Shape ShapeOf(const mxArray* array) {
  const size_t rows = mxGetM(array);
  const size_t cols = mxGetN(array);
  constexpr size_t kLimit = std::numeric_limits<int32_t>::max();
  if (rows > kLimit || cols > kLimit || (rows != 0 && cols > kLimit / rows)) {
    Fail("Arrays of 2^31 or more elements are not supported.");
  }
  return {static_cast<int32_t>(rows), static_cast<int32_t>(cols)};
}

void* DataOf(const mxArray* array) { return mxGetPr(array); }

void RequireElementSize(const mxArray* array, size_t bytes, const char* name) {
  if (ElementSize(ClassOfArgument(array)) != bytes) {
    Failf("%s must be an array of %zu-byte elements.", name, bytes);
  }
}

void RequireNonEmpty(const mxArray* array, const char* name) {
  if (ShapeOf(array).count() == 0) Failf("%s must not be empty.", name);
}

void RequireAtLeast(const mxArray* array, int64_t needed, const char* name) {
  const int64_t count = ShapeOf(array).count();
  if (count < needed) {
    Failf("%s holds %lld elements; this call needs at least %lld.", name,
          static_cast<long long>(count), static_cast<long long>(needed));
  }
}

bool FirstByteIsSet(const mxArray* array, const char* name) {
  RequireNonEmpty(array, name);
  return static_cast<const unsigned char*>(DataOf(array))[0] != 0;
}

double ScalarOf(const mxArray* array, const char* name) {
  RequireNonEmpty(array, name);
  if (ElementSize(ClassOfArgument(array)) == 0) Failf("%s must be a numeric scalar.", name);
  return mxGetScalar(array);
}

int64_t TruncatedScalarOf(const mxArray* array, const char* name) {
  const double value = ScalarOf(array, name);
  if (!(std::fabs(value) < 9223372036854775808.0)) {
    Failf("%s must be a finite number below 2^63 in magnitude.", name);
  }
  return static_cast<int64_t>(value);
}

void ReadDebugFlag(const mxArray* array) {
  if (ElementSize(ClassOfArgument(array)) == 0 || ShapeOf(array).count() == 0) return;
  volatile double flag = mxGetScalar(array);
  (void)flag;
}

}  // namespace gck
