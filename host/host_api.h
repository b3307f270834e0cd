#pragma once
// What the stand-in host offers its loader beyond MATLAB's own calls: making and freeing arrays, and
// telling which arrays a call created.

#include <cstddef>
#include <stdexcept>
#include <string>
#include <vector>

#include "bridge/mex_api.h"

namespace gck::host {

// Thrown by the stand-in mexErrMsgTxt; the loader catches it where MATLAB would show the text.
class MexError : public std::runtime_error {
 public:
  explicit MexError(const char* message, const char* identifier = "");
  ~MexError() override;
  // Given by mexErrMsgIdAndTxt; empty after mexErrMsgTxt.
  const std::string& identifier() const { return identifier_; }

 private:
  std::string identifier_;
};

// How an array holds its values, as the host's own arrays do. A sparse array (double or logical,
// two dimensions) stores only its nonzeros, `nonzeros` of them, with room for at least one; a complex
// array (any numeric class) keeps its imaginary parts in a block of their own.
struct Storage {
  bool sparse = false;
  bool complex = false;
  size_t nonzeros = 0;
};

// A zero-filled array of any class and any number of dimensions (at least two; a sparse array's
// dimensions after the first are folded into its columns). Throws std::invalid_argument for a
// storage the host has no such array for.
mxArray* NewArray(mxClassID class_id, const std::vector<size_t>& dims, Storage storage = {});
// A 1 x 1 (or `dims`) struct with the given fields, every value unset.
mxArray* NewStruct(const std::vector<size_t>& dims, const std::vector<std::string>& names);
// Gives field `field` of element `index` the value, which the struct then owns.
void SetField(mxArray* array, size_t index, size_t field, mxArray* value);
// A deep copy.
mxArray* DuplicateArray(const mxArray* array);
void DestroyArray(mxArray* array);
// False when something wrote into the bytes just before or just after the array's data blocks.
bool GuardsIntact(const mxArray* array);
std::vector<size_t> DimsOf(const mxArray* array);
size_t ElementCount(const mxArray* array);
Storage StorageOf(const mxArray* array);
// Elements in each data block: every element of a full array, the room for nonzeros of a sparse one.
size_t StoredCount(const mxArray* array);
// The imaginary parts of a complex array; nullptr for a real one.
void* ImaginaryData(const mxArray* array);
size_t ElementBytes(mxClassID class_id);

// Arrays created through mxCreateNumericMatrix_700 between these two calls belong to the call;
// EndCall hands them back so the loader keeps the outputs and reclaims the rest.
void BeginCall();
std::vector<mxArray*> EndCall();

}  // namespace gck::host
