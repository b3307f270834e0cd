// Runs the built gckmatch program as a user does and checks its exit codes, messages and files.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tools/image_file.h"

#include <stb_image_write.h>

namespace gck {
namespace {

namespace fs = std::filesystem;

struct Outcome {
  int status;
  std::string output;  // stdout and stderr together
};

Outcome Gckmatch(const std::string& args) {
  const std::string command = std::string(GCKMATCH_PATH) + " " + args + " 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  Outcome run{-1, ""};
  if (!pipe) return run;
  char buffer[4096];
  size_t read;
  while ((read = fread(buffer, 1, sizeof buffer, pipe)) > 0) run.output.append(buffer, read);
  const int status = pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

std::string Slurp(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

class GckmatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("gckmatch_test_" +
            std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  // A small grey or colour PNG of the given size.
  std::string Png(const std::string& name, int rows, int cols, int channels) const {
    Image image = BlankImage(rows, cols, channels);
    for (size_t i = 0; i < image.pixels.size(); ++i)
      image.pixels[i] = static_cast<uint8_t>(i * 37 % 251);
    std::string error;
    EXPECT_TRUE(WritePng(Path(name), image, &error)) << error;
    return Path(name);
  }
  fs::path dir_;
};

TEST_F(GckmatchTest, MatchesTheBundledPair) {
  const std::string data = GCK_DATA_DIR;
  const Outcome run = Gckmatch("match " + data + "/motorcycle_left.png " + data +
                               "/motorcycle_right.png --out " + Path("out") + " --csv");
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("mean RMS patch error: "), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("363 x 243 patches of width 8"), std::string::npos) << run.output;
  const std::string npy = Slurp(Path("out/field.npy"));
  ASSERT_GT(npy.size(), 128u);
  EXPECT_EQ(npy.substr(0, 8), std::string("\x93NUMPY\x01\x00", 8));
  EXPECT_NE(npy.find("'descr': '<i4', 'fortran_order': False, 'shape': (243, 363, 1, 2), }"),
            std::string::npos);
  const size_t header =
      10 + static_cast<unsigned char>(npy[8]) + 256 * static_cast<unsigned char>(npy[9]);
  EXPECT_EQ(header % 64, 0u);
  EXPECT_EQ(npy.size(), header + 243 * 363 * 2 * 4);
  Image reconstruction;
  std::string error;
  ASSERT_TRUE(ReadImage(Path("out/reconstruction.png"), &reconstruction, &error)) << error;
  EXPECT_EQ(reconstruction.rows, 250);
  EXPECT_EQ(reconstruction.cols, 370);
  EXPECT_EQ(reconstruction.channels, 3);
  ASSERT_TRUE(ReadImage(Path("out/errors.png"), &reconstruction, &error)) << error;
  EXPECT_EQ(reconstruction.channels, 1);
  const std::string csv = Slurp(Path("out/field.csv"));
  EXPECT_EQ(csv.rfind("row,col,slot,match_row,match_col,error\n0,0,0,", 0), 0u);
  EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 1 + 243 * 363);
}

TEST_F(GckmatchTest, ReadsJpegAndGreyPng) {
  std::vector<uint8_t> rgb(40 * 30 * 3);
  for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<uint8_t>((i * 7) % 256);
  ASSERT_TRUE(stbi_write_jpg(Path("a.jpg").c_str(), 40, 30, 3, rgb.data(), 90));
  const std::string grey = Png("b.png", 28, 35, 1);
  const Outcome run = Gckmatch("match " + Path("a.jpg") + " " + grey + " -w 6 --out " + Path("out"));
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("35 x 25 patches of width 6"), std::string::npos) << run.output;
  Image reconstruction;
  std::string error;
  ASSERT_TRUE(ReadImage(Path("out/reconstruction.png"), &reconstruction, &error)) << error;
  EXPECT_EQ(reconstruction.channels, 1);  // made of B's pixels, which are grey
  EXPECT_EQ(reconstruction.rows, 30);
}

TEST_F(GckmatchTest, KNearestWithinOneImage) {
  const std::string a = Png("a.png", 30, 41, 1);
  const Outcome run = Gckmatch("match --self " + a + " --k 3 -w 5 --seed 9 --out " + Path("out"));
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_NE(Slurp(Path("out/field.npy")).find("'shape': (26, 37, 3, 2)"), std::string::npos);
  EXPECT_NE(Slurp(Path("out/errors.npy"))
                .find("'descr': '<f4', 'fortran_order': False, 'shape': (26, 37, 3), }"),
            std::string::npos);
}

TEST_F(GckmatchTest, BadInputEndsWithAClearMessage) {
  const std::string good = Png("good.png", 20, 24, 3);
  const std::string tiny = Png("tiny.png", 6, 40, 3);
  std::ofstream(Path("notes.png")) << "these are words, not pixels\n";
  const std::string match = "match --out " + Path("out") + " ";
  const struct {
    std::string args;
    int status;
    std::string message;
  } cases[] = {
      {match + Path("missing.png") + " " + good, 1,
       "gckmatch: cannot open '" + Path("missing.png") + "': no such file"},
      {match + Path("notes.png") + " " + good, 1,
       "gckmatch: cannot read image '" + Path("notes.png") + "': unknown image type"},
      {match + good + " " + tiny + " -w 7", 1,
       "gckmatch: patch width 7 is larger than a 40 x 6 image"},
      {match + good + " " + good + " -w 0", 2,
       "gckmatch: -w needs a whole number from 1 to 104, not '0'"},
      {match + good + " " + good + " --k 2x", 2, "gckmatch: --k needs a whole number"},
      {match + good + " " + good + " --seed", 2, "gckmatch: --seed needs a value"},
      {match + good + " " + good + " --fast", 2, "gckmatch: unknown option '--fast'"},
      {match + good, 2, "gckmatch: match takes two images, A and B"},
      {match + "--self " + good + " " + good, 2, "gckmatch: --self takes one image"},
      {"compare " + good + " " + good, 2, "gckmatch: unknown command 'compare'"},
      {"", 2, "gckmatch: no command given"},
  };
  for (const auto& c : cases) {
    const Outcome run = Gckmatch(c.args);
    EXPECT_EQ(run.status, c.status) << c.args << "\n" << run.output;
    EXPECT_EQ(run.output.rfind(c.message, 0), 0u) << c.args << "\n" << run.output;
  }
  EXPECT_FALSE(fs::exists(Path("out")));
}

TEST_F(GckmatchTest, HelpGoesToStandardOutput) {
  const Outcome run = Gckmatch("--help");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.output.rfind("usage: gckmatch match A.png B.png [options]\n", 0), 0u);
}

}  // namespace
}  // namespace gck
