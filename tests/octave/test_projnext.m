function cases = test_projnext
  % projnext_i16_rgb, projnext_i32_rgb, projnext_i16_luma and projnext_i32_luma called as a MATLAB
  % user calls them.
  cases = {@steps_match_the_slow_steps, @worked_column_of_ones, @results_wrap_in_sixteen_bits, ...
           @sixteen_bit_rgb_also_computes_the_last_index, @luma_is_plane_zero_of_rgb, ...
           @three_plane_image_returns_a_matrix, @empty_ranges_give_zeros, ...
           @debug_flag_changes_nothing, @wrong_counts_give_the_three_channel_usage_text, ...
           @wrong_classes_give_the_class_message, @steps_that_reach_before_the_plane_are_refused, ...
           @sparse_flags_are_refused};
end

function d = deliverables
  % name, bits, planes, whether d - w along the movement is computed
  d = {'projnext_i16_rgb', 16, 3, true; 'projnext_i32_rgb', 32, 3, false; ...
       'projnext_i16_luma', 16, 1, false; 'projnext_i32_luma', 32, 1, false};
end

function x = as_class(values, bits)
  if bits == 16
    x = int16(values);
  else
    x = int32(values);
  end
end

function y = slow_step(x, w, positive, delta, horizontal, planes, includes_last, bits)
  % The step by its definition, position by position in the stated order, exact in doubles and
  % wrapped into the element width after each position.
  [m, n] = size(x);
  x = double(x);
  plane_cols = floor(n / planes);
  trim = ~includes_last;
  y = zeros(m, n);
  if horizontal
    rows = 2:m;
    cols = (w + 1):(plane_cols - w - trim + 1);
    shift = delta * m;
  else
    rows = (w + 1):(m - w - trim + 1);
    cols = 2:plane_cols;
    shift = delta;
  end
  for c = cols
    for r = rows
      for k = 0:planes - 1
        p = r + (c - 1 + k * plane_cols) * m;
        if positive
          v = x(p) + x(p - shift) + y(p - shift);
        else
          v = x(p) - x(p - shift) - y(p - shift);
        end
        y(p) = mod(v + 2^(bits - 1), 2^bits) - 2^(bits - 1);
      end
    end
  end
  y = as_class(y, bits);
end

function out = step(name, x, w, positive, delta, horizontal)
  f = str2func(name);
  out = f(x, uint16(w), logical(positive), uint16(delta), logical(horizontal));
end

function steps_match_the_slow_steps
  rand('twister', 4242);
  d = deliverables;
  for i = 1:rows(d)
    [name, bits, planes, includes_last] = d{i, :};
    limit = 2^(bits - 1);
    for trial = 1:30
      m = randi(14);
      n = planes * randi(9) + (planes == 3) * randi([0 2]);
      w = randi(floor(max(m, n / planes) / 2) + 2);
      delta = randi(w);
      positive = rand < 0.5;
      horizontal = rand < 0.5;
      x = as_class(randi([-limit, limit - 1], m, n), bits);
      out = step(name, x, w, positive, delta, horizontal);
      assert(isequal(out, slow_step(x, w, positive, delta, horizontal, planes, includes_last, bits)), ...
             '%s differs on %d x %d, w = %d, delta = %d, positive = %d, horizontal = %d', ...
             name, m, n, w, delta, positive, horizontal);
    end
  end
end

