// Runs the built gckmatch program as a user does and checks its exit codes, messages and files.
#include <gtest/gtest.h>
#include <stb_image_write.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "io/image_file.h"

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
  // A small grey or colour PNG of the given size; `shift` moves its contents by as many columns.
  std::string Png(const std::string& name, int rows, int cols, int channels, int shift = 0) const {
    Image image = BlankImage(rows, cols, channels);
    for (size_t i = 0; i < image.pixels.size(); ++i)
      image.pixels[i] = static_cast<uint8_t>((i + size_t(shift) * rows) * 37 % 251);
    FILE* file = std::fopen(Path(name).c_str(), "wb");
    EXPECT_TRUE(file && WritePng(file, image));
    if (file) std::fclose(file);
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
  const Outcome run =
      Gckmatch("match " + Path("a.jpg") + " " + grey + " -w 6 --out " + Path("out"));
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

// The names in `dir`, sorted, hidden ones included.
std::vector<std::string> Names(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

TEST_F(GckmatchTest, AFailedWriteIsAnErrorAndLeavesTheEarlierRunAsItWas) {
  const std::string pair = Png("a.png", 20, 24, 3) + " " + Png("b.png", 22, 19, 3);
  const std::string run_csv = "match " + pair + " -w 5 --csv --out " + Path("out");
  ASSERT_EQ(Gckmatch(run_csv).status, 0);
  const std::vector<std::string> names = Names(Path("out"));
  const std::string field = Slurp(Path("out/field.npy"));
  // Outputs small enough to sit in a write buffer until the file is closed, too.
  for (const std::string name : {"field.npy", "reconstruction.png", "errors.png", "field.csv"}) {
    fs::remove(Path("out/" + name));
    fs::create_symlink("/dev/full", Path("out/" + name));
    const Outcome run = Gckmatch("match " + pair + " -w 4 --csv --out " + Path("out"));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.output,
              "gckmatch: cannot write '" + Path("out/" + name) + "': No space left on device\n");
    EXPECT_EQ(Names(Path("out")), names);
    fs::remove(Path("out/" + name));
    ASSERT_EQ(Gckmatch(run_csv).status, 0);
  }
  EXPECT_EQ(Slurp(Path("out/field.npy")), field);
  // A run without --csv leaves no table of an earlier run.
  ASSERT_EQ(Gckmatch("match " + pair + " -w 5 --out " + Path("out")).status, 0);
  EXPECT_FALSE(fs::exists(Path("out/field.csv")));
  fs::remove(Path("out/errors.npy"));
  fs::create_directories(Path("out/errors.npy/taken"));
  const Outcome run = Gckmatch("match " + pair + " -w 5 --out " + Path("out"));
  EXPECT_EQ(run.output,
            "gckmatch: cannot write '" + Path("out/errors.npy") + "': Is a directory\n");
}

TEST_F(GckmatchTest, TheOutputFolderIsCheckedBeforeTheMatch) {
  const std::string pair = Png("a.png", 20, 24, 3) + " " + Png("b.png", 22, 19, 3);
  Outcome run = Gckmatch("match " + pair + " --out " + Path("a.png/out"));
  EXPECT_EQ(run.output,
            "gckmatch: cannot make the folder '" + Path("a.png/out") + "': Not a directory\n");
  // A folder that exists but takes no files: this process's own folder in /proc.
  run = Gckmatch("match " + pair + " --out /proc/self");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.output.rfind("gckmatch: cannot write in the folder '/proc/self': ", 0), 0u);
}

