// The array half of the stand-in host (libmx): MATLAB's array calls over an mxArray of our own.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <numeric>

#include "host/host_api.h"

struct mxArray_tag {
  mxClassID class_id;
  std::vector<size_t> dims;
  void* data;  // nullptr when the array has no elements, as a host may hand out
};

namespace gck::host {
namespace {

std::vector<mxArray*>* g_call_arrays = nullptr;

// Guard bytes on both sides of every array's data, so that a write just outside an array is seen
// after the call even without a sanitizer. The sanitized build has none: its red zones catch reads
// too, which guard bytes would hide.
#if defined(GCK_HOST_NO_GUARDS)
constexpr size_t kGuardBytes = 0;
#else
constexpr size_t kGuardBytes = 64;
#endif
constexpr unsigned char kGuardByte = 0xA5;

unsigned char* BlockOf(const mxArray* array) {
  return static_cast<unsigned char*>(array->data) - kGuardBytes;
}

size_t Count(const std::vector<size_t>& dims) {
  return std::accumulate(dims.begin(), dims.end(), size_t{1}, std::multiplies<size_t>());
}

}  // namespace

MexError::MexError(const char* message) : std::runtime_error(message) {}
MexError::~MexError() = default;

size_t ElementBytes(mxClassID class_id) {
  switch (class_id) {
    case mxLOGICAL_CLASS:
    case mxINT8_CLASS:
    case mxUINT8_CLASS:
      return 1;
    case mxCHAR_CLASS:
    case mxINT16_CLASS:
    case mxUINT16_CLASS:
      return 2;
    case mxSINGLE_CLASS:
    case mxINT32_CLASS:
    case mxUINT32_CLASS:
      return 4;
    case mxDOUBLE_CLASS:
    case mxINT64_CLASS:
    case mxUINT64_CLASS:
      return 8;
    default:
      return 0;
  }
}

mxArray* NewArray(mxClassID class_id, const std::vector<size_t>& dims) {
  auto* array = new mxArray_tag{class_id, dims, nullptr};
  while (array->dims.size() < 2) array->dims.push_back(1);
  const size_t bytes = Count(array->dims) * ElementBytes(class_id);
  if (bytes > 0) {
    auto* block = static_cast<unsigned char*>(std::calloc(bytes + 2 * kGuardBytes, 1));
    if (block == nullptr) {
      delete array;
      throw MexError("Out of memory.");
    }
    std::memset(block, kGuardByte, kGuardBytes);
    std::memset(block + kGuardBytes + bytes, kGuardByte, kGuardBytes);
    array->data = block + kGuardBytes;
  }
  return array;
}

void DestroyArray(mxArray* array) {
  if (array == nullptr) return;
  if (array->data != nullptr) std::free(BlockOf(array));
  delete array;
}

bool GuardsIntact(const mxArray* array) {
  if (array->data == nullptr) return true;
  const unsigned char* block = BlockOf(array);
  const size_t bytes = Count(array->dims) * ElementBytes(array->class_id);
  for (size_t i = 0; i < kGuardBytes; ++i) {
    if (block[i] != kGuardByte || block[kGuardBytes + bytes + i] != kGuardByte) return false;
  }
  return true;
}

std::vector<size_t> DimsOf(const mxArray* array) { return array->dims; }

size_t ElementCount(const mxArray* array) { return Count(array->dims); }

void BeginCall() {
  delete g_call_arrays;
  g_call_arrays = new std::vector<mxArray*>();
}

std::vector<mxArray*> EndCall() {
  std::vector<mxArray*> created;
  if (g_call_arrays != nullptr) created.swap(*g_call_arrays);
  delete g_call_arrays;
  g_call_arrays = nullptr;
  return created;
}

}  // namespace gck::host

using gck::host::ElementBytes;

extern "C" {

mxClassID mxGetClassID(const mxArray* array) { return array->class_id; }

size_t mxGetM(const mxArray* array) { return array->dims[0]; }

size_t mxGetN(const mxArray* array) {
  size_t n = 1;
  for (size_t i = 1; i < array->dims.size(); ++i) n *= array->dims[i];
  return n;
}

double* mxGetPr(const mxArray* array) { return static_cast<double*>(array->data); }

void* mxGetData(const mxArray* array) { return array->data; }

double mxGetScalar(const mxArray* array) {
  if (array->data == nullptr) return 0.0;
  switch (array->class_id) {
    case mxLOGICAL_CLASS:
    case mxUINT8_CLASS: return *static_cast<const uint8_t*>(array->data);
    case mxINT8_CLASS: return *static_cast<const int8_t*>(array->data);
    case mxCHAR_CLASS:
    case mxUINT16_CLASS: return *static_cast<const uint16_t*>(array->data);
    case mxINT16_CLASS: return *static_cast<const int16_t*>(array->data);
    case mxUINT32_CLASS: return *static_cast<const uint32_t*>(array->data);
    case mxINT32_CLASS: return *static_cast<const int32_t*>(array->data);
    case mxSINGLE_CLASS: return *static_cast<const float*>(array->data);
    case mxDOUBLE_CLASS: return *static_cast<const double*>(array->data);
    case mxUINT64_CLASS: return static_cast<double>(*static_cast<const uint64_t*>(array->data));
    case mxINT64_CLASS: return static_cast<double>(*static_cast<const int64_t*>(array->data));
    default: return 0.0;
  }
}

mxArray* mxCreateNumericMatrix_700(int rows, int cols, mxClassID class_id, mxComplexity) {
  if (rows < 0 || cols < 0) throw gck::host::MexError("mxCreateNumericMatrix: negative size.");
  mxArray* array = gck::host::NewArray(
      class_id, {static_cast<size_t>(rows), static_cast<size_t>(cols)});
  if (gck::host::g_call_arrays != nullptr) gck::host::g_call_arrays->push_back(array);
  return array;
}

}  // extern "C"
