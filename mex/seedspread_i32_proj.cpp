// seedspread_i32_proj(nBestErrorsImg32u, nBestMapping32u, nCurrFiltImgs_A32s, nCurrFiltImgs_B32s, nCodebookImgA32u, nCodebookImgB32u, nHashTableImgA32u, nHashTableImgB32u, nHashsNoe16u, nSequencyOrder16u, nSequencyLevels16u, bDownwardFlag);
// One single-best sweep, on 32-bit projections.
#include "mex/seedspread_gateway.h"

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  gck::RunGateway(nlhs, plhs, nrhs, prhs, gck::RunSingleBestSweep<int32_t>);
}
