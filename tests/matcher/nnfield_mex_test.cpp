// nnfield called through its built file: the matcher's field in annfield's layout, and every
// refusal with its identifier.
#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <sys/resource.h>
#endif

#include <cstring>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "host/loader.h"
#include "matcher/matcher.h"
#include "tests/matcher/scenes.h"
#include "tests/reference/patch_match_reference.h"

namespace gck {
namespace {

using host::Array;
using host::CallResult;
using host::MexFile;
using Fields = std::vector<std::pair<std::string, Array>>;

Array HostImage(const Image& image) {
  const size_t rows = image.rows, cols = image.cols;
  return image.channels == 1 ? Array::Matrix<uint8_t>(rows, cols, image.pixels)
                             : Array::Of<uint8_t>({rows, cols, 3}, image.pixels);
}

Array Number(double value) { return Array::Scalar<double>(value); }

struct Case {
  int rows_a, cols_a, channels_a, rows_b, cols_b, channels_b, width, k, seed;
  const char* quality;
  bool self;
};

// The field's own order (entry s of anchor p at p * k + s, 0-based) in MATLAB's: rows x cols x 2
// x k positions, 1-based, and rows x cols x k errors.
void ExpectSameField(const Field& field, const CallResult& call) {
  const size_t anchors = field.anchors(), k = field.k;
  std::vector<size_t> dims = {size_t(field.rows), size_t(field.cols), 2};
  if (k > 1) dims.push_back(k);
  ASSERT_EQ(call.outputs[0].dims(), dims);
  ASSERT_EQ(call.outputs[0].class_id(), mxDOUBLE_CLASS);
  ASSERT_EQ(call.outputs[1].class_id(), mxSINGLE_CLASS);
  dims.erase(dims.begin() + 2);
  ASSERT_EQ(call.outputs[1].dims(), dims);
  const std::vector<double> nnf = call.outputs[0].Values<double>();
  const std::vector<float> err = call.outputs[1].Values<float>();
  for (size_t s = 0; s < k; ++s)
    for (size_t p = 0; p < anchors; ++p) {
      ASSERT_EQ(nnf[p + 2 * s * anchors], field.match_rows[p * k + s] + 1) << p << " " << s;
      ASSERT_EQ(nnf[p + (2 * s + 1) * anchors], field.match_cols[p * k + s] + 1) << p << " " << s;
      ASSERT_EQ(std::memcmp(&err[p + s * anchors], &field.errors[p * k + s], 4), 0) << p << " " << s;
    }
}

TEST(Nnfield, GivesTheMatchersFieldWithTheTrueErrorsInAnnfieldsLayout) {
  const MexFile file("nnfield");
  std::mt19937 rng(31);
  const Case cases[] = {{30, 41, 3, 35, 33, 3, 5, 1, 7, "default", false},
                        {28, 33, 1, 31, 29, 3, 4, 3, 2, "high", false},
                        {26, 24, 3, 22, 27, 1, 8, 2, 0, "default", false},
                        {33, 30, 1, 0, 0, 0, 3, 4, 11, "high", true},
                        {21, 25, 3, 0, 0, 0, 6, 1, 5, "default", true},
                        {9, 40, 1, 12, 9, 1, 9, 1, 3, "default", false}};
  for (const Case& t : cases) {
    const Image a = Scene(rng, t.rows_a, t.cols_a, t.channels_a);
    const Image b = t.self ? a : Scene(rng, t.rows_b, t.cols_b, t.channels_b);
    MatchOptions options = QualityOptions(std::string(t.quality) == "high" ? Quality::kHigh
                                                                          : Quality::kDefault);
    options.width = t.width;
    options.k = t.k;
    options.seed = t.seed;
    const Field expected = t.self ? MatchSelf(a, options) : MatchImages(a, b, options);
    const Array host_a = HostImage(a);
    const Array host_b = t.self ? Array(mxDOUBLE_CLASS, {0, 0}) : HostImage(b);
    const Array opts = Array::Struct({{"seed", Array::Scalar<int32_t>(t.seed)},
                                      {"quality", Array::Text(t.quality)},
                                      {"k", Array::Scalar<uint8_t>(t.k)},
                                      {"width", Number(t.width)}});
    const CallResult call = file.Call(2, {&host_a, &host_b, &opts});
    ASSERT_TRUE(call.ok()) << call.error;
    ExpectSameField(expected, call);
    // The errors are those of the patches named, whatever the channels of each image.
    const Image a3 = WithChannels(a, 3), b3 = WithChannels(b, 3);
    const std::vector<double> nnf = call.outputs[0].Values<double>();
    const std::vector<float> err = call.outputs[1].Values<float>();
    const int channels = std::max(a.channels, b.channels);
    const size_t anchors = expected.anchors();
    for (size_t e = 0; e < err.size(); ++e) {
      const size_t p = e % anchors, s = e / anchors;
      const int r = p % expected.rows, c = p / expected.rows;
      const int rb = int(nnf[p + 2 * s * anchors]) - 1, cb = int(nnf[p + (2 * s + 1) * anchors]) - 1;
      ASSERT_FALSE(t.self && rb == r && cb == c);
      const int64_t ssd = reference::PatchSsd(channels == 3 ? a3 : a, r, c,
                                              channels == 3 ? b3 : b, rb, cb, t.width);
      ASSERT_EQ(err[e], static_cast<float>(std::sqrt(double(ssd))));
    }
  }
}

TEST(Nnfield, AnImageWithItselfGivesTheIdentityForAnyThreadCount) {
  const MexFile file("nnfield");
  std::mt19937 rng(32);
  const Image a = Scene(rng, 47, 52, 3);
  const Array host_a = HostImage(a), itself(mxDOUBLE_CLASS, {0, 0});
  std::vector<double> first;
  for (int threads : {1, 2, 3, 7, 0}) {
    const Array opts = Array::Struct({{"threads", Number(threads)}, {"width", Number(4)}});
    const CallResult call = file.Call(2, {&host_a, &host_a, &opts});
    ASSERT_TRUE(call.ok()) << call.error;
    const std::vector<double> nnf = call.outputs[0].Values<double>();
    for (size_t p = 0; p < 44 * 49; ++p) {
      ASSERT_EQ(nnf[p], double(p % 44 + 1));
      ASSERT_EQ(nnf[p + 44 * 49], double(p / 44 + 1));
    }
    for (float e : call.outputs[1].Values<float>()) ASSERT_EQ(e, 0.0f);
    // Within A the lists must not name the anchor itself, and are the same for any count.
    const CallResult own = file.Call(1, {&host_a, &itself, &opts});
    ASSERT_TRUE(own.ok()) << own.error;
    if (first.empty()) first = own.outputs[0].Values<double>();
    ASSERT_EQ(own.outputs[0].Values<double>(), first) << threads << " threads";
  }
}

TEST(Nnfield, OutputCountsAndTheUsage) {
  const MexFile file("nnfield");
  std::mt19937 rng(33);
  const Array a = HostImage(Scene(rng, 12, 13, 1));
  for (int nlhs : {0, 1, 2}) {
    const CallResult call = file.Call(nlhs, {&a, &a});
    ASSERT_TRUE(call.ok()) << call.error;
    EXPECT_EQ(call.outputs.size(), size_t(nlhs < 2 ? 1 : 2));
  }
  const Array none = Array::Struct({});
  for (const CallResult& call : {file.Call(3, {&a, &a}), file.Call(1, {&a}),
                                 file.Call(1, {&a, &a, &none, &none})}) {
    EXPECT_EQ(call.identifier, "nnfield:usage");
    EXPECT_EQ(call.error,
              "Usage: [nnf, err] = nnfield(A, B, opts), or nnfield(A, [], opts) to match A within "
              "itself");
  }
}

TEST(Nnfield, RefusesBadImagesAndOptionsWithAnIdentifierBeforeWritingAnything) {
  const MexFile file("nnfield");
  std::mt19937 rng(34);
  const Array a = HostImage(Scene(rng, 20, 23, 3));
  const Array nine = HostImage(Scene(rng, 10, 10, 3));  // 3 x 3 patches of width 8
  const Array empty(mxDOUBLE_CLASS, {0, 0});
  const Array no_channels(mxUINT8_CLASS, {20, 24, 0});
  const Array four_d(mxUINT8_CLASS, {20, 24, 3, 2});
  const Array wide_empty(mxDOUBLE_CLASS, {0, 5});
  const Array cell(mxCELL_CLASS, {0, 0});
  const Array complex(mxUINT8_CLASS, {20, 23}, host::Storage{false, true, 0});
  const Array grey_double(mxDOUBLE_CLASS, {20, 23});
  const Array tall(mxUINT8_CLASS, {65536, 1});
  const struct {
    const Array* a;
    const Array* b;
    Fields opts;
    const char* identifier;
    const char* message;
  } cases[] = {
      {&a, &nine, {{"k", Number(0)}}, "nnfield:k", "k needs a whole number from 1 to 64, not '0'"},
      {&a, &nine, {{"k", Array::Text("2")}}, "nnfield:k", "k needs a whole number from 1 to 64, not '2'"},
      {&a, &nine, {{"width", Number(2.5)}}, "nnfield:width",
       "width needs a whole number from 1 to 104, not '2.5'"},
      {&a, &nine, {{"width", Number(NAN)}}, "nnfield:width",
       "width needs a whole number from 1 to 104, not 'NaN'"},
      {&a, &nine, {{"seed", Number(-1)}}, "nnfield:seed",
       "seed needs a whole number from 0 to 2147483647, not '-1'"},
      {&a, &nine, {{"threads", Number(1025)}}, "nnfield:threads",
       "threads needs a whole number from 0 to 1024, not '1025'"},
      {&a, &nine, {{"threads", Array::Matrix<double>(1, 2, {1, 2})}}, "nnfield:threads",
       "threads needs a whole number from 0 to 1024, not 'a 1x2 double'"},
      {&a, &nine, {{"k", Array::Logical(true)}}, "nnfield:k",
       "k needs a whole number from 1 to 64, not 'a 1x1 logical'"},
      {&a, &nine, {{"quality", Array::Text("better")}}, "nnfield:quality",
       "quality is 'fast', 'default', 'high' or 'best', not 'better'"},
      {&a, &nine, {{"quality", Number(1)}}, "nnfield:quality",
       "quality is 'fast', 'default', 'high' or 'best', not '1'"},
      {&a, &nine, {{"widht", Number(4)}}, "nnfield:option", "unknown option 'widht'"},
      {&a, &nine, {{"k", Number(10)}}, "nnfield:k", "too few patches for k = 10"},
      {&nine, &empty, {{"k", Number(9)}}, "nnfield:k", "too few patches for k = 9"},
      {&a, &nine, {{"width", Number(12)}}, "nnfield:width", "patch width 12 is larger than a 10 x 10 image"},
      {&no_channels, &a, {}, "nnfield:channels",
       "A must be H x W (grey) or H x W x 3 (colour), not 20x24x0"},
      {&a, &four_d, {}, "nnfield:channels", "B must be H x W (grey) or H x W x 3 (colour), not 20x24x3x2"},
      {&a, &wide_empty, {}, "nnfield:class",
       "B must be a real uint8 image, or [] to match A within itself"},
      {&a, &cell, {}, "nnfield:class", "B must be a real uint8 image, or [] to match A within itself"},
      {&grey_double, &a, {}, "nnfield:class", "A must be a real uint8 image"},
      {&complex, &a, {}, "nnfield:class", "A must be a real uint8 image"},
      {&tall, &a, {}, "nnfield:size", "images must be at most 65535 pixels high and wide"},
  };
  for (const auto& t : cases) {
    const Array opts = Array::Struct(t.opts);
    const CallResult call = file.Call(2, {t.a, t.b, &opts});
    EXPECT_EQ(call.identifier, t.identifier) << t.message;
    EXPECT_EQ(call.error, t.message);
  }
  const Array two = Array(host::NewStruct({1, 2}, {"k"}));
  for (const Array* opts : {&two, &empty, &a}) {
    const CallResult call = file.Call(2, {&a, &a, opts});
    EXPECT_EQ(call.identifier, "nnfield:options");
    EXPECT_EQ(call.error, "options must be one struct");
  }
}

// opts.init (with or without init_err) starts from an earlier call's field: no anchor ends worse
// than there; a start of another shape, of positions outside B or of another class is refused.
TEST(Nnfield, StartsFromAnEarlierFieldAndRefusesABadOne) {
  const MexFile file("nnfield");
  std::mt19937 rng(36);
  const Array a = HostImage(Scene(rng, 30, 34, 3)), b = HostImage(Scene(rng, 28, 31, 3));
  const Array width = Number(5);
  const Array plain = Array::Struct({{"width", width}, {"k", Number(2)}, {"seed", Number(3)}});
  const CallResult first = file.Call(2, {&a, &b, &plain});
  ASSERT_TRUE(first.ok()) << first.error;
  const Array& nnf = first.outputs[0];
  const Array& err = first.outputs[1];
  for (const bool with_errors : {false, true}) {
    Fields options = {{"width", width}, {"k", Number(2)}, {"init", nnf}};
    if (with_errors) options.push_back({"init_err", err});
    const Array opts = Array::Struct(options);
    const CallResult again = file.Call(2, {&a, &b, &opts});
    ASSERT_TRUE(again.ok()) << again.error;
    const std::vector<float> before = err.Values<float>(), after = again.outputs[1].Values<float>();
    const size_t anchors = 26 * 30;
    for (size_t p = 0; p < anchors; ++p) ASSERT_LE(after[p], before[p]) << p;
  }
  std::vector<double> outside = nnf.Values<double>();
  outside[7] = 25;  // B has 24 anchor rows
  std::vector<double> broken = nnf.Values<double>();
  broken[3] = 2.5;
  const struct {
    Fields opts;
    const char* message;
  } cases[] = {
      {{{"init", Array::Of<double>({26, 29, 2}, std::vector<double>(26 * 29 * 2, 1))}},
       "init must be a 26 x 30 x 2 x k double array of matches as nnf, not a 26x29x2 double"},
      {{{"init", Array::Of<double>({26, 30, 2, 2}, outside)}},
       "init's match (25, 16) of anchor (8, 1) lies outside B's 24 x 27 anchors"},
      {{{"init", Array::Of<double>({26, 30, 2, 2}, broken)}},
       "init must hold whole numbers from 1 to 65536: rows and columns in B"},
      {{{"init_err", err}}, "init_err needs init beside it"},
      {{{"init", nnf}, {"init_err", Array::Of<int32_t>({26, 30, 2}, std::vector<int32_t>(1560))}},
       "init_err must be a 26 x 30 x 2 single or double array as err, not a 26x30x2 int32"},
      {{{"init", nnf}, {"init_err", Array::Of<float>({26, 30}, std::vector<float>(780))}},
       "init_err must be a 26 x 30 x 2 single or double array as err, not a 26x30 single"},
  };
  for (const auto& t : cases) {
    Fields options = t.opts;
    options.push_back({"width", width});
    const Array opts = Array::Struct(options);
    const CallResult call = file.Call(2, {&a, &b, &opts});
    EXPECT_EQ(call.identifier, "nnfield:init") << t.message;
    EXPECT_EQ(call.error, t.message);
  }
}

// Calls with arguments of any class and shape and option structs of any values: each ends in a
// field or a refusal with an identifier, and writes nothing outside its arrays (the loader checks).
TEST(Nnfield, AnyCallEndsInAFieldOrARefusal) {
  const MexFile file("nnfield");
  std::mt19937 rng(35);
  const mxClassID classes[] = {mxUINT8_CLASS,   mxUINT16_CLASS, mxDOUBLE_CLASS, mxCHAR_CLASS,
                               mxLOGICAL_CLASS, mxINT32_CLASS,  mxCELL_CLASS,   mxSTRUCT_CLASS};
  const char* names[] = {"width", "k", "seed", "threads", "quality", "x", "init", "init_err"};
  const auto any_array = [&](size_t most) {
    std::vector<size_t> dims = {rng() % most, rng() % most};
    if (rng() % 3 == 0) dims.push_back(rng() % 5);
    const mxClassID id = rng() % 2 ? mxUINT8_CLASS : classes[rng() % 8];
    if (id == mxSTRUCT_CLASS) return Array(host::NewStruct(dims, {"k"}));
    Array array(id, dims);
    if (array.bytes() > 0 && id != mxCELL_CLASS) {
      auto* bytes = array.Data<unsigned char>();
      for (size_t i = 0; i < array.bytes(); ++i) bytes[i] = static_cast<unsigned char>(rng());
    }
    return array;
  };
  int fields = 0;
  for (int round = 0; round < 600; ++round) {
    Fields opts;
    for (int f = rng() % 4; f > 0; --f) {
      const char* name = names[rng() % 8];
      bool repeated = false;
      for (const auto& field : opts) repeated = repeated || field.first == name;
      if (repeated) continue;
      Array value = rng() % 2 ? Number(double(int(rng() % 140)) - 10) : any_array(4);
      if (std::string(name) == "quality" && rng() % 2) value = Array::Text(rng() % 2 ? "high" : "hi");
      if (std::string(name).rfind("init", 0) == 0 && rng() % 2) {
        // A start of some field's shape, with positions mostly inside some B.
        std::vector<size_t> dims = {1 + rng() % 30, 1 + rng() % 30, 2, 1 + rng() % 2};
        value = Array(std::string(name) == "init" ? mxDOUBLE_CLASS : mxSINGLE_CLASS, dims);
        for (size_t i = 0; i < dims[0] * dims[1] * 2 * dims[3]; ++i)
          if (value.class_id() == mxDOUBLE_CLASS) {
            value.Data<double>()[i] = double(rng() % 30) + (rng() % 50 == 0 ? 0.5 : 1);
          } else {
            value.Data<float>()[i] = float(rng() % 100);
          }
      }
      opts.emplace_back(name, std::move(value));
    }
    const Array a = any_array(30), b = rng() % 4 ? any_array(30) : Array(mxDOUBLE_CLASS, {0, 0});
    const Array options = Array::Struct(opts);
    const CallResult call = file.Call(int(rng() % 3), {&a, &b, &options});
    if (call.ok()) {
      ++fields;
    } else {
      ASSERT_EQ(call.identifier.rfind("nnfield:", 0), 0u) << call.error;
      ASSERT_NE(call.identifier, "nnfield:failed") << call.error;
    }
  }
  EXPECT_GT(fields, 10);
}

#if !defined(_WIN32)
// With the address space capped above what the outputs need but below what the match needs, the
// call fails with nnfield:memory, every block it took given back: the next call under the same cap
// fails the same way, and once the cap is lifted the same call succeeds.
TEST(Nnfield, RunningOutOfMemoryIsARefusal) {
  const MexFile file("nnfield");
  const Array a(mxUINT8_CLASS, {2000, 2000});
  const Array opts = Array::Struct({{"threads", Number(1)}});
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_AS, &saved), 0);
  std::FILE* in = std::fopen("/proc/self/statm", "r");
  ASSERT_NE(in, nullptr);
  unsigned long pages = 0;
  ASSERT_EQ(std::fscanf(in, "%lu", &pages), 1);
  std::fclose(in);
  // The outputs take 20 bytes per anchor (80 MB), the match about 60 bytes per pixel more.
  rlimit capped = saved;
  capped.rlim_cur = pages * 4096 + (150ul << 20);
  ASSERT_EQ(setrlimit(RLIMIT_AS, &capped), 0);
  const CallResult first = file.Call(2, {&a, &a, &opts});
  const CallResult second = file.Call(2, {&a, &a, &opts});
  ASSERT_EQ(setrlimit(RLIMIT_AS, &saved), 0);
  for (const CallResult& call : {first, second}) {
    EXPECT_EQ(call.identifier, "nnfield:memory");
    EXPECT_EQ(call.error, "Out of memory: the call needs more memory than is free");
  }
  const Array every_core = Array::Struct({});
  EXPECT_TRUE(file.Call(1, {&a, &a, &every_core}).ok());
}
#endif

}  // namespace
}  // namespace gck
