function [nnf, err] = annfield(A, B, opts)
%ANNFIELD Approximate nearest-neighbour field of the patches of A in B.
%   [NNF, ERR] = ANNFIELD(A, B) finds, for every W x W patch of the uint8 image A (grey or colour),
%   the most similar patch of B. A patch is named by its top-left pixel, so A has
%   (rows - W + 1) x (columns - W + 1) patches. NNF is that size by 2: NNF(r, c, 1) and NNF(r, c, 2)
%   are the 1-based row and column in B of the match of the patch at (r, c). ERR(r, c) is its patch
%   error, the square root of the sum of squared differences over the patch and every channel.
%
%   A and B may also carry an alpha channel (grey + alpha, colour + alpha), which is ignored.
%   With B = [] (only []) the patches of A are matched against the other patches of A (see
%   ANNFIELD_KNN); A then needs at least k + 1 patches.
%
%   [NNF, ERR] = ANNFIELD(A, B, OPTS) takes options from the fields of the struct OPTS, whole
%   numbers as gckmatch takes them; any other field, or one of the other method, is an error:
%     method   'matcher' (default) or 'kernels', below
%     width    patch side W, 1 to 104 (default 8)
%     k        matches per patch, 1 to 64 (default 1); NNF becomes rows x columns x 2 x k and ERR
%              rows x columns x k, best first. B needs at least k patches.
%     seed     random start, 0 to 2^31 - 1 (default 1)
%   method 'matcher':
%     quality  'fast', 'default', 'high' or 'best', each more accurate for more time (NNFIELD)
%     threads  0 to 1024 (default 0: every core); the field is the same for any count
%     init     a field to start from: the NNF of an earlier call with an A of this size (any
%              k); with init_err, that call's ERR, only the patches whose start got worse are
%              searched again: re-matching after a small edit of A is several times quicker
%   method 'kernels':
%     sweeps   propagation sweeps, 0 to 1000 (default 4)
%     kernels  Walsh-Hadamard kernels per channel, 1 to 64 (default 8)
%     bits     hash table of 2^bits buckets, 1 to 24 (default 16)
%   A refused call raises an error with the identifier annfield:<option> (annfield:width,
%   annfield:k, ...), annfield:option for an unknown field, annfield:class, annfield:channels or
%   annfield:size for the images.
%
%   The two methods. 'matcher' is NNFIELD, the C++ matcher of the gckmatch command line: the same
%   field as `gckmatch match` byte for byte, at its speed. 'kernels' chains the eighteen kernel MEX functions in MATLAB: projfirst_u8_i16 and
%   projnext_i16_rgb (or _luma) project every patch onto a chain of Walsh-Hadamard kernels,
%   bucketmap_i16 and hash turn projections into codes, bucketfill files them into hash tables,
%   seedspread_i16_kbest (_kbest_self) improve lists of at least four matches per patch sweep by
%   sweep, patcherr_rgb (or _gray) measures the exact errors, and for k = 1 two rounds of exact
%   propagation refine the best. The sweeps and bucketfill rewrite arrays in place; each is given
%   an array of its own. It is there to study and vary the kernels, not to get fields fast.
%
%   Measured on the development set of 15 real pairs (docs/benchmarks.md), one thread, width 8, in
%   Octave, against the default method and setting (time and error as ratios to its own):
%     'matcher', quality 'high'           about 2 times the time, two fifths less excess error
%     'kernels', k = 1                    about 12 times the time, 0.5 % less error
%     'kernels', the best of its k = 4    about 8 times the time, 4 % more error
%   The default itself takes about 0.03 s for a 0.1 MP pair and 2 s for a 4 MP one, as the
%   command line does.
%   What trades time for quality: quality ('fast' to 'best', NNFIELD gives their cost), the better
%   trade on every pair measured; threads,
%   which only save time; for the kernels, sweeps (each costs time; past 4 they gain under 1 % but
%   on hard pairs) and kernels (longer vectors: more time, a little less error).
%
%   Example:
%     % The bundled pair lies beside nnfield.
%     A = imread(fullfile(fileparts(which('nnfield')), 'motorcycle_left.png'));
%     B = imread(fullfile(fileparts(which('nnfield')), 'motorcycle_right.png'));
%     [nnf, err] = annfield(A, B);
%     mean(err(:)) / sqrt(8 * 8 * 3)      % mean RMS pixel difference
%
%   See also NNFIELD, ANNFIELD_KNN.

  narginchk(2, 3);
  if nargin < 3, opts = struct(); end
  o = read_options(opts);
  % Only [] stands for A itself; any other B must be an image.
  self = isa(B, 'double') && isequal(size(B), [0, 0]) && ~issparse(B);
  A = colour_planes(A);
  if ~self, B = colour_planes(B); end
  if strcmp(o.method, 'matcher')
    [nnf, err] = matched(A, B, o);
    return;
  end
  if self, B = A; end
  [w, k, sweeps, kernels, bits, seed] = deal(o.width, o.k, o.sweeps, o.kernels, o.bits, o.seed);
  binned = 6;      % leading projection planes that form the codes
  bin_scale = 0.5; % bin width in standard deviations of each plane
  refine = 2;      % exact propagation rounds over the best matches (k = 1)
  % The sweeps keep at least four matches per patch: a single best match, swept alone, ends worse
  % than the best of such a list (see the help for the figures).
  kept = max(k, 4);

  channels = max(size(A, 3), size(B, 3));
  A = with_channels(A, channels);
  B = with_channels(B, channels);
  check_matchable(A, B, o, self);

  side = 2 ^ floor(log2(w));
  walk = sequency_walk(min(kernels, side * side));
  SA = projection_stack(A, w, side, walk);
  SB = SA;
  if ~self, SB = projection_stack(B, w, side, walk); end
  [ma, na] = deal(size(A, 1) - w + 1, size(A, 2) - w + 1);
  [mb, nb] = deal(size(B, 1) - w + 1, size(B, 2) - w + 1);
  widths = bin_widths(SA, SB, min(binned, size(SA, 1)), bin_scale);

  % Lists of distinct random anchors of B (0-based), not the anchor itself within one image: an
  % entry drawn again moves on to the next anchor of B. No list is longer than B can fill.
  len = min(kept + self, mb * nb - self);
  rand('twister', seed);
  map = floor(rand(len, ma * na) * (mb * nb));
  own = 0:ma * na - 1;
  for s = 1:len
    while true
      taken = self & map(s, :) == own;
      if s > 1
        taken = taken | any(map(1:s - 1, :) == repmat(map(s, :), s - 1, 1), 1);
      end
      if ~any(taken), break; end
      map(s, taken) = mod(map(s, taken) + 1, mb * nb);
    end
  end
  start = map;
  % The single-best sweep reads the image size from its error array, the k-best sweeps from the
  % code image, so the lists are shaped ma x na or len x (ma * na).
  if len == 1
    E = repmat(uint32(4294967295), ma, na);
    Map = uint32(reshape(map, ma, na));
  else
    E = repmat(uint32(4294967295), len, ma * na);
    Map = uint32(map);
  end
  % The sweeps rewrite E and Map in place. Octave lets variables share one array (after an
  % assignment, a conversion to the class it has, a reshape...), so each gets an array of its own.
  E = E + 0;
  Map = Map + 0;

  R = 2 ^ bits;
  order = uint16((1:size(SA, 1))');
  levels = uint16(zeros(size(SA, 1), 1));
  for sweep = 1:sweeps
    phase = rand();
    CA = codes(SA, ma, na, widths, phase, bits);
    CB = CA;
    if ~self, CB = codes(SB, mb, nb, widths, phase, bits); end
    TA = fill_table(CA, bits, ma, na);
    TB = TA;
    if ~self, TB = fill_table(CB, bits, mb, nb); end
    down = mod(sweep, 2) == 1;
    if self
      seedspread_i16_kbest_self(E, Map, SA, SB, CA, CB, TA, TB, uint16(2), order, levels, down, uint32(len));
    elseif len == 1
      seedspread_i16_proj(E, Map, SA, SB, CA, CB, TA, TB, uint16(2), order, levels, down);
    else
      seedspread_i16_kbest(E, Map, SA, SB, CA, CB, TA, TB, uint16(2), order, levels, down, uint32(len));
    end
  end

  % Exact errors of every entry and of every starting entry; each patch keeps its k best.
  pool = [reshape(double(Map), len, []); start];
  perr = zeros(size(pool));
  for s = 1:size(pool, 1)
    perr(s, :) = patch_errors(A, B, w, pool(s, :), ma, na, mb);
  end
  if self
    perr(pool == repmat(0:ma * na - 1, size(pool, 1), 1)) = Inf;
  end
  [perr, i] = sort(perr, 1);
  pool = pool(i + repmat((0:ma * na - 1) * size(pool, 1), size(pool, 1), 1));
  repeat = false(size(pool));
  for s = 2:size(pool, 1)
    repeat(s, :) = any(pool(1:s - 1, :) == repmat(pool(s, :), s - 1, 1), 1);
  end
  perr(repeat) = Inf;
  [perr, i] = sort(perr, 1);   % repeats last, the order of the rest kept
  pool = pool(i + repmat((0:ma * na - 1) * size(pool, 1), size(pool, 1), 1));
  best = pool(1:k, :);
  berr = perr(1:k, :);
  if k == 1 && ~self
    [best, berr] = refine_field(A, B, w, best, berr, ma, na, mb, nb, refine);
  end
  nnf = zeros(ma, na, 2, k);
  err = zeros(ma, na, k, 'single');
  for s = 1:k
    nnf(:, :, 1, s) = reshape(mod(best(s, :), mb) + 1, ma, na);
    nnf(:, :, 2, s) = reshape(floor(best(s, :) / mb) + 1, ma, na);
    err(:, :, s) = reshape(berr(s, :), ma, na);
  end
end

function o = read_options(opts)
  % The options with the limits and the words of the command line; a name it does not know, or one
  % of the other method, is an error, not a default.
  common = struct('width', [1, 104, 8], 'k', [1, 64, 1], 'seed', [0, 2147483647, 1]);
  routes = struct('matcher', struct('threads', [0, 1024, 0]), ...
                  'kernels', struct('sweeps', [0, 1000, 4], 'kernels', [1, 64, 8], ...
                                    'bits', [1, 24, 16]));
  if ~isstruct(opts) || ~isscalar(opts)
    error('annfield:options', 'options must be one struct');
  end
  o = struct('method', 'matcher', 'quality', 'default');
  if isfield(opts, 'method')
    o.method = opts.method;
    if ~(ischar(o.method) && isrow(o.method) && isfield(routes, o.method))
      error('annfield:method', 'method is ''matcher'' or ''kernels'', not ''%s''', shown(o.method));
    end
  end
  limits = common;
  for name = fieldnames(routes.(o.method))'
    limits.(name{1}) = routes.(o.method).(name{1});
  end
  % quality's words and the start field are nnfield's to check
  owner = struct('quality', 'matcher', 'init', 'matcher', 'init_err', 'matcher');
  for route = fieldnames(routes)'
    for name = fieldnames(routes.(route{1}))'
      owner.(name{1}) = route{1};
    end
  end
  for name = fieldnames(opts)'
    n = name{1};
    if isfield(owner, n) && ~strcmp(owner.(n), o.method)
      error('annfield:option', 'option ''%s'' belongs to method ''%s''', n, owner.(n));
    elseif ~isfield(limits, n) && ~any(strcmp(n, {'method', 'quality', 'init', 'init_err'}))
      error('annfield:option', 'unknown option ''%s''', n);
    end
  end
  if isfield(opts, 'quality'), o.quality = opts.quality; end
  for n = {'init', 'init_err'}
    if isfield(opts, n{1}), o.(n{1}) = opts.(n{1}); end
  end
  for name = fieldnames(limits)'
    [n, limit] = deal(name{1}, limits.(name{1}));
    value = limit(3);
    if isfield(opts, n)
      value = opts.(n);
      if ~(isnumeric(value) && isreal(value) && isscalar(value) && value == round(value) && ...
           value >= limit(1) && value <= limit(2))
        error(['annfield:', n], '%s needs a whole number from %d to %d, not ''%s''', n, ...
              limit(1), limit(2), shown(value));
      end
    end
    o.(n) = double(value);
  end
end

function [nnf, err] = matched(A, B, o)
  % The matcher's field through nnfield; its refusals are annfield's, in the same words.
  opts = struct('width', o.width, 'k', o.k, 'seed', o.seed, 'quality', o.quality, ...
                'threads', o.threads);
  for n = {'init', 'init_err'}
    if isfield(o, n{1}), opts.(n{1}) = o.(n{1}); end
  end
  try
    [nnf, err] = nnfield(A, B, opts);
  catch failure
    if ~strncmp(failure.identifier, 'nnfield:', 8), rethrow(failure); end
    error(['annfield:', failure.identifier(9:end)], '%s', ...
          regexprep(failure.message, '^nnfield: ', ''));
  end
end

function text = shown(value)
  if ischar(value) && size(value, 1) <= 1
    text = value;
  elseif isnumeric(value) && isscalar(value)
    text = num2str(value);
  else
    dims = sprintf('%dx', size(value));
    text = sprintf('a %s %s', dims(1:end - 1), class(value));
  end
end

function image = colour_planes(image)
  % Grey or colour, as the command line reads image files: a last, alpha channel (the second of two,
  % the fourth of four) is dropped.
  if ~isa(image, 'uint8') || ~isreal(image)
    error('annfield:class', 'A and B must be uint8 images');
  end
  planes = size(image, 3);
  if ndims(image) > 3 || planes < 1 || planes > 4
    error('annfield:channels', 'images must have 1 or 3 channels (2 or 4 with alpha)');
  end
  if planes == 2 || planes == 4, image = image(:, :, 1:planes - 1); end
end

function image = with_channels(image, channels)
  if size(image, 3) ~= channels, image = repmat(image, [1, 1, channels]); end
end

function check_matchable(A, B, o, self)
  % The matcher's own limits, in its words.
  images = {A, B};
  for i = 1:2
    [m, n, ~] = size(images{i});
    if m > 65535 || n > 65535
      error('annfield:size', 'images must be at most 65535 pixels high and wide');
    end
    if o.width > m || o.width > n
      error('annfield:width', 'patch width %d is larger than a %d x %d image', o.width, n, m);
    end
  end
  anchors = @(image) (size(image, 1) - o.width + 1) * (size(image, 2) - o.width + 1);
  % k distinct matches, and within one image none is the patch itself.
  if anchors(B) < o.k + self
    error('annfield:k', 'too few patches for k = %d', o.k);
  end
  side = 2 ^ floor(log2(o.width));
  values = min(o.kernels, side * side) * 3;
  if max(anchors(A), anchors(B)) * max(values, max(o.k, 4) + 1) >= 2 ^ 31
    error('annfield:size', 'images are too large');
  end
end

function v = walsh(side, sequency)
  % Row of the Hadamard matrix with `sequency` sign changes.
  H = 1;
  while size(H, 1) < side, H = [H, H; H, -H]; end
  changes = sum(diff(H, 1, 2) ~= 0, 2);
  v = H(changes == sequency, :);
end

function walk = sequency_walk(count)
  % Kernels (row sequency, column sequency) walked square by square, each one unit move from the
  % last: (0,0), (0,1), (1,1), (1,0), (2,0), ...
  walk = [0, 0];
  for n = 1:ceil(sqrt(count)) - 1
    ring = [(0:n)', repmat(n, n + 1, 1); repmat(n, n, 1), (n - 1:-1:0)'];
    if mod(n, 2) == 0, ring = ring(:, [2, 1]); end
    walk = [walk; ring];
  end
  walk = walk(1:count, :);
end

function chain = gck_steps(side, walk)
  % The GCK step (delta, alpha, horizontal) that makes each kernel of the walk from the one before.
  count = size(walk, 1);
  chain = struct('delta', zeros(1, count - 1), 'alpha', false(1, count - 1), ...
                 'horizontal', false(1, count - 1));
  for n = 2:count
    horizontal = walk(n, 2) ~= walk(n - 1, 2);
    axis = 1 + horizontal;
    before = walsh(side, walk(n - 1, axis));
    after = walsh(side, walk(n, axis));
    % The pair differs in one sign of its product form, at the power of two delta: the first entry
    % where they differ; the new kernel is the [u, u] member when its entry there is +1.
    delta = find(before ~= after, 1) - 1;
    chain.delta(n - 1) = delta;
    chain.alpha(n - 1) = after(delta + 1) > 0;
    chain.horizontal(n - 1) = horizontal;
  end
end

function S = projection_stack(image, w, side, walk)
  % Projections of every anchor onto the kernels of the walk, one column per anchor, kernel-major
  % rows (kernel, channel). The MEX functions project with kernels of side 8 at most. A Walsh vector
  % of side 8t is t signed copies of the one of side 8 with 1/t of its sequency, so a kernel of
  % side 8t is t x t signed tiles of a side-8 kernel and its projection the signed sum of t^2
  % side-8 projections, divided by t^2 (rounded down) to stay within int16 as in the command line.
  [m, n, channels] = size(image);
  base = min(side, 8);
  t = side / base;
  % The side-8 kernels the tiles need, and the walk up to the last of them.
  base_walk = sequency_walk(base * base);
  [~, needed] = ismember(floor(walk / t), base_walk, 'rows');
  base_walk = base_walk(1:max(needed), :);
  chain = gck_steps(base, base_walk);
  % The zero padding makes the chain's zero seeds true, so every value is exact.
  pad = 2 * base - 1;
  padded = zeros(pad + m + 1, pad + n + 1, channels, 'uint8');
  padded(pad + 1:pad + m, pad + 1:pad + n, :) = image;
  [mp, np] = deal(size(padded, 1), size(padded, 2));
  planes = cell(1, size(base_walk, 1));
  P = projfirst_u8_i16(padded, uint16(base));
  for c = 1:size(base_walk, 1)
    if c > 1
      args = {uint16(base), chain.alpha(c - 1), uint16(chain.delta(c - 1)), chain.horizontal(c - 1)};
      if channels == 3
        P = projnext_i16_rgb(P, args{:});
      else
        P = projnext_i16_luma(P, args{:});
      end
    end
    P3 = reshape(P, mp, np, channels);
    planes{c} = P3(pad + 1:pad + m - base + 1, pad + 1:pad + n - base + 1, :);
  end
  ma = m - w + 1;
  na = n - w + 1;
  S = zeros(size(walk, 1) * channels, ma * na, 'int16');
  for c = 1:size(walk, 1)
    row_signs = walsh(side, walk(c, 1));
    col_signs = walsh(side, walk(c, 2));
    total = zeros(ma, na, channels);
    for i = 0:t - 1
      for j = 0:t - 1
        tile = double(planes{needed(c)}(i * base + (1:ma), j * base + (1:na), :));
        total = total + row_signs(i * base + 1) * col_signs(j * base + 1) * tile;
      end
    end
    S((c - 1) * channels + (1:channels), :) = int16(reshape(floor(total / t ^ 2), ma * na, channels)');
  end
end

function widths = bin_widths(SA, SB, binned, scale)
  widths = zeros(1, binned);
  for v = 1:binned
    values = double([SA(v, :), SB(v, :)]);
    widths(v) = max(1, round(scale * std(values, 1)));
  end
end

function C = codes(S, m, n, widths, phase, bits)
  % Bins of the leading planes through bucketmap_i16, combined into one key and hashed.
  limit = 255 * 64;
  key = zeros(1, m * n);
  for v = 1:numel(widths)
    table = uint32(floor(((0:2 * limit) + floor(phase * widths(v))) / widths(v)));
    shifted = reshape(S(v, :), m, n) + int16(limit + 1);   % values 1..2*limit+1
    [bins, ~] = bucketmap_i16(table, shifted, shifted(1, 1));
    % Modulo a prime below 2^32 every product stays exact in double precision.
    key = mod(key * (floor(2 * limit / widths(v)) + 2) + double(reshape(bins, 1, [])), 4294967291);
  end
  if ispc
    keys = uint32(key);   % the Windows build hashes 32-bit keys
  else
    keys = uint64(key);
  end
  C = reshape(hash(reshape(keys, m, n), 2, bits) + 1, m, n);
end

function T = fill_table(C, bits, m, n)
  T = zeros(2 ^ bits, 2, 'uint32');
  T = T + 0;   % bucketfill writes in place: an array no other variable can share
  if ispc
    bucketfill(T, C, bits, m, n, 0, 2);
  else
    bucketfill(T, C, bits, m, n, 0);
  end
end

function e = patch_errors(A, B, w, q, ma, na, mb)
  % Exact patch errors of the anchors of A matched to the 0-based anchors q of B.
  [m, n, channels] = size(A);
  rows = ones(m, n, 'uint16');
  cols = ones(m, n, 'uint16');
  rows(1:ma, 1:na) = reshape(mod(q, mb) + 1, ma, na);
  cols(1:ma, 1:na) = reshape(floor(q / mb) + 1, ma, na);
  if channels == 3
    full = patcherr_rgb(A, B, rows, cols, uint16(0), uint16(w - 1), uint16(w));
  else
    full = patcherr_gray(A, B, rows, cols, uint16(0), uint16(w - 1), uint16(w));
  end
  e = double(reshape(full(1:ma, 1:na), 1, []));
end

function [best, berr] = refine_field(A, B, w, best, berr, ma, na, mb, nb, rounds)
  % Each round, every anchor tries the matches of its four neighbours moved one pixel towards it
  % and keeps the one with the smallest exact error.
  r = reshape(mod(best, mb), ma, na);
  c = reshape(floor(best / mb), ma, na);
  e = reshape(berr, ma, na);
  moves = [1, 0; -1, 0; 0, 1; 0, -1];
  for round = 1:2 * rounds
    for i = 1:4
      [dr, dc] = deal(moves(i, 1), moves(i, 2));
      cr = shift(r, dr, dc) + dr;
      cc = shift(c, dr, dc) + dc;
      ok = cr >= 0 & cr < mb & cc >= 0 & cc < nb;
      cr(~ok) = r(~ok);
      cc(~ok) = c(~ok);
      ce = reshape(patch_errors(A, B, w, reshape(cr + cc * mb, 1, []), ma, na, mb), ma, na);
      better = ce < e;
      r(better) = cr(better);
      c(better) = cc(better);
      e(better) = ce(better);
    end
  end
  best = reshape(r + c * mb, 1, []);
  berr = reshape(e, 1, []);
end

function out = shift(x, dr, dc)
  % out(i, j) = x(i - dr, j - dc), edges repeated.
  [m, n] = size(x);
  out = x(min(max((1:m) - dr, 1), m), min(max((1:n) - dc, 1), n));
end
