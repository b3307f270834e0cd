#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <iterator>
#include <random>
#include <string>

#include "io/field_files.h"
#include "io/field_pictures.h"
#include "io/image_file.h"
#include "io/offsets_picture.h"

namespace gck {
namespace {

// A picture of several megabytes, so that its compression takes several slices.
Image Noise(int rows, int cols, int channels) {
  std::mt19937 rng(5);
  Image image = BlankImage(rows, cols, channels);
  for (uint8_t& v : image.pixels) v = uint8_t(rng() % 7 + 120);
  return image;
}

Field Offsets(int rows, int cols) {
  Field field{rows, cols, 1, 4, 3, {}, {}, {}};
  for (int c = 0; c < cols; ++c)
    for (int r = 0; r < rows; ++r) {
      field.match_rows.push_back((r * 7) % rows);
      field.match_cols.push_back((c * 3) % cols);
      field.errors.push_back(float(r % 5));
    }
  return field;
}

// Each long output gives up once its stop says so, whenever that is: nothing written to the file,
// no picture made. A stop that never says so leaves every output as it is without one.
TEST(OutputStops, EveryLongOutputGivesUpWithinAndIsUnchangedOtherwise) {
  const Image big = Noise(1100, 1000, 3);
  const Field field = Offsets(1100 - 3, 1000 - 3);
  const Stop never = [] { return false; };

  std::FILE* plain = std::tmpfile();
  std::FILE* asked = std::tmpfile();
  ASSERT_TRUE(WritePng(plain, big));
  ASSERT_TRUE(WritePng(asked, big, never));
  ASSERT_EQ(std::ftell(plain), std::ftell(asked));
  const std::string path = (std::filesystem::temp_directory_path() /
                            ("output_stop_" + std::to_string(::getpid()) + ".png")).string();
  std::FILE* file = std::fopen(path.c_str(), "wb");
  ASSERT_TRUE(WritePng(file, big, never));
  std::fclose(file);
  Image back;
  std::string error;
  ASSERT_TRUE(ReadImage(path, &back, &error)) << error;
  std::filesystem::remove(path);
  EXPECT_EQ(back.pixels, big.pixels);
  std::fclose(plain);
  std::fclose(asked);

  // The field files, written a slice at a time, read back as the field.
  const std::string npy = path + ".npy";
  for (const bool errors : {false, true}) {
    file = std::fopen(npy.c_str(), "wb");
    ASSERT_TRUE(errors ? WriteErrorsNpy(file, field, never) : WriteFieldNpy(file, field, never));
    std::fclose(file);
    Field read = field;
    ASSERT_TRUE(errors ? ReadErrorsNpy(npy, &read, &error) : ReadFieldNpy(npy, &read, &error))
        << error;
    EXPECT_EQ(read.match_rows, field.match_rows);
    EXPECT_EQ(read.match_cols, field.match_cols);
    if (errors) {
      EXPECT_EQ(read.errors, field.errors);
    }
  }
  std::filesystem::remove(npy);

  EXPECT_EQ(Reconstruct(field, big, 1100, 1000, never).pixels,
            Reconstruct(field, big, 1100, 1000).pixels);
  EXPECT_EQ(OffsetsPicture(field, 1100, 1000, never).pixels,
            OffsetsPicture(field, 1100, 1000).pixels);

  // Each output asks its stop at least once per megabyte it makes; stopped at the first, a middle
  // and the last question, it gives up. The wide picture is one band of rows for the copy before
  // the compression: its questions are the compressor's.
  const Image wide = Noise(48, 25000, 3);
  const std::function<bool(const Stop&)> outputs[] = {
      [&](const Stop& stop) {
        std::FILE* out = std::tmpfile();
        const bool written = WritePng(out, wide, stop);
        EXPECT_TRUE(written || std::ftell(out) == 0);
        std::fclose(out);
        return written;
      },
      [&](const Stop& stop) {
        std::FILE* out = std::tmpfile();
        const bool written = WriteFieldNpy(out, field, stop) && WriteErrorsNpy(out, field, stop);
        std::fclose(out);
        return written;
      },
      [&](const Stop& stop) {
        std::FILE* out = std::tmpfile();
        const bool written = WriteFieldCsv(out, field, stop);
        std::fclose(out);
        return written;
      },
      [&](const Stop& stop) { return !Reconstruct(field, big, 1100, 1000, stop).pixels.empty(); },
      [&](const Stop& stop) { return !OffsetsPicture(field, 1100, 1000, stop).pixels.empty(); }};
  for (size_t o = 0; o < std::size(outputs); ++o) {
    int questions = 0;
    ASSERT_TRUE(outputs[o]([&] { return ++questions < 0; }));
    ASSERT_GE(questions, 3) << "output " << o;
    for (const int n : {1, (questions + 1) / 2, questions}) {
      int asked = 0;
      EXPECT_FALSE(outputs[o]([&] { return ++asked >= n; })) << "output " << o << ", stop " << n;
    }
  }
}

}  // namespace
}  // namespace gck
