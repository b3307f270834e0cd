#pragma once
// The few behaviours in which the Windows build of a deliverable differs from the Linux build are
// parameters of one core; this is where a gateway learns which build it is part of.

namespace gck {

#if defined(_WIN32)
constexpr bool kWindowsBuild = true;
#else
constexpr bool kWindowsBuild = false;
#endif

}  // namespace gck
