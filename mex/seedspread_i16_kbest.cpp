// seedspread_i16_kbest(nBestErrorsImg32u, nBestMapping32u, nCurrFiltImgs_A16s, nCurrFiltImgs_B16s, nCodebookImgA32u, nCodebookImgB32u, nHashTableImgA32u, nHashTableImgB32u, nHashsNoe16u, nSequencyOrder16u, nSequencyLevels16u, bDownwardFlag, kOfKNN);
// One k-best sweep from A into B, on 16-bit projections.
#include "mex/seedspread_gateway.h"

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  gck::RunGateway(nlhs, plhs, nrhs, prhs, gck::RunKBestSweep<int16_t>);
}
