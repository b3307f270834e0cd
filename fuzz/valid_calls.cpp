#include "fuzz/valid_calls.h"

#include <random>

namespace gck::fuzz {
namespace {

using host::Array;

class Maker {
 public:
  explicit Maker(unsigned seed) : rng_(seed) {}

  // count values drawn uniformly from [low, high].
  template <class T>
  std::vector<T> Values(size_t count, int64_t low, int64_t high) {
    std::uniform_int_distribution<int64_t> value(low, high);
    std::vector<T> values(count);
    for (auto& v : values) v = static_cast<T>(value(rng_));
    return values;
  }
  template <class T>
  Array Random(const std::vector<size_t>& dims, int64_t low, int64_t high) {
    size_t count = 1;
    for (size_t d : dims) count *= d;
    return Array::Of<T>(dims, Values<T>(count, low, high));
  }

  // 0-based matches into an image of rows x cols that stay off its first and last column and off
  // its last row, so that a neighbour's match moved by one pixel in either sweep stays inside.
  std::vector<uint32_t> InnerMatches(size_t count, int rows, int cols) {
    std::vector<uint32_t> matches(count);
    for (auto& m : matches) {
      const auto row = Values<uint32_t>(1, 0, rows - 2)[0];
      const auto col = Values<uint32_t>(1, 1, cols - 2)[0];
      m = row + col * static_cast<uint32_t>(rows);
    }
    return matches;
  }

