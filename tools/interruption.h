#pragma once
// SIGINT (Ctrl-C) and SIGTERM as requests to stop: the first one is noted and the run stops at its
// next check, cleaning up after itself; a second one ends the process at once. Every thread keeps
// the signals blocked and one thread of their own waits for them, so they never cut into the work.

namespace gck {

// Blocks the signals and starts the thread that waits for them; call first, before any other
// thread is started, so that every thread inherits the block.
void CatchInterruptions();

// 0, or the signal that asked the run to stop.
int Interruption();

// While one lives, a second signal waits: what it guards (outputs taking their names) is never cut
// in half.
class HoldInterruptions {
 public:
  HoldInterruptions();
  ~HoldInterruptions();
  HoldInterruptions(const HoldInterruptions&) = delete;
  HoldInterruptions& operator=(const HoldInterruptions&) = delete;
};

// Prints "gckmatch: interrupted" and ends the process as the signal would have, so that a shell or
// make sees it stopped by the signal. Call once the run has removed what it had begun.
[[noreturn]] void EndAsInterrupted();

}  // namespace gck
