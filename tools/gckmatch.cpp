// gckmatch match A.png B.png [options]: the nearest-neighbour field of A's patches in B, written as
// .npy files and pictures; gckmatch sequence FRAMES... [options]: the fields along a video (see
// tools/sequence_command.h). Run with --help for the options.
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "gckmatch/version.h"
#include "io/field_files.h"
#include "io/field_pictures.h"
#include "io/image_file.h"
#include "matcher/matcher.h"
#include "tools/command_line.h"
#include "tools/output_folder.h"
#include "tools/sequence_command.h"

namespace {

using Clock = std::chrono::steady_clock;

int Fail(const std::string& message) {
  std::fprintf(stderr, "gckmatch: %s\n", message.c_str());
  return 1;
}

// Every file a run may write; a run without --csv removes the field.csv of an earlier one.
const std::vector<std::string> kOutputs = {"field.npy", "errors.npy", "reconstruction.png",
                                           "errors.png", "field.csv"};

bool WriteOutputs(const gck::MatchCommand& command, const gck::Field& field, const gck::Image& a,
                  const gck::Image& b, gck::OutputFolder* out, std::string* error) {
  const gck::Image reconstruction = gck::Reconstruct(field, b, a.rows, a.cols);
  const gck::Image error_image = gck::ErrorImage(field, a.rows, a.cols);
  std::vector<std::pair<std::string, std::function<bool(FILE*)>>> files = {
      {"field.npy", [&](FILE* f) { return gck::WriteFieldNpy(f, field); }},
      {"errors.npy", [&](FILE* f) { return gck::WriteErrorsNpy(f, field); }},
      {"reconstruction.png", [&](FILE* f) { return gck::WritePng(f, reconstruction); }},
      {"errors.png", [&](FILE* f) { return gck::WritePng(f, error_image); }}};
  if (command.csv)
    files.emplace_back("field.csv", [&](FILE* f) { return gck::WriteFieldCsv(f, field); });
  for (const auto& [name, write] : files)
    if (!out->Write(name, write, error)) return false;
  return out->Commit(error);
}

}  // namespace

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
  if (command.sequence) return gck::RunSequence(command);
  gck::Image a, b;
  if (!gck::ReadImage(command.image_a, &a, &error)) return Fail(error);
  if (!command.self && !gck::ReadImage(command.image_b, &b, &error)) return Fail(error);
  try {
    gck::CheckMatchable(a, command.self ? a : b, command.options, command.self);
  } catch (const gck::MatchError& e) {
    return Fail(e.what());
  }
  // The folder is checked before the work, which can take minutes.
  gck::OutputFolder out(command.out_dir, kOutputs);
  if (!out.Prepare(&error)) return Fail(error);

  const Clock::time_point start = Clock::now();
  // A progress line only once the work has taken a second.
  command.options.progress = [start](int32_t done, int32_t total) {
    if (Clock::now() - start < std::chrono::seconds(1)) return;
    if (done == 0) {
      std::fprintf(stderr, "gckmatch: projections done\n");
    } else {
      std::fprintf(stderr, "gckmatch: sweep %d of %d\n", done, total);
    }
  };
  gck::Field field;
  try {
    field =
        command.self ? gck::MatchSelf(a, command.options) : gck::MatchImages(a, b, command.options);
  } catch (const gck::MatchError& e) {
    return Fail(e.what());
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  if (!WriteOutputs(command, field, a, command.self ? a : b, &out, &error)) return Fail(error);
  std::printf("matched %d x %d patches of width %d (k = %d) in %.3f s\n", field.cols, field.rows,
              field.width, field.k, seconds);
  std::printf("mean RMS patch error: %.4f\n", field.MeanRmsError());
  std::printf("outputs in %s\n", command.out_dir.c_str());
  return 0;
}
