#include "tools/interruption.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <thread>

namespace gck {
namespace {

std::atomic<int> requested{0};
std::atomic<int> holds{0};

sigset_t Signals() {
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  return signals;
}

// Ends the process by `signal` itself, from whichever thread calls it.
[[noreturn]] void DieOf(int signal) {
  ::signal(signal, SIG_DFL);
  const sigset_t signals = Signals();
  pthread_sigmask(SIG_UNBLOCK, &signals, nullptr);
  raise(signal);
  _exit(128 + signal);  // not reached
}

void WaitForSignals() {
  const sigset_t signals = Signals();
  for (;;) {
    int signal = 0;
    if (sigwait(&signals, &signal) != 0) continue;
    int none = 0;
    if (requested.compare_exchange_strong(none, signal) || holds > 0) continue;
    DieOf(signal);
  }
}

}  // namespace

void CatchInterruptions() {
  const sigset_t signals = Signals();
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  std::thread(WaitForSignals).detach();
}

int Interruption() { return requested; }

HoldInterruptions::HoldInterruptions() { ++holds; }
HoldInterruptions::~HoldInterruptions() { --holds; }

void EndAsInterrupted() {
  std::fflush(stdout);
  std::fputs("gckmatch: interrupted\n", stderr);
  DieOf(requested ? int(requested) : SIGINT);
}

}  // namespace gck
