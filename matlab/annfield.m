function [nnf, err] = annfield(A, B, opts)
%ANNFIELD Approximate nearest-neighbour field of the patches of A in B.
%   [NNF, ERR] = ANNFIELD(A, B) finds, for every W x W patch of the uint8 image A (grey or colour),
%   the most similar patch of B. A patch is named by its top-left pixel, so A has
%   (rows - W + 1) x (columns - W + 1) patches. NNF is that size by 2: NNF(r, c, 1) and NNF(r, c, 2)
%   are the 1-based row and column in B of the match of the patch at (r, c). ERR(r, c) is its patch
%   error, the square root of the sum of squared differences over the patch and every channel.
%
%   [NNF, ERR] = ANNFIELD(A, B, OPTS) takes options from the fields of the struct OPTS:
%     width    patch side W (default 8)
%     k        matches per patch (default 1); NNF becomes rows x columns x 2 x k and ERR
%              rows x columns x k, best first
%     sweeps   propagation sweeps (default 4)
%     kernels  Walsh-Hadamard kernels per channel (default 8)
%     bits     hash table of 2^bits buckets (default 16)
%     seed     random start (default 1)
%   With B empty ([]) the patches of A are matched against the other patches of A (see
%   ANNFIELD_KNN).
%
%   The work is done by the MEX functions: projfirst_u8_i16 and projnext_i16_rgb (or _luma) project
%   every patch onto a chain of Walsh-Hadamard kernels, bucketmap_i16 and hash turn projections
%   into codes, bucketfill files them into hash tables, seedspread_i16_proj or _kbest (_kbest_self)
%   improve the field sweep by sweep, and patcherr_rgb (or _gray) measures the exact errors.
%
%   Example:
%     A = imread('motorcycle_left.png'); B = imread('motorcycle_right.png');
%     [nnf, err] = annfield(A, B);
%     mean(err(:)) / sqrt(8 * 8 * 3)      % mean RMS pixel difference
%
%   See also ANNFIELD_KNN.

  if nargin < 3, opts = struct(); end
  w = option(opts, 'width', 8);
  k = option(opts, 'k', 1);
  sweeps = option(opts, 'sweeps', 4);
  kernels = option(opts, 'kernels', 8);
  bits = option(opts, 'bits', 16);
  seed = option(opts, 'seed', 1);
  binned = 6;      % leading projection planes that form the codes
  bin_scale = 0.5; % bin width in standard deviations of each plane
  refine = 2;      % exact propagation rounds over the best matches (k = 1)

  self = isempty(B);
  if self, B = A; end
  if ~isa(A, 'uint8') || ~isa(B, 'uint8')
    error('annfield:class', 'A and B must be uint8 images');
  end
  channels = max(size(A, 3), size(B, 3));
  A = with_channels(A, channels);
  B = with_channels(B, channels);
  if w < 1 || w > min([size(A, 1), size(A, 2), size(B, 1), size(B, 2)])
    error('annfield:width', 'patch width %d is larger than an image', w);
  end

  side = 2 ^ floor(log2(w));
  if side > 8
    error('annfield:width', 'this front end projects with kernels of side 8 at most; use w < 16');
  end
  chain = sequency_chain(side, min(kernels, side * side));
  SA = projection_stack(A, w, side, chain);
  SB = SA;
  if ~self, SB = projection_stack(B, w, side, chain); end
  [ma, na] = deal(size(A, 1) - w + 1, size(A, 2) - w + 1);
  [mb, nb] = deal(size(B, 1) - w + 1, size(B, 2) - w + 1);
  widths = bin_widths(SA, SB, binned, bin_scale);

  % Lists of distinct random anchors of B (0-based), not the anchor itself within one image.
  len = k + self;
  rand('twister', seed);
  map = floor(rand(len, ma * na) * (mb * nb));
  own = repmat(0:ma * na - 1, len, 1);
  for redraw = 1:100
    bad = self & map == own;
    for s = 2:len
      bad(s, :) = bad(s, :) | any(map(1:s - 1, :) == repmat(map(s, :), s - 1, 1), 1);
    end
    if ~any(bad(:)), break; end
    map(bad) = floor(rand(nnz(bad), 1) * (mb * nb));
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

function value = option(opts, name, default)
  value = default;
  if isfield(opts, name), value = double(opts.(name)); end
end

function image = with_channels(image, channels)
  if size(image, 3) ~= channels, image = repmat(image, [1, 1, channels]); end
end

function v = walsh(side, sequency)
  % Row of the Hadamard matrix with `sequency` sign changes.
  H = 1;
  while size(H, 1) < side, H = [H, H; H, -H]; end
  changes = sum(diff(H, 1, 2) ~= 0, 2);
  v = H(changes == sequency, :);
end

function chain = sequency_chain(side, count)
  % Kernels (row sequency, column sequency) walked square by square, each one unit move from the
  % last, and the GCK step (delta, alpha, horizontal) that makes each from the one before.
  walk = [0, 0];
  for n = 1:side - 1
    ring = [(0:n)', repmat(n, n + 1, 1); repmat(n, n, 1), (n - 1:-1:0)'];
    if mod(n, 2) == 0, ring = ring(:, [2, 1]); end
    walk = [walk; ring];
  end
  walk = walk(1:count, :);
  chain = struct('rows', walk(:, 1), 'cols', walk(:, 2), 'delta', [], 'alpha', [], 'horizontal', []);
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

function S = projection_stack(image, w, side, chain)
  % Projections of every anchor, one column per anchor, kernel-major rows (kernel, channel). The
  % zero padding makes the chain's zero seeds true, so every value is exact.
  [m, n, channels] = size(image);
  pad = 2 * side - 1;
  padded = zeros(pad + m + 1, pad + n + 1, channels, 'uint8');
  padded(pad + 1:pad + m, pad + 1:pad + n, :) = image;
  [mp, np] = deal(size(padded, 1), size(padded, 2));
  ma = m - w + 1;
  na = n - w + 1;
  count = numel(chain.rows);
  S = zeros(count * channels, ma * na, 'int16');
  P = projfirst_u8_i16(padded, uint16(side));
  for c = 1:count
    if c > 1
      args = {uint16(side), chain.alpha(c - 1), uint16(chain.delta(c - 1)), chain.horizontal(c - 1)};
      if channels == 3
        P = projnext_i16_rgb(P, args{:});
      else
        P = projnext_i16_luma(P, args{:});
      end
    end
    planes = reshape(P, mp, np, channels);
    for ch = 1:channels
      S((c - 1) * channels + ch, :) = reshape(planes(pad + 1:pad + ma, pad + 1:pad + na, ch), 1, []);
    end
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
