#include "matcher/thread_team.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <random>
#include <stdexcept>
#include <vector>

#include "matcher/matcher.h"
#include "matcher/sequence.h"

namespace gck {
namespace {

// Every index once, whatever the team and the chunking; a chunk's exception comes out of the loop
// and the team goes on to the next loop.
TEST(ThreadTeam, RunsEveryIndexOnceAndPassesExceptionsOn) {
  for (const int32_t threads : {1, 2, 5})
    RunOnTeam(threads, {}, [&] {
      for (const int64_t grain : {0, 1, 7, 1000}) {
        std::vector<std::atomic<int>> seen(1234);
        ParallelFor(3, 1234, grain, [&](int64_t i) { seen[i]++; });
        for (int64_t i = 0; i < 1234; ++i) ASSERT_EQ(seen[i], i >= 3 ? 1 : 0) << threads << " " << i;
      }
      EXPECT_THROW(ParallelFor(0, 100, 1, [](int64_t i) { if (i == 42) throw std::range_error("42"); }),
                   std::range_error);
      std::atomic<int64_t> sum{0};
      ParallelFor(0, 100, 3, [&](int64_t i) { sum += i; });
      EXPECT_EQ(sum, 4950);
    });
}

Image Noise(int rows, int cols, unsigned seed) {
  std::mt19937 rng(seed);
  Image image = BlankImage(rows, cols, 3);
  for (uint8_t& v : image.pixels) v = static_cast<uint8_t>(rng());
  return image;
}

// The match waits for each progress report to be delivered and `cancelled` to be asked after it
// (with or without a progress callback), so a cancel prompted by the first report stops the match
// before any level ends, on any machine.
TEST(MatchImages, StopsWhenCancelledAndPassesACallbackExceptionOn) {
  const Image a = Noise(120, 130, 1), b = Noise(110, 140, 2);
  for (const int32_t threads : {1, 2}) {
    MatchOptions options;
    options.threads = threads;
    int reports = 0;
    options.progress = [&](int32_t, int32_t) { ++reports; };
    options.cancelled = [&] { return reports > 0; };
    EXPECT_THROW(MatchImages(a, b, options), MatchCancelled);
    EXPECT_EQ(reports, 1);
    SequenceMatcher sequence(options);
    reports = 0;
    EXPECT_NO_THROW(sequence.Add(a));  // no pair yet, no report
    EXPECT_THROW(sequence.Add(a), MatchCancelled);

    options.cancelled = nullptr;
    options.progress = [](int32_t, int32_t) { throw std::domain_error("stop"); };
    EXPECT_THROW(MatchSelf(a, options), std::domain_error);
    options.progress = nullptr;
    options.cancelled = []() -> bool { throw std::domain_error("stop"); };
    EXPECT_THROW(MatchImages(a, b, options), std::domain_error);
  }
}

// No thread of a match outlives it: a process forked after a match on several threads matches
// again in the child, on several threads, and gets the same field.
TEST(MatchImages, AForkedProcessMatchesAsItsParent) {
  const Image a = Noise(90, 100, 3), b = Noise(80, 120, 4);
  MatchOptions options;
  options.threads = 2;
  const Field parent = MatchImages(a, b, options);
  const pid_t child = fork();
  ASSERT_NE(child, -1);
  if (child == 0) {
    const Field again = MatchImages(a, b, options);
    _exit(again.match_rows == parent.match_rows && again.errors == parent.errors ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST(MatchImages, RefusesMoreThanTheMostThreads) {
  const Image a = Noise(20, 30, 5);
  MatchOptions options;
  options.threads = kMaxThreads + 1;
  EXPECT_THROW(MatchImages(a, a, options), MatchError);
  options.threads = -1;
  EXPECT_THROW(MatchImages(a, a, options), MatchError);
  options.threads = kMaxThreads;  // asked for, but no more are started than a 20 x 30 pair needs
  EXPECT_EQ(MatchImages(a, a, options).rows, 13);
}

}  // namespace
}  // namespace gck
