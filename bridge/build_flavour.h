#pragma once
// The few behaviours in which the Windows build of a deliverable differs from the Linux build are
// parameters of one core; this is where a gateway learns which build it is part of. A Linux fuzz
// build can take the Windows behaviour, so that its paths run under the sanitizers.

namespace gck {

#if defined(_WIN32) || defined(GCK_WINDOWS_BEHAVIOUR)
constexpr bool kWindowsBuild = true;
#else
constexpr bool kWindowsBuild = false;
#endif

}  // namespace gck
