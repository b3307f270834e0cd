// How soon the gckmatch command stops once interrupted: the 12 MP pair of bench/cancel_latency
// matched at the high setting on every core, and SIGINT (then SIGTERM) sent at several moments of
// its run. The latency runs from the signal to the process's end, with the output folder as it was
// before and no temporary file left: the signal thread, the match's next check for a cancel, the
// unwinding and the removal of what was begun.
// Run: command_interrupt [A.png B.png]  (default build/devset/adwaita-4mp_a.png and _b.png)
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>

#include "io/image_file.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// `image` continued by mirroring it to rows x cols, as bench/cancel_latency makes its pair.
gck::Image Mirrored(const gck::Image& image, int32_t rows, int32_t cols) {
  gck::Image out = gck::BlankImage(rows, cols, image.channels);
  const auto fold = [](int32_t i, int32_t n) {
    const int32_t period = 2 * n, m = i % period;
    return m < n ? m : period - 1 - m;
  };
  for (int32_t k = 0; k < image.channels; ++k)
    for (int32_t c = 0; c < cols; ++c)
      for (int32_t r = 0; r < rows; ++r)
        out.at(r, c, k) = image.at(fold(r, image.rows), fold(c, image.cols), k);
  return out;
}

// Runs gckmatch on the pair into `out`; with `signal`, sends it after `delay` seconds. Returns the
// seconds from the signal (or the start) to the end; kFinished for a run that finished before the
// signal came, and -1 for one that did not end as it should.
constexpr double kFinished = -2;
double Run(const std::string& a, const std::string& b, const fs::path& out, int signal,
           double delay) {
  std::fflush(stdout);  // the child would write what is pending a second time
  const pid_t child = fork();
  if (child == 0) {
    freopen("/dev/null", "w", stdout);
    freopen("/dev/null", "w", stderr);
    execl(GCKMATCH_PATH, GCKMATCH_PATH, "match", a.c_str(), b.c_str(), "--quality", "high",
          "--out", out.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  Clock::time_point from = Clock::now();
  if (signal) {
    std::this_thread::sleep_for(std::chrono::duration<double>(delay));
    from = Clock::now();
    kill(child, signal);
  }
  int status = 0;
  waitpid(child, &status, 0);
  const double seconds = Since(from);
  const bool finished = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  if (signal && finished) return kFinished;
  const bool stopped = WIFSIGNALED(status) && WTERMSIG(status) == signal && fs::is_empty(out);
  return (signal ? stopped : finished) ? seconds : -1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string path_a = argc == 3 ? argv[1] : "build/devset/adwaita-4mp_a.png";
  const std::string path_b = argc == 3 ? argv[2] : "build/devset/adwaita-4mp_b.png";
  gck::Image a, b;
  std::string error;
  if (!gck::ReadImage(path_a, &a, &error) || !gck::ReadImage(path_b, &b, &error)) {
    std::fprintf(stderr, "%s\n(make the pair with bench/devset/make_devset.py build/devset)\n",
                 error.c_str());
    return 1;
  }
  std::string scratch = (fs::temp_directory_path() / "command_interrupt.XXXXXX").string();
  if (!mkdtemp(scratch.data())) return 1;
  const fs::path dir = scratch;
  for (const auto& [image, name] : {std::pair{&a, "a.png"}, std::pair{&b, "b.png"}}) {
    std::FILE* file = std::fopen((dir / name).c_str(), "wb");
    if (!file || !gck::WritePng(file, Mirrored(*image, 3072, 4096)) || std::fclose(file) != 0)
      return 1;
  }
  const std::string big_a = dir / "a.png", big_b = dir / "b.png";
  const double match = Run(big_a, big_b, dir / "whole", 0, 0);
  std::printf("gckmatch match, 4096 x 3072 pixels, high setting, every core: %.2f s\n", match);
  std::printf("%8s %s\n", "signal", "seconds from the signal to the end at 5 %, 25 %, 50 %, 75 %, "
              "95 % of the match");
  double worst = 0;
  bool failed = match < 0;
  for (const int signal : {SIGINT, SIGTERM}) {
    std::printf("%8s", signal == SIGINT ? "SIGINT" : "SIGTERM");
    for (const double share : {0.05, 0.25, 0.5, 0.75, 0.95}) {
      fs::create_directories(dir / "cut");
      const double latency = Run(big_a, big_b, dir / "cut", signal, share * match);
      failed |= latency == -1;
      worst = std::max(worst, latency);
      if (latency == kFinished) {
        std::printf(" %8s", "finished");
      } else {
        std::printf(" %8.3f", latency);
      }
      std::fflush(stdout);
      fs::remove_all(dir / "cut");
    }
    std::printf("\n");
  }
  std::printf("worst latency: %.3f s%s\n", worst,
              failed ? "  -- A RUN DID NOT END AS IT SHOULD" : "");
  fs::remove_all(dir);
  return failed;
}
