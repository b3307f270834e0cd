#pragma once
// Array classes as the gateways name them, and the element type each one is read in.

#include <cstddef>
#include <cstdint>

#include "bridge/mex_api.h"

namespace gck {

enum class ClassId : int {
  kUnknown = mxUNKNOWN_CLASS,
  kCell = mxCELL_CLASS,
  kStruct = mxSTRUCT_CLASS,
  kLogical = mxLOGICAL_CLASS,
  kChar = mxCHAR_CLASS,
  kDouble = mxDOUBLE_CLASS,
  kSingle = mxSINGLE_CLASS,
  kInt8 = mxINT8_CLASS,
  kUint8 = mxUINT8_CLASS,
  kInt16 = mxINT16_CLASS,
  kUint16 = mxUINT16_CLASS,
  kInt32 = mxINT32_CLASS,
  kUint32 = mxUINT32_CLASS,
  kInt64 = mxINT64_CLASS,
  kUint64 = mxUINT64_CLASS,
};

// Bytes per element of a numeric, logical or char class; 0 for classes that hold no plain data.
constexpr size_t ElementSize(ClassId id) {
  switch (id) {
    case ClassId::kLogical:
    case ClassId::kInt8:
    case ClassId::kUint8:
      return 1;
    case ClassId::kChar:
    case ClassId::kInt16:
    case ClassId::kUint16:
      return 2;
    case ClassId::kSingle:
    case ClassId::kInt32:
    case ClassId::kUint32:
      return 4;
    case ClassId::kDouble:
    case ClassId::kInt64:
    case ClassId::kUint64:
      return 8;
    default:
      return 0;
  }
}

template <class T> struct ClassOf;
template <> struct ClassOf<uint8_t> { static constexpr ClassId value = ClassId::kUint8; };
template <> struct ClassOf<int16_t> { static constexpr ClassId value = ClassId::kInt16; };
template <> struct ClassOf<uint16_t> { static constexpr ClassId value = ClassId::kUint16; };
template <> struct ClassOf<int32_t> { static constexpr ClassId value = ClassId::kInt32; };
template <> struct ClassOf<uint32_t> { static constexpr ClassId value = ClassId::kUint32; };
template <> struct ClassOf<uint64_t> { static constexpr ClassId value = ClassId::kUint64; };
template <> struct ClassOf<float> { static constexpr ClassId value = ClassId::kSingle; };
template <> struct ClassOf<double> { static constexpr ClassId value = ClassId::kDouble; };

}  // namespace gck
