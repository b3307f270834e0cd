// outputImage = projnext_i16_rgb(inputImage, nWidth, bCurAlphaPos, nDelta, bHorizMovement);
#include "mex/projnext_gateway.h"

namespace {

constexpr gck::Signature kSignature(gck::kProjNextI16Usage, /*outputs=*/1, gck::kProjNextI16Inputs,
                                    /*optional=*/1, gck::kProjNextI16ClassMessage);

void Body(gck::Call& call) {
  gck::RunProjNext<int16_t>(kSignature, /*planes=*/3, /*end_trim=*/0, call);
}

}  // namespace

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  gck::RunGateway(nlhs, plhs, nrhs, prhs, Body);
}
