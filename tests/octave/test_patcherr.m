function cases = test_patcherr
  % patcherr_rgb and patcherr_gray called as a MATLAB user calls them.
  cases = {@errors_match_the_slow_errors, @known_errors, @margins_bound_the_region, ...
           @three_plane_image_shapes, @debug_flag_changes_nothing, ...
           @wrong_counts_give_the_one_usage_line, @wrong_classes_give_the_class_message, ...
           @reads_outside_an_array_are_refused};
end

function out = slow_errors(a, b, rows, cols, t, u, w)
  % Each pixel of the region: the root of the squared differences over its patch and every plane.
  [m, n, ~] = size(a);
  out = single(zeros(m, n));
  for c = t + 1:n - u
    for r = t + 1:m - u
      pa = double(a(r:r + w - 1, c:c + w - 1, :));
      pb = double(b(rows(r, c):rows(r, c) + w - 1, cols(r, c):cols(r, c) + w - 1, :));
      out(r, c) = single(sqrt(sum((pa(:) - pb(:)) .^ 2)));
    end
  end
end

function [a, b, rows, cols] = random_scene(planes, w)
  a = uint8(randi([0 255], w + randi(12) - 1, w + randi(12) - 1, planes));
  b = uint8(randi([0 255], w + randi(12) - 1, w + randi(12) - 1, planes));
  rows = uint16(randi(size(b, 1) - w + 1, size(a, 1), size(a, 2)));
  cols = uint16(randi(size(b, 2) - w + 1, size(a, 1), size(a, 2)));
end

function errors_match_the_slow_errors
  rand('twister', 4101);
  for planes = [3 1]
    f = ifelse(planes == 3, @patcherr_rgb, @patcherr_gray);
    for trial = 1:20
      w = randi(10);
      [a, b, rows, cols] = random_scene(planes, w);
      t = randi(3) - 1;
      u = w - 1 + randi(3) - 1;
      out = f(a, b, rows, cols, uint16(t), uint16(u), uint16(w));
      assert(isequal(out, slow_errors(a, b, rows, cols, t, u, w)), ...
             '%d planes differ, trial %d, w = %d', planes, trial, w);
    end
  end
end

function known_errors
  image = uint8(randi([0 255], 9, 11, 3));
  [r, c] = ndgrid(1:9, 1:11);
  same = patcherr_rgb(image, image, uint16(min(r, 6)), uint16(min(c, 8)), ...
                      uint16(0), uint16(3), uint16(4));
  assert(isequal(same, single(zeros(9, 11))));
  a = uint8(zeros(3, 4));
  b = a;
  b(2, 3) = 255;
  one = patcherr_gray(a, b, uint16(2 * ones(3, 4)), uint16(3 * ones(3, 4)), ...
                      uint16(0), uint16(0), uint16(1));
  assert(one(2, 3) == single(255));
  a = uint8(10 * ones(1, 1, 3));
  b = a;
  b(1, 1, 2) = 13;
  b(1, 1, 3) = 6;
  assert(patcherr_rgb(a, b, uint16(1), uint16(1), uint16(0), uint16(0), uint16(1)) == single(5));
end

function margins_bound_the_region
  [a, b, rows, cols] = random_scene(3, 2);
  [m, n, ~] = size(a);
  out = patcherr_rgb(a, b, rows, cols, uint16(2), uint16(3), uint16(2));
  inside = false(m, n);
  inside(3:m - 3, 3:n - 3) = true;
  assert(isequal(out ~= 0, inside));
  % An empty region reads nothing: no width, mapping or margin is looked at.
  for f = {@patcherr_rgb, @patcherr_gray}
    empty = f{1}(a, b, uint16([]), uint16(0), uint16(m), uint16(0), uint16(60000));
    assert(isa(empty, 'single') && isequal(size(empty), [m, n * ifelse(isequal(f{1}, @patcherr_gray), 3, 1)]));
    assert(~any(empty(:)));
  end
end

function three_plane_image_shapes
  [a, b, rows, cols] = random_scene(3, 3);
  [m, n, ~] = size(a);
  flat = patcherr_rgb(reshape(a, m, []), reshape(b, size(b, 1), []), rows, cols, ...
                      uint16(1), uint16(2), uint16(3));
  assert(isequal(flat, patcherr_rgb(a, b, rows, cols, uint16(1), uint16(2), uint16(3))));
  % Grey sees one image three times as wide.
  rows = uint16(ones(m, 3 * n));
  cols = rows;
  wide = patcherr_gray(a, b, rows, cols, uint16(0), uint16(2), uint16(3));
  assert(isequal(wide, slow_errors(reshape(a, m, []), reshape(b, size(b, 1), []), rows, cols, 0, 2, 3)));