TEST_F(GckmatchTest, AsManyPatchesAsMatchesAreEnough) {
  const std::string a = Png("a.png", 20, 17, 3);
  const std::string nine = Png("nine.png", 10, 10, 3);  // 3 x 3 patches of width 8
  const std::string two = Png("two.png", 9, 8, 1);      // 2 x 1
  for (const std::string& args :
       {a + " " + nine + " --k 9", "--self " + nine + " --k 8", "--self " + two}) {
    const Outcome run = Gckmatch("match " + args + " -w 8 --csv --out " + Path("out"));
    ASSERT_EQ(run.status, 0) << args << "\n" << run.output;
    // row,col,slot,match_row,match_col,error: every patch's k matches are distinct, within one
    // image other patches.
    std::istringstream csv(Slurp(Path("out/field.csv")));
    std::string line;
    std::getline(csv, line);
    std::set<std::string> seen;
    while (std::getline(csv, line)) {
      int r, c, s, rb, cb;
      ASSERT_EQ(std::sscanf(line.c_str(), "%d,%d,%d,%d,%d,", &r, &c, &s, &rb, &cb), 5);
      if (s == 0) seen.clear();
      if (s == 0 && args.rfind("--self", 0) == 0)
        seen = {std::to_string(r) + "," + std::to_string(c)};
      EXPECT_TRUE(seen.insert(std::to_string(rb) + "," + std::to_string(cb)).second) << line;
    }
  }
  const std::string refused[][2] = {
      {a + " " + nine + " -w 8 --k 10", "gckmatch: too few patches for k = 10\n"},
      {"--self " + nine + " -w 8 --k 9", "gckmatch: too few patches for k = 9\n"},
      {a + " " + nine + " --k --out " + Path("out"), "gckmatch: --k needs a value\n"}};
  for (const auto& [args, message] : refused)
    EXPECT_EQ(Gckmatch("match " + args).output.rfind(message, 0), 0u) << args;
  // A PNG header declaring 60000 x 60000 pixels, and nothing more.
  const unsigned char header[] = {0x89, 'P',  'N', 'G', '\r', '\n', 0x1A, '\n', 0,
                                  0,    0,    13,  'I', 'H',  'D',  'R',  0,    0,
                                  0xEA, 0x60, 0,   0,   0xEA, 0x60, 8,    2};
  std::ofstream(Path("huge.png"), std::ios::binary)
      .write(reinterpret_cast<const char*>(header), sizeof header);
  EXPECT_EQ(Gckmatch("match " + Path("huge.png") + " " + a).output,
            "gckmatch: cannot read image '" + Path("huge.png") +
                "': 60000 x 60000 pixels exceed the size limit of 2^30 bytes\n");
}

TEST_F(GckmatchTest, SequenceFieldsAreThoseOfSeparateMatches) {
  std::vector<std::string> frames;
  for (int t = 0; t < 4; ++t) frames.push_back(Png("f" + std::to_string(t) + ".png", 23, 29, 3, t));
  const std::string options = " -w 5 --k 2 --seed 3 --threads 2";
  for (const int step : {1, 2}) {
    std::string list;
    for (const std::string& frame : frames) list += frame + " ";
    const Outcome run = Gckmatch("sequence " + list + "--step " + std::to_string(step) + options +
                                 " --out " + Path("seq"));
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("matched " + std::to_string(4 - step) + " pairs"), std::string::npos)
        << run.output;
    for (int from = 0; from + step < 4; ++from) {
      const std::string pair =
          "_000" + std::to_string(from) + "_000" + std::to_string(from + step) + ".npy";
      ASSERT_EQ(Gckmatch("match " + frames[from] + " " + frames[from + step] + options +
                         " --threads 1 --out " + Path("one"))
                    .status,
                0);
      EXPECT_EQ(Slurp(Path("seq/field" + pair)), Slurp(Path("one/field.npy"))) << pair;
      EXPECT_EQ(Slurp(Path("seq/errors" + pair)), Slurp(Path("one/errors.npy"))) << pair;
    }
  }
  // The pairs of the run with step 1 are gone; frames.txt numbers the frames.
  EXPECT_FALSE(fs::exists(Path("seq/field_0000_0001.npy")));
  EXPECT_EQ(Slurp(Path("seq/frames.txt")).substr(0, 6 + frames[0].size()),
            "0000\t" + frames[0] + "\n");
}

