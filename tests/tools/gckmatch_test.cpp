// Runs the built gckmatch program as a user does and checks its exit codes, messages and files.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stb_image_write.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "io/field_files.h"
#include "io/image_file.h"
#include "io/npy_file.h"
#include "matcher/matcher.h"
#include "tools/output_folder.h"

namespace gck {
namespace {

namespace fs = std::filesystem;

struct Outcome {
  int status = -1;  // the exit status, or -1 when a signal ended the run
  int signal = 0;   // that signal
  std::string out, err;
};

std::string Slurp(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

std::vector<std::string> Words(const std::string& text) {
  std::istringstream in(text);
  return std::vector<std::string>(std::istream_iterator<std::string>(in), {});
}

// Limits a run is started with: the address space and the size of any file it writes (a write
// past it fails with "File too large").
struct Limits {
  rlim_t memory = RLIM_INFINITY;
  rlim_t file_size = RLIM_INFINITY;
};

// A gckmatch run in a process of its own; its standard output and error go to files in `logs`.
class Child {
 public:
  Child(const std::vector<std::string>& args, const fs::path& logs, Limits limits = {},
      int input = -1)
      : out_(logs / ".stdout"), err_(logs / ".stderr") {
    std::vector<char*> argv{const_cast<char*>(GCKMATCH_PATH)};
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    pid_ = fork();
    if (pid_ == 0) {
      const rlimit memory{limits.memory, limits.memory}, size{limits.file_size, limits.file_size};
      setrlimit(RLIMIT_AS, &memory);
      setrlimit(RLIMIT_FSIZE, &size);
      signal(SIGXFSZ, SIG_IGN);
      if (input >= 0) dup2(input, 0);
      dup2(open(out_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
      dup2(open(err_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
      execv(GCKMATCH_PATH, argv.data());
      _exit(127);
    }
  }
  pid_t pid() const { return pid_; }
  Outcome Wait() {
    Outcome outcome;
    int status = 0;
    if (waitpid(pid_, &status, 0) == pid_) {
      if (WIFEXITED(status)) outcome.status = WEXITSTATUS(status);
      if (WIFSIGNALED(status)) outcome.signal = WTERMSIG(status);
    }
    outcome.out = Slurp(out_);
    outcome.err = Slurp(err_);
    fs::remove(out_);
    fs::remove(err_);
    return outcome;
  }

 private:
  fs::path out_, err_;
  pid_t pid_ = -1;
};

// Opens the pipe `path` to write into it once `reader` has opened it to read; -1 should the reader
// end first.
int OpenOnceRead(const std::string& path, pid_t reader) {
  for (;;) {
    const int fd = open(path.c_str(), O_WRONLY | O_NONBLOCK);
    if (fd >= 0) {
      fcntl(fd, F_SETFL, 0);
      return fd;
    }
    siginfo_t ended = {};
    if (errno != ENXIO || waitid(P_PID, reader, &ended, WEXITED | WNOHANG | WNOWAIT) != 0 ||
        ended.si_pid == reader)
      return -1;
    usleep(1000);
  }
}

// Every file under `dir` (hidden ones included) with its contents.
std::map<std::string, std::string> Contents(const fs::path& dir) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(dir))
    files[fs::relative(entry.path(), dir)] = entry.is_regular_file() ? Slurp(entry.path()) : "";
  return files;
}

// The names in `dir`, sorted, hidden ones included.
std::vector<std::string> Names(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

class GckmatchTest : public ::testing::Test {
 protected:
  // A fresh folder of its own, so that runs of the suite side by side keep to themselves.
  void SetUp() override {
    signal(SIGPIPE, SIG_IGN);  // a write to a pipe whose reader has gone fails instead
    std::string pattern = (fs::temp_directory_path() / "gckmatch_test.XXXXXX").string();
    ASSERT_TRUE(mkdtemp(pattern.data()));
    dir_ = pattern;
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  Outcome Gckmatch(const std::string& args, Limits limits = {}) {
    return Child(Words(args), dir_, limits).Wait();
  }
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
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("mean RMS patch error: "), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("363 x 243 patches of width 8"), std::string::npos) << run.out;
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
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("35 x 25 patches of width 6"), std::string::npos) << run.out;
  Image reconstruction;
  std::string error;
  ASSERT_TRUE(ReadImage(Path("out/reconstruction.png"), &reconstruction, &error)) << error;
  EXPECT_EQ(reconstruction.channels, 1);  // made of B's pixels, which are grey
  EXPECT_EQ(reconstruction.rows, 30);
  // An image read once, front to back: from a pipe as standard input.
  const std::string field = Slurp(Path("out/field.npy"));
  int pipe_ends[2];
  ASSERT_EQ(pipe(pipe_ends), 0);
  const std::string jpeg = Slurp(Path("a.jpg"));
  ASSERT_LT(jpeg.size(), 65536u);  // the pipe takes it all before the run starts
  ASSERT_EQ(write(pipe_ends[1], jpeg.data(), jpeg.size()), ssize_t(jpeg.size()));
  close(pipe_ends[1]);
  const Outcome piped =
      Child({"match", "/dev/stdin", grey, "-w", "6", "--out", Path("piped")}, dir_, {},
            pipe_ends[0]).Wait();
  close(pipe_ends[0]);
  ASSERT_EQ(piped.status, 0) << piped.err;
  EXPECT_EQ(Slurp(Path("piped/field.npy")), field);
}

TEST_F(GckmatchTest, KNearestWithinOneImage) {
  const std::string a = Png("a.png", 30, 41, 1);
  const Outcome run = Gckmatch("match --self " + a + " --k 3 -w 5 --seed 9 --out " + Path("out"));
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(Slurp(Path("out/field.npy")).find("'shape': (26, 37, 3, 2)"), std::string::npos);
  EXPECT_NE(Slurp(Path("out/errors.npy"))
                .find("'descr': '<f4', 'fortran_order': False, 'shape': (26, 37, 3), }"),
            std::string::npos);
}

// Each setting's name selects that setting: the command writes the field the library gives.
TEST_F(GckmatchTest, QualityNamesSelectTheirSettings) {
  const std::string a = Png("a.png", 40, 52, 3), b = Png("b.png", 44, 47, 3, 5);
  Image image_a, image_b;
  std::string error;
  ASSERT_TRUE(ReadImage(a, &image_a, &error) && ReadImage(b, &image_b, &error)) << error;
  for (const char* name : {"fast", "default", "high", "best"}) {
    ASSERT_EQ(Gckmatch("match " + a + " " + b + " --k 2 --quality " + name + " --out " + Path(name))
                  .status,
              0);
    Quality quality;
    ASSERT_TRUE(ParseQuality(name, &quality));
    MatchOptions options = QualityOptions(quality);
    options.k = 2;
    FILE* file = std::fopen(Path(std::string(name) + ".npy").c_str(), "wb");
    ASSERT_TRUE(file && WriteFieldNpy(file, MatchImages(image_a, image_b, options)));
    std::fclose(file);
    EXPECT_EQ(Slurp(Path(std::string(name) + "/field.npy")),
              Slurp(Path(std::string(name) + ".npy")))
        << name;
  }
}

TEST_F(GckmatchTest, BadInputEndsWithAClearMessage) {
  const std::string good = Png("good.png", 20, 24, 3);
  const std::string tiny = Png("tiny.png", 6, 40, 3);
  std::ofstream(Path("notes.png")) << "these are words, not pixels\n";
  // A critical chunk of a type no reader knows, named by bytes that are no letters, after IHDR.
  std::string png = Slurp(good);
  png.insert(33, std::string("\0\0\0\0\xC0\xC1\xC2\xC3\0\0\0\0", 12));
  std::ofstream(Path("chunk.png"), std::ios::binary) << png;
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
      {match + Path("chunk.png") + " " + good, 1,
       "gckmatch: cannot read image '" + Path("chunk.png") +
           "': not a valid PNG (a chunk of unknown type)\n"},
      {match + good + " " + tiny + " -w 7", 1,
       "gckmatch: patch width 7 is larger than a 40 x 6 image"},
      {match + good + " " + good + " -w 0", 2,
       "gckmatch: -w needs a whole number from 1 to 104, not '0'"},
      {match + good + " " + good + " --k 2x", 2, "gckmatch: --k needs a whole number"},
      {match + good + " " + good + " --seed", 2, "gckmatch: --seed needs a value"},
      {match + good + " " + good + " --fast", 2, "gckmatch: unknown option '--fast'"},
      {match + good + " " + good + " --quality finest", 2,
       "gckmatch: --quality is one of fast|default|high|best, not 'finest'"},
      {match + good, 2, "gckmatch: match takes two images, A and B"},
      {match + "--self " + good + " " + good, 2, "gckmatch: --self takes one image"},
      {"compare " + good + " " + good, 2, "gckmatch: unknown command 'compare'"},
      {"", 2, "gckmatch: no command given"},
  };
  for (const auto& c : cases) {
    const Outcome run = Gckmatch(c.args);
    EXPECT_EQ(run.status, c.status) << c.args << "\n" << run.err;
    // Errors go to standard error alone; a usage error is followed by the usage text.
    EXPECT_EQ(run.err.rfind(c.message, 0), 0u) << c.args << "\n" << run.err;
    EXPECT_EQ(run.err.find("usage: gckmatch match") != std::string::npos, c.status == 2) << run.err;
    EXPECT_EQ(run.out, "") << c.args;
  }
  EXPECT_FALSE(fs::exists(Path("out")));
}

TEST_F(GckmatchTest, AFailedWriteIsAnErrorAndLeavesTheEarlierRunAsItWas) {
  const std::string pair = Png("a.png", 20, 24, 3) + " " + Png("b.png", 22, 19, 3);
  const std::string run_csv = "match " + pair + " -w 5 --csv --out " + Path("out");
  ASSERT_EQ(Gckmatch(run_csv).status, 0);
  const std::map<std::string, std::string> before = Contents(Path("out"));
  // Files may grow to 2 KB: field.npy (3 KB), still in its write buffer, fails as it is closed.
  // To 4 KB: field.csv (9 KB) fails after the four other files are written.
  for (const auto& [limit, name] : {std::pair<rlim_t, std::string>{2048, "field.npy"},
                                    std::pair<rlim_t, std::string>{4096, "field.csv"}}) {
    const Outcome run =
        Gckmatch("match " + pair + " -w 4 --csv --out " + Path("out"), {RLIM_INFINITY, limit});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "gckmatch: cannot write '" + Path("out/" + name) + "': File too large\n");
    EXPECT_EQ(Contents(Path("out")), before) << "after the failed " << name;
  }
  // A run without --csv leaves no table of an earlier run.
  ASSERT_EQ(Gckmatch("match " + pair + " -w 5 --out " + Path("out")).status, 0);
  EXPECT_FALSE(fs::exists(Path("out/field.csv")));
  fs::remove(Path("out/errors.npy"));
  fs::create_directories(Path("out/errors.npy/taken"));
  const Outcome run = Gckmatch("match " + pair + " -w 5 --out " + Path("out"));
  EXPECT_EQ(run.err, "gckmatch: cannot write '" + Path("out/errors.npy") + "': Is a directory\n");
}

// Outputs are regular files: a pipe in an output's place, or at the end of its link, and a link
// to a device give way to files instead of taking (or waiting for) the bytes. Temporary files
// that an earlier run killed on its way left are removed; other hidden files stay.
TEST_F(GckmatchTest, OutputsAreRegularFilesAndNoTemporaryIsLeftBehind) {
  const std::string pair = Png("a.png", 20, 24, 3) + " " + Png("b.png", 22, 19, 3);
  fs::create_directories(Path("out"));
  ASSERT_EQ(mkfifo(Path("out/errors.png").c_str(), 0644), 0);
  ASSERT_EQ(mkfifo(Path("pipe").c_str(), 0644), 0);
  fs::create_symlink(Path("pipe"), Path("out/field.npy"));
  fs::create_symlink("/dev/null", Path("out/errors.npy"));
  // Readers of the pipes, so that a run that writes into them does not wait for ever.
  const int readers[] = {open(Path("out/errors.png").c_str(), O_RDONLY | O_NONBLOCK),
                         open(Path("pipe").c_str(), O_RDONLY | O_NONBLOCK)};
  const std::vector<std::string> left = {".field.npy.gckmatch-Ab12Cd", ".field.csv.gckmatch-000000",
                                         ".probe.gckmatch-zZ9yY8"};
  for (const std::string& name : left) std::ofstream(Path("out/" + name)) << "half a file";
  std::ofstream(Path("out/.notes.txt.gckmatch-abcdef")) << "the user's";
  std::ofstream(Path("out/.field.npy.backup")) << "the user's";
  const Outcome run = Gckmatch("match " + pair + " -w 4 --out " + Path("out"));
  for (const int reader : readers) close(reader);
  ASSERT_EQ(run.status, 0) << run.err;
  for (const std::string name : {"field.npy", "errors.npy", "reconstruction.png", "errors.png"})
    ASSERT_TRUE(fs::is_regular_file(fs::symlink_status(Path("out/" + name)))) << name;
  EXPECT_TRUE(fs::is_fifo(Path("pipe")));
  Image image;
  std::string error;
  EXPECT_TRUE(ReadImage(Path("out/errors.png"), &image, &error)) << error;
  EXPECT_EQ(Names(Path("out")),
            (std::vector<std::string>{".field.npy.backup", ".notes.txt.gckmatch-abcdef",
                                      "errors.npy", "errors.png", "field.npy", "offsets.png",
                                      "reconstruction.png"}));
}

// Stopped while it writes, a folder fails the write in hand and the commit: the earlier files stay
// as they were and nothing temporary is left.
TEST_F(GckmatchTest, AFolderStoppedWhileWritingKeepsItsEarlierFiles) {
  fs::create_directories(Path("out"));
  std::ofstream(Path("out/a.txt")) << "earlier";
  {
    bool stopped = false;
    OutputFolder out(Path("out"), {"a.txt", "b.txt"}, [&] { return stopped; });
    std::string error;
    ASSERT_TRUE(out.Write("a.txt", [](FILE* f) { return std::fputs("new", f) >= 0; }, &error));
    const std::string large(1 << 20, 'x');
    EXPECT_FALSE(out.Write("b.txt", [&](FILE* f) {
      stopped = true;
      return std::fwrite(large.data(), 1, large.size(), f) == large.size();
    }, &error));
    EXPECT_FALSE(out.Commit(&error));
  }
  EXPECT_EQ(Contents(Path("out")), (std::map<std::string, std::string>{{"a.txt", "earlier"}}));
}

// SIGINT and SIGTERM stop a run that has not finished: nothing takes its name, nothing temporary
// stays, and the process ends by the signal. The signal comes while the run waits for B from a
// pipe, so it is always there before the match begins.
TEST_F(GckmatchTest, ASignalStopsTheRunAndLeavesTheFolderAsItWas) {
  const std::string a = Png("a.png", 40, 48, 3), b = Png("b.png", 44, 38, 3);
  ASSERT_EQ(Gckmatch("match " + a + " " + b + " --csv --out " + Path("out")).status, 0);
  const std::map<std::string, std::string> before = Contents(Path("out"));
  const std::string bytes = Slurp(b);
  ASSERT_EQ(mkfifo(Path("b.pipe").c_str(), 0644), 0);
  for (const int signal : {SIGINT, SIGTERM}) {
    for (const bool self : {false, true}) {
      Child run(self ? Words("match --self " + Path("b.pipe") + " --out " + Path("out"))
                   : Words("match " + a + " " + Path("b.pipe") + " -w 4 --out " + Path("out")),
              dir_);
      const int pipe = OpenOnceRead(Path("b.pipe"), run.pid());
      kill(run.pid(), signal);
      ASSERT_EQ(write(pipe, bytes.data(), bytes.size()), ssize_t(bytes.size()));
      close(pipe);
      const Outcome stopped = run.Wait();
      EXPECT_EQ(stopped.signal, signal) << stopped.status << " " << stopped.err;
      EXPECT_EQ(stopped.err, "gckmatch: interrupted\n");
      EXPECT_EQ(Contents(Path("out")), before);
    }
  }
}

TEST_F(GckmatchTest, TheOutputFolderIsCheckedBeforeTheMatch) {
  const std::string pair = Png("a.png", 20, 24, 3) + " " + Png("b.png", 22, 19, 3);
  Outcome run = Gckmatch("match " + pair + " --out " + Path("a.png/out"));
  EXPECT_EQ(run.err,
            "gckmatch: cannot make the folder '" + Path("a.png/out") + "': Not a directory\n");
  // A folder that exists but takes no files: this process's own folder in /proc.
  run = Gckmatch("match " + pair + " --out /proc/self");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err.rfind("gckmatch: cannot write in the folder '/proc/self': ", 0), 0u);
}

TEST_F(GckmatchTest, AsManyPatchesAsMatchesAreEnough) {
  const std::string a = Png("a.png", 20, 17, 3);
  const std::string nine = Png("nine.png", 10, 10, 3);  // 3 x 3 patches of width 8
  const std::string two = Png("two.png", 9, 8, 1);      // 2 x 1
  for (const std::string& args :
       {a + " " + nine + " --k 9", "--self " + nine + " --k 8", "--self " + two}) {
    const Outcome run = Gckmatch("match " + args + " -w 8 --csv --out " + Path("out"));
    ASSERT_EQ(run.status, 0) << args << "\n" << run.err;
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
    EXPECT_EQ(Gckmatch("match " + args).err.rfind(message, 0), 0u) << args;
  // A PNG header declaring 60000 x 60000 pixels, and nothing more.
  const unsigned char header[] = {0x89, 'P',  'N', 'G', '\r', '\n', 0x1A, '\n', 0,
                                  0,    0,    13,  'I', 'H',  'D',  'R',  0,    0,
                                  0xEA, 0x60, 0,   0,   0xEA, 0x60, 8,    2};
  std::ofstream(Path("huge.png"), std::ios::binary)
      .write(reinterpret_cast<const char*>(header), sizeof header);
  EXPECT_EQ(Gckmatch("match " + Path("huge.png") + " " + a).err,
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
                                 " --replace --out " + Path("seq"));
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("matched " + std::to_string(4 - step) + " pairs"), std::string::npos)
        << run.out;
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
  ASSERT_EQ(run.status, 0) << run.err;
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
  const std::string sequence = "sequence -w 4 --replace --out " + Path("out") + " ";
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
    EXPECT_EQ(run.status, c.status) << c.args << "\n" << run.err;
    // After the progress lines of the frames before, or before the usage text.
    EXPECT_NE(run.err.find(c.message), std::string::npos) << c.args << "\n" << run.err;
  }
  // What the last run wrote before the bad frame.
  EXPECT_EQ(Names(Path("out")),
            (std::vector<std::string>{"errors_0000_0001.npy", "errors_0001_0002.npy",
                                      "field_0000_0001.npy", "field_0001_0002.npy", "frames.txt"}));
}

// A folder holds one run's files: another run is refused before any work unless it replaces them,
// and a replacing run that fails on its first frame leaves them as they were. A run that stops at a
// bad frame or a signal keeps its own pairs before it, listed with all its frames in frames.txt.
TEST_F(GckmatchTest, ASequenceFolderHoldsTheFilesOfOneRun) {
  const std::string a = Png("a.png", 20, 24, 3), b = Png("b.png", 20, 24, 3, 1);
  const std::string c = Png("c.png", 20, 24, 3, 2), notes = Path("notes.png");
  std::ofstream(notes) << "these are words, not pixels\n";
  const std::string sequence = "sequence -w 4 --out " + Path("out") + " ";
  ASSERT_EQ(Gckmatch(sequence + a + " " + b + " " + c).status, 0);
  const std::map<std::string, std::string> before = Contents(Path("out"));
  Outcome run = Gckmatch(sequence + b + " " + a);
  EXPECT_EQ(run.err, "gckmatch: the folder '" + Path("out") +
                         "' holds the files of an earlier run (errors_0000_0001.npy and 4 more): "
                         "give --replace to replace them, or another --out\n");
  EXPECT_EQ(Gckmatch(sequence + "--replace " + notes + " " + a).status, 1);
  EXPECT_EQ(Contents(Path("out")), before);
  run = Gckmatch(sequence + "--replace " + c + " " + a + " " + notes);
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_EQ(Names(Path("out")), (std::vector<std::string>{"errors_0000_0001.npy",
                                                          "field_0000_0001.npy", "frames.txt"}));
  EXPECT_EQ(Slurp(Path("out/frames.txt")),
            "0000\t" + c + "\n0001\t" + a + "\n0002\t" + notes + "\n");

  ASSERT_EQ(mkfifo(Path("c.pipe").c_str(), 0644), 0);
  Child cut(Words(sequence + a + " " + b + " " + Path("c.pipe") + " --out " + Path("cut")), dir_);
  const int pipe = OpenOnceRead(Path("c.pipe"), cut.pid());  // once the pair before is written
  kill(cut.pid(), SIGINT);
  const std::string bytes = Slurp(c);
  EXPECT_EQ(write(pipe, bytes.data(), bytes.size()), ssize_t(bytes.size()));
  close(pipe);
  run = cut.Wait();
  EXPECT_EQ(run.signal, SIGINT) << run.err;
  EXPECT_NE(run.err.find("are in " + Path("cut") + "\ngckmatch: interrupted\n"), std::string::npos);
  EXPECT_EQ(Names(Path("cut")), (std::vector<std::string>{"errors_0000_0001.npy",
                                                          "field_0000_0001.npy", "frames.txt"}));

  fs::copy_file(a, Path("tab\tname.png"));
  EXPECT_EQ(Child({"sequence", Path("tab\tname.png"), b, "--out", Path("tab")}, dir_).Wait().err,
            "gckmatch: the frame name '" + Path("tab\\tname.png") +
                "' holds a tab or line break, which frames.txt cannot list: rename the file\n");
}

// A match that cannot fit in the memory the process may still take is refused before it begins,
// with the need named, rather than ending in an allocation failure.
TEST_F(GckmatchTest, AMatchTooLargeForTheMemoryLeftIsRefused) {
  const Image zeros = BlankImage(6000, 6000, 1);
  FILE* file = std::fopen(Path("zeros.png").c_str(), "wb");
  ASSERT_TRUE(file && WritePng(file, zeros));
  std::fclose(file);
  const Limits limits{rlim_t{600} << 20};
  for (const std::string command : {"match", "sequence"}) {
    const Outcome run = Gckmatch(command + " " + Path("zeros.png") + " " + Path("zeros.png") +
                                     " --out " + Path("out"),
                                 limits);
    EXPECT_EQ(run.status, 1) << run.signal;
    EXPECT_NE(run.err.find("the match needs about 1.4 GB of memory, and this process can take "
                           "only "), std::string::npos) << run.err;
  }
}

TEST_F(GckmatchTest, HelpAndVersionGoToStandardOutput) {
  for (const std::string args : {"--help", "match -h", "sequence --help", "--version"}) {
    const Outcome run = Gckmatch(args);
    EXPECT_EQ(run.status, 0);
    const std::string first = args == "--version" ? "gckmatch " : "usage: gckmatch match A.png";
    EXPECT_EQ(run.out.rfind(first, 0), 0u) << args;
    EXPECT_EQ(run.err, "") << args;
  }
}

}  // namespace
}  // namespace gck

