// out = patcherr_gray(A, B, rowMapping16u, colMapping16u, TLboundary16u, BRboundary16u, nWidth16u);
#include "mex/patcherr_gateway.h"

namespace {

void Body(gck::Call& call) { gck::RunPatchErr<1>(call); }

}  // namespace

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  gck::RunGateway(nlhs, plhs, nrhs, prhs, Body);
}
