#include "fuzz/call_codec.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace gck::fuzz {
namespace {

constexpr mxClassID kClasses[] = {
    mxLOGICAL_CLASS, mxCHAR_CLASS,   mxDOUBLE_CLASS, mxSINGLE_CLASS, mxINT8_CLASS,
    mxUINT8_CLASS,   mxINT16_CLASS,  mxUINT16_CLASS, mxINT32_CLASS,  mxUINT32_CLASS,
    mxINT64_CLASS,   mxUINT64_CLASS, mxCELL_CLASS,   mxSTRUCT_CLASS};
constexpr int kClassCount = sizeof kClasses / sizeof kClasses[0];
constexpr int kKindCount = 16;  // the kinds past the classes repeat an earlier input
constexpr int kRepeatKind = kClassCount;

constexpr uint8_t kFirstLargeByte = 0xF8;
constexpr size_t kLargeDims[] = {256,        4096,       65535,      65536,
                                 2147483647, 2147483648, 4294967295, 4294967296};
constexpr int kMinRank = 2;
constexpr int kRanks = 3;

enum ValueMode : uint8_t { kRaw = 0, kSplat = 1, kRamp = 2, kModeCount = 3 };

// The high four bits of a kind byte: how the array stores its values. Any other value is full and
// real, so that most mutated kind bytes still give the arrays the deliverables read.
enum StorageBits : uint8_t { kFull = 0, kSparse = 1, kComplex = 2, kSparseComplex = 3 };

class ByteReader {
 public:
  ByteReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }

  // Copies n bytes; those past the end of the input read as 0.
  void Copy(void* out, size_t n) {
    const size_t available = std::min(n, size_ - pos_);
    if (available > 0) std::memcpy(out, data_ + pos_, available);
    std::memset(static_cast<uint8_t*>(out) + available, 0, n - available);
    pos_ += available;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

size_t Product(const std::vector<size_t>& dims) {
  size_t count = 1;
  for (size_t d : dims) count *= d;
  return count;
}

// element i = start + i * step, in the element's own arithmetic (integers wrap).
template <class T>
void FillRamp(void* data, size_t count, const void* start_bytes, const void* step_bytes) {
  T start, step;
  std::memcpy(&start, start_bytes, sizeof(T));
  std::memcpy(&step, step_bytes, sizeof(T));
  T* out = static_cast<T*>(data);
  for (size_t i = 0; i < count; ++i) {
    out[i] = static_cast<T>(start + static_cast<T>(static_cast<T>(i) * step));
  }
}

void FillRampOfWidth(mxClassID class_id, void* data, size_t count, const uint8_t* start,
                     const uint8_t* step) {
  if (class_id == mxDOUBLE_CLASS) return FillRamp<double>(data, count, start, step);
  if (class_id == mxSINGLE_CLASS) return FillRamp<float>(data, count, start, step);
  switch (host::ElementBytes(class_id)) {
    case 1: return FillRamp<uint8_t>(data, count, start, step);
    case 2: return FillRamp<uint16_t>(data, count, start, step);
    case 4: return FillRamp<uint32_t>(data, count, start, step);
    case 8: return FillRamp<uint64_t>(data, count, start, step);
  }
}

// Two or more dimensions, each < 0xF8 or one of the large ones. A full array beyond the caps is made
// empty; a sparse one (two dimensions) stores only its nonzeros, so its shape is not capped.
std::vector<size_t> DecodeDims(ByteReader& in, bool sparse, size_t& call_elements) {
  const int rank = kMinRank + in.Byte() % kRanks;
  std::vector<size_t> dims(sparse ? kMinRank : rank);
  int large = -1;
  for (size_t i = 0; i < dims.size(); ++i) {
    const uint8_t byte = in.Byte();
    if (byte < kFirstLargeByte) {
      dims[i] = byte;
    } else if (large < 0) {
      dims[i] = kLargeDims[byte - kFirstLargeByte];
      large = static_cast<int>(i);
    } else {
      dims[i] = 1;  // one large dimension at most, so that no count wraps
    }
  }
  if (sparse) return dims;
  const size_t count = Product(dims);
  if (count > kMaxArrayElements || call_elements + count > kMaxCallElements) {
    dims[large == 0 ? 1 : 0] = 0;
  }
  call_elements += Product(dims);
  return dims;
}

// `count` elements of the class in one of the three value modes.
void DecodeValues(ByteReader& in, mxClassID class_id, void* out, size_t count) {
  const size_t width = host::ElementBytes(class_id);
  if (width == 0 || count == 0) return;
  uint8_t* data = static_cast<uint8_t*>(out);
  const uint8_t mode = in.Byte() % kModeCount;
  if (mode == kRaw) {
    in.Copy(data, count * width);
  } else if (mode == kSplat) {
    in.Copy(data, width);
    for (size_t i = 1; i < count; ++i) std::memcpy(data + i * width, data, width);
  } else {
    uint8_t start[8], step[8];
    in.Copy(start, width);
    in.Copy(step, width);
    FillRampOfWidth(class_id, data, count, start, step);
  }
}

// The host has sparse arrays of doubles and logicals only, and complex arrays of numeric classes
// only: another class asked to be sparse is a double, and one asked to be complex stays real.
host::Storage StorageFor(mxClassID& class_id, uint8_t storage_bits) {
  host::Storage storage;
  storage.sparse = storage_bits == kSparse || storage_bits == kSparseComplex;
  storage.complex = storage_bits == kComplex || storage_bits == kSparseComplex;
  if (storage.sparse && class_id != mxLOGICAL_CLASS) class_id = mxDOUBLE_CLASS;
  storage.complex = storage.complex && class_id >= mxDOUBLE_CLASS && class_id <= mxUINT64_CLASS;
  return storage;
}

host::Array DecodeArray(ByteReader& in, mxClassID class_id, uint8_t storage_bits,
                        size_t& call_elements) {
  host::Storage storage = StorageFor(class_id, storage_bits);
  const std::vector<size_t> dims = DecodeDims(in, storage.sparse, call_elements);
  size_t stored = Product(dims);
  if (storage.sparse) {
    const size_t room = std::min({Product(dims), kMaxArrayElements, kMaxCallElements - call_elements});
    const size_t wanted = in.Byte() | size_t{in.Byte()} << 8;
    stored = storage.nonzeros = wanted % (room + 1);
    call_elements += stored;
  }
  host::Array array(class_id, dims, storage);
  DecodeValues(in, class_id, mxGetData(array.raw()), stored);
  if (storage.complex) DecodeValues(in, class_id, host::ImaginaryData(array.raw()), stored);
  return array;
}

int KindOf(mxClassID class_id) {
  for (int kind = 0; kind < kClassCount; ++kind) {
    if (kClasses[kind] == class_id) return kind;
  }
  throw std::invalid_argument("class has no byte form");
}

void EncodeDims(const std::vector<size_t>& dims, std::vector<uint8_t>& out) {
  if (dims.size() < kMinRank || dims.size() >= kMinRank + kRanks) {
    throw std::invalid_argument("rank has no byte form");
  }
  out.push_back(static_cast<uint8_t>(dims.size() - kMinRank));
  int large = 0;
  for (size_t d : dims) {
    if (d < kFirstLargeByte) {
      out.push_back(static_cast<uint8_t>(d));
      continue;
    }
    const size_t* found = std::find(std::begin(kLargeDims), std::end(kLargeDims), d);
    if (found == std::end(kLargeDims) || ++large > 1) {
      throw std::invalid_argument("dimension has no byte form");
    }
    out.push_back(static_cast<uint8_t>(kFirstLargeByte + (found - std::begin(kLargeDims))));
  }
}

void EncodeValues(const void* values, size_t width, size_t count, std::vector<uint8_t>& out) {
  if (width == 0 || count == 0) return;
  const uint8_t* data = static_cast<const uint8_t*>(values);
  bool same = true;
  for (size_t i = 1; i < count && same; ++i) same = std::memcmp(data + i * width, data, width) == 0;
  if (same) {
    out.push_back(kSplat);
    out.insert(out.end(), data, data + width);
  } else {
    out.push_back(kRaw);
    out.insert(out.end(), data, data + count * width);
  }
}

}  // namespace

int CallSpec::Add(host::Array array) {
  arrays.push_back(std::move(array));
  inputs.push_back(static_cast<int>(arrays.size()) - 1);
  return static_cast<int>(inputs.size()) - 1;
}

std::vector<const host::Array*> CallSpec::InputPointers() const {
  std::vector<const host::Array*> pointers;
  for (int index : inputs) pointers.push_back(&arrays[index]);
  return pointers;
}

CallSpec DecodeCall(const uint8_t* data, size_t size, int member_count) {
  ByteReader in(data, size);
  CallSpec call;
  call.member = in.Byte() % std::max(member_count, 1);
  call.nlhs = in.Byte() % (kMaxArguments + 1);
  const int nrhs = in.Byte() % (kMaxArguments + 1);
  size_t call_elements = 0;
  for (int i = 0; i < nrhs; ++i) {
    const uint8_t kind_byte = in.Byte();
    const int kind = kind_byte % kKindCount;
    if (kind >= kRepeatKind && i > 0) {
      call.Repeat(in.Byte() % i);
    } else {
      const mxClassID class_id = kind >= kRepeatKind ? mxDOUBLE_CLASS : kClasses[kind];
      call.Add(DecodeArray(in, class_id, kind_byte / kKindCount, call_elements));
    }
  }
  return call;
}

std::vector<uint8_t> EncodeCall(const CallSpec& call) {
  if (call.inputs.size() > kMaxArguments || call.nlhs < 0 || call.nlhs > kMaxArguments ||
      call.member < 0 || call.member > 255) {
    throw std::invalid_argument("call has no byte form");
  }
  std::vector<uint8_t> out = {static_cast<uint8_t>(call.member), static_cast<uint8_t>(call.nlhs),
                              static_cast<uint8_t>(call.inputs.size())};
  std::vector<int> first_input_of(call.arrays.size(), -1);
  size_t call_elements = 0;
  for (size_t i = 0; i < call.inputs.size(); ++i) {
    const int index = call.inputs[i];
    if (first_input_of.at(index) >= 0) {
      out.push_back(kRepeatKind);
      out.push_back(static_cast<uint8_t>(first_input_of[index]));
      continue;
    }
    first_input_of[index] = static_cast<int>(i);
    const host::Array& array = call.arrays[index];
    const host::Storage storage = array.storage();
    const size_t stored = storage.sparse ? storage.nonzeros : array.count();
    call_elements += stored;
    if (stored > kMaxArrayElements || call_elements > kMaxCallElements) {
      throw std::invalid_argument("array too large for a byte form");
    }
    const int bits = (storage.sparse ? kSparse : kFull) | (storage.complex ? kComplex : kFull);
    out.push_back(static_cast<uint8_t>(KindOf(array.class_id()) + bits * kKindCount));
    EncodeDims(array.dims(), out);
    if (storage.sparse) {
      out.push_back(static_cast<uint8_t>(stored));
      out.push_back(static_cast<uint8_t>(stored >> 8));
    }
    const size_t width = host::ElementBytes(array.class_id());
    EncodeValues(mxGetData(array.raw()), width, stored, out);
    if (storage.complex) EncodeValues(host::ImaginaryData(array.raw()), width, stored, out);
  }
  return out;
}

}  // namespace gck::fuzz
