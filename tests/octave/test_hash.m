function cases = test_hash
  % hash with 64-bit keys and words, as the Linux build reads them.
  cases = {@sixteen_bit_codes_of_key_one, @bits_take_their_low_five_bits, ...
           @empty_keys_and_refused_calls, @sparse_and_complex_inputs_are_refused};
end

function sixteen_bit_codes_of_key_one
  expected = [11421, 33206, 33594, 19345, 33591, 27321, 33206, 33594, 19345];
  for selector = 1:9
    code = hash(uint64(1), selector, 16);
    assert(isa(code, 'uint32') && code == expected(selector), 'selector %d', selector);
  end
end

function bits_take_their_low_five_bits
  keys = uint64([1 2; 123456789 2^40]);
  for selector = 1:9
    assert(~any(hash(keys, selector, 0)(:)) && ~any(hash(keys, selector, 32)(:)));
    assert(isequal(hash(keys, selector, 33), hash(keys, selector, 1)));
    assert(all(hash(keys, selector, 31)(:) < 2^31));
    assert(isequal(hash(keys, selector, 16), bitand(hash(keys, selector, 31), uint32(65535))));
  end
end

function empty_keys_and_refused_calls
  assert(isequal(size(hash(zeros(0, 3, 'uint64'), 1, 8)), [0 3]));
  assert_fails_with(@() hash(uint32(1), 1, 8), 'Keys must be an array of 8-byte elements.');
  assert_fails_with(@() hash(uint64(1), 10, 8), 'Selector must lie in 1..9; it is 10.');
end

function sparse_and_complex_inputs_are_refused
  % A sparse array stores only its nonzeros: all-zero keys were read far past their one stored value.
  sparse_keys = 'Input 1 is sparse; pass a full array (full(x)).';
  assert_fails_with(@() hash(sparse(5000, 5000), 1, 16), sparse_keys);
  assert_fails_with(@() hash(sparse(3, 3), 1, 16), sparse_keys);
  assert_fails_with(@() hash(uint64(1), 1, sparse(16)), 'Input 3 is sparse; pass a full array (full(x)).');
  % Imaginary parts were ignored.
  assert_fails_with(@() hash(complex(1, 2), 1, 16), 'Input 1 is complex; pass a real array.');
  assert_fails_with(@() hash(uint64(1), complex(1, 1), 16), 'Input 2 is complex; pass a real array.');
end
