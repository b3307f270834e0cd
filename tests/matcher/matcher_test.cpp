#include "matcher/matcher.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>
#include <set>

#include "matcher/exact_search.h"
#include "matcher/sequence.h"
#include "tests/matcher/scenes.h"
#include "tests/reference/patch_match_reference.h"

namespace gck {
namespace {

constexpr Quality kEverySetting[] = {Quality::kFast, Quality::kDefault, Quality::kHigh,
                                     Quality::kBest};

float PatchError(int64_t ssd) { return static_cast<float>(std::sqrt(static_cast<double>(ssd))); }

void ExpectErrorsAreExact(const Image& a, const Image& b, const Field& field) {
  const int rows_b = b.rows - field.width + 1, cols_b = b.cols - field.width + 1;
  for (int c = 0; c < field.cols; ++c)
    for (int r = 0; r < field.rows; ++r)
      for (int s = 0; s < field.k; ++s) {
        const size_t e = (r + size_t(c) * field.rows) * field.k + s;
        const int rb = field.match_rows[e], cb = field.match_cols[e];
        ASSERT_TRUE(rb >= 0 && rb < rows_b && cb >= 0 && cb < cols_b) << rb << "," << cb;
        ASSERT_EQ(field.errors[e], PatchError(reference::PatchSsd(a, r, c, b, rb, cb, field.width)))
            << "anchor (" << r << "," << c << ") entry " << s;
      }
}

TEST(MatchImages, ErrorsAreTheExactPatchErrorsOfTheMatches) {
  std::mt19937 rng(21);
  const Image a = Scene(rng, 40, 52, 3);
  const Image b = Moved(rng, a, 3, 5, 6);
  for (int k : {1, 3}) {
    for (int width : {4, 7}) {
      MatchOptions options;
      options.k = k;
      options.width = width;
      const Field field = MatchImages(a, b, options);
      ASSERT_EQ(field.rows, 40 - width + 1);
      ASSERT_EQ(field.cols, 52 - width + 1);
      ExpectErrorsAreExact(a, b, field);
    }
  }
}

TEST(MatchImages, NoAnchorEndsWorseThanItsStart) {
  std::mt19937 rng(22);
  const Image a = Scene(rng, 37, 45, 3);
  const Image b = Scene(rng, 41, 39, 3);
  for (int passes : {0, 1, 4}) {
    MatchOptions options;
    options.passes = passes;
    Field start;
    const Field field = MatchImages(a, b, options, &start);
    ExpectErrorsAreExact(a, b, start);
    for (size_t p = 0; p < field.anchors(); ++p) ASSERT_LE(field.errors[p], start.errors[p]) << p;
  }
}

// Every anchor counts, the border rows and columns and the single-row or single-column grids
// included: an image matched with itself gives the identity, at error 0, at every size and shape.
TEST(MatchImages, IdenticalImagesGiveTheZeroErrorIdentityAtEverySize) {
  std::mt19937 rng(23);
  const struct {
    int rows, cols, width;
  } shapes[] = {{5, 5, 4},  {4, 4, 4},   {4, 9, 4},  {9, 4, 4},  {8, 40, 8}, {40, 8, 8},
                {9, 9, 8},  {1, 1, 1},   {1, 30, 1}, {30, 1, 1}, {3, 7, 2},  {34, 47, 8},
                {61, 23, 5}, {130, 70, 8}, {70, 130, 3}};
  for (const auto& shape : shapes)
    for (int channels : {1, 3})
      for (int k : {1, 2}) {
        Image noise = BlankImage(shape.rows, shape.cols, channels);
        for (uint8_t& v : noise.pixels) v = static_cast<uint8_t>(rng());
        const int anchors = (shape.rows - shape.width + 1) * (shape.cols - shape.width + 1);
        if (k > anchors) continue;
        MatchOptions options = QualityOptions(kEverySetting[rng() % 4]);
        options.width = shape.width;
        options.k = k;
        const Field field = MatchImages(noise, noise, options);
        for (int c = 0; c < field.cols; ++c)
          for (int r = 0; r < field.rows; ++r) {
            const size_t e = (r + size_t(c) * field.rows) * k;
            ASSERT_EQ(field.errors[e], 0.0f) << shape.rows << "x" << shape.cols << " w=" << shape.width
                                             << " k=" << k << " at " << r << "," << c;
            ASSERT_EQ(field.match_rows[e], r);
            ASSERT_EQ(field.match_cols[e], c);
          }
      }
}

TEST(ExactSearch, FindsTheBruteForceNearestForEveryAnchor) {
  std::mt19937 rng(24);
  const struct {
    int rows, cols, channels, width;
  } cases[] = {{14, 17, 1, 1}, {19, 15, 3, 3}, {22, 26, 3, 8}, {25, 21, 1, 12}, {18, 20, 3, 5}};
  for (const auto& t : cases) {
    const Image a = Scene(rng, t.rows, t.cols, t.channels);
    const Image b = Moved(rng, Scene(rng, t.rows + 3, t.cols - 2, t.channels), 2, 1, 20);
    const Field exact = ExactSearch(a, b, t.width);
    ExpectErrorsAreExact(a, b, exact);
    for (int c = 0; c < exact.cols; ++c)
      for (int r = 0; r < exact.rows; ++r)
        ASSERT_EQ(exact.errors[r + size_t(c) * exact.rows],
                  PatchError(reference::NearestSsd(a, r, c, b, t.width)))
            << "w=" << t.width << " at (" << r << "," << c << ")";
  }
}

// Each setting within its share of the exact search's error (the default within 0.9 % here); an
// anchor column left out of each band's sweep already shows as 7 to 9 %.
TEST(MatchImages, ComesCloseToTheExactSearch) {
  std::mt19937 rng(25);
  const double allowed[] = {1.04, 1.03, 1.02, 1.01};
  for (int channels : {1, 3}) {
    const Image a = Scene(rng, 60, 80, channels);
    const Image b = Moved(rng, a, 4, 9, 10);
    const double floor = ExactSearch(a, b, 8).MeanRmsError();
    for (int q = 0; q < 4; ++q) {
      const double ours = MatchImages(a, b, QualityOptions(kEverySetting[q])).MeanRmsError();
      EXPECT_GE(ours, floor);
      EXPECT_LE(ours, allowed[q] * floor)
          << channels << " channels, setting " << q << ": " << ours / floor;
    }
  }
}

// Every anchor is visited, in the last row and column and where column bands meet: each anchor of a
// noise image has one exact match in B, its patch moved by (3, 5). One sweep starts from a field
// that holds it for the first row only and a far-off anchor elsewhere; an anchor finds it from the
// one above, and keeps its far-off start unless visited.
TEST(MatchImages, OneSweepVisitsEveryAnchor) {
  std::mt19937 rng(31);
  for (const int channels : {1, 3}) {
    for (const auto& [rows, cols] : {std::pair{40, 150}, std::pair{150, 40}}) {
      Image a = BlankImage(rows, cols, channels), b = BlankImage(rows + 3, cols + 5, channels);
      for (uint8_t& v : b.pixels) v = static_cast<uint8_t>(rng());
      for (int k = 0; k < channels; ++k)
        for (int c = 0; c < cols; ++c)
          for (int r = 0; r < rows; ++r) a.at(r, c, k) = b.at(r + 3, c + 5, k);
      MatchOptions options;
      options.passes = options.coarse_passes = 1;
      Field start;
      start.rows = rows - options.width + 1, start.cols = cols - options.width + 1, start.k = 1;
      for (int c = 0; c < start.cols; ++c)
        for (int r = 0; r < start.rows; ++r) {
          start.match_rows.push_back(r == 0 ? 3 : 0);
          start.match_cols.push_back(r == 0 ? c + 5 : 0);
        }
      options.start_field = &start;
      const Field field = MatchImages(a, b, options);
      for (int c = 0; c < field.cols; ++c)
        for (int r = 0; r < field.rows; ++r) {
          const size_t p = r + size_t(c) * field.rows;
          ASSERT_EQ(field.errors[p], 0.0f) << rows << "x" << cols << " anchor " << r << "," << c;
          ASSERT_EQ(field.match_rows[p], r + 3);
          ASSERT_EQ(field.match_cols[p], c + 5);
        }
    }
  }
}

TEST(MatchImages, KBestListsAreDistinctAndSortedAndNoBetterThanTheNearest) {
  std::mt19937 rng(26);
  const Image a = Scene(rng, 30, 36, 3);
  const Image b = Scene(rng, 33, 31, 3);
  for (Quality quality : kEverySetting) {
    MatchOptions options = QualityOptions(quality);
    options.k = 4;
    options.width = 5;
    options.entry_leaves = 4;
    const Field field = MatchImages(a, b, options);
    ExpectErrorsAreExact(a, b, field);
    for (int c = 0; c < field.cols; ++c)
      for (int r = 0; r < field.rows; ++r) {
        const size_t p = r + size_t(c) * field.rows;
        std::set<std::pair<int, int>> seen;
        for (int s = 0; s < 4; ++s) {
          seen.emplace(field.match_rows[p * 4 + s], field.match_cols[p * 4 + s]);
          if (s > 0) {
            ASSERT_LE(field.errors[p * 4 + s - 1], field.errors[p * 4 + s]);
          }
        }
        ASSERT_EQ(seen.size(), 4u);
        ASSERT_GE(field.errors[p * 4], PatchError(reference::NearestSsd(a, r, c, b, 5)));
      }
  }
}

// Exact copies of a patch scattered over noise, where no neighbour leads from one to another: a
// k list holds as many of them as it has room for, between images and within one.
TEST(MatchImages, KListsHoldEveryExactCopyTheyHaveRoomFor) {
  std::mt19937 rng(31);
  Image b = BlankImage(120, 140, 1);
  for (uint8_t& v : b.pixels) v = uint8_t(rng());
  const int places[][2] = {{5, 9}, {100, 20}, {60, 120}, {17, 77}, {90, 100}};
  for (const auto& at : places)
    for (int c = 0; c < 6; ++c)
      for (int r = 0; r < 6; ++r) b.at(at[0] + r, at[1] + c, 0) = b.at(40 + r, 50 + c, 0);
  for (const bool self : {false, true}) {
    MatchOptions options;
    options.k = 4;
    options.width = 6;
    const Field field = self ? MatchSelf(b, options) : MatchImages(b, b, options);
    for (const auto& at : places) {
      const size_t p = at[0] + size_t(at[1]) * field.rows;
      for (int s = 0; s < 4; ++s)
        ASSERT_EQ(field.errors[p * 4 + s], 0.0f) << "self " << self << " entry " << s;
    }
  }
}

TEST(MatchSelf, ListsHoldOtherAnchorsOnly) {
  std::mt19937 rng(27);
  const Image a = Scene(rng, 31, 29, 3);
  for (int k : {1, 3}) {
    MatchOptions options = QualityOptions(kEverySetting[rng() % 4]);
    options.k = k;
    options.width = 4;
    const Field field = MatchSelf(a, options);
    ExpectErrorsAreExact(a, a, field);
    for (int c = 0; c < field.cols; ++c)
      for (int r = 0; r < field.rows; ++r) {
        const size_t p = r + size_t(c) * field.rows;
        std::set<std::pair<int, int>> seen;
        for (int s = 0; s < k; ++s) {
          const std::pair<int, int> match{field.match_rows[p * k + s], field.match_cols[p * k + s]};
          ASSERT_NE(match, std::make_pair(r, c));
          seen.insert(match);
        }
        ASSERT_EQ(seen.size(), size_t(k));
      }
  }
}

TEST(MatchImages, SameSeedSameFieldAndGreyMeetsColour) {
  std::mt19937 rng(28);
  const Image a = Scene(rng, 27, 33, 1);
  const Image b = Scene(rng, 29, 30, 3);
  MatchOptions options;
  options.width = 6;
  const Field first = MatchImages(a, b, options);
  const Field again = MatchImages(a, b, options);
  EXPECT_EQ(first.match_rows, again.match_rows);
  EXPECT_EQ(first.match_cols, again.match_cols);
  EXPECT_EQ(first.errors, again.errors);
  EXPECT_EQ(first.channels, 3);
  Image grey_as_colour = BlankImage(a.rows, a.cols, 3);
  for (int k = 0; k < 3; ++k)
    std::copy(a.pixels.begin(), a.pixels.end(), grey_as_colour.pixels.begin() + k * a.plane());
  ExpectErrorsAreExact(grey_as_colour, b, first);
}

TEST(MatchImages, RejectsWhatItCannotMatch) {
  const Image small = BlankImage(6, 9, 3);
  const Image large = BlankImage(20, 20, 1);
  const auto rejects = [](const Image& a, const Image& b, MatchOptions options) {
    EXPECT_THROW(MatchImages(a, b, options), MatchError);
  };
  MatchOptions options;
  options.width = 7;
  rejects(small, large, options);  // taller than A
  rejects(large, small, options);  // taller than B
  options.width = 0;
  rejects(large, large, options);
  options = MatchOptions();
  options.k = 0;
  rejects(large, large, options);
  options = MatchOptions();
  options.passes = -1;
  rejects(large, large, options);
  for (const auto& bad : std::vector<std::function<void(MatchOptions*)>>{
           [](MatchOptions* o) { o->tree_level = -1; }, [](MatchOptions* o) { o->tree_step = 0; },
           [](MatchOptions* o) { o->tree_step = 9; }, [](MatchOptions* o) { o->entry_leaves = 9; },
           [](MatchOptions* o) { o->leaf_tries = 33; }}) {
    options = MatchOptions();
    bad(&options);
    rejects(large, large, options);
  }
  Image two_channels = BlankImage(20, 20, 2);
  rejects(two_channels, large, MatchOptions());
  options = MatchOptions();
  options.width = 20;
  EXPECT_THROW(MatchSelf(large, options), MatchError);  // a single patch has no other to match
  try {
    options.width = 7;
    MatchImages(small, large, options);
  } catch (const MatchError& e) {
    EXPECT_STREQ(e.what(), "patch width 7 is larger than a 9 x 6 image");
  }
}

// The API's edge: pixels that do not fill the image, sizes below zero and settings without end
// are refused before anything is read.
TEST(MatchImages, RefusesImagesTheirPixelsDoNotFillAndSettingsWithoutEnd) {
  const Image good = BlankImage(20, 24, 3);
  Image empty = good, short_by_one = good, negative = good;
  empty.pixels.clear();
  short_by_one.pixels.pop_back();
  negative.cols = -24;
  for (const Image* bad : {&empty, &short_by_one, &negative}) {
    EXPECT_THROW(MatchImages(*bad, good, MatchOptions()), MatchError);
    EXPECT_THROW(MatchImages(good, *bad, MatchOptions()), MatchError);
    EXPECT_THROW(MatchSelf(*bad, MatchOptions()), MatchError);
    SequenceMatcher sequence{MatchOptions()};
    sequence.Add(good);
    EXPECT_THROW(sequence.Add(*bad), MatchError);
    EXPECT_TRUE(sequence.Add(good).has_value());  // what came before is kept
  }
  try {
    MatchImages(negative, good, MatchOptions());
  } catch (const MatchError& e) {
    EXPECT_STREQ(e.what(), "an image cannot be -24 x 20 pixels");
  }
  for (int32_t MatchOptions::*setting :
       {&MatchOptions::passes, &MatchOptions::coarse_passes, &MatchOptions::mid_passes}) {
    MatchOptions options;
    options.*setting = kMostPasses + 1;
    EXPECT_THROW(MatchImages(good, good, options), MatchError);
  }
  MatchOptions options;
  options.leaf_size = 1 << 20;
  EXPECT_THROW(MatchImages(good, good, options), MatchError);
}

}  // namespace
}  // namespace gck

