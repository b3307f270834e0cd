#include <gtest/gtest.h>

#include <optional>
#include <random>

#include "matcher/exact_search.h"
#include "matcher/matcher.h"
#include "matcher/sequence.h"
#include "tests/matcher/scenes.h"
#include "tests/reference/patch_match_reference.h"

namespace gck {
namespace {

float Measured(const Image& a, int r, int c, const Image& b, int rb, int cb, int width) {
  return static_cast<float>(std::sqrt(double(reference::PatchSsd(a, r, c, b, rb, cb, width))));
}

// A field of k random anchors of B per anchor of A, without errors.
Field RandomField(std::mt19937& rng, const Image& a, const Image& b, int width, int k) {
  Field field;
  field.rows = a.rows - width + 1, field.cols = a.cols - width + 1, field.k = k, field.width = width;
  for (size_t e = 0; e < field.anchors() * k; ++e) {
    field.match_rows.push_back(int(rng() % (b.rows - width + 1)));
    field.match_cols.push_back(int(rng() % (b.cols - width + 1)));
  }
  return field;
}

// An exact start stays exact; from any start no anchor ends worse than its best start entry, the
// errors are the true ones and the thread count changes nothing, whatever the start's k.
TEST(StartField, NoAnchorEndsWorseThanItsStartAndAnExactOneStaysExact) {
  std::mt19937 rng(41);
  const Image a = Scene(rng, 45, 60, 3);
  const Image b = Moved(rng, Scene(rng, 50, 48, 3), 2, 3, 8);
  MatchOptions options;
  options.width = 6;
  const Field exact = ExactSearch(a, b, options.width);
  options.start_field = &exact;
  const Field again = MatchImages(a, b, options);
  EXPECT_EQ(again.errors, exact.errors);

  // Recorded errors that no anchor meets any more: the pair is matched as without a start, and
  // the start's entries join the lists at the end.
  Field exact_but_unmet = exact;
  std::fill(exact_but_unmet.errors.begin(), exact_but_unmet.errors.end(), 0.0f);
  options.start_field = &exact_but_unmet;
  EXPECT_EQ(MatchImages(a, b, options).errors, exact.errors);

  for (const int k_start : {1, 3})
    for (const int k : {1, 2}) {
      const Field start = RandomField(rng, a, b, options.width, k_start);
      options.start_field = &start;
      options.k = k;
      std::vector<Field> fields;
      for (const int threads : {1, 2}) {
        options.threads = threads;
        fields.push_back(MatchImages(a, b, options));
      }
      const Field& field = fields[0];
      EXPECT_EQ(field.match_rows, fields[1].match_rows);
      EXPECT_EQ(field.errors, fields[1].errors);
      for (int c = 0; c < field.cols; ++c)
        for (int r = 0; r < field.rows; ++r) {
          const size_t p = r + size_t(c) * field.rows;
          float best_start = 1e30f;
          for (int s = 0; s < k_start; ++s)
            best_start = std::min(best_start, Measured(a, r, c, b, start.match_rows[p * k_start + s],
                                                       start.match_cols[p * k_start + s], 6));
          ASSERT_LE(field.errors[p * k], best_start) << r << "," << c;
          for (int s = 0; s < k; ++s)
            ASSERT_EQ(field.errors[p * k + s],
                      Measured(a, r, c, b, field.match_rows[p * k + s], field.match_cols[p * k + s], 6));
        }
    }
}

// A start whose errors are recorded: the anchors whose patches did not change keep their exact
// matches; those in a block cloned from elsewhere are searched again and find the clone's source,
// which their neighbours' matches alone would never reach.
TEST(StartField, SearchesWhereThePatchesChanged) {
  std::mt19937 rng(42);
  const Image a = Scene(rng, 60, 70, 3);
  const Image b = Moved(rng, a, 1, 2, 4);
  const int width = 5;
  const Field exact = ExactSearch(a, b, width);
  Image edited = a;
  for (int k = 0; k < 3; ++k)
    for (int c = 20; c < 35; ++c)
      for (int r = 20; r < 35; ++r) edited.at(r, c, k) = a.at(r + 22, c + 30, k);
  MatchOptions options;
  options.width = width;
  options.start_field = &exact;
  const Field field = MatchImages(edited, b, options);
  const Field exact_edited = ExactSearch(edited, b, width);
  double block = 0, block_exact = 0;
  for (int c = 0; c < field.cols; ++c)
    for (int r = 0; r < field.rows; ++r) {
      const size_t p = r + size_t(c) * field.rows;
      const float start = Measured(edited, r, c, b, exact.match_rows[p], exact.match_cols[p], width);
      if (start == exact.errors[p]) {
        ASSERT_EQ(field.errors[p], exact.errors[p]) << r << "," << c;
      } else if (r >= 20 && r + width <= 35 && c >= 20 && c + width <= 35) {
        block += field.errors[p], block_exact += exact_edited.errors[p];
      }
    }
  EXPECT_LT(block, 1.2 * block_exact);
}

TEST(StartField, RefusesAFieldOfAnotherGridOrOutsideB) {
  std::mt19937 rng(43);
  const Image a = Scene(rng, 30, 40, 1), b = Scene(rng, 20, 25, 1);
  MatchOptions options;
  options.width = 4;
  const Field good = RandomField(rng, a, b, 4, 2);
  const auto refused = [&](Field start, const std::string& message) {
    options.start_field = &start;
    try {
      MatchImages(a, b, options);
      ADD_FAILURE() << "accepted: " << message;
    } catch (const MatchError& e) {
      EXPECT_EQ(e.what(), message);
    }
  };
  Field wrong = good;
  wrong.rows -= 1;
  refused(wrong, "the start field has 37 x 26 anchors, A has 37 x 27 at width 4");
  wrong = good;
  wrong.match_cols[5] = 22;
  refused(wrong, "the start field's match (" + std::to_string(wrong.match_rows[5]) +
                     ", 22) of anchor (2, 0) is not an anchor of B, whose anchors are 22 x 17");
  wrong = good;
  wrong.match_rows.pop_back();
  refused(wrong, "the start field must hold 1 to 1024 matches for every anchor");
  wrong = good;
  wrong.k = 0;
  refused(wrong, "the start field must hold 1 to 1024 matches for every anchor");
}

}  // namespace
}  // namespace gck

