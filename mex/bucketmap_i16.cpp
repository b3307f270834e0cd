// [binCodes1, binCodes2] = bucketmap_i16(lookupTable, projection16s1, projection16s2);
#include "mex/bucketmap_gateway.h"

namespace {

void Body(gck::Call& call) { gck::RunBucketMap<int16_t>("bucketmap_i16", call); }

}  // namespace

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  gck::RunGateway(nlhs, plhs, nrhs, prhs, Body);
}
