function cases = test_bucketfill
  % bucketfill (two fixed slots, six inputs) filling the caller's own table.
  cases = {@three_pixels_in_one_bucket, @random_fills_match_the_slow_fill, ...
           @refused_calls_leave_the_table_alone};
end

function table = slow_fill(table, codes, bits, m, n, offset)
  % Columns 1 .. n-2 (0-based) in storage order; slot 0 keeps a bucket's first pixel, slot 1 its last.
  R = 2^bits;
  next = zeros(R, 1);
  for c = 1:n - 2
    for r = 0:m - 1
      p = r + c * m;
      b = double(codes(offset + p + 1)) - 1;
      table(b + next(b + 1) * R + 1) = p + 1;
      next(b + 1) = 1;
    end
  end
end

function three_pixels_in_one_bucket
  % A 3 x 4 image: of the stored pixels 3..8, pixels 3, 5 and 8 share code 2.
  codes = uint32([2 2 2; 2 1 2; 1 1 2; 2 2 2]');
  table = uint32(7 * ones(2, 3));
  bucketfill(table, codes, 1, 3, 4, 0);  % written in place: the caller's variable changes
  assert(isequal(table(2, :), uint32([4 9 7])));
  assert(isequal(table(1, :), uint32([5 8 7])));  % pixels 4, 6, 7 share code 1
  bucketfill(table, codes, 1, 3, 4, 0);
  assert(isequal(table(2, :), uint32([4 9 7])));  % a second call repeats the first
end

function random_fills_match_the_slow_fill
  rand('twister', 17);
  for trial = 1:30
    bits = randi([0 5]);
    m = randi([0 9]);
    n = randi([0 9]);
    offset = randi([0 3]);
    codes = uint32(randi(2^bits, 1, offset + m * n));
    table = uint32(randi([0 2^32 - 1], 2^bits, 3));
    expected = slow_fill(table, codes, bits, m, n, offset);
    bucketfill(table, codes, bits, uint16(m), int32(n), single(offset));
    assert(isequal(table, expected), 'trial %d: %d bits, %d x %d, offset %d', trial, bits, m, n, offset);
  end
end

function refused_calls_leave_the_table_alone
  codes = uint32([1 1 1 2 3 4 1 2 1 1 1 1]);
  table = uint32(reshape(1:8, 4, 2));
  assert_fails_with(@() bucketfill(table, codes, 2, 3, 4), ...
                    'bucketfill needs six inputs: table, codes, bits, rows, columns and offset.');
  assert_fails_with(@() bucketfill(table, codes(1:8), 2, 3, 4, 0), ...
                    'Code image holds 8 codes; offset + (cols - 1) * rows = 9 are needed.');
  bad = codes;
  bad(8) = 5;
  assert_fails_with(@() bucketfill(table, bad, 2, 3, 4, 0), ...
                    'Code image holds 5 at element 8; codes must lie in 1..4, one per bucket.');
  alias = table;  % shares its data with table until one of them is written
  assert_fails_with(@() bucketfill(table, alias, 2, 2, 4, 0), ...
                    'Hash table and code image must not share memory.');
  assert(isequal(table, uint32(reshape(1:8, 4, 2))));
end
