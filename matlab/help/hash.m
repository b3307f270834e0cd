%HASH Codes of integer keys by one of nine integer hash functions.
%   CODES = HASH(KEYS, SELECTOR, BITS) hashes every key with the hash that
%   SELECTOR picks and keeps the low BITS bits: CODES has the size of KEYS and
%   holds values 0 to 2^BITS - 1 (plus 1, a code names a row of a BUCKETFILL
%   table of 2^BITS rows). The Linux and Octave builds take uint64 keys and
%   hash in 64-bit words; the Windows build takes uint32 keys and hashes in
%   32-bit words, so the two can give different codes for one key.
%
%   Inputs:
%     KEYS      uint64 (Linux, Octave) or uint32 (Windows), any size.
%     SELECTOR  numeric scalar, 1 to 9: 1 multiplicative, 2 add-and-shift,
%               3 seven-shift, 4 shift, 5 four-shift, 6 three-shift; 7, 8 and
%               9 repeat 2, 3 and 4.
%     BITS      numeric scalar: the codes keep the low BITS bits, BITS taken
%               modulo 32 (0 and 32 give all zeros).
%   Output:
%     CODES     uint32, the size of KEYS.
%
%   In Octave this function shadows the built-in HASH while its folder is on
%   the path; warning('off', 'Octave:shadowed-function') silences the notice.
%
%   Example:
%     if ispc, K = uint32(1); else, K = uint64(1); end
%     hash(K, 1, 16)    % 11421 in both builds
%
%   See also BUCKETMAP_I16, BUCKETFILL.
