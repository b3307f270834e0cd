%PATCHERR_GRAY Patch errors of a mapping from image A to image B (grey).
%   ERR = PATCHERR_GRAY(A, B, ROWS, COLS, TOP, BOTTOM, WIDTH) measures, for
%   every pixel (r, c) of A in the region of interest, how far the WIDTH x
%   WIDTH patch whose top-left pixel is (r, c) lies from the patch of B whose
%   top-left pixel is (ROWS(r, c), COLS(r, c)): ERR(r, c) is the root of the
%   sum of squared differences over the patch.
%
%   ERR = PATCHERR_GRAY(A, B, ROWS, COLS, TOP, BOTTOM, WIDTH, DEBUGFLAG)
%   accepts one more numeric or logical argument, which changes nothing.
%
%   Inputs:
%     A        uint8, M x W: one channel (an M x W x 3 image is taken as M x 3W).
%     B        uint8, MB x WB.
%     ROWS     uint16, M x W: the 1-based row in B of each pixel's match.
%     COLS     uint16, M x W: the 1-based column in B of each pixel's match.
%     TOP      uint16 scalar: the margin at the top and at the left.
%     BOTTOM   uint16 scalar: the margin at the bottom and at the right; the
%              patches of the region must fit in A, so BOTTOM >= WIDTH - 1.
%     WIDTH    uint16 scalar, the patch side, at most 181.
%   Output:
%     ERR      single, M x W. The region of interest is rows TOP+1 to
%              M-BOTTOM and columns TOP+1 to W-BOTTOM; outside it ERR is 0.
%   A patch that would cross the edge of A or of B, or a mapping of 0, ends
%   the call with a message before anything is made.
%
%   Example:
%     A = repmat(uint8(magic(12)), [1, 1]);
%     [c, r] = meshgrid(uint16(1:12), uint16(1:12));     % every pixel to itself
%     ERR = patcherr_gray(A, A, r, c, uint16(0), uint16(3), uint16(4));
%     max(ERR(:))    % 0
%
%   See also PATCHERR_RGB, ANNFIELD.
