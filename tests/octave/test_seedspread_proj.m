function cases = test_seedspread_proj
  % seedspread_i16_proj and seedspread_i32_proj called as a MATLAB user calls them: one sweep per
  % call, the best errors and the mapping rewritten in the caller's own arrays.
  cases = {@sweeps_rewrite_the_callers_arrays, @image_against_itself_ends_at_the_identity, ...
           @wrong_counts_give_the_usage_text, @wrong_classes_give_the_class_message, ...
           @bad_sizes_are_refused_before_anything_is_written, ...
           @arrays_sharing_memory_are_refused_before_anything_is_written};
end

function names = deliverables
  names = {'seedspread_i16_proj', 'seedspread_i32_proj'};
end

function s = stack(name, values)
  if strcmp(name, 'seedspread_i16_proj')
    s = int16(values);
  else
    s = int32(values);
  end
end

function args = two_by_two(name, map, downward)
  % A: 2 x 2 zeros, one kernel; B: 4 x 4 holding q + 1 at its 0-based pixel q; empty tables, so only
  % the moved neighbour matches are candidates.
  args = {uint32(4294967295 * ones(2, 2)), uint32(reshape(map, 2, 2)), stack(name, zeros(1, 4)), ...
          stack(name, 1:16), uint32(ones(2, 2)), uint32(ones(4, 4)), uint32(0), uint32(0), ...
          uint16(1), uint16([1; 2]), uint16([1; 2]), downward};
end

function sweeps_rewrite_the_callers_arrays
  big = 4294967295;
  for name = deliverables
    f = str2func(name{1});
    % Downward: pixel 3 takes B's pixel 7 + 1 = 8 at distance 81 (after 5 + 4 = 9 at 100).
    args = two_by_two(name{1}, [9 5 7 0], true);
    [E, Map] = args{1:2};
    f(E, Map, args{3:end});
    assert(isequal(Map, uint32([9 7; 5 8])), '%s downward mapping', name{1});
    assert(isequal(E, uint32([big big; big 81])), '%s downward errors', name{1});
    % Upward: pixel 0 takes 6 - 1 = 5 at distance 36 (after 13 - 4 = 9 at 100).
    args = two_by_two(name{1}, [3 6 13 0], false);
    [E, Map] = args{1:2};
    f(E, Map, args{3:end});
    assert(isequal(Map, uint32([5 13; 6 0])), '%s upward mapping', name{1});
    assert(isequal(E, uint32([36 big; big big])), '%s upward errors', name{1});
  end
end

function image_against_itself_ends_at_the_identity
  rand('twister', 7);
  m = 6;
  n = 5;
  p = 0:m * n - 1;
  vectors = [p; floor(p / 7); -p];
  codes = uint32(randi(4, m, n));
  table = uint32(randi(m * n, 4, 2));
  for name = deliverables
    f = str2func(name{1});
    E = uint32(4294967295 * ones(m, n));
    Map = uint32(zeros(m, n));
    E(1, :) = 0;
    E(:, 1) = 0;
    Map(1, :) = p(1:m:end);
    Map(:, 1) = p(1:m)';
    s = stack(name{1}, vectors);
    f(E, Map, s, s, codes, codes, table, table, uint16(2), uint16([]), uint16([]), true);
    assert(isequal(Map, uint32(reshape(p, m, n))), '%s mapping', name{1});
    assert(~any(E(:)), '%s errors', name{1});
  end
end

function wrong_counts_give_the_usage_text
  usage = ['Usage: seedspread_i16(nBestErrorsImg32u, nBestMapping32u, nCurrFiltImgs_A16s, ' ...
           'nCurrFiltImgs_B16s, nCodebookImgA32u, nCodebookImgB32u, nHashTableImgB32u, ' ...
           'nHashsNoe16u, nSequencyOrder16u, nSequencyLevels16u, bDownwardFlag));' "\n"];
  for name = deliverables
    f = str2func(name{1});
    args = two_by_two(name{1}, [9 5 7 0], true);
    assert_fails_with(@() f(args{1:11}), usage);
    assert_fails_with(@() f(args{:}, uint32(1)), usage);
    assert_fails_with(@() eval_with_output(f, args), usage);
  end
