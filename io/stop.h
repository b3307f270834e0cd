#pragma once
// A question a long piece of output work asks now and then: should it give up? A user's Ctrl-C
// should not wait for a 12 MP picture to be finished.

#include <functional>

namespace gck {

using Stop = std::function<bool()>;

inline bool Stopped(const Stop& stop) { return stop && stop(); }

}  // namespace gck
