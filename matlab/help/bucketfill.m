%BUCKETFILL Files the pixels of an image into a hash table by their codes, in place.
%   BUCKETFILL(T, CODES, BITS, ROWS, COLS, OFFSET)           Linux, Octave
%   BUCKETFILL(T, CODES, BITS, ROWS, COLS, OFFSET, SLOTS)    Windows
%   records, for every pixel of a ROWS x COLS image, its 1-based linear index
%   in the table row that its code selects: the pixel with 0-based linear
%   index p has the code v = CODES(OFFSET + p + 1) and goes to row v of T.
%   The pixels of the first and of the last column are never stored. A row
%   keeps only a few of the pixels that share its code:
%     Linux and Octave: column 1 holds the first pixel of the row, column 2
%       the last one (in column-major order).
%     Windows: the pixels of a row go round columns 1 to SLOTS, so each column
%       holds the latest pixel that came round to it.
%   Entries that no pixel reaches keep their values: the table is not
%   cleared. The seedspread functions read such tables.
%
%   Inputs:
%     T       uint32, 2^BITS rows (one per code), at least 2 (Linux, Octave)
%             or SLOTS (Windows) columns. Rewritten.
%     CODES   uint32, the codes, 1 to 2^BITS, of at least OFFSET + ROWS*COLS
%             elements. It must not share memory with T.
%     BITS    numeric scalar, 0 to 30.
%     ROWS, COLS, OFFSET   numeric scalars, 0 to 65535.
%     SLOTS   numeric scalar, 1 to 128 (Windows only).
%   Codes, sizes and ranges are checked before anything is written.
%
%   T is rewritten in place: the call writes into the memory of the
%   arrays it is given and returns nothing. Every variable that shares that
%   memory changes with them: a copy made by assignment (F = E), a reshape of
%   it, copies of structs and cells that hold it, persistent variables
%   assigned from it, and, in Octave, a contiguous range of columns taken
%   from a larger array (T = Big(:, 3:4)) together with Big. The safe habit
%   is to give the call arrays of their own, for instance E = E + 0 before
%   the first call.
%
%   Example:
%     C = uint32([1 2 1; 2 1 2; 1 1 2; 2 2 1]);   % the codes of a 4 x 3 image
%     T = zeros(2, 2, 'uint32');                 % 2^1 rows, two slots
%     if ispc, bucketfill(T, C, 1, 4, 3, 0, 2); else, bucketfill(T, C, 1, 4, 3, 0); end
%     T    % [6 7; 5 8]: the pixels of the middle column, by code
%
%   See also BUCKETMAP_I16, HASH, SEEDSPREAD_I16_PROJ.
