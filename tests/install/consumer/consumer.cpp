// A user's program on the installed package: matches two images and prints the version it was
// built with and the field's mean RMS patch error, as the gckmatch command prints it.
#include <gckmatch/image_file.h>
#include <gckmatch/matcher.h>
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
  std::printf("gckmatch %s\nmean RMS patch error: %.4f\n", GCKMATCH_VERSION, field.MeanRmsError());
  return 0;
}
