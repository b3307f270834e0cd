// seedspread_i32_kbest(nBestErrorsImg32u, nBestMapping32u, nCurrFiltImgs_A16s, nCurrFiltImgs_B16s, nCodebookImgA32u, nCodebookImgB32u, nHashTableImgA32u, nHashTableImgB32u, nHashsNoe16u, nSequencyOrder16u, nSequencyLevels16u, bDownwardFlag, kOfKNN);
// One k-best sweep from A into B; the k-lists of errors and matches are rewritten in place.
#include "mex/seedspread_gateway.h"

#include "propagation/kbest_sweep.h"

namespace {

constexpr gck::Signature kSignature(gck::kSeedSpreadKBestUsage, /*outputs=*/0,
                                    gck::kSeedSpreadKBestInputs<int32_t>, /*optional=*/0,
                                    gck::kSeedSpreadClassMessage);

void Body(gck::Call& call) {
  const uint32_t k = gck::CheckKBestSignature(kSignature, call);
  if (!gck::HasLists(k)) return;
  const gck::SweepArguments<int32_t> sweep =
      gck::ReadSweepArguments<int32_t>(call, gck::kCodesAInput, /*list_length=*/k);
  gck::KBestSweep(sweep.inputs, k, sweep.errors, sweep.matches);
}

}  // namespace

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  gck::RunGateway(nlhs, plhs, nrhs, prhs, Body);
}
