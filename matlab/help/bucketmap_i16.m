%BUCKETMAP_I16 Bin codes of two int16 projection images, by table lookup.
%   [C1, C2] = BUCKETMAP_I16(TABLE, P1, P2) replaces every value v of the
%   projection images P1 and P2 by TABLE(v): C1 = TABLE(P1), C2 = TABLE(P2),
%   each of the shape of its image. The caller builds the table, for instance
%   the bin numbers of shifted projection values, and combines the bin codes
%   of several projections into one code per pixel as it likes.
%
%   Inputs:
%     TABLE   uint32 vector of L entries (the elements of another 4-byte class
%             are copied as their bits).
%     P1, P2  int16, any sizes; every value must lie in 1..L, which is checked
%             before anything is made.
%   Outputs:
%     C1, C2  uint32, the sizes of P1 and P2. Only the outputs asked for are
%             made: with one output, P2 is not looked up.
%
%   Example:
%     T = uint32([10 20 30 40]);
%     [C1, C2] = bucketmap_i16(T, int16([1 2; 3 4]), int16([4 4 1]))
%     % C1 = [10 20; 30 40], C2 = [40 40 10]
%
%   See also BUCKETMAP_I32, HASH, BUCKETFILL.
