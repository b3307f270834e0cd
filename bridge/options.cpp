#include "bridge/options.h"

#include <cmath>
#include <cstdio>

#include "bridge/arguments.h"
#include "bridge/dimensions.h"

namespace gck {
namespace {

const char* ClassName(ClassId id) {
  switch (id) {
    case ClassId::kCell: return "cell";
    case ClassId::kStruct: return "struct";
    case ClassId::kLogical: return "logical";
    case ClassId::kChar: return "char";
    case ClassId::kDouble: return "double";
    case ClassId::kSingle: return "single";
    case ClassId::kInt8: return "int8";
    case ClassId::kUint8: return "uint8";
    case ClassId::kInt16: return "int16";
    case ClassId::kUint16: return "uint16";
    case ClassId::kInt32: return "int32";
    case ClassId::kUint32: return "uint32";
    case ClassId::kInt64: return "int64";
    case ClassId::kUint64: return "uint64";
    default: return static_cast<int>(id) == mxFUNCTION_CLASS ? "function_handle" : "object";
  }
}

bool IsNumeric(ClassId id) { return id >= ClassId::kDouble && id <= ClassId::kUint64; }

bool IsOneElement(const mxArray* value) {
  for (int i = 0; i < DimensionCount(value); ++i)
    if (Dimension(value, i) != 1) return false;
  return true;
}

bool IsPlainNumber(const mxArray* value) {
  return IsNumeric(ClassOfArgument(value)) && !mxIsSparse(value) && !mxIsComplex(value) &&
         IsOneElement(value);
}

// As num2str: whole numbers in full, others to four decimals past their leading digit.
void DescribeNumber(double number, char* text, size_t size) {
  if (std::isnan(number)) {
    std::snprintf(text, size, "NaN");
  } else if (std::isinf(number)) {
    std::snprintf(text, size, number > 0 ? "Inf" : "-Inf");
  } else if (number == std::floor(number)) {
    std::snprintf(text, size, "%.0f", number);
  } else {
    int digits = static_cast<int>(std::floor(std::log10(std::fabs(number)))) + 5;
    digits = digits < 5 ? 5 : digits > 16 ? 16 : digits;
    std::snprintf(text, size, "%.*g", digits, number);
  }
}

}  // namespace

bool IsOneStruct(const mxArray* array) {
  return ClassOfArgument(array) == ClassId::kStruct && IsOneElement(array);
}

int FieldCount(const mxArray* options) { return mxGetNumberOfFields(options); }

const char* FieldName(const mxArray* options, int field) {
  return mxGetFieldNameByNumber(options, field);
}

const mxArray* FieldValue(const mxArray* options, int field) {
  return mxGetFieldByNumber(options, 0, field);
}

bool TextOf(const mxArray* value, char* text, size_t size) {
  if (value == nullptr || ClassOfArgument(value) != ClassId::kChar || DimensionCount(value) != 2)
    return false;
  const int64_t rows = Dimension(value, 0), cols = Dimension(value, 1);
  if (rows * cols == 0) {
    text[0] = '\0';
    return size > 0;
  }
  if (rows != 1 || cols >= static_cast<int64_t>(size)) return false;
  return mxGetString(value, text, static_cast<mwSize>(size)) == 0;
}

bool WholeNumberOf(const mxArray* value, int64_t low, int64_t high, int64_t* number) {
  if (value == nullptr || !IsPlainNumber(value)) return false;
  const double x = mxGetScalar(value);
  if (!(x >= static_cast<double>(low) && x <= static_cast<double>(high)) || x != std::floor(x))
    return false;
  *number = static_cast<int64_t>(x);
  return true;
}

void DescribeValue(const mxArray* value, char* text, size_t size) {
  if (value == nullptr) {
    std::snprintf(text, size, "a 0x0 double");
    return;
  }
  char shown[64];
  if (TextOf(value, shown, sizeof shown)) {
    std::snprintf(text, size, "%s", shown);
    return;
  }
  if (IsPlainNumber(value)) {
    DescribeNumber(mxGetScalar(value), text, size);
    return;
  }
  char dims[64];
  DescribeDimensions(value, dims, sizeof dims);
  const char* storage = mxIsSparse(value) ? "sparse " : mxIsComplex(value) ? "complex " : "";
  std::snprintf(text, size, "a %s %s%s", dims, storage, ClassName(ClassOfArgument(value)));
}

}  // namespace gck
