#include "matcher/thread_team.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "matcher/matcher.h"

namespace gck {
namespace {

// How often the watching thread asks whether to cancel: a cancel lands well within 0.2 s.
constexpr std::chrono::milliseconds kPollInterval(10);

// A team's shared state: the loop being run, handed out in chunks to whoever asks next.
class Team {
 public:
  explicit Team(int32_t threads) {
    // A thread the system refuses leaves a smaller team: the results do not depend on its size.
    for (int32_t i = 1; i < threads; ++i) {
      try {
        helpers_.emplace_back([this] { Help(); });
      } catch (const std::system_error&) {
        break;
      }
    }
  }

  ~Team() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      exit_ = true;
    }
    wake_.notify_all();
    for (std::thread& helper : helpers_) helper.join();
  }

  Team(const Team&) = delete;
  Team& operator=(const Team&) = delete;

  int32_t size() const { return int32_t(helpers_.size()) + 1; }
  bool cancelled() const { return cancelled_.load(std::memory_order_relaxed); }
  void Cancel() { cancelled_.store(true, std::memory_order_relaxed); }

  // Run by the lead: the loop on every thread of the team, returning when all chunks are done.
  void Run(int64_t begin, int64_t end, int64_t grain, ChunkBody body, void* context) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      body_ = body, context_ = context, end_ = end, grain_ = grain;
      next_.store(begin, std::memory_order_relaxed);
      stop_.store(false, std::memory_order_relaxed);
      error_ = nullptr;
      busy_ = int32_t(helpers_.size());
      ++generation_;
    }
    wake_.notify_all();
    TakeChunks();
    std::unique_lock<std::mutex> lock(mutex_);
    done_.wait(lock, [this] { return busy_ == 0; });
    if (error_) std::rethrow_exception(std::exchange(error_, nullptr));
  }

 private:
  void Help();

  void TakeChunks() {
    while (!stop_.load(std::memory_order_relaxed)) {
      const int64_t b = next_.fetch_add(grain_, std::memory_order_relaxed);
      if (b >= end_) return;
      try {
        if (cancelled()) throw MatchCancelled();
        body_(context_, b, std::min(end_, b + grain_));
      } catch (...) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!error_) error_ = std::current_exception();
        stop_.store(true, std::memory_order_relaxed);
      }
    }
  }

  std::vector<std::thread> helpers_;
  std::mutex mutex_;
  std::condition_variable wake_, done_;
  bool exit_ = false;
  uint64_t generation_ = 0;
  int32_t busy_ = 0;
  ChunkBody body_ = nullptr;
  void* context_ = nullptr;
  int64_t end_ = 0, grain_ = 1;
  std::atomic<int64_t> next_{0};
  std::atomic<bool> stop_{false};
  std::atomic<bool> cancelled_{false};
  std::exception_ptr error_;
};

// Progress reports on their way from the lead to the watching thread, and the job's end. A report
// waits for its answer: the watcher has passed it on and asked whether to cancel, so the lead goes
// on only once a cancel the report prompted is in force, as when the callbacks ran on the lead.
class Mailbox {
 public:
  void Post(int32_t done, int32_t total) {
    std::unique_lock<std::mutex> lock(mutex_);
    reports_.emplace_back(done, total);
    const uint64_t ticket = ++posted_;
    changed_.notify_one();
    answered_.wait(lock, [&] { return answered_up_to_ >= ticket; });
  }
  void Finish() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      finished_ = true;
    }
    changed_.notify_one();
  }
  // Waits up to `timeout` for news; takes the reports and says whether the job has finished.
  bool Wait(std::chrono::milliseconds timeout, std::deque<std::pair<int32_t, int32_t>>* reports) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait_for(lock, timeout, [this] { return finished_ || !reports_.empty(); });
    reports->clear();
    reports->swap(reports_);
    taken_ = posted_;
    return finished_;
  }
  // The reports taken by the last Wait have been dealt with.
  void Answer() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      answered_up_to_ = taken_;
    }
    answered_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_, answered_;
  std::deque<std::pair<int32_t, int32_t>> reports_;
  uint64_t posted_ = 0, taken_ = 0, answered_up_to_ = 0;
  bool finished_ = false;
};

