%NNFIELD Nearest-neighbour field of the patches of A in B, by the C++ matcher.
%   [NNF, ERR] = NNFIELD(A, B) finds, for every W x W patch of the uint8 image
%   A, the most similar patch of B. A patch is named by its top-left pixel, so
%   A has (rows - W + 1) x (columns - W + 1) patches. NNF is that size by 2:
%   NNF(r, c, 1) and NNF(r, c, 2) are the 1-based row and column in B of the
%   match of the patch at (r, c). ERR(r, c) is its patch error, the square
%   root of the sum of squared differences over the patch and every channel.
%   A and B are H x W (grey) or H x W x 3 (colour); a grey image matched
%   with a colour one counts as three equal channels.
%
%   [NNF, ERR] = NNFIELD(A, [], OPTS) finds the nearest other patches within
%   A (only [] means A itself).
%
%   [NNF, ERR] = NNFIELD(A, B, OPTS) takes options from the fields of the
%   struct OPTS; any other field is an error:
%     width    patch side W, 1 to 104 (default 8)
%     k        matches per patch, 1 to 64 (default 1); NNF becomes
%              rows x columns x 2 x k and ERR rows x columns x k, best first
%     seed     random start, 0 to 2^31 - 1 (default 1); the same seed gives
%              the same field
%     quality  'fast', 'default', 'high' or 'best', each more accurate than
%              the one before for more time (held-out development pairs, one
%              thread: fast 0.8 times the default's time, high 2 times for
%              two fifths less excess error, best 6 times for three quarters
%              less; docs/benchmarks.md)
%     threads  0 to 1024 (default 0: every core); the field is the same for
%              any count
%     init     a field to start from instead of a random start: the NNF of an
%              earlier call for an A of this size (any k), as it came out;
%              no patch ends worse than its best start match
%     init_err that call's ERR: patches whose start still measures that error
%              only take their neighbours' matches, the others are searched
%              again, so re-matching after a small change of A is quick
%   The field is byte for byte the one `gckmatch match` writes to field.npy
%   (0-based there) with the same width, k, seed and quality. A refused call
%   raises an error with the identifier nnfield:<option> (nnfield:width,
%   nnfield:k, nnfield:init, ...), nnfield:option for an unknown field,
%   nnfield:class, nnfield:channels or nnfield:size for the images,
%   nnfield:memory when the memory does not suffice.
%
%   The matcher runs on threads of its own (the C++ standard library's), so
%   no threading runtime is loaded into MATLAB or Octave. Ctrl-C does not stop
%   a match: neither host tells a MEX function of a pending interrupt.
%
%   Example:
%     % The bundled pair lies beside nnfield.
%     A = imread(fullfile(fileparts(which('nnfield')), 'motorcycle_left.png'));
%     B = imread(fullfile(fileparts(which('nnfield')), 'motorcycle_right.png'));
%     [nnf, err] = nnfield(A, B, struct('k', 2));
%     size(nnf)    % 243 363 2 2
%     A(100:140, 200:240, :) = 255;        % an edit, then a quick re-match
%     [nnf, err] = nnfield(A, B, struct('k', 2, 'init', nnf, 'init_err', err));
%
%   See also ANNFIELD, ANNFIELD_KNN.
