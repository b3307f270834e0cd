// The array half of the stand-in host (libmx): MATLAB's array calls over an mxArray of our own.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <numeric>
#include <stdexcept>
#include <string>

#include "host/host_api.h"

struct mxArray_tag {
  mxClassID class_id;
  std::vector<size_t> dims;
  gck::host::Storage storage;
  size_t stored;  // elements in each block
  void* data;     // nullptr when nothing is stored, as a host may hand out
  void* imag;     // the imaginary parts of a complex array, else nullptr
  std::vector<std::string> field_names;  // a struct's fields
  std::vector<mxArray*> field_values;    // element e's field f at e * fields + f; nullptr if unset
  std::vector<int> int_dims;             // the dimensions as the 32-bit-size calls hand them out
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

unsigned char* BlockOf(void* data) { return static_cast<unsigned char*>(data) - kGuardBytes; }

// A zero-filled block of `bytes` between guards; nullptr for no bytes.
void* NewBlock(size_t bytes) {
  if (bytes == 0) return nullptr;
  auto* block = static_cast<unsigned char*>(std::calloc(bytes + 2 * kGuardBytes, 1));
  if (block == nullptr) throw MexError("Out of memory.");
  std::memset(block, kGuardByte, kGuardBytes);
  std::memset(block + kGuardBytes + bytes, kGuardByte, kGuardBytes);
  return block + kGuardBytes;
}

void FreeBlock(void* data) {
  if (data != nullptr) std::free(BlockOf(data));
}

bool BlockGuardsIntact(void* data, size_t bytes) {
  if (data == nullptr) return true;
  const unsigned char* block = BlockOf(data);
  for (size_t i = 0; i < kGuardBytes; ++i) {
    if (block[i] != kGuardByte || block[kGuardBytes + bytes + i] != kGuardByte) return false;
  }
  return true;
}

bool IsNumeric(mxClassID class_id) {
  return class_id >= mxDOUBLE_CLASS && class_id <= mxUINT64_CLASS;
}

size_t Count(const std::vector<size_t>& dims) {
  return std::accumulate(dims.begin(), dims.end(), size_t{1}, std::multiplies<size_t>());
}

}  // namespace

MexError::MexError(const char* message, const char* identifier)
    : std::runtime_error(message), identifier_(identifier) {}
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

mxArray* NewArray(mxClassID class_id, const std::vector<size_t>& dims, Storage storage) {
  if (storage.sparse && class_id != mxDOUBLE_CLASS && class_id != mxLOGICAL_CLASS) {
    throw std::invalid_argument("only double and logical arrays can be sparse");
  }
  if (storage.complex && !IsNumeric(class_id)) {
    throw std::invalid_argument("only numeric arrays can be complex");
  }
  std::vector<size_t> shape = dims;
  while (shape.size() < 2) shape.push_back(1);
  if (storage.sparse) {
    shape = {shape[0], Count(std::vector<size_t>(shape.begin() + 1, shape.end()))};
  } else {
    storage.nonzeros = 0;
  }
  const size_t stored = storage.sparse ? std::max<size_t>(storage.nonzeros, 1) : Count(shape);
  const size_t bytes = stored * ElementBytes(class_id);
  auto* array = new mxArray_tag{class_id, shape, storage, stored, nullptr, nullptr, {}, {}, {}};
  for (const size_t dim : shape) array->int_dims.push_back(static_cast<int>(dim));
  try {
    array->data = NewBlock(bytes);
    if (storage.complex) array->imag = NewBlock(bytes);
  } catch (...) {
    DestroyArray(array);
    throw;
  }
  return array;
}

mxArray* NewStruct(const std::vector<size_t>& dims, const std::vector<std::string>& names) {
  mxArray* array = NewArray(mxSTRUCT_CLASS, dims);
  array->field_names = names;
  array->field_values.assign(ElementCount(array) * names.size(), nullptr);
  return array;
}

void SetField(mxArray* array, size_t index, size_t field, mxArray* value) {
  mxArray*& slot = array->field_values.at(index * array->field_names.size() + field);
  DestroyArray(slot);
  slot = value;
}

