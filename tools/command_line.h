#pragma once
// The command line of gckmatch: `gckmatch match A B [options]`, `gckmatch match --self A
// [options]` or `gckmatch sequence FRAMES... [options]`.

#include <string>
#include <vector>

#include "matcher/matcher.h"

namespace gck {

struct MatchCommand {
  bool sequence = false;            // the sequence command, not match
  std::vector<std::string> frames;  // of the sequence: image files, or one folder of them
  int32_t step = 1;                 // each frame is matched to the one `step` frames ahead
  std::string image_a;
  std::string image_b;  // empty with --self
  bool self = false;
  bool csv = false;
  bool replace = false;  // sequence: replace an earlier run's files in the output folder
  std::string init;         // match: a field.npy to start from
  std::string init_errors;  // match: its errors.npy
  bool temporal = false;    // sequence: each pair starts from the pair before
  bool offsets = false;     // sequence: also offsets_I_J.png
  bool help = false;
  bool version = false;
  std::string out_dir = "gckmatch-out";
  Quality quality = Quality::kDefault;
  MatchOptions options;
};

// The text printed for --help and after a usage error.
extern const char kUsage[];

// Parses the arguments after the program name. Returns false with a one-line reason on a bad
// command, unknown option, missing or malformed value.
bool ParseCommand(const std::vector<std::string>& args, MatchCommand* command, std::string* error);

}  // namespace gck