 private:
  std::mt19937 rng_;
};

bool Has(const std::string& name, const char* part) { return name.find(part) != std::string::npos; }

template <class T>
std::vector<CallSpec> ProjFirstCalls() {
  Maker make(1);
  std::vector<CallSpec> calls(3);
  calls[0].Add(make.Random<uint8_t>({9, 7}, 0, 255));
  calls[0].Add(Array::Scalar<uint16_t>(3));
  calls[1].Add(make.Random<uint8_t>({6, 4, 3}, 0, 255));
  calls[1].Add(Array::Scalar<uint16_t>(2));
  calls[1].Add(Array::Scalar<double>(1));
  calls[2].Add(Array::Of<uint8_t>({5, 5}, std::vector<uint8_t>(25, 255)));
  calls[2].Add(Array::Of<uint16_t>({1, 3}, {5, 9, 9}));
  for (auto& call : calls) call.nlhs = 1;
  return calls;
}

template <class T>
std::vector<CallSpec> ProjNextCalls() {
  Maker make(2);
  struct Step {
    std::vector<size_t> dims;
    uint16_t width, delta;
    bool alpha, horizontal, debug;
  };
  const Step steps[] = {{{8, 15}, 2, 1, true, true, false},
                        {{9, 4, 3}, 3, 2, false, false, true},
                        {{12, 18}, 4, 4, true, false, false},
                        {{10, 21}, 3, 1, false, true, false}};
  std::vector<CallSpec> calls;
  for (const Step& step : steps) {
    CallSpec call;
    call.nlhs = 1;
    call.Add(make.Random<T>(step.dims, -1000, 1000));
    call.Add(Array::Scalar<uint16_t>(step.width));
    call.Add(Array::Logical(step.alpha));
    call.Add(Array::Scalar<uint16_t>(step.delta));
    call.Add(Array::Logical(step.horizontal));
    if (step.debug) call.Add(Array::Logical(true));
    calls.push_back(std::move(call));
  }
  return calls;
}

template <class T>
std::vector<CallSpec> BucketMapCalls() {
  Maker make(3);
  const int entries = 20;
  std::vector<CallSpec> calls(2);
  calls[0].Add(make.Random<uint32_t>({entries, 1}, 0, 0xFFFFFFFF));
  calls[0].Add(make.Random<T>({5, 6}, 1, entries));
  calls[0].Add(make.Random<T>({3, 4, 2}, 1, entries));
  calls[1].Add(make.Random<uint32_t>({4, 5}, 0, 1000));
  calls[1].Add(make.Random<T>({7, 3}, 1, entries));
  calls[1].Add(Array(static_cast<mxClassID>(ClassOf<T>::value), {0, 3}));
  for (auto& call : calls) call.nlhs = 2;
  return calls;
}

std::vector<CallSpec> BucketFillCalls(bool windows_build) {
  Maker make(4);
  const int bits = 3, buckets = 1 << bits, rows = 6, cols = 5;
  std::vector<CallSpec> calls;
  for (int variant = 0; variant < 3; ++variant) {
    const int slots = windows_build ? (variant == 1 ? 2 : 4) : 2;
    const int offset = variant == 2 ? 4 : 0;
    CallSpec call;
    call.Add(make.Random<uint32_t>({buckets, size_t(slots)}, 0, 100));
    call.Add(make.Random<uint32_t>({1, size_t(offset + rows * cols)}, 1, buckets));
    if (variant == 1) {  // any numeric class serves as a scalar
      call.Add(Array::Scalar<uint8_t>(bits));
      call.Add(Array::Scalar<int32_t>(rows));
      call.Add(Array::Scalar<uint16_t>(cols));
      call.Add(Array::Scalar<float>(offset));
    } else {
      call.Add(Array::Scalar<double>(bits));
      call.Add(Array::Scalar<double>(rows));
      call.Add(Array::Scalar<double>(cols));
      call.Add(Array::Scalar<double>(offset));
    }
    if (windows_build) call.Add(Array::Scalar<double>(slots));
    calls.push_back(std::move(call));
  }
  return calls;
}

std::vector<CallSpec> HashCalls(bool windows_build) {
  Maker make(5);
  std::vector<CallSpec> calls;
  const int settings[][2] = {{1, 16}, {4, 31}, {9, 5}, {6, 0}};
  for (const auto& setting : settings) {
    CallSpec call;
    call.nlhs = 1;
    if (windows_build) {
      call.Add(make.Random<uint32_t>({4, 5}, 0, 0xFFFFFFFF));
    } else {
      call.Add(make.Random<uint64_t>({4, 5}, 0, INT64_MAX));
    }
    call.Add(Array::Scalar<double>(setting[0]));
    call.Add(Array::Scalar<double>(setting[1]));
    calls.push_back(std::move(call));
  }
  return calls;
}

std::vector<CallSpec> PatchErrCalls(bool colour) {
  Maker make(6);
  const size_t planes = colour ? 3 : 1;
  struct Setting {
    size_t rows_a, cols_a, rows_b, cols_b;
    uint16_t t, u, w;
  };
  // The last patches are tall enough for the columns to be summed eight pixels at a time.
  const Setting settings[] = {
      {7, 6, 8, 9, 0, 1, 2}, {7, 6, 8, 9, 1, 2, 3}, {7, 6, 8, 9, 2, 0, 1}, {12, 10, 12, 11, 0, 1, 9}};
  std::vector<CallSpec> calls;
  for (const Setting& s : settings) {
    CallSpec call;
    call.nlhs = 1;
    call.Add(make.Random<uint8_t>({s.rows_a, s.cols_a, planes}, 0, 255));
    call.Add(make.Random<uint8_t>({s.rows_b, s.cols_b, planes}, 0, 255));
    call.Add(make.Random<uint16_t>({s.rows_a, s.cols_a}, 1, int(s.rows_b) - s.w + 1));
    call.Add(make.Random<uint16_t>({s.rows_a, s.cols_a}, 1, int(s.cols_b) - s.w + 1));
    call.Add(Array::Scalar<uint16_t>(s.t));
    call.Add(Array::Scalar<uint16_t>(s.u + s.w - 1));
    call.Add(Array::Scalar<uint16_t>(s.w));
    if (s.t == 1) call.Add(Array::Scalar<double>(0));
    calls.push_back(std::move(call));
  }
  return calls;
}

// Twelve inputs (thirteen with k) of a propagation sweep from A (rows x cols) into B. In one image
// B is A and its stack, codes and table are passed twice, as the caller does.
template <class T>
CallSpec SweepCall(Maker& make, bool one_image, int k, uint16_t slots_read, bool downward,
                   size_t kernels) {
  const int rows = 6, cols = 5, bits = 3, buckets = 1 << bits, slots = 2;
  const int rows_b = one_image ? rows : 7, cols_b = one_image ? cols : 6;
  const size_t pixels = rows * cols, pixels_b = rows_b * cols_b;
  const size_t entries = k > 0 ? size_t(k) : 1;
  const std::vector<size_t> list_dims =
      k > 0 ? std::vector<size_t>{entries, size_t(rows), size_t(cols)}
            : std::vector<size_t>{size_t(rows), size_t(cols)};
  CallSpec call;
  call.Add(Array::Of<uint32_t>(list_dims, std::vector<uint32_t>(entries * pixels, 0xFFFFFFFF)));
  call.Add(Array::Of<uint32_t>(list_dims, make.InnerMatches(entries * pixels, rows_b, cols_b)));
  const int stack_a = call.Add(make.Random<T>({kernels, pixels}, -300, 300));
  if (one_image) {
    call.Repeat(stack_a);
  } else {
    call.Add(make.Random<T>({kernels, pixels_b}, -300, 300));
  }
  const int codes_a = call.Add(make.Random<uint32_t>({size_t(rows), size_t(cols)}, 1, buckets));
  if (one_image) {
    call.Repeat(codes_a);
  } else {
    call.Add(make.Random<uint32_t>({size_t(rows_b), size_t(cols_b)}, 1, buckets));
  }
  const int table_a = call.Add(make.Random<uint32_t>({buckets, slots}, 1, pixels));
  if (one_image) {
    call.Repeat(table_a);
  } else {
    call.Add(make.Random<uint32_t>({buckets, slots}, 1, pixels_b));
  }
  call.Add(Array::Scalar<uint16_t>(slots_read));
  std::vector<uint16_t> order(kernels), levels(kernels);
  for (size_t i = 0; i < kernels; ++i) order[i] = uint16_t(i), levels[i] = uint16_t((i + 1) / 2);
  call.Add(Array::Of<uint16_t>({kernels, 1}, order));
  call.Add(Array::Of<uint16_t>({kernels, 1}, levels));
  call.Add(Array::Logical(downward));
  if (k > 0) call.Add(Array::Scalar<uint32_t>(k));
  return call;
}

template <class T>
std::vector<CallSpec> SweepCalls(bool kbest, bool one_image) {
  Maker make(7);
  std::vector<CallSpec> calls;
  calls.push_back(SweepCall<T>(make, one_image, kbest ? 3 : 0, 2, true, 3));
  calls.push_back(SweepCall<T>(make, one_image, kbest ? 1 : 0, 1, false, 3));
  calls.push_back(SweepCall<T>(make, one_image, kbest ? 2 : 0, 0, true, 3));
  // An even stack height leaves one projection after the pairs the distance takes at once.
  calls.push_back(SweepCall<T>(make, one_image, kbest ? 2 : 0, 2, false, 4));
  return calls;
}

template <class T>
std::vector<CallSpec> CallsOfType(const std::string& name) {
  if (Has(name, "projfirst_")) return ProjFirstCalls<T>();
  if (Has(name, "projnext_")) return ProjNextCalls<T>();
  if (Has(name, "bucketmap_")) return BucketMapCalls<T>();
  if (Has(name, "seedspread_")) return SweepCalls<T>(Has(name, "_kbest"), Has(name, "_self"));
  return {};
}

}  // namespace

std::vector<CallSpec> ValidCalls(const std::string& name, bool windows_build) {
  if (name == "bucketfill") return BucketFillCalls(windows_build);
  if (name == "hash") return HashCalls(windows_build);
  if (name == "patcherr_rgb" || name == "patcherr_gray") return PatchErrCalls(name == "patcherr_rgb");
  if (Has(name, "_i16")) return CallsOfType<int16_t>(name);
  if (Has(name, "_i32")) return CallsOfType<int32_t>(name);
  return {};
}

}  // namespace gck::fuzz