namespace gck {
namespace {

// A run from its own field (with its errors) is no worse at any patch; a start file of another
// shape, of positions outside B, of another element type, cut short, or no .npy file at all is
// refused with a message, and nothing is written.
TEST_F(GckmatchTest, StartsFromAFieldFileAndRefusesABadOne) {
  const std::string pair = Png("a.png", 30, 34, 3) + " " + Png("b.png", 28, 31, 3, 2);
  const std::string match = "match " + pair + " --k 2 -w 5 ";
  ASSERT_EQ(Gckmatch(match + "--out " + Path("first")).status, 0);
  const Outcome again = Gckmatch(match + "--init " + Path("first/field.npy") + " --init-errors " +
                                 Path("first/errors.npy") + " --out " + Path("again"));
  ASSERT_EQ(again.status, 0) << again.err;
  Field first, second;
  std::string error;
  ASSERT_TRUE(ReadFieldNpy(Path("first/field.npy"), &first, &error) &&
              ReadErrorsNpy(Path("first/errors.npy"), &first, &error) &&
              ReadFieldNpy(Path("again/field.npy"), &second, &error) &&
              ReadErrorsNpy(Path("again/errors.npy"), &second, &error))
      << error;
  for (size_t e = 0; e < first.errors.size(); e += 2) ASSERT_LE(second.errors[e], first.errors[e]);
  Image offsets;
  ASSERT_TRUE(ReadImage(Path("first/offsets.png"), &offsets, &error)) << error;
  EXPECT_EQ(offsets.channels, 3);
  EXPECT_GT(offsets.cols, 34);  // the key beside the picture

  ASSERT_EQ(Gckmatch(match + "-w 6 --out " + Path("narrow")).status, 0);
  const auto npy = [&](const std::string& name, const std::vector<int64_t>& shape, auto values) {
    FILE* file = std::fopen(Path(name).c_str(), "wb");
    EXPECT_TRUE(file && WriteNpy(file, shape, values));
    std::fclose(file);
    return Path(name);
  };
  const std::string outside = npy("outside.npy", {26, 30, 1, 2}, std::vector<int32_t>(1560, 24));
  const std::string floats = npy("floats.npy", {26, 30, 1, 2}, std::vector<float>(1560, 1.0f));
  std::ofstream(Path("short.npy"), std::ios::binary)
      << Slurp(Path("first/field.npy")).substr(0, 1000);
  std::ofstream(Path("words.npy")) << "not an array\n";
  const struct {
    std::string options, message;
  } cases[] = {
      {"--init " + Path("narrow/field.npy"),
       "gckmatch: the start field has 29 x 25 anchors, A has 30 x 26 at width 5\n"},
      {"--init " + outside, "gckmatch: the start field's match (24, 24) of anchor (0, 0) is not "
                            "an anchor of B, whose anchors are 27 x 24\n"},
      {"--init " + floats, "gckmatch: '" + floats +
                               "' holds elements of type '<f4', not positions: int32 or int64\n"},
      {"--init " + Path("short.npy"), "gckmatch: '" + Path("short.npy") +
                                          "' is cut short: its header promises 12480 bytes of data\n"},
      {"--init " + Path("words.npy"), "gckmatch: '" + Path("words.npy") + "' is no .npy file\n"},
      {"--init " + Path("first/field.npy") + " --init-errors " + Path("narrow/errors.npy"),
       "gckmatch: '" + Path("narrow/errors.npy") +
           "' holds a 25 x 29 x 2 array, not the errors of a 26 x 30 x 2 field\n"},
  };
  for (const auto& c : cases) {
    const Outcome run = Gckmatch(match + c.options + " --out " + Path("bad"));
    EXPECT_EQ(run.status, 1) << c.options;
    EXPECT_EQ(run.err, c.message);
    EXPECT_FALSE(fs::exists(Path("bad")));
  }
  const Outcome alone = Gckmatch(match + "--init-errors " + Path("first/errors.npy"));
  EXPECT_EQ(alone.status, 2);
  EXPECT_EQ(alone.err.rfind("gckmatch: --init-errors needs --init beside it\n", 0), 0u);
}

// A temporal sequence writes every pair as the plain one does, and offsets pictures on request.
TEST_F(GckmatchTest, ATemporalSequenceWritesEveryPairAndItsOffsets) {
  std::string frames;
  for (int t = 0; t < 4; ++t) frames += Png("f" + std::to_string(t) + ".png", 23, 29, 3, t) + " ";
  const Outcome run =
      Gckmatch("sequence " + frames + "-w 5 --temporal --offsets --out " + Path("seq"));
  ASSERT_EQ(run.status, 0) << run.err;
  for (const char* name : {"field_0000_0001.npy", "errors_0002_0003.npy", "offsets_0000_0001.png",
                           "offsets_0002_0003.png"})
    EXPECT_TRUE(fs::exists(Path("seq/") + name)) << name;
  EXPECT_EQ(Gckmatch("match " + frames + "--temporal").err.rfind(
                "gckmatch: --temporal is no option of match", 0),
            0u);
}

}  // namespace
}  // namespace gck
