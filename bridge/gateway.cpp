#include "bridge/gateway.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>

#include "bridge/arguments.h"

namespace gck {

CallError::CallError(const char* message, const char* identifier) {
  std::snprintf(text_, sizeof text_, "%s", message);
  std::snprintf(identifier_, sizeof identifier_, "%s", identifier);
}

void Fail(const char* message) { throw CallError(message); }

void Failf(const char* format, ...) {
  char text[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  throw CallError(text);
}

void FailAs(const char* identifier, const char* format, ...) {
  char text[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  throw CallError(text, identifier);
}

void RunGateway(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[], void (*body)(Call&)) {
  // The text lives on this frame: the host copies it, and a host that unwinds by longjmp leaves
  // nothing behind to free.
  char message[1024];
  try {
    Call call{nlhs, plhs, nrhs, prhs};
    body(call);
    return;
  } catch (const CallError& error) {
    std::snprintf(message, sizeof message, "%s", error.what());
  } catch (const std::bad_alloc&) {
    std::snprintf(message, sizeof message, "Out of memory.");
  }
  mexErrMsgTxt(message);
}

void CheckSignature(const Signature& signature, const Call& call) {
  if (call.nlhs != signature.outputs || call.nrhs < signature.required ||
      call.nrhs > signature.required + signature.optional) {
    Fail(signature.usage);
  }
  for (int i = 0; i < signature.required; ++i) {
    if (ClassOfArgument(call.input(i)) != signature.classes[i]) Fail(signature.class_message);
  }
  RequireFullAndReal(call, signature.required);
  if (call.nrhs > signature.required) ReadDebugFlag(call.input(signature.required));
}

}  // namespace gck