namespace gck {
namespace {

// The work is split by the image size and the seed, never by the thread count: 1, 2 and 3 threads
// give the same field in every mode, on sizes that split into uneven column bands.
TEST(MatchImages, TheFieldDoesNotDependOnTheThreadCount) {
  std::mt19937 rng(29);
  const Image a = Scene(rng, 71, 203, 3);
  const Image b = Moved(rng, Scene(rng, 66, 150, 3), 3, 5, 12);
  for (const bool self : {false, true})
    for (const int k : {1, 3}) {
      std::vector<Field> fields;
      const Quality quality = kEverySetting[rng() % 4];
      for (const int threads : {1, 2, 3}) {
        MatchOptions options = QualityOptions(quality);
        options.k = k;
        options.threads = threads;
        fields.push_back(self ? MatchSelf(a, options) : MatchImages(a, b, options));
      }
      for (const Field& field : fields) {
        EXPECT_EQ(field.match_rows, fields[0].match_rows) << "self " << self << " k " << k;
        EXPECT_EQ(field.match_cols, fields[0].match_cols) << "self " << self << " k " << k;
        EXPECT_EQ(field.errors, fields[0].errors) << "self " << self << " k " << k;
      }
    }
}

}  // namespace
}  // namespace gck



namespace gck {
namespace {

// Frames prepared once for both their pairs give the fields of separate matches; a frame of
// another size is refused and the sequence goes on from the frames before it.
TEST(SequenceMatcher, GivesTheFieldsOfSeparateMatches) {
  std::mt19937 rng(30);
  std::vector<Image> frames = {Scene(rng, 60, 75, 3)};
  for (int i = 1; i < 5; ++i) frames.push_back(Moved(rng, frames.back(), 1, 2, 6));
  for (const int step : {1, 2}) {
    MatchOptions options;
    options.threads = 2;
    SequenceMatcher sequence(options, step);
    for (size_t i = 0; i < frames.size(); ++i) {
      if (i == 3) {
        EXPECT_THROW(sequence.Add(Scene(rng, 60, 74, 3)), MatchError);
      }
      const std::optional<Field> field = sequence.Add(frames[i]);
      ASSERT_EQ(field.has_value(), int(i) >= step);
      if (!field) continue;
      const Field separate = MatchImages(frames[i - step], frames[i], options);
      EXPECT_EQ(field->match_rows, separate.match_rows) << "pair ending at " << i;
      EXPECT_EQ(field->match_cols, separate.match_cols);
      EXPECT_EQ(field->errors, separate.errors);
    }
  }
}

}  // namespace
}  // namespace gck
