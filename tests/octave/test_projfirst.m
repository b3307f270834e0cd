function cases = test_projfirst
  % projfirst_u8_i16 and projfirst_u8_i32 called as a MATLAB user calls them.
  cases = {@window_sums_match_the_slow_sums, @edges_and_wrap_around, ...
           @three_plane_image_is_one_wide_image, @debug_flag_changes_nothing, ...
           @wrong_counts_give_the_usage_text, @wrong_classes_give_the_class_message, ...
           @widths_that_do_not_fit_are_refused};
end

function names = deliverables
  names = {'projfirst_u8_i16', 'projfirst_u8_i32'};
end

function out = slow_window_sums(image, w, name)
  % Each written position is the plain sum of its window, wrapped into the output's width.
  [m, n] = size(image);
  out = zeros(m, n);
  for c = 1:n - w + 1
    for r = 1:m - w + 1
      out(r, c) = sum(sum(double(image(r:r + w - 1, c:c + w - 1))));
    end
  end
  if strcmp(name, 'projfirst_u8_i16')
    out = int16(mod(out + 32768, 65536) - 32768);
  else
    out = int32(out);
  end
end

function window_sums_match_the_slow_sums
  rand('twister', 20240);
  for name = deliverables
    f = str2func(name{1});
    for trial = 1:25
      m = randi(17);
      n = randi(17);
      w = randi(min(m, n));
      image = uint8(randi([0 255], m, n));
      out = f(image, uint16(w));
      assert(isequal(out, slow_window_sums(image, w, name{1})), ...
             '%s differs on %d x %d, w = %d', name{1}, m, n, w);
    end
  end
end

function edges_and_wrap_around
  bright = uint8(255 * ones(15, 13));
  out16 = projfirst_u8_i16(bright, uint16(12));
  out32 = projfirst_u8_i32(bright, uint16(12));
  assert(isequal(out16(1:4, 1:2), int16(-28816 * ones(4, 2))));
  assert(isequal(out32(1:4, 1:2), int32(36720 * ones(4, 2))));
  assert(~any(any(out16(5:end, :))) && ~any(any(out16(:, 3:end))));

  image = uint8(reshape(0:34, 5, 7));
  assert(isequal(projfirst_u8_i32(image, uint16(1)), int32(image)));
  whole = projfirst_u8_i32(image(:, 1:5), uint16(5));
  assert(whole(1, 1) == sum(sum(double(image(:, 1:5)))) && nnz(whole) == 1);
  rows_only = projfirst_u8_i16(image, uint16(5));
  assert(nnz(rows_only(2:end, :)) == 0 && all(rows_only(1, 1:3) ~= 0));
end

function three_plane_image_is_one_wide_image
  rand('twister', 7);
  planes = uint8(randi([0 255], 6, 5, 3));
  for name = deliverables
    f = str2func(name{1});
    out = f(planes, uint16(3));
    assert(isequal(size(out), [6 15]));
    assert(isequal(out, f(reshape(planes, 6, 15), uint16(3))));
    assert(~any(any(out(:, 14:15))));
  end
end

function debug_flag_changes_nothing
  image = uint8(magic(6));
  for name = deliverables
    f = str2func(name{1});
    plain = f(image, uint16(2));
    for flag = {1, true, uint8(0), int32(-5), single(2.5), [], zeros(0, 3), {1}, 'x'}
      assert(isequal(f(image, uint16(2), flag{1}), plain));
    end
  end
end

function wrong_counts_give_the_usage_text
  image = uint8(magic(4));
  w = uint16(2);
  for name = deliverables
    f = str2func(name{1});
    usage = ['Usage: outputImage=' name{1} '(inputImage8u, nWidth16u, debugFlag(opt));' "\n"];
    assert_fails_with(@() f(image, w), usage);  % no output requested: nlhs is 0
    assert_fails_with(@() take_one(f), usage);
    assert_fails_with(@() take_one(f, image), usage);
    assert_fails_with(@() take_one(f, image, w, 1, 2), usage);
    assert_fails_with(@() take_two(f, image, w), usage);
    assert_fails_with(@() take_one(f, 'wrong class and count'), usage);
  end
end

function wrong_classes_give_the_class_message
  message = 'Input image must be a uint8 matrix and kernel size must be a uint16 scalar!';
  image = uint8(magic(4));
  for name = deliverables
    f = str2func(name{1});
    assert_fails_with(@() take_one(f, double(image), uint16(2)), message);
    assert_fails_with(@() take_one(f, image, 2), message);
    assert_fails_with(@() take_one(f, int8(image), int16(2)), message);
    assert_fails_with(@() take_one(f, 'text', uint16(1)), message);
    assert_fails_with(@() take_one(f, {image}, uint16(1)), message);
    assert_fails_with(@() take_one(f, image > 3, uint16(1)), message);
  end
end

function widths_that_do_not_fit_are_refused
  image = uint8(magic(5));
  for name = deliverables
    f = str2func(name{1});
    for w = {0, 6, 65535}
      assert_fails_with(@() take_one(f, image(:, 1:4), uint16(w{1})), sprintf( ...
          'Kernel size %d must lie between 1 and 4, the smaller side of the image.', w{1}));
    end
    assert_fails_with(@() take_one(f, uint8([]), uint16(1)), ...
                      'Input image is empty: no window fits in it.');
    assert_fails_with(@() take_one(f, image, uint16([])), 'Kernel size must not be empty.');
  end
end

function out = take_one(f, varargin)
  out = f(varargin{:});
end

function [a, b] = take_two(f, varargin)
  [a, b] = f(varargin{:});
end
