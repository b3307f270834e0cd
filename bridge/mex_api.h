#pragma once
// The host calls a gateway makes. When a host's own mex.h is on the include path (Octave's mkoctfile,
// a user's MATLAB) it supplies them; otherwise they are declared here with the names and widths of
// MATLAB's 32-bit-size ABI, which is what the .mexa64 and .mexw64 files link against. The eighteen
// kernel gateways call the first group only; nnfield also reads dimensions, structs and text,
// creates an array of more than two dimensions and fails with an identifier.

#include <cstddef>

#if !defined(GCK_OWN_MEX_API) && __has_include(<mex.h>)
#include <mex.h>
#else
#define GCK_OWN_MEX_API 1

#if defined(_WIN32)
#define GCK_MEX_ENTRY __declspec(dllexport)
#else
#define GCK_MEX_ENTRY __attribute__((visibility("default")))
#endif

extern "C" {
typedef struct mxArray_tag mxArray;

// The host's class identifiers, in the host's own numbering.
typedef enum {
  mxUNKNOWN_CLASS = 0,
  mxCELL_CLASS,
  mxSTRUCT_CLASS,
  mxLOGICAL_CLASS,
  mxCHAR_CLASS,
  mxVOID_CLASS,
  mxDOUBLE_CLASS,
  mxSINGLE_CLASS,
  mxINT8_CLASS,
  mxUINT8_CLASS,
  mxINT16_CLASS,
  mxUINT16_CLASS,
  mxINT32_CLASS,
  mxUINT32_CLASS,
  mxINT64_CLASS,
  mxUINT64_CLASS,
  mxFUNCTION_CLASS
} mxClassID;

typedef enum { mxREAL = 0, mxCOMPLEX } mxComplexity;

// Sizes and indices are 32-bit in this ABI.
typedef int mwSize;
typedef int mwIndex;

mxClassID mxGetClassID(const mxArray* array);
size_t mxGetM(const mxArray* array);
size_t mxGetN(const mxArray* array);
double* mxGetPr(const mxArray* array);
void* mxGetData(const mxArray* array);
double mxGetScalar(const mxArray* array);
bool mxIsSparse(const mxArray* array);
bool mxIsComplex(const mxArray* array);
mxArray* mxCreateNumericMatrix_700(int rows, int cols, mxClassID class_id, mxComplexity complexity);
void mexErrMsgTxt(const char* message);

int mxGetNumberOfDimensions_700(const mxArray* array);
const int* mxGetDimensions_700(const mxArray* array);
mxArray* mxCreateNumericArray_700(int ndim, const int* dims, mxClassID class_id,
                                  mxComplexity complexity);
int mxGetNumberOfFields(const mxArray* array);
const char* mxGetFieldNameByNumber(const mxArray* array, int field);
mxArray* mxGetFieldByNumber_700(const mxArray* array, int index, int field);
int mxGetString_700(const mxArray* array, char* text, int size);
void mexErrMsgIdAndTxt(const char* identifier, const char* format, ...);

GCK_MEX_ENTRY void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]);
}

#define mxCreateNumericMatrix mxCreateNumericMatrix_700
#define mxGetNumberOfDimensions mxGetNumberOfDimensions_700
#define mxGetDimensions mxGetDimensions_700
#define mxCreateNumericArray mxCreateNumericArray_700
#define mxGetFieldByNumber mxGetFieldByNumber_700
#define mxGetString mxGetString_700
#endif
