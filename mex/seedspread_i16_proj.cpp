// seedspread_i16_proj(nBestErrorsImg32u, nBestMapping32u, nCurrFiltImgs_A16s, nCurrFiltImgs_B16s, nCodebookImgA32u, nCodebookImgB32u, nHashTableImgA32u, nHashTableImgB32u, nHashsNoe16u, nSequencyOrder16u, nSequencyLevels16u, bDownwardFlag);
// One single-best sweep; the best errors and the mapping are rewritten in place.
#include "mex/seedspread_gateway.h"
#include "propagation/single_best_sweep.h"

namespace {

constexpr gck::Signature kSignature(gck::kSeedSpreadUsage, /*outputs=*/0,
                                    gck::kSeedSpreadInputs<int16_t>, /*optional=*/0,
                                    gck::kSeedSpreadClassMessage);

void Body(gck::Call& call) {
  gck::CheckSweepSignature(kSignature, call);
  const gck::SweepArguments<int16_t> sweep =
      gck::ReadSweepArguments<int16_t>(call, gck::kErrorsInput, /*list_length=*/1);
  gck::SingleBestSweep(sweep.inputs, sweep.errors, sweep.matches);
}

}  // namespace

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  gck::RunGateway(nlhs, plhs, nrhs, prhs, Body);
}
