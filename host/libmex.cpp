// The MEX half of the stand-in host (libmex): the error call, which never returns.
#include "host/host_api.h"

extern "C" void mexErrMsgTxt(const char* message) { throw gck::host::MexError(message); }
