#pragma once
// The development set's listing (bench/devset/make_devset.py) and the timing rule of the table
// programs that run on it.

#include <ctime>
#include <string>
#include <vector>

#include "matcher/field.h"
#include "matcher/matcher.h"

namespace gck {

struct DevsetPair {
  std::string name, kind, file_a, file_b;
  std::string part;  // "tune": settings are chosen on it; "held": figures are reported on it
};

// The pairs of DIR/pairs.txt whose part is `part` ("all": every pair) and, when `names` is not
// empty, whose name is listed. False, with a message, when there is no listing.
bool ReadDevset(const std::string& dir, const std::string& part,
                const std::vector<std::string>& names, std::vector<DevsetPair>* pairs,
                std::string* error);

// Changes the options by "key=value,..." (levels, passes, radius, kernels, leaf, ... as the
// MatchOptions fields); false, with a message on stderr, for an unknown key. Null changes nothing.
bool ApplySettings(const char* text, MatchOptions* options);

// Splits "--part P" off the arguments after the folder; the rest are pair names.
void ParsePartAndNames(int argc, char** argv, std::string* part, std::vector<std::string>* names);

// The pairs of `dir` that the arguments after the folder ask for (`part` keeps its default unless
// "--part" is given); false, with the reason on stderr, when there is no listing.
bool PairsOfArguments(int argc, char** argv, const std::string& dir, std::string* part,
                      std::vector<DevsetPair>* pairs);

struct Timed {
  Field field;
  double seconds;
};

// The process's processor time: the runs measured take one thread, and on a machine shared with
// other work the time they wait for a core is not theirs.
inline double ProcessSeconds() {
  timespec now;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return double(now.tv_sec) + 1e-9 * double(now.tv_nsec);
}

// Runs `run` once into `best`, keeping the faster of the two runs.
template <class Run>
void TimeInto(Run run, Timed* best) {
  const double start = ProcessSeconds();
  Field field = run();
  const double seconds = ProcessSeconds() - start;
  if (seconds < best->seconds) *best = Timed{std::move(field), seconds};
}

// Small pairs run three times and keep the fastest (the first run also pays first-touch page
// faults), large pairs once. Callers timing several methods take turns, one run of each per round.
inline int Rounds(bool small) { return small ? 3 : 1; }

template <class Run>
Timed Time(Run run, bool small) {
  Timed t{Field(), 1e30};
  for (int i = 0; i < Rounds(small); ++i) TimeInto(run, &t);
  return t;
}

}  // namespace gck
