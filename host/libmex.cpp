// The MEX half of the stand-in host (libmex): the error calls, which never return.
#include <cstdarg>
#include <cstdio>

#include "host/host_api.h"

extern "C" void mexErrMsgTxt(const char* message) { throw gck::host::MexError(message); }

extern "C" void mexErrMsgIdAndTxt(const char* identifier, const char* format, ...) {
  char message[2048];
  va_list args;
  va_start(args, format);
  std::vsnprintf(message, sizeof message, format, args);
  va_end(args);
  throw gck::host::MexError(message, identifier);
}
