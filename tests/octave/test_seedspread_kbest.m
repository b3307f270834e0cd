function cases = test_seedspread_kbest
  % seedspread_i16_kbest, seedspread_i32_kbest and their within-one-image twins called as a MATLAB
  % user calls them: the lists are rewritten in the arrays passed.
  cases = {@newcomer_takes_slot_zero_and_drops_the_worst, @one_entry_lists_follow_single_best, ...
           @element_classes_agree, @accepting_pixel_is_offered_back_within_one_image, ...
           @no_list_does_nothing, @messages};
end

function names = deliverables
  names = {'seedspread_i16_kbest', 'seedspread_i32_kbest', ...
           'seedspread_i16_kbest_self', 'seedspread_i32_kbest_self'};
end

function usage = kbest_usage
  usage = ['Usage: seedspread_i16(nBestErrorsImg32u, nBestMapping32u, nCurrFiltImgs_A16s, ' ...
           'nCurrFiltImgs_B16s, nCodebookImgA32u, nCodebookImgB32u, nHashTableImgB32u, ' ...
           'nHashsNoe16u, nSequencyOrder16u, nSequencyLevels16u, bDownwardFlag, kOfKNN));' ...
           sprintf('\n')];
end

function c = small_case(seed, k, self)
  % A random valid call on images of up to 7 x 7 pixels, lists of k entries.
  rand('twister', seed);
  c.m = randi([2 7]);
  c.n = randi([2 7]);
  if self
    c.mb = c.m;
    c.nb = c.n;
  else
    c.mb = randi([2 7]);
    c.nb = randi([2 7]);
  end
  K = randi(5);
  R = 2 ^ randi([0 3]);
  c.stack_a = randi([-40 40], K, c.m * c.n);
  c.codes_a = uint32(randi(R, c.m, c.n));
  c.table_a = uint32(randi(c.m * c.n, R, 2));
  if self
    c.stack_b = c.stack_a;
    c.codes_b = c.codes_a;
    c.table_b = c.table_a;
  else
    c.stack_b = randi([-40 40], K, c.mb * c.nb);
    c.codes_b = uint32(randi(R, c.mb, c.nb));
    c.table_b = uint32(randi(c.mb * c.nb, R, 2));
  end
  c.hashes = uint16(randi([0 2]));
  c.downward = rand() < 0.5;
  c.k = k;
  c.errors = uint32(randi([0 5000], k, c.m * c.n));
  c.errors(rand(size(c.errors)) < 0.3) = intmax('uint32');
  c.matches = uint32(randi(c.mb * c.nb, k, c.m * c.n) - 1);
end

function [errors, matches] = sweep(name, c, stack_class)
  % Fresh copies: the deliverable writes into the very buffers it is given.
  errors = c.errors + 0;
  matches = c.matches + 0;
  f = str2func(name);
  f(errors, matches, cast(c.stack_a, stack_class), cast(c.stack_b, stack_class), c.codes_a, ...
    c.codes_b, c.table_a, c.table_b, c.hashes, uint16([1; 2]), uint16([0; 1]), c.downward, ...
    uint32(c.k));
end

function class_name = stack_class_of(name)
  if strncmp(name, 'seedspread_i16', 14)
    class_name = 'int16';
  else
    class_name = 'int32';
  end
end

function newcomer_takes_slot_zero_and_drops_the_worst
  % 2 x 2 images: a downward sweep visits only pixel 3, whose list holds (5, 0) and (9, 1). Pixel 2
  % of B lies at distance 7 = 4 + 1 + 1 + 1 and is its first candidate; everything else it meets is
  % in its list or too far.
  names = deliverables;
  for name = names(1:2)
    stack_a = zeros(4, 4);
    stack_b = [100 0 0 0; 0 100 0 0; 2 1 1 1; 100 100 0 0]';
    errors = uint32([0 0 0 5; 0 0 0 9]);
    matches = uint32([1 1 0 0; 1 1 0 1]);
    f = str2func(name{1});
    cls = stack_class_of(name{1});
    f(errors, matches, cast(stack_a, cls), cast(stack_b, cls), uint32(ones(2)), uint32(ones(2)), ...
      uint32(4), uint32(3), uint16(1), uint16(1), uint16(1), true, uint32(2));
    assert(isequal(errors, uint32([0 0 0 7; 0 0 0 5])), '%s errors', name{1});
    assert(isequal(matches, uint32([1 1 0 2; 1 1 0 0])), '%s matches', name{1});
  end
end

