// gckmatch match A.png B.png [options]: the nearest-neighbour field of A's patches in B, written as
// .npy files and pictures (see tools/match_command.h); gckmatch sequence FRAMES... [options]: the
// fields along a video (see tools/sequence_command.h). Run with --help for the options.
#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "gckmatch/version.h"
#include "tools/command_line.h"
#include "tools/interruption.h"
#include "tools/match_command.h"
#include "tools/sequence_command.h"

int main(int argc, char** argv) {
  gck::MatchCommand command;
  std::string error;
  if (!gck::ParseCommand(std::vector<std::string>(argv + 1, argv + argc), &command, &error)) {
    std::fprintf(stderr, "gckmatch: %s\n%s", error.c_str(), gck::kUsage);
    return 2;
  }
  if (command.help) {
    std::fputs(gck::kUsage, stdout);
    return 0;
  }
  if (command.version) {
    std::printf("gckmatch %s\n", GCKMATCH_VERSION);
    return 0;
  }
  gck::CatchInterruptions();
  int status = 1;
  try {
    status = command.sequence ? gck::RunSequence(command) : gck::RunMatch(command);
  } catch (const std::bad_alloc&) {
    // The estimate before the match lets most such runs not begin; this is the rest.
    std::fprintf(stderr, "gckmatch: out of memory\n");
    return 1;
  }
  if (status == gck::kInterrupted) gck::EndAsInterrupted();
  return status;
}
