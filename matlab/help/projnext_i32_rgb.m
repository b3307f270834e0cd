%PROJNEXT_I32_RGB One Gray-Code Kernel step: projections onto the next kernel (int32).
%   Y = PROJNEXT_I32_RGB(X, WIDTH, ALPHAPOS, DELTA, HORIZONTAL) turns the
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
%   X holds three planes side by side, as PROJFIRST_U8_I32 gives them for a
%   colour image (M x W x 3, or M x 3W); each plane is stepped on its own.
%
%   Y = PROJNEXT_I32_RGB(X, WIDTH, ALPHAPOS, DELTA, HORIZONTAL, DEBUGFLAG)
%   accepts one more numeric or logical argument, which changes nothing.
%
%   Inputs:
%     X           int32, M x 3W or M x W x 3: the projections onto the
%                 current kernel, three planes.
%     WIDTH       uint16 scalar, the kernel side.
%     ALPHAPOS    logical scalar, which member of the kernel pair to compute.
%     DELTA       uint16 scalar, the shift, 1 to WIDTH.
%     HORIZONTAL  logical scalar, true when the step runs along the rows.
%   Output:
%     Y           int32, M x N (two-dimensional), the class of X.
%
%   Computed, per plane of width W (1-based): horizontally rows 2 to M and
%   columns WIDTH+1 to W - WIDTH; vertically rows WIDTH+1 to M - WIDTH and
%   columns 2 to W. Everything else is 0, and so are the last one or two
%   columns when the column count is not a multiple of 3.
%   Sums wrap modulo 2^32; nothing saturates.
%
%   Example:
%     I = zeros(19, 19, 3, 'uint8');               % a margin of 7 zeros ...
%     I(8:end, 8:end, :) = repmat(uint8(magic(12)), [1, 1, 3]);   % ... top, left
%     P = projfirst_u8_i32(I, uint16(4));            % the kernel of all +1
%     Q = projnext_i32_rgb(P, uint16(4), false, uint16(2), true);
%     % Q(r, c) in each plane: the patch at (r, c), columns weighed -1 -1 +1 +1
%
%   See also PROJFIRST_U8_I32, PROJNEXT_I32_LUMA, PROJNEXT_I16_RGB.
