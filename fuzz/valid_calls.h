#pragma once
// A few valid calls of every deliverable, built from its argument list: the seed corpus of the fuzz
// targets (so that mutations start inside the cores, past the checks) and the starting points of
// the mutation tests.

#include <string>
#include <vector>

#include "fuzz/call_codec.h"

namespace gck::fuzz {

// Calls as the given build of `deliverable` accepts them (the Windows build of bucketfill takes a
// slot count, that of hash 32-bit keys). Empty for a name this file does not know.
std::vector<CallSpec> ValidCalls(const std::string& deliverable, bool windows_build);

}  // namespace gck::fuzz