end

function debug_flag_changes_nothing
  [a, b, rows, cols] = random_scene(1, 3);
  plain = patcherr_gray(a, b, rows, cols, uint16(1), uint16(2), uint16(3));
  for flag = {1, true, int8(-3), []}
    assert(isequal(patcherr_gray(a, b, rows, cols, uint16(1), uint16(2), uint16(3), flag{1}), plain));
  end
end

function wrong_counts_give_the_one_usage_line
  usage = ['Usage: outputImage=patcherr_rgb(inputRefImage8u_C3, inputTargetImage8u_C3, ' ...
           'rowMapping16u, colMapping16u, TLboundary16u, BRboundary16u, nWidth16u, debugFlag(opt));' ...
           "\n"];
  [a, b, rows, cols] = random_scene(3, 1);
  z = uint16(0);
  for f = {@patcherr_rgb, @patcherr_gray}
    assert_fails_with(@() take_one(f{1}, a, b, rows, cols, z, z), usage);
    assert_fails_with(@() take_one(f{1}, a, b, rows, cols, z, z, uint16(1), 1, 1), usage);
    assert_fails_with(@() take_one(f{1}, 1, 2, 3, 4, 5, 6), usage);
    assert_fails_with(@() f{1}(a, b, rows, cols, z, z, uint16(1)), usage);  % nlhs is 0
    assert_fails_with(@() take_two(f{1}, a, b, rows, cols, z, z, uint16(1)), usage);
  end
end

function out = take_one(f, varargin)
  out = f(varargin{:});
end

function [a, b] = take_two(f, varargin)
  [a, b] = f(varargin{:});
end

function wrong_classes_give_the_class_message
  message = ['input and target images must be uint8 matrices, row and column mapping images must ' ...
             'be a uint16 matrices, top-left and bottom-right of ROI must be a uint16 scalars and ' ...
             'kernel size must be a uint16 scalar!'];
  [a, b, rows, cols] = random_scene(3, 1);
  z = uint16(0);
  for f = {@patcherr_rgb, @patcherr_gray}
    assert_fails_with(@() take_one(f{1}, a, b, uint8(rows), cols, z, z, uint16(1)), message);
    assert_fails_with(@() take_one(f{1}, a, b, rows, cols, z, 0, uint16(1)), message);
    assert_fails_with(@() take_one(f{1}, double(a), b, rows, cols, z, z, 1), message);
  end
end

function reads_outside_an_array_are_refused
  a = uint8(randi([0 255], 8, 10));
  b = uint8(randi([0 255], 6, 7));
  rows = uint16(4 * ones(8, 10));
  cols = uint16(5 * ones(8, 10));
  w = uint16(3);
  assert(isequal(patcherr_gray(a, b, rows, cols, uint16(1), uint16(2), w), ...
                 slow_errors(a, b, rows, cols, 1, 2, 3)));
  assert_fails_with(@() take_one(@patcherr_gray, a, b, rows, cols, uint16(1), uint16(1), w), ...
      ['The 3x3 patch of pixel (7, 2) crosses the edge of the 8 x 10 input image: ' ...
       'the bottom-right margin must be at least 2.']);
  zero = rows;
  zero(6, 4) = 0;
  assert_fails_with(@() take_one(@patcherr_gray, a, b, zero, cols, uint16(1), uint16(2), w), ...
      'Pixel (6, 4) is mapped to row 0, column 5: mappings are 1-based.');
  low = rows;
  low(4, 3) = 5;
  assert_fails_with(@() take_one(@patcherr_gray, a, b, low, cols, uint16(1), uint16(2), w), ...
      'Pixel (4, 3) is mapped to row 5, column 5, where a 3x3 patch leaves the 6 x 7 target image.');
  short = rows(:, 1:9);
  assert_fails_with(@() take_one(@patcherr_gray, a, b, short, cols, uint16(1), uint16(2), w), ...
      'The row mapping image has 72 elements, fewer than the 8 x 10 pixels of the input image.');
  a = cat(3, a, a, a);
  b = cat(3, b, b, b);
  assert_fails_with(@() take_one(@patcherr_rgb, a, b, rows, cols, uint16(0), uint16(0), uint16(105)), ...
      'Kernel size 105 is too large: the error sum of a patch fits 32 bits up to width 104.');
end

function value = ifelse(condition, yes, no)
  if condition
    value = yes;
  else
    value = no;
  end
end