TEST_F(GckmatchTest, SequenceTakesTheImagesOfAFolderInNameOrder) {
  fs::create_directories(Path("clip"));
  const std::string names[] = {"frame_1.png", "frame_2.JPG", "frame_10.png"};
  for (int t = 0; t < 3; ++t) Png("clip/" + names[t], 20, 26, 1, t);
  // Folders and other files are passed over.
  std::ofstream(Path("clip/notes.txt")) << "not a frame\n";
  fs::create_directories(Path("clip/more.png"));
  const Outcome run = Gckmatch("sequence " + Path("clip") + " -w 4 --out " + Path("out"));
  ASSERT_EQ(run.status, 0) << run.output;
  std::string listed;
  for (int t = 0; t < 3; ++t)
    listed +=
        "000" + std::to_string(t) + "\t" + (fs::path(Path("clip")) / names[t]).string() + "\n";
  EXPECT_EQ(Slurp(Path("out/frames.txt")), listed);
  EXPECT_TRUE(fs::exists(Path("out/field_0001_0002.npy")));
}

TEST_F(GckmatchTest, BadSequenceInputNamesTheFrameAndKeepsTheFieldsBefore) {
  const std::string a = Png("a.png", 20, 24, 3), b = Png("b.png", 20, 24, 3, 1);
  const std::string other = Png("other.png", 20, 25, 3);
  std::ofstream(Path("notes.png")) << "these are words, not pixels\n";
  fs::create_directories(Path("one"));
  Png("one/only.png", 20, 24, 3);
  const std::string sequence = "sequence -w 4 --out " + Path("out") + " ";
  const struct {
    std::string args;
    int status;
    std::string message;
  } cases[] = {
      {a, 1, "gckmatch: only one frame, '" + a + "': a sequence needs at least two\n"},
      {Path("one"), 1,
       "gckmatch: only one frame, '" + Path("one/only.png") + "': a sequence needs at least two\n"},
      {Path("missing.png"), 1,
       "gckmatch: cannot open '" + Path("missing.png") +
           "': no such file, or it is not readable\n"},
      {a + " " + b + " --step 2", 1,
       "gckmatch: 2 frames are too few for --step 2: it needs at least 3\n"},
      {Path("out") + " " + a, 1,
       "gckmatch: '" + Path("out") + "' is a folder: give one folder of frames, or image files\n"},
      {a + " " + b + " --csv", 2, "gckmatch: --csv is no option of sequence\n"},
      {"", 2, "gckmatch: sequence takes frames: image files or one folder of them\n"},
      {a + " " + b + " " + other + " " + a, 1,
       "gckmatch: cannot match '" + other +
           "': the frame is 25 x 20 with 3 channels, the first was 24 x 20 with 3\n"
           "gckmatch: the fields of the pairs before it are in " +
           Path("out") + "\n"},
      {a + " " + b + " " + a + " " + Path("notes.png") + " " + b, 1,
       "gckmatch: cannot read image '" + Path("notes.png") +
           "': unknown image type\n"
           "gckmatch: the fields of the pairs before it are in " +
           Path("out") + "\n"},
  };
  fs::create_directories(Path("out"));
  for (const auto& c : cases) {
    const Outcome run = Gckmatch(sequence + c.args);
    EXPECT_EQ(run.status, c.status) << c.args << "\n" << run.output;
    // After the progress lines of the frames before, or before the usage text.
    EXPECT_NE(run.output.find(c.message), std::string::npos) << c.args << "\n" << run.output;
  }
  // What the last run wrote before the bad frame.
  EXPECT_EQ(Names(Path("out")),
            (std::vector<std::string>{"errors_0000_0001.npy", "errors_0001_0002.npy",
                                      "field_0000_0001.npy", "field_0001_0002.npy", "frames.txt"}));
}

TEST_F(GckmatchTest, HelpGoesToStandardOutput) {
  const Outcome run = Gckmatch("--help");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.output.rfind("usage: gckmatch match A.png B.png [options]\n", 0), 0u);
}

}  // namespace
}  // namespace gck
