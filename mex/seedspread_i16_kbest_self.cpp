// seedspread_i16_kbest_self(nBestErrorsImg32u, nBestMapping32u, nCurrFiltImgs_A16s, nCurrFiltImgs_B16s, nCodebookImgA32u, nCodebookImgB32u, nHashTableImgA32u, nHashTableImgB32u, nHashsNoe16u, nSequencyOrder16u, nSequencyLevels16u, bDownwardFlag, kOfKNN);
// One k-best sweep within one image (A passed again as B); the k-lists are rewritten in place and,
// in the Linux build, an accepting pixel is offered back to its candidate's list.
#include "mex/seedspread_gateway.h"
#include "bridge/build_flavour.h"
#include "propagation/kbest_self_sweep.h"

namespace {

constexpr gck::Signature kSignature(gck::kSeedSpreadKBestUsage, /*outputs=*/0,
                                    gck::kSeedSpreadKBestInputs<int16_t>, /*optional=*/0,
                                    gck::kSeedSpreadClassMessage);

void Body(gck::Call& call) {
  const uint32_t k = gck::CheckKBestSignature(kSignature, call);
  if (!gck::HasLists(k)) return;
  const gck::SweepArguments<int16_t> sweep =
      gck::ReadSweepArguments<int16_t>(call, gck::kCodesAInput, /*list_length=*/k);
  gck::RequireOneImage(sweep.inputs);
  gck::KBestSelfSweep(sweep.inputs, k, /*reciprocal=*/!gck::kWindowsBuild, sweep.errors,
                      sweep.matches);
}

}  // namespace

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  gck::RunGateway(nlhs, plhs, nrhs, prhs, Body);
}
