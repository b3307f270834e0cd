#pragma once
// What the stand-in host offers its loader beyond MATLAB's own calls: making and freeing arrays, and
// telling which arrays a call created.

#include <cstddef>
#include <stdexcept>
#include <vector>

#include "bridge/mex_api.h"

namespace gck::host {

// Thrown by the stand-in mexErrMsgTxt; the loader catches it where MATLAB would show the text.
class MexError : public std::runtime_error {
 public:
  explicit MexError(const char* message);
  ~MexError() override;
};

// A zero-filled array of any class and any number of dimensions (at least two).
mxArray* NewArray(mxClassID class_id, const std::vector<size_t>& dims);
void DestroyArray(mxArray* array);
// False when something wrote into the bytes just before or just after the array's data.
bool GuardsIntact(const mxArray* array);
std::vector<size_t> DimsOf(const mxArray* array);
size_t ElementCount(const mxArray* array);
size_t ElementBytes(mxClassID class_id);

// Arrays created through mxCreateNumericMatrix_700 between these two calls belong to the call;
// EndCall hands them back so the loader keeps the outputs and reclaims the rest.
void BeginCall();
std::vector<mxArray*> EndCall();

}  // namespace gck::host
