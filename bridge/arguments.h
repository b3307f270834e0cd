#pragma once
// Reading a call's arguments: classes, shapes, typed views and scalars, each refusing what it
// cannot read safely.

#include <cstdint>
#include <type_traits>

#include "bridge/class_id.h"
#include "bridge/gateway.h"

namespace gck {

// An array as a core sees it: data pointer and rows x cols elements, column-major, with cols the
// product of every dimension after the first.
template <class T>
struct ArrayView {
  T* data;
  int32_t rows;
  int32_t cols;

  int64_t count() const { return static_cast<int64_t>(rows) * cols; }
};

struct Shape {
  int32_t rows;
  int32_t cols;

  int64_t count() const { return static_cast<int64_t>(rows) * cols; }
};

ClassId ClassOfArgument(const mxArray* array);

// Refuses a sparse or complex array among inputs 1 .. count, before anything is read: a sparse
// array's data are only its nonzeros, and a complex one's imaginary parts would go unseen.
void RequireFullAndReal(const Call& call, int count);

// Rows and columns as 32-bit signed integers; arrays of 2^31 or more elements are refused.
Shape ShapeOf(const mxArray* array);

// The data pointer as the host hands it out for any class.
void* DataOf(const mxArray* array);

// Refuses an array whose elements are not sizeof(T) bytes wide (the gateways that do not check
// classes still must not read past an array).
void RequireElementSize(const mxArray* array, size_t bytes, const char* name);

template <class T>
ArrayView<T> ViewOf(const mxArray* array, const char* name) {
  RequireElementSize(array, sizeof(T), name);
  const Shape shape = ShapeOf(array);
  return {static_cast<T*>(DataOf(array)), shape.rows, shape.cols};
}

// The first element of an argument, read in the element type its class check demanded.
void RequireNonEmpty(const mxArray* array, const char* name);

template <class T>
T FirstElement(const mxArray* array, const char* name) {
  RequireNonEmpty(array, name);
  return ViewOf<const T>(array, name).data[0];
}

// Refuses an array of fewer than `needed` elements, naming what the call needs.
void RequireAtLeast(const mxArray* array, int64_t needed, const char* name);

// A logical argument: its first byte, nonzero meaning true.
bool FirstByteIsSet(const mxArray* array, const char* name);

// A numeric scalar read through the host's scalar accessor, after making sure it has an element.
double ScalarOf(const mxArray* array, const char* name);

// A numeric scalar truncated toward zero, as the gateways without class checks read their
// parameters. NaN, infinities and magnitudes of 2^63 or more name no integer and are refused.
int64_t TruncatedScalarOf(const mxArray* array, const char* name);

// The optional debug flag: read as a scalar and nothing more. Anything the host cannot read as a
// number is passed over, since nothing depends on it.
void ReadDebugFlag(const mxArray* array);

}  // namespace gck
