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

std::vector<size_t> DecodeDims(ByteReader& in, size_t& call_elements) {
  const int rank = kMinRank + in.Byte() % kRanks;
  std::vector<size_t> dims(rank);
  int large = -1;
  for (int i = 0; i < rank; ++i) {
    const uint8_t byte = in.Byte();
    if (byte < kFirstLargeByte) {
      dims[i] = byte;
    } else if (large < 0) {
      dims[i] = kLargeDims[byte - kFirstLargeByte];
      large = i;
    } else {
      dims[i] = 1;  // one large dimension at most, so that no count wraps
    }
  }
  const size_t count = Product(dims);
  if (count > kMaxArrayElements || call_elements + count > kMaxCallElements) {
    dims[large == 0 ? 1 : 0] = 0;
  }
  call_elements += Product(dims);
  return dims;
}

host::Array DecodeArray(ByteReader& in, mxClassID class_id, size_t& call_elements) {
  host::Array array(class_id, DecodeDims(in, call_elements));
  const size_t width = host::ElementBytes(class_id);
  const size_t count = array.count();
  if (width == 0 || count == 0) return array;
  uint8_t* data = static_cast<uint8_t*>(mxGetData(array.raw()));
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

void EncodeValues(const host::Array& array, std::vector<uint8_t>& out) {
  const size_t width = host::ElementBytes(array.class_id());
  const size_t count = array.count();
  if (width == 0 || count == 0) return;
  const uint8_t* data = static_cast<const uint8_t*>(mxGetData(array.raw()));
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
    const int kind = in.Byte() % kKindCount;
    if (kind >= kRepeatKind && i > 0) {
      call.Repeat(in.Byte() % i);
    } else {
      const mxClassID class_id = kind >= kRepeatKind ? mxDOUBLE_CLASS : kClasses[kind];
      call.Add(DecodeArray(in, class_id, call_elements));
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
    const size_t count = array.count();
    call_elements += count;
    if (count > kMaxArrayElements || call_elements > kMaxCallElements) {
      throw std::invalid_argument("array too large for a byte form");
    }
    out.push_back(static_cast<uint8_t>(KindOf(array.class_id())));
    EncodeDims(array.dims(), out);
    EncodeValues(array, out);
  }
  return out;
}

}  // namespace gck::fuzz
