#pragma once
// The development set's listing (bench/devset/make_devset.py) and the timing rule of the table
// programs that run on it.

#include <chrono>
#include <string>
#include <vector>

#include "matcher/field.h"

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

// Splits "--part P" off the arguments after the folder; the rest are pair names.
void ParsePartAndNames(int argc, char** argv, std::string* part, std::vector<std::string>* names);

struct Timed {
  Field field;
  double seconds;
};

// Small pairs run three times and keep the fastest: the machine is shared, and the first run also
// pays first-touch page faults. Large pairs run once.
template <class Run>
Timed Time(Run run, bool small) {
  Timed t{Field(), 1e30};
  for (int i = 0; i < (small ? 3 : 1); ++i) {
    const auto start = std::chrono::steady_clock::now();
    Field field = run();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (seconds < t.seconds) t = Timed{std::move(field), seconds};
  }
  return t;
}

}  // namespace gck