// What the calling thread is part of: the team it leads or helps, and where its reports go.
struct Membership {
  Team* team = nullptr;
  bool lead = false;
  Mailbox* mailbox = nullptr;
};
thread_local Membership current;

class Joined {
 public:
  explicit Joined(Membership membership) : saved_(current) { current = membership; }
  ~Joined() { current = saved_; }
  Joined(const Joined&) = delete;
  Joined& operator=(const Joined&) = delete;

 private:
  const Membership saved_;
};

void Team::Help() {
  const Joined joined({this, false, nullptr});
  uint64_t seen = 0;
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    wake_.wait(lock, [&] { return exit_ || generation_ != seen; });
    if (exit_) return;
    seen = generation_;
    lock.unlock();
    TakeChunks();
    lock.lock();
    if (--busy_ == 0) done_.notify_one();
  }
}

}  // namespace

int32_t TeamSize(int32_t requested, uint64_t pixels) {
  const int32_t hardware = std::max(1, int32_t(std::thread::hardware_concurrency()));
  // A thread is worth starting for a 64 x 64 image's work.
  const uint64_t useful = std::max<uint64_t>(1, pixels / 4096);
  return int32_t(std::min<uint64_t>(requested > 0 ? uint64_t(requested) : uint64_t(hardware), useful));
}

void RunOnTeam(int32_t threads, const MatchWatch& watch, const std::function<void()>& job) {
  Team team(std::max(1, threads));
  if (!watch.progress && !watch.cancelled) {
    const Joined joined({&team, true, nullptr});
    job();
    return;
  }
  Mailbox mailbox;
  std::exception_ptr job_error;
  std::thread lead;
  try {
    lead = std::thread([&] {
      const Joined joined({&team, true, &mailbox});
      try {
        job();
      } catch (...) {
        job_error = std::current_exception();
      }
      mailbox.Finish();
    });
  } catch (const std::system_error& e) {
    throw MatchError(std::string("cannot start a thread: ") + e.what());
  }
  std::exception_ptr watch_error;
  std::deque<std::pair<int32_t, int32_t>> reports;
  for (bool finished = false; !finished;) {
    finished = mailbox.Wait(kPollInterval, &reports);
    try {
      if (!watch_error) {
        for (const auto& [done, total] : reports)
          if (watch.progress) watch.progress(done, total);
        if (!finished && watch.cancelled && watch.cancelled()) team.Cancel();
      }
    } catch (...) {
      watch_error = std::current_exception();
      team.Cancel();
    }
    mailbox.Answer();
  }
  lead.join();
  if (watch_error) std::rethrow_exception(watch_error);
  if (job_error) std::rethrow_exception(job_error);
}

void CheckCancelled() {
  if (current.team && current.team->cancelled()) throw MatchCancelled();
}

void ReportProgress(int32_t done, int32_t total) {
  if (current.mailbox) current.mailbox->Post(done, total);
}

void ParallelChunks(int64_t begin, int64_t end, int64_t grain, ChunkBody body, void* context) {
  if (begin >= end) return;
  Team* team = current.lead ? current.team : nullptr;
  const int64_t threads = team ? team->size() : 1;
  if (grain <= 0) grain = std::max<int64_t>(1, (end - begin + 8 * threads - 1) / (8 * threads));
  if (threads > 1) return team->Run(begin, end, grain, body, context);
  // Alone, still chunk by chunk, so that a cancel is seen between them.
  for (int64_t b = begin; b < end; b += grain) {
    CheckCancelled();
    body(context, b, std::min(end, b + grain));
  }
}

int32_t TeamThreads() { return current.team ? current.team->size() : 1; }

}  // namespace gck
