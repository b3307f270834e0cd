#pragma once
// A host array owned by a test: made from values, handed to a deliverable, read back.

#include <cstring>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "bridge/class_id.h"
#include "host/host_api.h"

namespace gck::host {

class Array {
 public:
  Array() = default;
  explicit Array(mxArray* adopted) : raw_(adopted) {}
  Array(mxClassID class_id, const std::vector<size_t>& dims, Storage storage = {})
      : raw_(NewArray(class_id, dims, storage)) {}
  Array(Array&& other) noexcept : raw_(other.raw_) { other.raw_ = nullptr; }
  Array& operator=(Array&& other) noexcept {
    if (this != &other) {
      DestroyArray(raw_);
      raw_ = other.raw_;
      other.raw_ = nullptr;
    }
    return *this;
  }
  Array(const Array& other) : raw_(other.raw_ ? DuplicateArray(other.raw_) : nullptr) {}
  Array& operator=(const Array& other) { return *this = Array(other); }
  ~Array() { DestroyArray(raw_); }

  // An array of T's class with the given dimensions and values in column-major order.
  template <class T>
  static Array Of(const std::vector<size_t>& dims, const std::vector<T>& values) {
    Array array(static_cast<mxClassID>(ClassOf<T>::value), dims);
    if (values.size() != array.count()) throw std::invalid_argument("value count != element count");
    if (!values.empty()) std::memcpy(mxGetData(array.raw_), values.data(), values.size() * sizeof(T));
    return array;
  }
  template <class T>
  static Array Matrix(size_t rows, size_t cols, const std::vector<T>& values) {
    return Of<T>({rows, cols}, values);
  }
  template <class T>
  static Array Scalar(T value) {
    return Of<T>({1, 1}, {value});
  }
  static Array Logical(bool value) {
    Array array(mxLOGICAL_CLASS, {1, 1});
    *static_cast<unsigned char*>(mxGetData(array.raw_)) = value ? 1 : 0;
    return array;
  }

  // A 1 x 1 struct of named fields, each holding a copy of its array.
  static Array Struct(const std::vector<std::pair<std::string, Array>>& fields) {
    std::vector<std::string> names;
    for (const auto& field : fields) names.push_back(field.first);
    Array array(NewStruct({1, 1}, names));
    for (size_t f = 0; f < fields.size(); ++f)
      SetField(array.raw_, 0, f, DuplicateArray(fields[f].second.raw_));
    return array;
  }
  // A 1 x n char row of the host's 16-bit characters.
  static Array Text(const std::string& text) {
    Array array(mxCHAR_CLASS, {1, text.size()});
    for (size_t i = 0; i < text.size(); ++i)
      array.Data<uint16_t>()[i] = static_cast<unsigned char>(text[i]);
    return array;
  }

  // A sparse array of `rows` x `cols` (double, or logical for T = bool) storing `nonzeros`; where
  // they lie is not kept, since no deliverable asks.
  template <class T>
  static Array Sparse(size_t rows, size_t cols, const std::vector<T>& nonzeros) {
    const mxClassID class_id = std::is_same_v<T, bool> ? mxLOGICAL_CLASS : mxDOUBLE_CLASS;
    Array array(class_id, {rows, cols}, Storage{true, false, nonzeros.size()});
    for (size_t i = 0; i < nonzeros.size(); ++i) {
      if constexpr (std::is_same_v<T, bool>) {
        array.Data<unsigned char>()[i] = nonzeros[i] ? 1 : 0;
      } else {
        array.Data<double>()[i] = static_cast<double>(nonzeros[i]);
      }
    }
    return array;
  }
  // The stored values: every element of a full array, the nonzeros' room of a sparse one.
  template <class T>
  std::vector<T> Values() const {
    if (ElementBytes(class_id()) != sizeof(T)) throw std::invalid_argument("element width differs");
    std::vector<T> values(StoredCount(raw_));
    if (!values.empty()) std::memcpy(values.data(), mxGetData(raw_), values.size() * sizeof(T));
    return values;
  }
  template <class T>
  T* Data() {
    return static_cast<T*>(mxGetData(raw_));
  }

  mxArray* raw() const { return raw_; }
  mxClassID class_id() const { return mxGetClassID(raw_); }
  std::vector<size_t> dims() const { return DimsOf(raw_); }
  size_t rows() const { return mxGetM(raw_); }
  size_t cols() const { return mxGetN(raw_); }
  Storage storage() const { return StorageOf(raw_); }
  size_t count() const { return ElementCount(raw_); }
  // Bytes in the data block, and as many again in the imaginary block of a complex array.
  size_t bytes() const { return StoredCount(raw_) * ElementBytes(class_id()); }

 private:
  mxArray* raw_ = nullptr;
};

}  // namespace gck::host
