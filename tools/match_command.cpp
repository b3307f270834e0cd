#include "tools/match_command.h"

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "io/field_files.h"
#include "io/field_pictures.h"
#include "io/image_file.h"
#include "io/offsets_picture.h"
#include "matcher/matcher.h"
#include "tools/interruption.h"
#include "tools/output_folder.h"

namespace gck {
namespace {

using Clock = std::chrono::steady_clock;

int Fail(const std::string& message) {
  std::fprintf(stderr, "gckmatch: %s\n", message.c_str());
  return 1;
}

// Every file a run may write; a run without --csv removes the field.csv of an earlier one.
const std::vector<std::string> kOutputs = {"field.npy",  "errors.npy",  "reconstruction.png",
                                           "errors.png", "offsets.png", "field.csv"};

bool WriteOutputs(const MatchCommand& command, const Field& field, const Image& a,
                  const Image& b, OutputFolder* out, std::string* error) {
  // Each file is made as it is written, so that a stop between files spares the rest; each also
  // gives up within, a slice at a time.
  const Stop stop = [] { return Interruption() != 0; };
  std::vector<std::pair<std::string, std::function<bool(FILE*)>>> files = {
      {"field.npy", [&](FILE* f) { return WriteFieldNpy(f, field, stop); }},
      {"errors.npy", [&](FILE* f) { return WriteErrorsNpy(f, field, stop); }},
      {"reconstruction.png",
       [&](FILE* f) { return WritePng(f, Reconstruct(field, b, a.rows, a.cols, stop), stop); }},
      {"errors.png", [&](FILE* f) { return WritePng(f, ErrorImage(field, a.rows, a.cols), stop); }},
      {"offsets.png",
       [&](FILE* f) { return WritePng(f, OffsetsPicture(field, a.rows, a.cols, stop), stop); }}};
  if (command.csv)
    files.emplace_back("field.csv", [&](FILE* f) { return WriteFieldCsv(f, field, stop); });
  for (const auto& [name, write] : files)
    if (!out->Write(name, write, error)) return false;
  const HoldInterruptions hold;
  return out->Commit(error);
}

}  // namespace

int RunMatch(const MatchCommand& command) {
  std::string error;
  Image a, b;
  if (!ReadImage(command.image_a, &a, &error)) return Fail(error);
  if (Interruption()) return kInterrupted;
  if (!command.self && !ReadImage(command.image_b, &b, &error)) return Fail(error);
  if (Interruption()) return kInterrupted;
  const Image& target = command.self ? a : b;
  MatchOptions options = command.options;
  Field start;
  if (!command.init.empty()) {
    if (!ReadFieldNpy(command.init, &start, &error)) return Fail(error);
    if (!command.init_errors.empty() && !ReadErrorsNpy(command.init_errors, &start, &error))
      return Fail(error);
    options.start_field = &start;
  }
  try {
    CheckMatchable(a, target, options, command.self);
    CheckMemory(MatchMemory(a, target, command.options, command.self));
  } catch (const MatchError& e) {
    return Fail(e.what());
  }
  // The folder is checked before the work, which can take minutes.
  OutputFolder out(command.out_dir, kOutputs, [] { return Interruption() != 0; });
  if (!out.Prepare(&error)) return Fail(error);

  const Clock::time_point began = Clock::now();
  options.cancelled = [] { return Interruption() != 0; };
  options.progress = [began](int32_t done, int32_t total) {
    // A progress line only once the work has taken a second.
    if (Clock::now() - began < std::chrono::seconds(1)) return;
    if (done == 0) {
      std::fprintf(stderr, "gckmatch: projections done\n");
    } else {
      std::fprintf(stderr, "gckmatch: sweep %d of %d\n", done, total);
    }
  };
  Field field;
  try {
    field = command.self ? MatchSelf(a, options) : MatchImages(a, b, options);
  } catch (const MatchError& e) {
    return Fail(e.what());
  } catch (const MatchCancelled&) {
    return kInterrupted;
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - began).count();
  if (!WriteOutputs(command, field, a, target, &out, &error))
    return Interruption() ? kInterrupted : Fail(error);
  std::printf("matched %d x %d patches of width %d (k = %d) in %.3f s\n", field.cols, field.rows,
              field.width, field.k, seconds);
  std::printf("mean RMS patch error: %.4f\n", field.MeanRmsError());
  std::printf("outputs in %s\n", command.out_dir.c_str());
  return 0;
}

}  // namespace gck
