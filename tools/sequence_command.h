#pragma once
// gckmatch sequence FRAMES... [options]: a field for every pair of frames `step` apart, each frame
// read and prepared once, written pair by pair so that memory holds only `step` + 1 frames.

#include "tools/command_line.h"

namespace gck {

// Runs the command; returns the exit status (0, or 1 with a message on stderr).
int RunSequence(const MatchCommand& command);

}  // namespace gck
