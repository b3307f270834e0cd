#pragma once
// gckmatch match A B [options] and gckmatch match --self A [options]: the field of A's patches in
// B (or in A), written as .npy files and pictures into an output folder that takes them all at once.

#include "tools/command_line.h"

namespace gck {

// What RunMatch and RunSequence return for a run a signal stopped, once they have cleaned up.
constexpr int kInterrupted = -1;

// Runs the command; returns the exit status (0, or 1 with a message on stderr) or kInterrupted.
int RunMatch(const MatchCommand& command);

}  // namespace gck
