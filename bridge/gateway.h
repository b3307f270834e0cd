#pragma once
// The frame every gateway runs in: the call's arguments, the one way a gateway fails, and the
// argument table of the validating gateways.

#include <cstddef>

#include "bridge/class_id.h"
#include "bridge/mex_api.h"

namespace gck {

// A refused call. Thrown inside a gateway body; RunGateway hands its text to the host once every
// object the body owned has been destroyed, because the host's error call does not return. The
// identifier ("nnfield:width"), empty for the kernel gateways, lets a caller tell refusals apart.
class CallError {
 public:
  explicit CallError(const char* message, const char* identifier = "");
  const char* what() const noexcept { return text_; }
  const char* identifier() const noexcept { return identifier_; }

 private:
  char text_[1024];
  char identifier_[64];
};

#if defined(__MINGW32__)
// The Windows build formats with mingw's C99 printf (__USE_MINGW_ANSI_STDIO), which the compiler
// knows as gnu_printf; its plain "printf" would be the Microsoft runtime's, without %zu.
#define GCK_PRINTF_LIKE(text, first) __attribute__((format(gnu_printf, text, first)))
#elif defined(_MSC_VER)
#define GCK_PRINTF_LIKE(text, first)
#else
#define GCK_PRINTF_LIKE(text, first) __attribute__((format(printf, text, first)))
#endif

[[noreturn]] void Fail(const char* message);
[[noreturn]] void Failf(const char* format, ...) GCK_PRINTF_LIKE(1, 2);
// A refusal with an identifier.
[[noreturn]] void FailAs(const char* identifier, const char* format, ...) GCK_PRINTF_LIKE(2, 3);

struct Call {
  int nlhs;
  mxArray** plhs;
  int nrhs;
  const mxArray** prhs;

  const mxArray* input(int index) const { return prhs[index]; }
  // The host always offers at least one output slot (for `ans`), even when nlhs is 0.
  int output_slots() const { return nlhs > 0 ? nlhs : 1; }
};

// Runs a gateway body; a CallError or an exhausted heap becomes the host's error call.
void RunGateway(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[], void (*body)(Call&));

// As RunGateway, for a gateway whose refusals carry identifiers (mexErrMsgIdAndTxt): an exhausted
// heap fails as `<prefix>:memory`, any other exception as `<prefix>:failed`, with its text.
void RunIdentifiedGateway(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[],
                          void (*body)(Call&), const char* prefix);

// The argument table of a validating gateway: its usage text, how many outputs it makes, the class of
// every required input in order, how many optional trailing inputs follow (the debug flag), and the
// one message for any class mismatch.
struct Signature {
  template <size_t N>
  constexpr Signature(const char* usage_text, int output_count, const ClassId (&input_classes)[N],
                      int optional_count, const char* class_text)
      : usage(usage_text),
        outputs(output_count),
        classes(input_classes),
        required(static_cast<int>(N)),
        optional(optional_count),
        class_message(class_text) {}

  const char* usage;
  int outputs;
  const ClassId* classes;
  int required;
  int optional;
  const char* class_message;
};

// The opening steps of a validating gateway, in order: the counts (usage text), the class of every
// required input (class message at the first mismatch), that none of them is sparse or complex, and
// the debug flag when one is passed (read as a scalar, which the host reads right in any storage).
void CheckSignature(const Signature& signature, const Call& call);

}  // namespace gck
