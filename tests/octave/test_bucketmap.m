function cases = test_bucketmap
  % bucketmap_i16 and bucketmap_i32 called as a MATLAB user calls them.
  cases = {@codes_are_the_table_entries_the_values_pick, @only_the_outputs_asked_for_are_made, ...
           @values_outside_the_table_are_refused};
end

function [f, cls] = deliverable(i)
  names = {'bucketmap_i16', 'bucketmap_i32'};
  classes = {'int16', 'int32'};
  f = str2func(names{i});
  cls = classes{i};
end

function codes_are_the_table_entries_the_values_pick
  rand('twister', 5);
  for i = 1:2
    [f, cls] = deliverable(i);
    for trial = 1:10
      L = randi(5000);
      table = uint32(randi([0 2^32 - 1], 1, L));
      table(1) = uint32(2^32 - 1);  % the top bit survives
      p1 = cast(randi(L, randi(20), randi(20)), cls);
      p1(1) = 1;
      p1(end) = L;
      p2 = cast(randi(L, 3, 4, 2), cls);
      [c1, c2] = f(table, p1, p2);
      assert(isa(c1, 'uint32') && isa(c2, 'uint32'));
      assert(isequal(c1, reshape(table(double(p1)), size(p1))));
      assert(isequal(c2, reshape(table(double(p2)), 3, 8)));
    end
    % Any 4-byte table is read bit for bit.
    [c1, ~] = f(int32([-1 7]), cast([2 1], cls), cast(1, cls));
    assert(isequal(c1, uint32([7 2^32 - 1])));
  end
end

function only_the_outputs_asked_for_are_made
  for i = 1:2
    [f, cls] = deliverable(i);
    c1 = f(uint32([5 6]), cast([2 1], cls), cast([0 9], cls));  % second image never read
    assert(isequal(c1, uint32([6 5])));
  end
end

function values_outside_the_table_are_refused
  for i = 1:2
    [f, cls] = deliverable(i);
    assert_fails_with(@() f(uint32([5 6 7]), cast([3 4 -7], cls), cast(1, cls)), ...
                      ['First projection image holds 4 at element 2; values must lie in 1..3, ' ...
                       'the lookup table''s entries.']);
  end
end
