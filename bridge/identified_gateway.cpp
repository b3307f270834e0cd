// The frame of a gateway whose refusals carry identifiers. It lives apart from RunGateway so that
// only the gateways that use it import mexErrMsgIdAndTxt.
#include <cstdio>
#include <exception>
#include <new>

#include "bridge/gateway.h"

namespace gck {

void RunIdentifiedGateway(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[],
                          void (*body)(Call&), const char* prefix) {
  // Both texts live on this frame, and the host's error call comes only once the body's objects
  // and the exception are gone: it does not return.
  char message[1024];
  char identifier[96];
  try {
    Call call{nlhs, plhs, nrhs, prhs};
    body(call);
    return;
  } catch (const CallError& error) {
    std::snprintf(message, sizeof message, "%s", error.what());
    std::snprintf(identifier, sizeof identifier, "%s:%s", prefix,
                  error.identifier()[0] != '\0' ? error.identifier() : "failed");
  } catch (const std::bad_alloc&) {
    std::snprintf(message, sizeof message,
                  "Out of memory: the call needs more memory than is free");
    std::snprintf(identifier, sizeof identifier, "%s:memory", prefix);
  } catch (const std::exception& error) {
    std::snprintf(message, sizeof message, "%s", error.what());
    std::snprintf(identifier, sizeof identifier, "%s:failed", prefix);
  }
  mexErrMsgIdAndTxt(identifier, "%s", message);
}

}  // namespace gck
