#include "bridge/outputs.h"

namespace gck {

mxArray* CreateArray(ClassId class_id, int32_t rows, int32_t cols) {
  return mxCreateNumericMatrix(rows, cols, static_cast<mxClassID>(class_id), mxREAL);
}

}  // namespace gck
