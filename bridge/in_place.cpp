#include "bridge/in_place.h"

#include <cctype>
#include <cstdint>

#include "bridge/arguments.h"

namespace gck {
namespace {

struct ByteRange {
  uintptr_t begin;
  uintptr_t end;
};

ByteRange BytesOf(const mxArray* array) {
  const uintptr_t begin = reinterpret_cast<uintptr_t>(DataOf(array));
  const uint64_t count = static_cast<uint64_t>(ShapeOf(array).count());
  return {begin, begin + static_cast<uintptr_t>(count * ElementSize(ClassOfArgument(array)))};
}

}  // namespace

bool SharesMemory(const mxArray* a, const mxArray* b) {
  const ByteRange x = BytesOf(a), y = BytesOf(b);
  return x.begin < x.end && y.begin < y.end && x.begin < y.end && y.begin < x.end;
}

void RequireSeparateMemory(const Call& call, const InPlaceInputs& inputs) {
  for (int written = 0; written < inputs.written; ++written) {
    for (int other = written + 1; other < inputs.read; ++other) {
      if (!SharesMemory(call.input(written), call.input(other))) continue;
      const char* second = inputs.names[other];
      Failf("%s and %c%s must not share memory.", inputs.names[written],
            std::tolower(static_cast<unsigned char>(second[0])), second + 1);
    }
  }
}

}  // namespace gck
