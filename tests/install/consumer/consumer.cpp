// A user's program on the installed package: matches two images, as a pair and as a video of two
// frames, and prints the version it was built with and the field's mean RMS patch error, as the
// gckmatch command prints it.
#include <gckmatch/image_file.h>
#include <gckmatch/matcher.h>
#include <gckmatch/sequence.h>
#include <gckmatch/version.h>

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
  gck::Image a, b;
  std::string error;
  if (argc != 3 || !gck::ReadImage(argv[1], &a, &error) || !gck::ReadImage(argv[2], &b, &error)) {
    std::fprintf(stderr, "usage: consumer A.png B.png %s\n", error.c_str());
    return 1;
  }
  const gck::Field field = gck::MatchImages(a, b, gck::MatchOptions());
  // The two images as a video of two frames: the same field.
  gck::SequenceMatcher video{gck::MatchOptions()};
  video.Add(a);
  if (video.Add(b)->errors != field.errors) {
    std::fprintf(stderr, "the sequence's field differs from the pair's\n");
    return 1;
  }
  std::printf("gckmatch %s\nmean RMS patch error: %.4f\n", GCKMATCH_VERSION, field.MeanRmsError());
  return 0;
}