end

function eval_with_output(f, args)
  out = f(args{:});  %#ok<NASGU>
end

function wrong_classes_give_the_class_message
  message = ['Input best errors image must be a uint32 matrix, input linear mapping image must ' ...
             'be a uint32 matrix, input and target GCK projections images must be int16 ' ...
             'matrices inside a cell array, input and target codebook images must be a uint32 ' ...
             'matrices, Hash table of target image must be a uint32 matrix, number of indices ' ...
             'in each hash entry must be a uint8 scalar, sequency order of GCK kernels must be ' ...
             'a uint8 vector, sequency levels of GCK kernels must be a uint8 vector and ' ...
             'downwarads or upwards iteration must be a boolean!'];
  for name = deliverables
    f = str2func(name{1});
    for position = 1:12
      args = two_by_two(name{1}, [9 5 7 0], true);
      args{position} = double(args{position});
      assert_fails_with(@() f(args{:}), message);
    end
    args = two_by_two(name{1}, [9 5 7 0], true);
    args{9} = uint8(1);
    assert_fails_with(@() f(args{:}), message);
    other = setdiff(deliverables, name);
    args{3} = stack(other{1}, zeros(1, 4));
    args{4} = stack(other{1}, 1:16);
    assert_fails_with(@() f(args{:}), message);
  end
end

function bad_sizes_are_refused_before_anything_is_written
  for name = deliverables
    f = str2func(name{1});
    args = two_by_two(name{1}, [9 5 7 0], true);
    [E, Map] = args{1:2};
    tall = args;
    tall{4} = stack(name{1}, ones(2, 8));
    assert_fails_with(@() f(E, Map, tall{3:end}), ...
                      'Number of projection images for input and target images must be the same!');
    short = args;
    short{3} = stack(name{1}, zeros(1, 3));
    assert_fails_with(@() f(E, Map, short{3:end}), ...
                      'Projection stack of A holds 3 elements; this call needs at least 4.');
    slots = args;
    slots{9} = uint16(2);
    assert_fails_with(@() f(E, Map, slots{3:end}), ...
                      'Hash table of A holds 1 elements; this call needs at least 2.');
    assert(isequal(Map, uint32([9 7; 5 0])) && all(E(:) == 4294967295), '%s wrote', name{1});
  end
end

function arrays_sharing_memory_are_refused_before_anything_is_written
  % Octave shares data between variables assigned from one another and between a contiguous column
  % range and the array it was taken from; the sweep would rewrite what it reads.
  for name = deliverables
    f = str2func(name{1});
    args = two_by_two(name{1}, [9 5 7 0], true);
    E = args{1};
    Map = E;
    assert_fails_with(@() f(E, Map, args{3:end}), ...
                      'Best errors image and linear mapping image must not share memory.');
    codes = args{6};
    Map = codes;
    assert_fails_with(@() f(E, Map, args{3:5}, codes, args{7:end}), ...
                      'Linear mapping image and codebook image of B must not share memory.');
    table = args{8};
    assert_fails_with(@() f(table, args{2:7}, table, args{9:end}), ...
                      'Best errors image and hash table of B must not share memory.');
    big = uint32(reshape(1:12, 2, 6));
    E = big(:, 1:2);
    Map = big(:, 2:3);  % its first column is the second column of E
    assert_fails_with(@() f(E, Map, args{3:end}), ...
                      'Best errors image and linear mapping image must not share memory.');
    assert(isequal(big, uint32(reshape(1:12, 2, 6))) && isequal(codes, uint32(ones(4, 4))), ...
           '%s wrote', name{1});
  end
end
