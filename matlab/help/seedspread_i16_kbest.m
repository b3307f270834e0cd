%SEEDSPREAD_I16_KBEST One sweep that improves the k best matches of every pixel (int16).
%   SEEDSPREAD_I16_KBEST(E, MAP, SA, SB, CA, CB, TA, TB, H, ORDER, LEVELS, DOWN, K2)
%   goes once over image A and keeps, for every pixel it visits, a list of
%   K2 matches in B. A candidate that is not yet in the list and whose
%   distance (the sum of squared projection differences over the kernels) is
%   not above the list's largest one takes slot 1 of the list, the former
%   slot-1 entry moves into the slot of the largest error, and that entry is
%   dropped. The list is not sorted: slot 1 holds the match taken last.
%
%   The candidates of pixel p, in the order they are scored: the pixels filed
%   under code CA(p) in TB; every entry of the lists of the pixels filed
%   under CA(p) in TA; each entry of the previous pixel's list in the row,
%   moved, followed by the pixels filed in TB under the code at the moved
%   position; the same for the previous pixel in the column.
%   A downward sweep (DOWN true) visits columns 2 to N and, in each, rows
%   2 to M; its neighbours are the pixel to the left, whose matches move one
%   column right in B, and the pixel above, whose matches move one row down.
%   An upward sweep visits columns N-1 down to 1 and rows M-1 down to 1, with
%   the neighbours to the right and below, moved one column left and one row
%   up. Moves are linear: one row down from B's last row is the top of its
%   next column; a moved match outside B is skipped. Alternate the two.
%
%   Inputs (A has M x N pixels, B has MB x NB; pixels are numbered by their
%   0-based linear, column-major indices):
%     E       uint32, K2 x (M*N): column p holds the distances of the K2
%             matches of pixel p; 4294967295 accepts any candidate. Rewritten.
%     MAP     uint32, K2 x (M*N): the 0-based linear indices in B of those
%             matches. Rewritten.
%     SA, SB  int16, K x (M*N) and K x (MB*NB): the projection vectors of the
%             pixels of A and of B, one column per pixel, one row per kernel,
%             the same kernels in the same rows of both.
%     CA, CB  uint32, M x N and MB x NB: the code of every pixel, 1 to R.
%     TA, TB  uint32, R x S: the hash tables of A and of B (BUCKETFILL), with
%             the same R rows.
%     H       uint16 scalar: the slots read from each table row (0 reads one).
%     ORDER, LEVELS  uint16 column vectors: the kernels' sequency order and
%             levels. Only their class and shape is checked; they change nothing.
%     DOWN    logical scalar: true for a downward sweep, false for an upward one.
%     K2      uint32 scalar: the matches kept per pixel, at least 1.
%
%   Distances: int16 differences are squared exactly; the sum runs in 32 bits,
%   and a candidate leaves as soon as its partial sum passes the budget.
%   Classes and sizes are checked before anything is written.
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
%   Example (two matches per pixel; one kernel; all pixels under code 1):
%     A = uint8(magic(8));
%     S = reshape(projfirst_u8_i16(A, uint16(2)), 1, []);
%     C = ones(8, 8, 'uint32');
%     T = zeros(2, 2, 'uint32');
%     if ispc, bucketfill(T, C, 1, 8, 8, 0, 2); else, bucketfill(T, C, 1, 8, 8, 0); end
%     E = repmat(uint32(4294967295), 2, 64);
%     MAP = uint32([zeros(1, 64); ones(1, 64)]);
%     seedspread_i16_kbest(E, MAP, S, S, C, C, T, T, uint16(2), uint16(1), uint16(1), true, uint32(2));
%     MAP(:, 10)    % the two matches of pixel 10 (row 2, column 2)
%
%   See also SEEDSPREAD_I32_KBEST, SEEDSPREAD_I16_KBEST_SELF, SEEDSPREAD_I16_PROJ, ANNFIELD_KNN.
