// [binCodes1, binCodes2] = bucketmap_i32(lookupTable, projection32s1, projection32s2);
#include "mex/bucketmap_gateway.h"

namespace {

void Body(gck::Call& call) { gck::RunBucketMap<int32_t>("bucketmap_i32", call); }

}  // namespace

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  gck::RunGateway(nlhs, plhs, nrhs, prhs, Body);
}
