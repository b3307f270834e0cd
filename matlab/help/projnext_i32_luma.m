%PROJNEXT_I32_LUMA One Gray-Code Kernel step: projections onto the next kernel (int32, one plane).
%   Y = PROJNEXT_I32_LUMA(X, WIDTH, ALPHAPOS, DELTA, HORIZONTAL) turns the
%   projections X of every patch onto one Walsh-Hadamard kernel of side WIDTH
%   into the projections onto the next kernel of the chain, whose signs differ
%   from the current one's by a shift of DELTA pixels. Each pixel costs two
%   additions, whatever the kernel:
%     Y(p) = X(p) + X(q) + Y(q)   when ALPHAPOS is true,
%     Y(p) = X(p) - X(q) - Y(q)   when it is false,
%   where the partner q lies DELTA columns to the left of p (HORIZONTAL true)
%   or DELTA rows above it (HORIZONTAL false). Positions are computed column
%   by column, top to bottom, so Y(q) is either already computed or 0. Where
%   a chain starts, its partners are 0: the values are the exact projections
%   when the image has a margin of zeros (2*WIDTH-1 rows and columns at the
%   top and left).
%   X is one plane: an M x W x 3 array is stepped as one M x 3W plane,
%   across the channel boundaries.
%
%   Y = PROJNEXT_I32_LUMA(X, WIDTH, ALPHAPOS, DELTA, HORIZONTAL, DEBUGFLAG)
%   accepts one more numeric or logical argument, which changes nothing.
%
%   Inputs:
%     X           int32, M x N: the projections onto the current kernel.
%     WIDTH       uint16 scalar, the kernel side.
%     ALPHAPOS    logical scalar, which member of the kernel pair to compute.
%     DELTA       uint16 scalar, the shift, 1 to WIDTH.
%     HORIZONTAL  logical scalar, true when the step runs along the rows.
%   Output:
%     Y           int32, M x N (two-dimensional), the class of X.
%
%   Computed (1-based): horizontally rows 2 to M and columns WIDTH+1 to
%   N - WIDTH; vertically rows WIDTH+1 to M - WIDTH and columns 2 to N.
%   Everything else is 0.
%   Sums wrap modulo 2^32; nothing saturates.
%
%   Example:
%     I = zeros(19, 19, 'uint8');                  % a margin of 7 zeros ...
%     I(8:end, 8:end) = uint8(magic(12));          % ... at the top and left
%     P = projfirst_u8_i32(I, uint16(4));            % the kernel of all +1
%     Q = projnext_i32_luma(P, uint16(4), false, uint16(2), true);
%     % Q(r, c): the patch at (r, c), its columns weighed -1 -1 +1 +1
%
%   See also PROJFIRST_U8_I32, PROJNEXT_I32_RGB, PROJNEXT_I16_LUMA.
