%SEEDSPREAD_I32_PROJ One sweep that improves the match of every pixel (int32).
%   SEEDSPREAD_I32_PROJ(E, MAP, SA, SB, CA, CB, TA, TB, H, ORDER, LEVELS, DOWN)
%   goes once over image A and, for every pixel it visits, scores candidate
%   pixels of B by the distance between their projection vectors (the sum of
%   squared differences over the K kernels) and keeps the closest: a
%   candidate at a distance not above E(p) becomes the match MAP(p) and its
%   distance E(p). Later pixels see the improved matches at once.
%
%   The candidates of pixel p, in the order they are scored: the pixels filed
%   under code CA(p) in TB; the current matches of the pixels filed under
%   CA(p) in TA; the moved match of the previous pixel in the row, then the
%   pixels filed in TB under the code at that moved position; the same for
%   the previous pixel in the column.
%   A downward sweep (DOWN true) visits columns 2 to N and, in each, rows
%   2 to M; its neighbours are the pixel to the left, whose match moves one
%   column right in B, and the pixel above, whose match moves one row down.
%   An upward sweep visits columns N-1 down to 1 and rows M-1 down to 1, with
%   the neighbours to the right and below, moved one column left and one row
%   up. Moves are linear: one row down from B's last row is the top of its
%   next column; a moved match outside B is skipped. Alternate the two.
%
%   Inputs (A has M x N pixels, B has MB x NB; pixels are numbered by their
%   0-based linear, column-major indices):
%     E       uint32, M x N: the distance of every pixel's current match;
%             4294967295 accepts the first candidate. Rewritten.
%     MAP     uint32, M x N: the 0-based linear index in B of every pixel's
%             match. Rewritten.
%     SA, SB  int32, K x (M*N) and K x (MB*NB): the projection vectors of the
%             pixels of A and of B, one column per pixel, one row per kernel,
%             the same kernels in the same rows of both.
%     CA, CB  uint32, M x N and MB x NB: the code of every pixel, 1 to R.
%     TA, TB  uint32, R x S: the hash tables of A and of B (BUCKETFILL), with
%             the same R rows.
%     H       uint16 scalar: the slots read from each table row (0 reads one).
%     ORDER, LEVELS  uint16 vectors: the kernels' sequency order and
%             levels. Only their class is checked; they change nothing.
%     DOWN    logical scalar: true for a downward sweep, false for an upward one.
%
%   Distances: int32 differences are squared modulo 2^32; the sum runs in 32 bits,
%   and a candidate leaves as soon as its partial sum passes E(p). Classes
%   and sizes are checked before anything is written.
%
%   E and MAP are rewritten in place: the call writes into the memory of the
%   arrays it is given and returns nothing. Every variable that shares that
%   memory changes with them: a copy made by assignment (F = E), a reshape of
%   it, copies of structs and cells that hold it, persistent variables
%   assigned from it, and, in Octave, a contiguous range of columns taken
%   from a larger array (T = Big(:, 3:4)) together with Big. The safe habit
%   is to give the call arrays of their own, for instance E = E + 0 before
%   the first call.
%
%   Example (A matched with itself through one kernel, all pixels under code 1):
%     A = uint8(magic(8));
%     S = reshape(projfirst_u8_i32(A, uint16(2)), 1, []);
%     C = ones(8, 8, 'uint32');
%     T = zeros(2, 2, 'uint32');
%     if ispc, bucketfill(T, C, 1, 8, 8, 0, 2); else, bucketfill(T, C, 1, 8, 8, 0); end
%     E = repmat(uint32(4294967295), 8, 8);
%     MAP = zeros(8, 8, 'uint32');
%     seedspread_i32_proj(E, MAP, S, S, C, C, T, T, uint16(2), uint16(1), uint16(1), true);
%     MAP(2:end, 2:end)    % the visited pixels' matches; E holds their distances
%
%   See also SEEDSPREAD_I16_PROJ, SEEDSPREAD_I32_KBEST, BUCKETFILL, ANNFIELD.
