// outputImage = projfirst_u8_i16(inputImage8u, nWidth16u);
#include "mex/projfirst_gateway.h"

namespace {

constexpr gck::Signature kSignature(
    "Usage: outputImage=projfirst_u8_i16(inputImage8u, nWidth16u, debugFlag(opt));\n",
    /*outputs=*/1, gck::kProjFirstInputs, /*optional=*/1, gck::kProjFirstClassMessage);

void Body(gck::Call& call) { gck::RunProjFirst<int16_t>(kSignature, call); }

}  // namespace

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  gck::RunGateway(nlhs, plhs, nrhs, prhs, Body);
}