function one_entry_lists_follow_single_best
  for seed = 1:20
    c = small_case(seed, 1, false);
    for cls = {'int16', 'int32'}
      [errors, matches] = sweep(['seedspread_' strrep(cls{1}, 'int', 'i') '_kbest'], c, cls{1});
      e = reshape(c.errors + 0, c.m, c.n);
      m = reshape(c.matches + 0, c.m, c.n);
      proj = str2func(['seedspread_' strrep(cls{1}, 'int', 'i') '_proj']);
      proj(e, m, cast(c.stack_a, cls{1}), cast(c.stack_b, cls{1}), c.codes_a, c.codes_b, ...
           c.table_a, c.table_b, c.hashes, uint16(1), uint16(1), c.downward);
      assert(isequal(errors(:), e(:)) && isequal(matches(:), m(:)), 'seed %d, %s', seed, cls{1});
    end
  end
end

function element_classes_agree
  for seed = 1:20
    for self = [false true]
      c = small_case(100 + seed, randi(4), self);
      suffix = '_kbest';
      if self
        suffix = '_kbest_self';
      end
      [e16, m16] = sweep(['seedspread_i16' suffix], c, 'int16');
      [e32, m32] = sweep(['seedspread_i32' suffix], c, 'int32');
      assert(isequal(e16, e32) && isequal(m16, m32), 'seed %d', seed);
    end
  end
end

function accepting_pixel_is_offered_back_within_one_image
  % 3 x 3 image: pixel 5 (row 2, column 1) alone lies where acceptances are offered back. Its first
  % candidate, pixel 0, lies at distance 6 and is never visited; every other list starts at error 0.
  stack = [100 * (0:8); zeros(2, 9)];
  stack(:, 1) = [2; 1; 1];
  stack(:, 6) = 0;
  matches = uint32(repmat(mod((0:8) + 3, 9), 2, 1));
  matches(:, 1) = [1; 2];
  matches(:, 6) = [5; 5];
  errors = uint32(zeros(2, 9));
  errors(:, 1) = [3; 8];
  errors(:, 6) = intmax('uint32');
  names = deliverables;
  for name = names(3:4)
    e = errors + 0;
    m = matches + 0;
    f = str2func(name{1});
    cls = stack_class_of(name{1});
    f(e, m, cast(stack, cls), cast(stack, cls), uint32(ones(3)), uint32(ones(3)), uint32(2), ...
      uint32(1), uint16(0), uint16(1), uint16(1), true, uint32(2));
    assert(isequal(e(:, 1), uint32([6; 3])) && isequal(m(:, 1), uint32([5; 1])), name{1});
  end
end

function no_list_does_nothing
  c = small_case(7, 2, true);
  for name = deliverables
    for k = [0 2147483648 4294967295]
      c.k = k;
      [errors, matches] = sweep(name{1}, c, stack_class_of(name{1}));
      assert(isequal(errors, c.errors) && isequal(matches, c.matches), '%s, k = %d', name{1}, k);
    end
  end
end

function messages
  c = small_case(9, 2, true);
  columns = ['Input sequency order of GCK kernels and sequency levels of GCK kernels must be ' ...
             'column vectors!'];
  for name = deliverables
    f = str2func(name{1});
    cls = stack_class_of(name{1});
    a = cast(c.stack_a, cls);
    assert_fails_with(@() f(c.errors, c.matches, a, a, c.codes_a, c.codes_b, c.table_a, ...
                            c.table_b, c.hashes, uint16(1), uint16(1), true), kbest_usage);
    assert_fails_with(@() f(c.errors, c.matches, a, a, c.codes_a, c.codes_b, c.table_a, ...
                            c.table_b, c.hashes, uint16([1 2]), uint16(1), true, uint32(2)), columns);
    assert_fails_with(@() f(c.errors, c.matches, a, a, c.codes_a, c.codes_b, c.table_a, ...
                            c.table_b, c.hashes, uint16(1), uint16([1 2]), true, uint32(2)), columns);
    assert_fails_with(@() f(c.errors, c.matches, a, a(1:end - 1, :), c.codes_a, c.codes_b, ...
                            c.table_a, c.table_b, c.hashes, uint16(1), uint16(1), true, uint32(2)), ...
                      'Number of projection images for input and target images must be the same!');
    e = c.errors;
    try
      f(e(:, 1:end - 1), c.matches, a, a, c.codes_a, c.codes_b, c.table_a, c.table_b, c.hashes, ...
        uint16(1), uint16(1), true, uint32(2));
      error('a list too short for k was accepted');
    catch err
      assert(~isempty(strfind(err.message, 'Best errors image')), err.message);
    end
  end
end
