#pragma once
// The threads one match runs on. They are started for the match and joined before it returns, so
// nothing of ours outlives a call: a process forked later, or a host that unloads the library,
// finds no thread and no threading runtime in any state, and the only runtime needed is the
// standard library's. The calling thread either leads the work itself or, when the caller wants
// to hear from the match, watches it: it forwards progress and asks whether to cancel every few
// milliseconds, while a lead thread does the work.

#include <cstdint>
#include <functional>
#include <type_traits>

namespace gck {

// What the thread that started a match wants to hear, on that thread. Either may be empty.
struct MatchWatch {
  std::function<void(int32_t done, int32_t total)> progress;  // may throw to cancel
  std::function<bool()> cancelled;                             // true (or a throw) cancels
};

// Runs `job` with a team of `threads` threads (at least 1; the lead counts as one) for its
// ParallelFor loops. Without a watch the calling thread leads. With one, a lead thread of the team
// runs the job and the calling thread delivers ReportProgress calls and polls `cancelled`; a
// cancel stops the loops at their next chunk or CheckCancelled() and the job leaves with
// MatchCancelled, or with the exception a callback threw. Every thread is joined before this
// returns or throws; the job's own exceptions pass through.
void RunOnTeam(int32_t threads, const MatchWatch& watch, const std::function<void()>& job);

// Threads for a match over `pixels` pixels when `requested` were asked for (0: every hardware
// thread): never more than there is work for.
int32_t TeamSize(int32_t requested, uint64_t pixels);

// From inside a job: throws MatchCancelled once the match has been cancelled.
void CheckCancelled();

// From inside a job: forwards (done, total) to the watch's progress on the calling thread and
// waits until it has been delivered and `cancelled` asked once more.
void ReportProgress(int32_t done, int32_t total);

using ChunkBody = void (*)(void* context, int64_t begin, int64_t end);

// Runs body(context, b, e) over [begin, end) in chunks of `grain` (0: a few per thread), shared
// out among the team of the calling thread, or on the calling thread alone when it leads no team
// (outside a job, or on a helper thread). Returns when every chunk is done; rethrows the first
// exception a chunk threw (the chunks not yet started are skipped).
void ParallelChunks(int64_t begin, int64_t end, int64_t grain, ChunkBody body, void* context);

// body(i) for every i in [begin, end), as ParallelChunks.
template <class Body>
void ParallelFor(int64_t begin, int64_t end, int64_t grain, Body&& body) {
  using Plain = std::remove_reference_t<Body>;
  ParallelChunks(
      begin, end, grain,
      [](void* context, int64_t b, int64_t e) {
        Plain& f = *static_cast<Plain*>(context);
        for (int64_t i = b; i < e; ++i) f(i);
      },
      const_cast<void*>(static_cast<const void*>(&body)));
}

// The size of the calling thread's team (1 outside a job).
int32_t TeamThreads();

}  // namespace gck