mxArray* DuplicateArray(const mxArray* array) {
  mxArray* copy = NewArray(array->class_id, array->dims, array->storage);
  const size_t bytes = array->stored * ElementBytes(array->class_id);
  if (bytes > 0) std::memcpy(copy->data, array->data, bytes);
  if (array->imag != nullptr) std::memcpy(copy->imag, array->imag, bytes);
  copy->field_names = array->field_names;
  for (const mxArray* value : array->field_values)
    copy->field_values.push_back(value != nullptr ? DuplicateArray(value) : nullptr);
  return copy;
}

void DestroyArray(mxArray* array) {
  if (array == nullptr) return;
  for (mxArray* value : array->field_values) DestroyArray(value);
  FreeBlock(array->data);
  FreeBlock(array->imag);
  delete array;
}

bool GuardsIntact(const mxArray* array) {
  const size_t bytes = array->stored * ElementBytes(array->class_id);
  for (const mxArray* value : array->field_values)
    if (value != nullptr && !GuardsIntact(value)) return false;
  return BlockGuardsIntact(array->data, bytes) && BlockGuardsIntact(array->imag, bytes);
}

std::vector<size_t> DimsOf(const mxArray* array) { return array->dims; }

size_t ElementCount(const mxArray* array) { return Count(array->dims); }

Storage StorageOf(const mxArray* array) { return array->storage; }

size_t StoredCount(const mxArray* array) { return array->stored; }

void* ImaginaryData(const mxArray* array) { return array->imag; }

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

// As the host does: the first stored value, which for a sparse array is its first nonzero, and the
// real part of a complex one.
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

bool mxIsSparse(const mxArray* array) { return array->storage.sparse; }

bool mxIsComplex(const mxArray* array) { return array->storage.complex; }

mxArray* mxCreateNumericMatrix_700(int rows, int cols, mxClassID class_id, mxComplexity) {
  if (rows < 0 || cols < 0) throw gck::host::MexError("mxCreateNumericMatrix: negative size.");
  mxArray* array = gck::host::NewArray(
      class_id, {static_cast<size_t>(rows), static_cast<size_t>(cols)});
  if (gck::host::g_call_arrays != nullptr) gck::host::g_call_arrays->push_back(array);
  return array;
}

// As the host does, trailing dimensions of 1 past the second are dropped.
mxArray* mxCreateNumericArray_700(int ndim, const int* dims, mxClassID class_id, mxComplexity) {
  std::vector<size_t> shape;
  for (int i = 0; i < ndim; ++i) {
    if (dims[i] < 0) throw gck::host::MexError("mxCreateNumericArray: negative size.");
    shape.push_back(static_cast<size_t>(dims[i]));
  }
  while (shape.size() > 2 && shape.back() == 1) shape.pop_back();
  mxArray* array = gck::host::NewArray(class_id, shape);
  if (gck::host::g_call_arrays != nullptr) gck::host::g_call_arrays->push_back(array);
  return array;
}

int mxGetNumberOfDimensions_700(const mxArray* array) { return static_cast<int>(array->dims.size()); }

const int* mxGetDimensions_700(const mxArray* array) { return array->int_dims.data(); }

int mxGetNumberOfFields(const mxArray* array) { return static_cast<int>(array->field_names.size()); }

const char* mxGetFieldNameByNumber(const mxArray* array, int field) {
  if (field < 0 || static_cast<size_t>(field) >= array->field_names.size()) return nullptr;
  return array->field_names[field].c_str();
}

mxArray* mxGetFieldByNumber_700(const mxArray* array, int index, int field) {
  const size_t fields = array->field_names.size();
  if (index < 0 || field < 0 || static_cast<size_t>(field) >= fields ||
      static_cast<size_t>(index) >= gck::host::ElementCount(array))
    return nullptr;
  return array->field_values[index * fields + field];
}

// A char array's 16-bit characters, at most size - 1 of them and a terminating 0; 1 when the array
// is no char array or did not fit. Characters past ASCII become '?'.
int mxGetString_700(const mxArray* array, char* text, int size) {
  if (array->class_id != mxCHAR_CLASS || size <= 0) return 1;
  const auto* chars = static_cast<const uint16_t*>(array->data);
  const size_t count = gck::host::ElementCount(array);
  const size_t copied = std::min(count, static_cast<size_t>(size - 1));
  for (size_t i = 0; i < copied; ++i) text[i] = chars[i] < 128 ? static_cast<char>(chars[i]) : '?';
  text[copied] = '\0';
  return copied == count ? 0 : 1;
}

}  // extern "C"
