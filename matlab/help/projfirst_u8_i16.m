%PROJFIRST_U8_I16 Sums of every square patch of a uint8 image, as int16.
%   P = PROJFIRST_U8_I16(IMAGE, WIDTH) projects every WIDTH x WIDTH patch of
%   IMAGE onto the first Walsh-Hadamard kernel, whose entries are all +1:
%   P(r, c) is the sum of the patch whose top-left pixel is (r, c). It is the
%   first image of a chain of projections; PROJNEXT_I16_RGB and
%   PROJNEXT_I16_LUMA make each further one. The sums come from a
%   summed-area table, so the cost does not depend on WIDTH.
%
%   P = PROJFIRST_U8_I16(IMAGE, WIDTH, DEBUGFLAG) accepts one more numeric or
%   logical argument, which changes nothing.
%
%   Inputs:
%     IMAGE   uint8, M x N. A colour image M x W x 3 is taken as one M x 3W
%             image, so patches near the right edge of a channel reach into
%             the next one.
%     WIDTH   uint16 scalar, the patch side, 1 to min(M, N).
%   Output:
%     P       int16, M x N (two-dimensional whatever the input's shape). The
%             last WIDTH-1 rows and columns, where no patch fits, are 0.
%
%   The sums wrap modulo 2^16: every patch of width 11 or less is exact
%   (at most 255 * 121 = 30855); from width 12 on, bright patches come out
%   negative (a 12 x 12 patch of 255 gives -28816).
%
%   Example:
%     I = uint8(magic(6));
%     P = projfirst_u8_i16(I, uint16(2));
%     P(1, 1)    % 71, the sum of I(1:2, 1:2)
%
%   See also PROJFIRST_U8_I32, PROJNEXT_I16_RGB, PROJNEXT_I16_LUMA.
