// outputImage = projnext_i32_rgb(inputImage, nWidth, bCurAlphaPos, nDelta, bHorizMovement);
#include "mex/projnext_gateway.h"

namespace {

constexpr gck::Signature kSignature(gck::kProjNextI32Usage, /*outputs=*/1, gck::kProjNextI32Inputs,
                                    /*optional=*/1, gck::kProjNextI32ClassMessage);

void Body(gck::Call& call) {
  gck::RunProjNext<int32_t>(kSignature, /*planes=*/3, /*end_trim=*/1, call);
}

}  // namespace

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  gck::RunGateway(nlhs, plhs, nrhs, prhs, Body);
}