namespace gck {
namespace {

// A clip of two unrelated scenes, each moving a little from frame to frame: the temporal pairs
// come close to separate matches, the cut and the pair after it included, on any thread count.
TEST(SequenceMatcher, TemporalPairsSurviveASceneCut) {
  std::mt19937 rng(44);
  std::vector<Image> clip = {Scene(rng, 70, 90, 3)};
  for (int i = 1; i < 8; ++i)
    clip.push_back(i == 4 ? Scene(rng, 70, 90, 3) : Moved(rng, clip.back(), 1, 1, 3));
  for (const int step : {1, 2}) {
    std::vector<std::vector<Field>> runs;
    for (const int threads : {1, 2}) {
      MatchOptions options;
      options.threads = threads;
      SequenceMatcher sequence(options, step, true);
      runs.emplace_back();
      for (const Image& frame : clip)
        if (std::optional<Field> field = sequence.Add(frame)) runs.back().push_back(*field);
    }
    ASSERT_EQ(runs[0].size(), clip.size() - step);
    for (size_t i = 0; i < runs[0].size(); ++i) {
      EXPECT_EQ(runs[0][i].match_rows, runs[1][i].match_rows);
      EXPECT_EQ(runs[0][i].errors, runs[1][i].errors);
      const Field separate = MatchImages(clip[i], clip[i + step], MatchOptions());
      EXPECT_LE(runs[0][i].MeanRmsError(), 1.02 * separate.MeanRmsError())
          << "step " << step << " pair " << i;
    }
  }
}

}  // namespace
}  // namespace gck