function worked_column_of_ones
  d = deliverables;
  for i = 1:rows(d)
    [name, bits, planes, includes_last] = d{i, :};
    x = as_class(ones(9, 6), bits);
    added = step(name, x, 2, true, 1, false);
    last = 9 - 2 - ~includes_last + 1;
    column = [0; 0; 2 * (1:last - 2)'; zeros(9 - last, 1)];
    plane_cols = 6 / planes;
    for c = 1:6
      if mod(c - 1, plane_cols) == 0
        assert(~any(added(:, c)), '%s: column %d', name, c);
      else
        assert(isequal(double(added(:, c)), column), '%s: column %d', name, c);
      end
    end
    assert(~any(any(step(name, x, 2, false, 1, false))), name);
  end
end

function results_wrap_in_sixteen_bits
  x16 = int16(20000 * ones(5, 6));
  x32 = int32(x16);
  for planes = {'rgb', 'luma'}
    out16 = step(['projnext_i16_' planes{1}], x16, 1, true, 1, false);
    out32 = step(['projnext_i32_' planes{1}], x32, 1, true, 1, false);
    assert(isequal(out16(2:3, 2), int16([40000 - 65536; 80000 - 65536])));
    assert(isequal(out32(2:3, 2), int32([40000; 80000])));
  end
end

function sixteen_bit_rgb_also_computes_the_last_index
  rand('twister', 5);
  x = randi([-999 999], 10, 8, 3);
  w = 3;
  out16 = step('projnext_i16_rgb', int16(x), w, true, 2, true);
  out32 = step('projnext_i32_rgb', int32(x), w, true, 2, true);
  last = 8 - w + 1 + [0 8 16];  % column W - w of each plane
  others = setdiff(1:24, last);
  assert(isequal(double(out16(:, others)), double(out32(:, others))));
  assert(~any(any(out32(:, last))) && nnz(out16(2:end, last)) > 0);
  out16 = step('projnext_i16_rgb', int16(x), w, false, 1, false);
  out32 = step('projnext_i32_rgb', int32(x), w, false, 1, false);
  assert(isequal(double(out16([1:7 9:10], :)), double(out32([1:7 9:10], :))));
  assert(~any(out32(8, :)) && nnz(out16(8, :)) > 0);  % row M - w
end

function luma_is_plane_zero_of_rgb
  rand('twister', 6);
  x = randi([-999 999], 9, 11, 3);
  for s = {{2, true, 1, true}, {3, false, 3, false}}
    [w, positive, delta, horizontal] = s{1}{:};
    rgb32 = step('projnext_i32_rgb', int32(x), w, positive, delta, horizontal);
    rgb16 = step('projnext_i16_rgb', int16(x), w, positive, delta, horizontal);
    luma32 = step('projnext_i32_luma', int32(x(:, :, 1)), w, positive, delta, horizontal);
    luma16 = step('projnext_i16_luma', int16(x(:, :, 1)), w, positive, delta, horizontal);
    assert(isequal(luma32, rgb32(:, 1:11)));
    plane = rgb16(:, 1:11);
    if horizontal
      plane(:, 11 - w + 1) = 0;
    else
      plane(9 - w + 1, :) = 0;
    end
    assert(isequal(luma16, plane));
  end
end

function three_plane_image_returns_a_matrix
  rand('twister', 8);
  x = randi([-99 99], 7, 5, 3);
  d = deliverables;
  for i = 1:rows(d)
    [name, bits] = d{i, 1:2};
    out = step(name, as_class(x, bits), 2, true, 1, true);
    assert(isequal(size(out), [7 15]) && isa(out, class(as_class(0, bits))));
    assert(isequal(out, step(name, as_class(reshape(x, 7, 15), bits), 2, true, 1, true)));
  end
end

function empty_ranges_give_zeros
  d = deliverables;
  for i = 1:rows(d)
    [name, bits] = d{i, 1:2};
    x = as_class(ones(8, 24), bits);
    for w = [5 25 65535]
      assert(isequal(step(name, x, w, true, 1, false), as_class(zeros(8, 24), bits)));
    end
    assert(isequal(step(name, x, 13, false, 13, true), as_class(zeros(8, 24), bits)));
    assert(isequal(size(step(name, as_class(zeros(0, 6), bits), 1, true, 1, true)), [0 6]));
  end
end

function debug_flag_changes_nothing
  x = reshape(1:42, 6, 7);
  d = deliverables;
  for i = 1:rows(d)
    [name, bits] = d{i, 1:2};
    f = str2func(name);
    args = {as_class(x, bits), uint16(2), true, uint16(1), false};
    plain = f(args{:});
    for flag = {1, true, uint8(0), int16(-5), single(2.5), [], {1}, 'x'}
      assert(isequal(f(args{:}, flag{1}), plain));
    end
  end
end

function wrong_counts_give_the_three_channel_usage_text
  d = deliverables;
  for i = 1:rows(d)
    [name, bits] = d{i, 1:2};
    f = str2func(name);
    usage = sprintf(['Usage: outputImage=projnext_i%d_rgb(inputImage%ds, nWidth16u, bCurAlphaPos, ' ...
                     'nDelta, bHorizMovement, debugFlag(opt));\n'], bits, bits);
    args = {as_class(magic(4), bits), uint16(1), true, uint16(1), true};
    assert_fails_with(@() f(args{:}), usage);  % no output requested: nlhs is 0
    assert_fails_with(@() take_one(f, args{1:4}), usage);
    assert_fails_with(@() take_one(f, args{:}, 1, 2), usage);
    assert_fails_with(@() take_one(f), usage);
    assert_fails_with(@() take_two(f, args{:}), usage);
    assert_fails_with(@() take_one(f, 'a', 'b', 'c', 'd'), usage);
  end
end

function wrong_classes_give_the_class_message
  d = deliverables;
  for i = 1:rows(d)
    [name, bits] = d{i, 1:2};
    f = str2func(name);
    message = sprintf(['Input image must be a int%d matrix, kernel size must be a uint16 scalar, ' ...
                       'current alpha related kernel must be boolean, the delta step must be ' ...
                       'uint16, and the horizontal movement must be boolean!'], bits);
    args = {as_class(magic(4), bits), uint16(1), true, uint16(1), true};
    wrong = {as_class(magic(4), 48 - bits), 1, uint8(1), true, 1};
    for k = 1:5
      bad = args;
      bad{k} = wrong{k};
      assert_fails_with(@() take_one(f, bad{:}), message);
    end
    assert_fails_with(@() take_one(f, wrong{:}), message);
  end
end

function steps_that_reach_before_the_plane_are_refused
  d = deliverables;
  for i = 1:rows(d)
    [name, bits] = d{i, 1:2};
    f = str2func(name);
    x = as_class(magic(9), bits);
    assert_fails_with(@() take_one(f, x, uint16([]), true, uint16(1), true), ...
                      'Kernel size must not be empty.');
    assert_fails_with(@() take_one(f, x, uint16(2), logical([]), uint16(1), true), ...
                      'Current alpha related kernel must not be empty.');
    assert_fails_with(@() take_one(f, x, uint16(2), true, uint16([]), true), ...
                      'Delta step must not be empty.');
    assert_fails_with(@() take_one(f, x, uint16(2), true, uint16(1), logical([])), ...
                      'Horizontal movement must not be empty.');
    assert_fails_with(@() take_one(f, x, uint16(0), true, uint16(1), true), ...
                      'Kernel size must be at least 1.');
    assert_fails_with(@() take_one(f, x, uint16(3), true, uint16(0), false), ...
                      'Delta step 0 must lie between 1 and the kernel size 3.');
    assert_fails_with(@() take_one(f, x, uint16(3), true, uint16(4), true), ...
                      'Delta step 4 must lie between 1 and the kernel size 3.');
  end
end

function out = take_one(f, varargin)
  out = f(varargin{:});
end

function [a, b] = take_two(f, varargin)
  [a, b] = f(varargin{:});
end

function sparse_flags_are_refused
  % sparse(logical([0 1])) stores its one nonzero first, and was read as true.
  flag = sparse(logical([0 1]));
  for i = 1:rows(deliverables)
    f = str2func(deliverables{i, 1});
    x = as_class(magic(6), deliverables{i, 2});
    assert_fails_with(@() take_one(f, x, uint16(1), flag, uint16(1), true), ...
                      'Input 3 is sparse; pass a full array (full(x)).');
    assert_fails_with(@() take_one(f, x, uint16(1), true, uint16(1), flag), ...
                      'Input 5 is sparse; pass a full array (full(x)).');
  end
end
