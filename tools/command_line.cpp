#include "tools/command_line.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>

#include "error/patch_error.h"

namespace gck {

const char kUsage[] =
    "usage: gckmatch match A.png B.png [options]\n"
    "       gckmatch match --self A.png [options]\n"
    "       gckmatch sequence FRAMES... [options]\n"
    "Finds for every patch of A its best match in B (or its k best, or its k nearest in A itself)\n"
    "and writes field.npy, errors.npy, reconstruction.png, errors.png and offsets.png (the\n"
    "offsets as colours: hue the direction, saturation the length, the key beside) to the output\n"
    "folder.\n"
    "sequence matches every frame to the next (or the one --step frames ahead) and writes each\n"
    "pair's field_I_J.npy and errors_I_J.npy (I, J: the frames' numbers from 0000, listed in\n"
    "frames.txt). FRAMES are image files, or one folder whose png and jpg files are taken in name\n"
    "order (numbers by value: frame2 before frame10).\n"
    "options:\n"
    "  -w, --width N   patch width (default 8)\n"
    "  --k N           matches per patch (default 1)\n"
    "  --self          match: A against itself, the k nearest other patches\n"
    "  --out DIR       output folder (default gckmatch-out)\n"
    "  --seed N        random start (default 1); the same seed gives the same field\n"
    "  --csv           match: also write field.csv\n"
    "  --quality Q     fast, default, high or best: each more accurate than the one before, for\n"
    "                  more time (docs/benchmarks.md has the measured curve)\n"
    "  --threads N     threads to use (default 0: every core); the field is the same for any N\n"
    "  --init F.npy    match: start from that field (a field.npy for this A) instead of from\n"
    "                  scratch; no patch ends worse than its start\n"
    "  --init-errors E.npy\n"
    "                  match: its errors.npy: patches whose start still measures that error\n"
    "                  are not searched again, so re-matching after a small edit is quick\n"
    "  --step S        sequence: match each frame to the one S frames ahead (default 1)\n"
    "  --temporal      sequence: start each pair from the pair before; after a cut, afresh\n"
    "  --offsets       sequence: also write each pair's offsets picture, offsets_I_J.png\n"
    "  --replace       sequence: replace the files of an earlier run in the output folder\n"
    "  -h, --help      this text\n"
    "  --version       the version of gckmatch\n";

namespace {

bool ParseInt(const std::string& name, const std::string& text, long low, long high, long* value,
              std::string* error) {
  char* end = nullptr;
  errno = 0;
  const long parsed = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || errno != 0 || parsed < low || parsed > high) {
    *error = name + " needs a whole number from " + std::to_string(low) + " to " +
             std::to_string(high) + ", not '" + text + "'";
    return false;
  }
  *value = parsed;
  return true;
}

bool LooksLikeOption(const std::string& arg) {
  return arg.size() > 1 && arg[0] == '-' && !std::isdigit(static_cast<unsigned char>(arg[1]));
}

}  // namespace

bool ParseCommand(const std::vector<std::string>& args, MatchCommand* command, std::string* error) {
  if (args.empty()) {
    *error = "no command given";
    return false;
  }
  if (args[0] == "-h" || args[0] == "--help") {
    command->help = true;
    return true;
  }
  if (args[0] == "--version") {
    command->version = true;
    return true;
  }
  if (args[0] != "match" && args[0] != "sequence") {
    *error = "unknown command '" + args[0] + "'";
    return false;
  }
  command->sequence = args[0] == "sequence";
  std::vector<std::string> images;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const auto value = [&](std::string* out) {
      // An option where the value should be means the value is missing; "-3" is a value.
      if (i + 1 >= args.size() || LooksLikeOption(args[i + 1])) {
        *error = arg + " needs a value";
        return false;
      }
      *out = args[++i];
      return true;
    };
    std::string text;
    long number = 0;
    // Options of the other command.
    if (command->sequence
            ? arg == "--self" || arg == "--csv" || arg == "--init" || arg == "--init-errors"
            : arg == "--step" || arg == "--replace" || arg == "--temporal" || arg == "--offsets") {
      *error = arg + " is no option of " + args[0];
      return false;
    }
    if (arg == "-h" || arg == "--help") {
      command->help = true;
    } else if (arg == "--self") {
      command->self = true;
    } else if (arg == "--csv") {
      command->csv = true;
    } else if (arg == "--replace") {
      command->replace = true;
    } else if (arg == "--temporal") {
      command->temporal = true;
    } else if (arg == "--offsets") {
      command->offsets = true;
    } else if (arg == "--init") {
      if (!value(&command->init)) return false;
    } else if (arg == "--init-errors") {
      if (!value(&command->init_errors)) return false;
    } else if (arg == "--out") {
      if (!value(&command->out_dir)) return false;
    } else if (arg == "-w" || arg == "--width") {
      if (!value(&text) || !ParseInt(arg, text, 1, MaxPatchWidth(3), &number, error)) return false;
      command->options.width = static_cast<int32_t>(number);
    } else if (arg == "--k") {
      if (!value(&text) || !ParseInt(arg, text, 1, 64, &number, error)) return false;
      command->options.k = static_cast<int32_t>(number);
    } else if (arg == "--seed") {
      if (!value(&text) || !ParseInt(arg, text, 0, 2147483647, &number, error)) return false;
      command->options.seed = static_cast<uint64_t>(number);
    } else if (arg == "--step") {
      if (!value(&text) || !ParseInt(arg, text, 1, 65535, &number, error)) return false;
      command->step = static_cast<int32_t>(number);
    } else if (arg == "--threads") {
      if (!value(&text) || !ParseInt(arg, text, 0, 1024, &number, error)) return false;
      command->options.threads = static_cast<int32_t>(number);
    } else if (arg == "--quality") {
      if (!value(&text)) return false;
      if (!ParseQuality(text, &command->quality)) {
        *error = "--quality is one of " + QualityNames() + ", not '" + text + "'";
        return false;
      }
    } else if (arg.size() > 1 && arg[0] == '-') {
      *error = "unknown option '" + arg + "'";
      return false;
    } else {
      images.push_back(arg);
    }
  }
  if (command->help) return true;
  // The setting's search effort, with the options given on the command line.
  MatchOptions chosen = QualityOptions(command->quality);
  chosen.width = command->options.width;
  chosen.k = command->options.k;
  chosen.seed = command->options.seed;
  chosen.threads = command->options.threads;
  command->options = chosen;
  if (command->sequence) {
    if (images.empty()) {
      *error = "sequence takes frames: image files or one folder of them";
      return false;
    }
    command->frames = images;
    return true;
  }
  if (!command->init_errors.empty() && command->init.empty()) {
    *error = "--init-errors needs --init beside it";
    return false;
  }
  const size_t wanted = command->self ? 1 : 2;
  if (images.size() != wanted) {
    *error = command->self ? "--self takes one image" : "match takes two images, A and B";
    return false;
  }
  command->image_a = images[0];
  if (!command->self) command->image_b = images[1];
  return true;
}

}  // namespace gck
